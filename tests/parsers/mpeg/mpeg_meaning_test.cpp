// The MPEG parser on MP3 files as other programs write them (iTunes, eyeD3,
// mutagen, taggers that leave frames TagLib cannot read), through the
// exports: each field answers what the file means, a save changes what the
// host changed and nothing else (every frame compared by python3-mutagen
// before and after), and a save that changes nothing writes nothing.
#include <gtest/gtest.h>
#include <taglib/id3v1tag.h>
#include <taglib/mpegfile.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "tests/parsers/mpeg/id3_builders.h"
#include "tests/parsers/parser_test_files.h"
#include "tests/support/module_test.h"
#include "tests/support/process.h"

namespace {

// Writes an MP3 of silence tagged by mutagen: argv[2] is a list of frames in
// Python, in an ID3v2.4 tag.
const char kMakeTagged[] = R"(
import sys
from mutagen.id3 import ID3, COMM, TCOM, TCON, TPE1, USLT, WXXX
open(sys.argv[1], 'wb').write((b'\xff\xfb\x90\x00' + bytes(413)) * 10)
tag = ID3()
for frame in eval('[' + sys.argv[2] + ']'): tag.add(frame)
tag.save(sys.argv[1], v1=0, v2_version=4)
)";

// For each pair of files (before, after a save): a line per frame that
// differs, "KEY: ATTRIBUTES" ("(gone)" when removed), then "--".
const char kFrameChanges[] = R"(
import sys, hashlib
from mutagen.id3 import ID3
def value(frame):
    parts = []
    for name, v in sorted(vars(frame).items()):
        if name == 'encoding': continue
        if isinstance(v, bytes): v = '%d bytes %s' % (len(v), hashlib.md5(v).hexdigest()[:6])
        elif isinstance(v, list): v = '/'.join(map(str, v))
        elif isinstance(v, int): v = int(v)
        parts.append('%s=%s' % (name, v))
    return ' '.join(parts)
def frames(path):
    return {key: value(frame) for key, frame in ID3(path, load_v1=False).items()}
for before, after in zip(sys.argv[1::2], sys.argv[2::2]):
    a, b = frames(before), frames(after)
    for key in sorted(set(a) | set(b)):
        if a.get(key) != b.get(key): print(key + ': ' + b.get(key, '(gone)'))
    print('--')
)";

const Bytes kPng = Concat({{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}, PatternBytes(92, 2)});
const Bytes kJpeg = Concat({{0xFF, 0xD8, 0xFF, 0xE0}, PatternBytes(60, 3)});
const Bytes kGif = TextBytes(std::string("GIF89a\x01\x00\x01\x00\x00\x00\x00;", 14));

class Mp3MeaningTest : public ModuleTest {
protected:
    void SetUp() override {
        if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is missing (./dev.sh installs it)";
    }
    void TearDown() override { TagParserCloseFile(handle_); }

    // Opens `data` as a new file; or, given Python `frames`, a file mutagen tagged.
    void Open(const Bytes& data) { OpenPath(dir_.Write(NextName(), data)); }
    void OpenTagged(const std::string& frames) {
        const std::string path = dir_.File(NextName());
        ASSERT_EQ(RunPython(kMakeTagged, {path, frames}).status, 0);
        OpenPath(path);
    }
    void OpenPath(const std::string& path) {
        TagParserCloseFile(handle_);
        path_ = path;
        handle_ = TagParserOpenFile(path.c_str());
        ASSERT_NE(handle_, nullptr);
        before_ = ReadBytes(path);
    }
    // Saves; the frames this save changed are among Changes() afterwards.
    int Apply() {
        const std::string unsaved = dir_.Write(NextName() + ".before", before_);
        const int result = TagParserApplyFile(handle_);
        OpenPath(path_);
        pairs_.insert(pairs_.end(), {unsaved, dir_.Write(NextName() + ".after", before_)});
        return result;
    }
    std::string Changes() { return RunPython(kFrameChanges, pairs_).out; }
    std::string Get(int id) { return TagParserGetData(handle_, id); }
    std::string NextName() { return "song" + std::to_string(++files_) + ".mp3"; }

    IBaseTag* handle_ = nullptr;
    std::string path_;
    Bytes before_;
    std::vector<std::string> pairs_;
    int files_ = 0;
};

const char kItunes[] =
    "COMM(encoding=0, lang='eng', desc='iTunNORM', text=' 0000036C 000003E6 00000BC1'), "
    "COMM(encoding=0, lang='eng', desc='iTunPGAP', text='0'), ";

// The comment, lyrics and URL are the frames without a description. Several
// values of a 2.4 frame read joined with "; "; set to exactly that text they
// stay several, any other text is one value.
TEST_F(Mp3MeaningTest, FieldsAnswerWhatTheFramesMeanAndChangeOnlyTheirOwn) {
    // clang-format off
    const std::tuple<std::string, int, const char*, const wchar_t*, const char*, const char*> rows[] = {
        // frames, field, read, set, read after the save, the frames it changed
        {kItunes, FIELD_COMMENT2, "", L"mine", "mine", "COMM::XXX: desc= lang=XXX text=mine\n"},
        {kItunes + std::string("COMM(encoding=1, lang='deu', desc='', text='Alt')"), FIELD_COMMENT2,
         "Alt", L"Neu", "Neu", "COMM::deu: desc= lang=deu text=Neu\n"},
        {"COMM(encoding=3, lang='eng', desc='Songs-DB_Custom1', text='x'), "
         "COMM(encoding=3, lang='eng', desc='note', text='by hand')", FIELD_COMMENT2, "by hand", L"",
         "by hand", ""},
        {"USLT(encoding=3, lang='eng', desc='translation', text='Words'), "
         "USLT(encoding=3, lang='deu', desc='', text='Worte')", FIELD_LYRICS, "Worte", L"",
         "Words", "USLT::deu: (gone)\n"},
        {"WXXX(encoding=0, desc='homepage', url='http://a.example/')", FIELD_URL,
         "http://a.example/", L"http://b.example/", "http://b.example/",
         "WXXX:: desc= url=http://b.example/\n"},
        {"TPE1(encoding=3, text=['Artist A', 'Artist B'])", FIELD_ARTIST2, "Artist A; Artist B",
         L"Artist A; Artist B", "Artist A; Artist B", ""},
        {"TCOM(encoding=3, text=['C1', 'C2'])", FIELD_COMPOSER, "C1; C2", L"C1; C3", "C1; C3",
         "TCOM: text=C1; C3\n"},
    };
    // clang-format on
    std::string expected;
    for (const auto& [frames, field, read, value, readAfter, changes] : rows) {
        OpenTagged(frames);
        EXPECT_EQ(Get(field), read) << frames;
        EXPECT_EQ(TagParserSetDataW(handle_, field, value), 1);
        EXPECT_EQ(Apply(), 1);
        EXPECT_EQ(Get(field), readAfter) << frames;
        expected += std::string(changes) + "--\n";
    }
    EXPECT_EQ(Changes(), expected);
}

// TagLib stops reading a tag at a frame without data or with a frame
// identifier it refuses. The frames after it are read all the same, and a
// save writes the unread ones back as they were, after the others; one it
// cannot write back so refuses the save.
TEST_F(Mp3MeaningTest, FramesTagLibStopsAtAreReadPastAndKept) {
    Bytes cutOff = TextBytes("TPE1");
    Put(&cutOff, 100, 4, true);
    cutOff.insert(cutOff.end(), {0, 0, 0, 'a', 'b'});  // flags, then 3 of the 100 bytes
    Bytes unsynchronised =
        Tag(3, {Text(3, "TIT2", "t"), Frame(3, "TENC", {}), Text(3, "TPE1", "whole")});
    unsynchronised[5] = 0x80;
    Bytes cutByFile = Tag(
        3, {Text(3, "TIT2", "t"), Frame(3, "TENC", {}), TextBytes(std::string("TPE1\0\0", 6))}, 99);
    cutByFile.resize(cutByFile.size() - 99);
    // clang-format off
    const std::tuple<const char*, Bytes, const char*, int, Bytes> rows[] = {
        // name, file, the artist (after the frame), the save's result, bytes the saved file holds
        {"mutagen's bad-POPM-frame.mp3", DataFile("bad-POPM-frame.mp3"), "she", 1,
         Frame(4, "TOPE", {})},
        {"TagLib's broken-tenc.id3", WithAudio(DataFile("broken-tenc.id3")), "A Ha", 1,
         Frame(4, "TENC", {0}, 0x2001)},
        {"2.3 frame without data", WithAudio(Tag(3, {Text(3, "TIT2", "t"), Frame(3, "TENC", {}, 0x4000),
                                                   Text(3, "TPE1", "after")})), "after", 1,
         Frame(4, "TENC", {}, 0x2000)},
        {"2.3 tag unsynchronised as a whole", WithAudio(unsynchronised), "whole", 1,
         Frame(4, "TENC", {})},
        {"2.2 frame without data", WithAudio(Tag(2, {Text(2, "TT2", "t"), Frame(2, "TEN", {}),
                                                   Text(2, "TP1", "after")})), "after", 0, {}},
        {"frame cut off by the file's end", cutByFile, "", 0, {}},
        {"frame cut off by the tag's end", WithAudio(Tag(4, {Text(4, "TIT2", "t"), cutOff})), "", 0,
         {}},
    };
    // clang-format on
    std::string expected;
    for (const auto& [name, file, artist, saved, kept] : rows) {
        Open(file);
        EXPECT_EQ(Get(FIELD_ARTIST2) + "|" + Get(FIELD_HAS_ID3V2), std::string(artist) + "|Y")
            << name;
        TagParserSetDataW(handle_, FIELD_TITLE2, L"saved");
        const Bytes unsaved = before_;
        EXPECT_EQ(Apply(), saved) << name;
        if (!saved) {
            pairs_.resize(pairs_.size() - 2);
            EXPECT_EQ(ReadBytes(path_), unsaved) << name;
            continue;
        }
        expected += "TIT2: text=saved\n--\n";
        EXPECT_EQ(Get(FIELD_ARTIST2), artist) << name;
        EXPECT_TRUE(Contains(ReadBytes(path_), kept)) << name;
    }
    EXPECT_EQ(Changes(), expected);
}

// Fields 33 and 34 and the copy answer the front cover, else the first
// picture; a new picture takes the front cover's place (or that of a lone
// picture of type "other", as this module wrote them) with its own MIME type,
// and every other picture stays. A file that is no image is refused.
TEST_F(Mp3MeaningTest, PicturesAnswerAndReplaceTheFrontCover) {
    const std::string gif = dir_.Write("new.gif", kGif);
    const std::string text = dir_.Write("notes.txt", TextBytes("not a picture"));
    const std::string cover = "APIC:: data=14 bytes bc4be3 desc= mime=image/gif type=3\n";
    // clang-format off
    const std::tuple<const char*, Bytes, std::string, Bytes, std::string, int, std::string> rows[] = {
        // name, file, label read, bytes copied, file set, result, the frames the save changed
        {"front cover between two others",
         WithAudio(Tag(3, {Picture("image/jpeg", "back", kJpeg, 4), Picture("image/png", "front", kPng),
                           Picture("image/jpeg", "artist", kJpeg, 8)})),
         "front [image/png]", kPng, gif, 1, cover + "APIC:front: (gone)\n"},
        {"iTunes' lone picture of type other", DataFile("itunes10.mp3"), "[image/png]", {}, gif, 1,
         cover},
        {"back cover only", WithAudio(Tag(3, {Picture("image/jpeg", "back", kJpeg, 4)})),
         "back [image/jpeg]", kJpeg, gif, 1, cover},
        {"no image", WithAudio(Tag(3, {Picture("image/png", "front", kPng)})), "front [image/png]",
         kPng, text, 0, ""},
    };
    // clang-format on
    std::string expected;
    for (const auto& [name, file, label, copied, picture, result, changes] : rows) {
        Open(file);
        EXPECT_EQ(Get(FIELD_PICTURE), label) << name;
        Bytes buffer(std::stoul("0" + Get(FIELD_PICTURE_INFO)) + 8, 0xA5);
        const int count = TagParserGetAttachedPictureData(handle_, buffer.data());
        if (!copied.empty()) {
            EXPECT_TRUE(Bytes(buffer.begin(), buffer.begin() + count) == copied) << name;
        }
        EXPECT_EQ(Bytes(buffer.end() - 8, buffer.end()), Bytes(8, 0xA5)) << "nothing beyond it";
        EXPECT_EQ(TagParserSetDataW(handle_, FIELD_PICTURE,
                                    std::wstring(picture.begin(), picture.end()).c_str()),
                  result)
            << name;
        EXPECT_EQ(Apply(), 1);
        EXPECT_EQ(Get(FIELD_PICTURE), result ? "[image/gif]" : label) << name;
        expected += changes + "--\n";
    }
    EXPECT_EQ(TagParserSetDataW(handle_, FIELD_PICTURE, L"/nonexistent/cover.gif"), 0);
    EXPECT_EQ(TagParserDeleteAttachedPicture(handle_), 1);
    EXPECT_EQ(Get(FIELD_PICTURE) + Get(FIELD_PICTURE_INFO), "");
    char unused[8];
    EXPECT_EQ(TagParserGetAttachedPictureData(handle_, unused), 0);
    EXPECT_EQ(Changes(), expected);
}

// A TagLib ID3v1 text handler that upper-cases, as a host might set its own.
class UpperCaseHandler : public TagLib::ID3v1::StringHandler {
public:
    TagLib::String parse(const TagLib::ByteVector& data) const override {
        return TagLib::String(data, TagLib::String::Latin1).upper();
    }
};

// The ID3v1 tag is read and written by its bytes, whatever text handler the
// host gave TagLib, and the handler stays the host's. Fields no one changed
// keep their bytes (a 30-character comment stays whole); the fill of empty
// ID3v2 fields takes the values without their padding.
TEST_F(Mp3MeaningTest, Id3v1IsItsOwnBytesWhateverTheHostGaveTagLib) {
    static UpperCaseHandler handler;
    TagLib::ID3v1::Tag::setStringHandler(&handler);
    const std::string comment = "thirty characters of comment!!";
    Bytes id3v1 = MakeId3v1Tag("One", "", "Alb", "1999", "", 0, 255);
    std::copy(comment.begin(), comment.end(), id3v1.begin() + 97);  // ID3v1.0: no track
    std::fill(id3v1.begin() + 66, id3v1.begin() + 93, ' ');         // "Alb" padded with blanks
    Open(Concat({Tag(4, {Text(4, "TIT2", "Two")}), Mp3Frames(), id3v1}));
    EXPECT_EQ(Get(FIELD_TITLE) + "|" + Get(FIELD_COMMENT) + "|" + Get(FIELD_TRACK),
              "One|" + comment + "|");
    TagParserSetDataW(handle_, FIELD_TITLE2, L"Two more");
    TagParserSetData(handle_, FIELD_HAS_ID3V1, "Y");
    TagParserSetData(handle_, FIELD_HAS_ID3V2, "Y");
    ASSERT_EQ(Apply(), 1);
    const Bytes saved = ReadBytes(path_);
    EXPECT_TRUE(Bytes(saved.end() - 128, saved.end()) == id3v1);
    TagLib::MPEG::File file(path_.c_str(), false);
    EXPECT_EQ(file.ID3v1Tag()->title(), "ONE") << "TagLib's handler is the host's";

    // A new 30-character comment is whole too, until a track number takes its last two bytes.
    const std::wstring other = L"another comment, of 30 letters";
    TagParserSetDataW(handle_, FIELD_COMMENT, other.c_str());
    ASSERT_EQ(Apply(), 1);
    EXPECT_EQ(TagParserGetDataW(handle_, FIELD_COMMENT), other);
    TagParserSetDataW(handle_, FIELD_TRACK, L"7");
    ASSERT_EQ(Apply(), 1);
    EXPECT_EQ(
        TagParserGetDataW(handle_, FIELD_COMMENT) + L"|" + TagParserGetDataW(handle_, FIELD_TRACK),
        other.substr(0, 28) + L"|7");
    TagLib::ID3v1::Tag::setStringHandler(nullptr);
    EXPECT_EQ(
        Changes(),
        "COMM::XXX: desc= lang=XXX text=" + comment +
            "\nTALB: text=Alb\nTDRC: text=1999\nTIT2: text=Two more\n--\n--\nTRCK: text=7\n--\n");
}

// No call changed a field or a picture and the mask keeps the tags the file
// has: the save returns 1 and the file stays as it was, inode and times too
// (a 2.3 tag is not rewritten as 2.4, ID3v1 does not fill ID3v2).
TEST_F(Mp3MeaningTest, ASaveThatChangesNothingWritesNothing) {
    auto idiom = [](IBaseTag* h) {
        for (int id : {FIELD_HAS_ID3V1, FIELD_HAS_ID3V2})
            TagParserSetData(h, id, TagParserGetData(h, id).c_str());
    };
    const Bytes v23 =
        Tag(3, {Text(3, "TIT2", "t"), Text(3, "TPE1", "a"), Commented(3, "COMM", "c")});
    // clang-format off
    const std::tuple<const char*, Bytes, std::function<void(IBaseTag*)>> rows[] = {
        {"nothing called", Concat({v23, Mp3Frames(), Id3v1("one")}), [](IBaseTag*) {}},
        {"the tags kept as they are", WithAudio(v23), idiom},
        {"an empty ID3v2 tag", WithAudio(Tag(3, {}, 200)), idiom},
        {"fields set to what they read", Concat({v23, Mp3Frames(), Id3v1("one")}), [](IBaseTag* h) {
             for (int id : {FIELD_TITLE, FIELD_TITLE2, FIELD_COMMENT2, FIELD_URL, FIELD_LYRICS})
                 TagParserSetDataW(h, id, TagParserGetDataW(h, id).c_str());
         }},
        {"removing what is not there", WithAudio(v23), [](IBaseTag* h) {
             TagParserSetDataW(h, FIELD_COMPOSER, L"");
             TagParserSetDataW(h, FIELD_TITLE, L"");
             TagParserDeleteAttachedPicture(h);
             TagParserSetData(h, FIELD_HAS_ID3V1, "N");
             TagParserSetData(h, FIELD_HAS_ID3V2, "Y");
         }},
    };
    // clang-format on
    for (const auto& [name, file, calls] : rows) {
        Open(file);
        const std::string before = FileState(path_);
        calls(handle_);
        EXPECT_EQ(TagParserApplyFile(handle_), 1) << name;
        EXPECT_EQ(FileState(path_), before) << name;
    }
    // The idiom and one change: one write, at the save.
    Open(WithAudio(v23));
    const std::string before = FileState(path_);
    idiom(handle_);
    TagParserSetDataW(handle_, FIELD_TITLE2, L"new");
    EXPECT_EQ(FileState(path_), before);
    EXPECT_EQ(TagParserApplyFile(handle_), 1);
    EXPECT_NE(FileState(path_), before);
}

}  // namespace
