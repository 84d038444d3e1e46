// Our MD5 against OpenSSL's on the same buffers: 64 MiB, and 160 KiB (the
// most a digest export reads). Both run in alternation in one process.
#include <openssl/evp.h>

#include <cstdint>
#include <vector>

#include "bench/bench_support.h"
#include "core/md5.h"

namespace {

const std::vector<unsigned char>& Buffer(size_t size) {
    static std::vector<unsigned char> data = [] {
        std::vector<unsigned char> bytes(64u << 20);
        uint32_t state = 12345;
        for (auto& byte : bytes) {
            state = state * 1664525u + 1013904223u;
            byte = static_cast<unsigned char>(state >> 24);
        }
        return bytes;
    }();
    (void)size;
    return data;
}

void Ours(benchmark::State& state, size_t size) {
    const auto& data = Buffer(size);
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
    const auto& data = Buffer(size);
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

}  // namespace

int main(int argc, char** argv) {
    const size_t kLarge = 64u << 20, kSmall = 160u << 10;
    AlternateRounds(5, {
                           {"md5/ours/64MiB", [=](benchmark::State& s) { Ours(s, kLarge); }},
                           {"md5/openssl/64MiB", [=](benchmark::State& s) { OpenSsl(s, kLarge); }},
                           {"md5/ours/160KiB", [=](benchmark::State& s) { Ours(s, kSmall); }},
                           {"md5/openssl/160KiB", [=](benchmark::State& s) { OpenSsl(s, kSmall); }},
                       });
    return RunWithRatios(argc, argv,
                         {{"md5/ours/64MiB", "md5/openssl/64MiB", "bytes_per_second", 0.9, "MB/s"},
                          {"md5/ours/160KiB", "md5/openssl/160KiB", "bytes_per_second", 0.9, "MB/s"}});
}
