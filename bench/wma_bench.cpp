// Opening small WMA files and reading their seven basic fields: through the
// module's exports against TagLib's ASF::File reading the same attributes,
// over the same 1000 files, in alternation in one process.
#include <taglib/asffile.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "lyParser.h"
#include "tools/samples/wma_sample.h"

namespace {

constexpr int kFiles = 1000;

// 1000 tagged files in a temporary folder, removed at exit.
class BenchFiles {
public:
    BenchFiles() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lyparser-wma-bench-").string() +
            std::string(6, 'X');
        folder_ = mkdtemp(pattern.data()) ? pattern : std::string();
        for (int i = 0; i < kFiles && !folder_.empty(); ++i) {
            asf::FileLayout layout;
            layout.hasContentDescription = true;
            std::u16string n(u"0000");
            for (int k = 3, v = i; k >= 0; --k, v /= 10)
                n[k] = static_cast<char16_t>(u'0' + v % 10);
            layout.content = {u"Title " + n, u"Artist " + n, u"", u"Comment " + n, u""};
            layout.attributes = {asf::Attribute::Text(u"WM/AlbumTitle", u"Album " + n),
                                 asf::Attribute::Text(u"WM/Year", u"2003"),
                                 asf::Attribute::Text(u"WM/Genre", u"Rock"),
                                 asf::Attribute::Text(u"WM/Track", n),
                                 asf::Attribute::Text(u"WMFSDKVersion", u"9.00.00.2980")};
            std::vector<unsigned char> bytes = asf::MakeFile(layout);
            std::string path = folder_ + "/file" + std::to_string(i) + ".wma";
            std::ofstream(path, std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size()));
            paths_.push_back(path);
        }
    }
    ~BenchFiles() {
        std::error_code ignored;
        if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
    }
    const std::vector<std::string>& paths() const { return paths_; }

private:
    std::string folder_;
    std::vector<std::string> paths_;
};

const BenchFiles& Files() {
    static BenchFiles files;
    return files;
}

void Ours(benchmark::State& state) {
    const auto& paths = Files().paths();
    size_t total = 0;
    for (auto _ : state) {
        for (const std::string& path : paths) {
            IBaseTag* handle = TagParserOpenFile(path.c_str());
            for (int id = FIELD_TITLE; id <= FIELD_TRACK; ++id)
                total += TagParserGetData(handle, id).size();
            TagParserCloseFile(handle);
        }
    }
    benchmark::DoNotOptimize(total);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(paths.size()));
}

size_t AttributeSize(const TagLib::ASF::Tag* tag, const char* name) {
    size_t size = 0;
    for (const auto& attribute : tag->attribute(name))
        size += attribute.toString().to8Bit(true).size();
    return size;
}

void TagLibReference(benchmark::State& state) {
    const auto& paths = Files().paths();
    size_t total = 0;
    for (auto _ : state) {
        for (const std::string& path : paths) {
            TagLib::ASF::File file(path.c_str(), false);
            const TagLib::ASF::Tag* tag = file.tag();
            total += tag->title().to8Bit(true).size() + tag->artist().to8Bit(true).size() +
                     tag->comment().to8Bit(true).size();
            for (const char* name : {"WM/AlbumTitle", "WM/Year", "WM/Genre", "WM/Track"}) {
                total += AttributeSize(tag, name);
            }
        }
    }
    benchmark::DoNotOptimize(total);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(paths.size()));
}

}  // namespace

int main(int argc, char** argv) {
    TagParserInitialize(nullptr);
    if (Files().paths().size() != kFiles) return 1;
    AlternateRounds(
        5, {{"wma/ours/open+7fields", Ours}, {"wma/taglib/open+7fields", TagLibReference}});
    int status = RunWithRatios(
        argc, argv,
        {{"wma/ours/open+7fields", "wma/taglib/open+7fields", "items_per_second", 0.8, "files/s"}});
    TagParserFinalize();
    return status;
}
