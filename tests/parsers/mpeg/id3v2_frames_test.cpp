// ID3v2 frames across versions, through the exports: what a 2.2 or 2.3 tag
// keeps when a save writes it as 2.4, genre texts of each version, and the
// 2.2 frames TagLib files under the wrong name. Saved files are checked by
// reopening them and by python3-mutagen.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/support/module_test.h"
#include "tests/support/process.h"
#include "tools/samples/mpeg_sample.h"

namespace {

Bytes Concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// A Latin-1 text frame of tag version `major`: 2.2 ids have three letters and
// a 3-byte size; `flags` is the first flag byte of a 2.3 or 2.4 frame.
Bytes Text(int major, const std::string& id, const std::string& text, unsigned char flags = 0) {
    Bytes out(id.begin(), id.end());
    const uint32_t size = static_cast<uint32_t>(text.size() + 1);  // 2.4: seven bits a byte
    for (int i = major == 2 ? 2 : 3; i >= 0; --i) {
        out.push_back(
            static_cast<unsigned char>(major == 4 ? size >> 7 * i & 0x7F : size >> 8 * i));
    }
    if (major > 2) out.insert(out.end(), {flags, 0});
    out.push_back(0);
    out.insert(out.end(), text.begin(), text.end());
    return out;
}

Bytes WithAudio(const Bytes& tag) {
    return Concat({tag, MakeMpegFrames(kMp3Header128k, kMp3FrameLength128k, 10)});
}

// An MP3 whose ID3v2.`major` tag holds `frames`.
Bytes Mp3(int major, const std::vector<Bytes>& frames) {
    Bytes body = Concat(frames);
    Bytes tag = {'I', 'D', '3', static_cast<unsigned char>(major), 0, 0};
    for (int i = 3; i >= 0; --i)
        tag.push_back(static_cast<unsigned char>(body.size() >> 7 * i & 0x7F));
    return WithAudio(Concat({tag, body}));
}

// Prints each tag of the files named, as stored (not upgraded), then "----".
constexpr char kMutagenScript[] = R"(import sys
from mutagen.id3 import ID3
sys.stdout.reconfigure(encoding='utf-8')
for path in sys.argv[1:]:
    tag = ID3(path, load_v1=False, translate=False)
    print(tag.version)
    for key, frame in tag.items(): print(key + '=' + '/'.join(map(str, frame.text)))
    print('----')
)";

// Each test saves one file per case, then reads them all with one run of
// python3-mutagen.
class Id3v2FramesTest : public ModuleTest {
protected:
    void TearDown() override { TagParserCloseFile(handle_); }

    void Open(const Bytes& data) {
        path_ = dir_.Write("case" + std::to_string(saved_.size()) + ".mp3", data);
        Reopen();
    }
    void Reopen() {
        TagParserCloseFile(handle_);
        handle_ = TagParserOpenFile(path_.c_str());
        ASSERT_NE(handle_, nullptr) << path_;
    }
    // Changes the title, saves the ID3v2 tag (the files have no ID3v1 tag) and
    // reopens. `frames` is what mutagen is to find after the title.
    void SaveNewTitle(const std::string& name, const std::string& frames) {
        TagParserSetDataW(handle_, FIELD_TITLE2, L"saved");
        TagParserSetData(handle_, FIELD_HAS_ID3V2, "Y");
        ASSERT_EQ(TagParserApplyFile(handle_), 1) << name;
        saved_.push_back({name, path_, "(2, 4, 0)\nTIT2=saved\n" + frames});
        Reopen();
    }
    // Compares each saved tag with mutagen's view of it: its version, then a
    // line per frame: key, "=", texts joined with "/" ("TXXX:TRDA=May 15").
    void CheckSavedFiles() {
        if (!HaveMutagen())
            GTEST_SKIP()
                << "python3-mutagen is missing: install it to check with an independent reader";
        std::vector<std::string> paths;
        for (const auto& file : saved_) paths.push_back(file.path);
        std::string out = RunPython(kMutagenScript, paths).out;
        for (const auto& file : saved_) {
            size_t end = out.find("----\n");
            ASSERT_NE(end, std::string::npos) << file.name;
            EXPECT_EQ(out.substr(0, end), file.dump) << file.name;
            out.erase(0, end + 5);
        }
    }
    std::string Get(int id) { return TagParserGetData(handle_, id); }

    struct SavedFile {
        std::string name, path, dump;
    };
    std::vector<SavedFile> saved_;
    std::string path_;
    IBaseTag* handle_ = nullptr;
};

TEST_F(Id3v2FramesTest, SavingAsVersion24KeepsTextFramesVersion24HasNoPlaceFor) {
    // Date and time join the recording time where TagLib can merge them; what it cannot
    // merge, and any other text frame it would leave out, stays as a user text frame
    // named after it. The size (TSIZ) goes: a save makes it untrue.
    // clang-format off
    const std::tuple<const char*, Bytes, const char*, const char*> cases[] = {  // name, file, year, saved frames
        {"2.3 date, time, recording dates, size",
         WithAudio(MakeId3v23Tag({{"TIT2", "t"}, {"TYER", "1999"}, {"TDAT", "1505"}, {"TIME", "1230"},
                                  {"TRDA", "May 15-16, 1999"}, {"TSIZ", "4170"}})),
         "1999", "TDRC=1999-05-15 12:30\nTXXX:TRDA=May 15-16, 1999\n"},
        {"2.3 date and time without a year",
         WithAudio(MakeId3v23Tag({{"TIT2", "t"}, {"TDAT", "1505"}, {"TIME", "1230"}})),
         "", "TXXX:TDAT=1505\nTXXX:TIME=1230\n"},
        {"2.3 date TagLib cannot merge", WithAudio(MakeId3v23Tag({{"TIT2", "t"}, {"TYER", "1999"}, {"TDAT", "15.05"}})),
         "1999", "TDRC=1999\nTXXX:TDAT=15.05\n"},
        {"2.3 recording dates beside a user frame of their name",
         WithAudio(MakeId3v23Tag({{"TIT2", "t"}, {"TRDA", "May 15"}, {"TXXX", std::string("TRDA\0May 16", 11)}})),
         "", "TXXX:TRDA=May 16/May 15\n"},
        {"2.2 date, time, size",
         Mp3(2, {Text(2, "TT2", "t"), Text(2, "TYE", "1999"), Text(2, "TDA", "1505"), Text(2, "TIM", "1230"),
                 Text(2, "TSI", "4170")}),
         "1999", "TDRC=1999-05-15 12:30\n"},
        {"2.2 frame with no four-letter name", Mp3(2, {Text(2, "TT2", "t"), Text(2, "TZZ", "Own words")}),
         "", "TXXX:TZZ=Own words\n"},
        {"2.3 text frame flagged to go if unknown", Mp3(3, {Text(3, "TIT2", "t"), Text(3, "TCOM", "Bach", 0x80)}),
         "", "TCOM=Bach\n"},
        {"2.4 comment flagged to go if unknown",
         Mp3(4, {Text(4, "TIT2", "t"), Text(4, "COMM", std::string("eng\0note", 8), 0x40)}), "", "COMM::eng=note\n"},
    };
    // clang-format on
    for (const auto& [name, file, year, frames] : cases) {
        Open(file);
        SaveNewTitle(name, frames);
        EXPECT_EQ(Get(FIELD_TITLE2) + "|" + Get(FIELD_YEAR2), std::string("saved|") + year) << name;
    }
    CheckSavedFiles();
}

TEST_F(Id3v2FramesTest, GenreTextIsReadByItsVersionAndASaveKeepsWhatItMeans) {
    // A 2.4 text is read and kept as stored; a 2.2/2.3 text, read by the old rules, is
    // saved in 2.4 form: its "(n)" references become fields of their own.
    // clang-format off
    const std::tuple<int, std::string, const char*, const char*, const char*> cases[] = {
        // version, stored text, read, saved, read after the save
        {4, "(17)", "(17)", "(17)", "(17)"},
        {4, "(17)Rock", "(17)Rock", "(17)Rock", "(17)Rock"},
        {4, "17", "Rock", "17", "Rock"},
        {4, std::string("Grunge\0" "80", 9), "Grunge Folk", "Grunge/80", "Grunge Folk"},
        {3, "(17)", "Rock", "17", "Rock"},
        {3, "(17)Rock", "Rock", "17", "Rock"},
        {3, "(17)Grunge Pop", "Grunge Pop", "17/Grunge Pop", "Rock Grunge Pop"},
        {3, "(RX)(31)((Live)", "(31)((Live)", "RX/31/(Live)", "RX Trance (Live)"},
        {3, "(999)", "", "(999)", "(999)"},
        {3, "Grunge", "Grunge", "Grunge", "Grunge"},
        {2, "(9)", "Metal", "9", "Metal"},
    };
    // clang-format on
    for (const auto& [major, stored, read, saved, readAfter] : cases) {
        const std::string name = std::to_string(major) + " " + stored;
        const bool v22 = major == 2;
        Open(Mp3(major, {Text(major, v22 ? "TT2" : "TIT2", "t"),
                         Text(major, v22 ? "TCO" : "TCON", stored)}));
        EXPECT_EQ(Get(FIELD_GENRE2), read) << name;
        SaveNewTitle(name, std::string("TCON=") + saved + "\n");
        EXPECT_EQ(Get(FIELD_GENRE2), readAfter) << name;
    }
    CheckSavedFiles();
}

TEST_F(Id3v2FramesTest, Version22OriginalArtistAndLyricistKeepTheirMeaning) {
    // TOA is the original artist, TOT the original album, TXT the lyricist; a 2.3 tag
    // carrying 2.2 frames (a NUL as fourth letter) means the same.
    // clang-format off
    const Bytes v22 = Mp3(2, {Text(2, "TT2", "t"), Text(2, "TOA", "First Singer"), Text(2, "TOT", "First LP"),
                              Text(2, "TXT", "Words By")});
    const Bytes v23 = Mp3(3, {Text(3, "TIT2", "t"), Text(3, std::string("TOA\0", 4), "First Singer"),
                              Text(3, std::string("TOT\0", 4), "First LP"), Text(3, std::string("TXT\0", 4), "Words By")});
    const std::tuple<const char*, Bytes, const wchar_t*, const char*> cases[] = {
        // name, file, original artist set (or none), saved frames
        {"2.2", v22, nullptr, "TOPE=First Singer\nTOAL=First LP\nTEXT=Words By\n"},
        {"2.2, a new original artist", v22, L"Second Singer", "TOPE=Second Singer\nTOAL=First LP\nTEXT=Words By\n"},
        {"2.3 with 2.2 ids", v23, nullptr, "TOPE=First Singer\nTOAL=First LP\nTEXT=Words By\n"},
    };
    // clang-format on
    for (const auto& [name, file, set, frames] : cases) {
        Open(file);
        EXPECT_EQ(Get(FIELD_ORIGINAL_ARTIST), "First Singer") << name;
        if (set) TagParserSetDataW(handle_, FIELD_ORIGINAL_ARTIST, set);
        SaveNewTitle(name, frames);
        EXPECT_EQ(Get(FIELD_ORIGINAL_ARTIST), set ? "Second Singer" : "First Singer") << name;
    }
    CheckSavedFiles();
}

}  // namespace
