// MP3 fixtures written byte by byte: ID3v2 tags of any version with any
// frames (also forms TagLib would not write), ID3v1 and APE tags, MPEG
// frames with chosen headers and Xing headers, and corruptions of them.
#ifndef LYPARSER_TESTS_SUPPORT_MPEG_FIXTURES_H
#define LYPARSER_TESTS_SUPPORT_MPEG_FIXTURES_H

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/module_test.h"
#include "tools/samples/mpeg_sample.h"

Bytes Concat(const std::vector<Bytes>& parts);
Bytes TextBytes(const std::string& text);

// One ID3v2 frame of tag version `major` (2: three-letter id and 6-byte
// header; 3: plain size; 4: sync-safe size) around `body`.
Bytes Id3v2Frame(int major, const std::string& id, const Bytes& body);
// A text frame body: encoding byte then the text (already encoded).
Bytes TextFrame(int major, const std::string& id, const std::string& text, unsigned char encoding = 0);
// COMM/USLT body: encoding, language, empty description, text.
Bytes CommentLikeFrame(int major, const std::string& id, const std::string& text,
                       const std::string& language = "eng");
// APIC body: Latin-1, `mime`, picture type 3, `description`, `data`.
Bytes PictureFrame(int major, const std::string& mime, const std::string& description, const Bytes& data);
// WXXX body: Latin-1, `description`, the URL.
Bytes UrlFrame(int major, const std::string& description, const std::string& url);

// An ID3v2 tag of version 2.`major`.0 holding `frames`, then `padding` zero
// bytes. `declaredSize` (when not 0) replaces the size the header states.
Bytes Id3v2Tag(int major, const std::vector<Bytes>& frames, size_t padding = 0, uint32_t declaredSize = 0);

// An APEv2 tag (footer only) with text items, e.g. {{"Title", "x"}}.
Bytes ApeTag(const std::vector<std::pair<std::string, std::string>>& items);

// `count` frames of 128 kbit/s MPEG-1 Layer III (417 bytes each).
Bytes Mp3Frames(int count = 20);
// Frames with `header`; the first carries a Xing header with `totalFrames`.
Bytes XingFrames(uint32_t header, int frameLength, int count, uint32_t totalFrames);

// The sync-safe size field of the ID3v2 tag at the start of `file` set to `size`.
void SetId3v2DeclaredSize(Bytes* file, uint32_t size);

// What the independent reader (python3-mutagen) finds in the ID3v2 tag of
// `path`: "version 2.4.0", then one line per frame, e.g.
// "TIT2 enc=3 text=Title", "COMM enc=0 lang='   ' text=x",
// "APIC enc=0 mime=image/jpeg type=0 size=3000". "none" without a tag,
// empty text when the reader cannot run.
std::string MutagenId3Dump(const std::string& path);

// Fixture for MP3 tests through the exports: one handle on the file last written.
class Mp3ExportTest : public ModuleTest {
protected:
    void TearDown() override { Close(); }

    // Writes `data` as `name` and opens it; fails the test when it does not open.
    void Open(const Bytes& data, const std::string& name = "test.mp3") {
        path_ = dir_.Write(name, data);
        Reopen();
    }
    void Reopen() {
        Close();
        handle_ = TagParserOpenFile(path_.c_str());
        ASSERT_NE(handle_, nullptr) << path_;
    }
    void Close() {
        TagParserCloseFile(handle_);
        handle_ = nullptr;
    }

    std::string path_;
    IBaseTag* handle_ = nullptr;
};

#endif  // LYPARSER_TESTS_SUPPORT_MPEG_FIXTURES_H
