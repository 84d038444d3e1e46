// Our MD5 against OpenSSL's on the same buffers: 64 MiB, and 160 KiB (the
// most a digest export reads); and TagParserGetCheckSum of the first 160 KiB
// of 50 open MP3 files against opening each file, reading the same bytes and
// digesting them with OpenSSL. All run in alternation in one process.
#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "core/md5.h"
#include "lyParser.h"
#include "tools/samples/mpeg_sample.h"

namespace {

// 64 MiB of noise; each benchmark digests the first bytes it needs.
const std::vector<unsigned char>& Buffer() {
    static const std::vector<unsigned char> data = [] {
        std::vector<unsigned char> bytes(64u << 20);
        uint32_t state = 12345;
        for (auto& byte : bytes) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<unsigned char>(state >> 24);
        }
        return bytes;
    }();
    return data;
}

void Ours(benchmark::State& state, size_t size) {
    const auto& data = Buffer();
    unsigned char digest[Md5::kDigestSize];
    for (auto _ : state) {
        Md5 md5;
        md5.Update(data.data(), size);
        md5.Finish(digest);
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

void OpenSsl(benchmark::State& state, size_t size) {
    const auto& data = Buffer();
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    for (auto _ : state) {
        EVP_DigestInit_ex(context, EVP_md5(), nullptr);
        EVP_DigestUpdate(context, data.data(), size);
        EVP_DigestFinal_ex(context, digest, &length);
        benchmark::DoNotOptimize(digest);
    }
    EVP_MD_CTX_free(context);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

constexpr int kFiles = 50;
constexpr int kChecksumBytes = 160 * 1024;
const std::string kFolder = (std::filesystem::temp_directory_path() / "ly-md5-bench").string();

// 1 MiB MP3 files: an ID3v2 tag, then frames whose payload is noise.
const std::vector<std::string>& Files() {
    static const std::vector<std::string> paths = [] {
        std::filesystem::create_directories(kFolder);
        std::vector<std::string> written;
        for (int n = 0; n < kFiles; ++n) {
            MpegBytes bytes = MakeId3v23Tag({{"TIT2", "Song " + std::to_string(n)}});
            MpegBytes frames = MakeMpegFrames(kMp3Header128k, kMp3FrameLength128k, 2515,
                                              static_cast<uint32_t>(n) + 1);
            bytes.insert(bytes.end(), frames.begin(), frames.end());
            written.push_back(kFolder + "/song" + std::to_string(n) + ".mp3");
            std::ofstream(written.back(), std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
        }
        return written;
    }();
    return paths;
}

void OursChecksum(benchmark::State& state) {
    std::vector<IBaseTag*> handles;
    for (const auto& path : Files()) handles.push_back(TagParserOpenFile(path.c_str()));
    size_t characters = 0;
    for (auto _ : state) {
        for (IBaseTag* handle : handles) {
            int start = 0, end = kChecksumBytes;
            characters += TagParserGetCheckSum(handle, &start, &end).size();
        }
    }
    for (IBaseTag* handle : handles) TagParserCloseFile(handle);
    benchmark::DoNotOptimize(characters);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFiles * kChecksumBytes);
}

// What any digest of a file range costs: open, read the bytes, digest, close.
void OpenSslChecksum(benchmark::State& state) {
    std::vector<unsigned char> buffer(kChecksumBytes);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    for (auto _ : state) {
        for (const auto& path : Files()) {
            int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            size_t got = 0;
            while (got < buffer.size()) {
                ssize_t n = read(fd, buffer.data() + got, buffer.size() - got);
                if (n <= 0) break;
                got += static_cast<size_t>(n);
            }
            close(fd);
            EVP_DigestInit_ex(context, EVP_md5(), nullptr);
            EVP_DigestUpdate(context, buffer.data(), got);
            EVP_DigestFinal_ex(context, digest, &length);
            benchmark::DoNotOptimize(digest);
        }
    }
    EVP_MD_CTX_free(context);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kFiles * kChecksumBytes);
}

}  // namespace

int main(int argc, char** argv) {
    const size_t kLarge = 64u << 20, kSmall = 160u << 10;
    TagParserInitialize(nullptr);
    Files();
    AlternateRounds(5, {
                           {"md5/ours/64MiB", [=](benchmark::State& s) { Ours(s, kLarge); }},
                           {"md5/openssl/64MiB", [=](benchmark::State& s) { OpenSsl(s, kLarge); }},
                           {"md5/ours/160KiB", [=](benchmark::State& s) { Ours(s, kSmall); }},
                           {"md5/openssl/160KiB", [=](benchmark::State& s) { OpenSsl(s, kSmall); }},
                           {"checksum/ours/50files", OursChecksum},
                           {"checksum/openssl/50files", OpenSslChecksum},
                       });
    int status = RunWithRatios(
        argc, argv,
        {{"md5/ours/64MiB", "md5/openssl/64MiB", "bytes_per_second", 0.9, "MB/s"},
         {"md5/ours/160KiB", "md5/openssl/160KiB", "bytes_per_second", 0.9, "MB/s"},
         {"checksum/ours/50files", "checksum/openssl/50files", "bytes_per_second", 0.9, "MB/s"}});
    TagParserFinalize();
    std::filesystem::remove_all(kFolder);
    return status;
}
