// Damaged Windows Media files: cut headers, absurd counts and sizes. Every
// operation must answer without crashing or hanging (the sanitizer build
// runs this too), and a save must never damage the audio.
#include <gtest/gtest.h>

#include <functional>

#include "tests/support/asf_fixtures.h"
#include "tests/support/module_test.h"

namespace {

using asf::Attribute;
using asf::Place;

using WmaRobustnessTest = ModuleTest;

asf::FileSpec FullSpec() {
    asf::FileSpec layout;
    layout.hasContentDescription = true;
    layout.content = {u"Title", u"Artist", u"(c)", u"Comment", u"Rating"};
    layout.attributes = {Attribute::Text(u"WM/AlbumTitle", u"Album"),
                       Attribute::Text(u"WM/Composer", u"One", Place::kMetadata),
                       Attribute::Text(u"WM/Lyrics", u"Words", Place::kMetadataLibrary)};
    layout.contentEncryption = true;
    return layout;
}

// Every read operation, then a save; returns the save's result.
int DriveEverything(IBaseTag* handle) {
    for (int id = -1; id <= 38; ++id) TagParserGetDataW(handle, id);
    for (int kind = -1; kind <= 10; ++kind) {
        TagParserGetFileInfo(handle, kind);
        TagParserGetDescriptionW(handle, kind, "%title% %artist% %%", kind & 1);
    }
    int start = -1, end = -1;
    TagParserGetSourceLength(handle, &start, &end);
    TagParserGetMD5(handle, &start, &end);
    TagParserSetData(handle, FIELD_ALBUM, "changed");
    return TagParserApplyFile(handle);
}

// Offset of the first byte after the UTF-16 text `text` found in `file`
// stepped back by `back` bytes: where the length fields before it lie.
size_t Before(const Bytes& file, const std::u16string& text, size_t back) {
    return FindUtf16(file, text) - back;
}

// The bytes behind the Header Object: the audio and whatever follows it.
Bytes AfterHeader(const Bytes& file) {
    const uint64_t header = AsfTopLevelObjects(file).at(0).size;
    return header < file.size() ? Bytes(file.begin() + static_cast<long>(header), file.end()) : Bytes();
}

TEST_F(WmaRobustnessTest, DamagedHeadersNeverCrashOrDamageTheAudio) {
    const Bytes valid = asf::MakeFile(FullSpec());
    using Damage = std::function<void(Bytes*)>;
    // Sizes and counts that disagree make a header that is never rewritten.
    const bool refused = true;
    struct Case {
        const char* what;
        Damage damage;
        bool refused;
    } cases[] = {
        {"header claims 4 GB", [](Bytes* f) { SetAsfObjectSize(f, 0, 4ull << 30); }, refused},
        {"header claims everything", [](Bytes* f) { SetAsfObjectSize(f, 0, ~0ull); }, refused},
        {"header smaller than its start", [](Bytes* f) { SetAsfObjectSize(f, 0, 26); }, refused},
        {"absurd object count", [](Bytes* f) { SetAsfHeaderCount(f, 0xFFFFFFFF); }, refused},
        {"no objects counted", [](Bytes* f) { SetAsfHeaderCount(f, 0); }, refused},
        {"first child claims 4 GB", [](Bytes* f) { SetAsfObjectSize(f, 30, 4ull << 30); }, refused},
        {"first child of size 0", [](Bytes* f) { SetAsfObjectSize(f, 30, 0); }, refused},
        {"extension data size wrong",
         [](Bytes* f) { SetLittleEndian16(f, Before(*f, u"WM/Composer", 12 + 2 + 24 + 4), 7); }, refused},
        {"name length past the end",
         [](Bytes* f) { SetLittleEndian16(f, Before(*f, u"WM/AlbumTitle", 2), 0xFFFF); }, !refused},
        {"value length past the end",
         [](Bytes* f) { SetLittleEndian16(f, FindUtf16(*f, u"WM/AlbumTitle") + 28 + 2, 0xFFFF); }, !refused},
        {"metadata value length huge",
         [](Bytes* f) {
             size_t at = Before(*f, u"WM/Composer", 4);
             SetLittleEndian16(f, at, 0xFFFF);
             SetLittleEndian16(f, at + 2, 0xFFFF);
         },
         !refused},
        {"library record count huge",
         [](Bytes* f) { SetLittleEndian16(f, Before(*f, u"WM/Lyrics", 12), 0xFFFF); }, !refused},
        {"title length odd and long",
         [](Bytes* f) { SetLittleEndian16(f, Before(*f, u"Title", 10), 0x7FFF); }, !refused},
    };
    struct Input {
        std::string what;
        Bytes file;
        bool refused;
    };
    std::vector<Input> inputs;
    for (const auto& c : cases) {
        Bytes file = valid;
        c.damage(&file);
        inputs.push_back({c.what, file, c.refused});
    }
    const size_t header = AsfTopLevelObjects(valid).at(1).offset;
    for (size_t cut = 0; cut < header + 60; cut += 13) {
        inputs.push_back({"cut at " + std::to_string(cut), Bytes(valid.begin(), valid.begin() + cut), cut < header});
    }
    for (const auto& input : inputs) {
        std::string path = dir_.Write("damaged.wma", input.file);
        OpenedFile file(path);
        ASSERT_NE(file.get(), nullptr) << input.what;
        const int saved = DriveEverything(file.get());
        const Bytes after = ReadBytes(path);
        if (input.refused) {
            EXPECT_EQ(saved, 0) << input.what;
            EXPECT_EQ(after, input.file) << input.what;
        } else {
            EXPECT_EQ(AfterHeader(after), AfterHeader(input.file)) << input.what << ", saved " << saved;
        }
    }
}

}  // namespace
