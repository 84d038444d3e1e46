// How an MP3 handle uses its file, through the exports: between calls it
// holds no descriptor; the large blocks it reads give the same answers
// wherever a tag, a frame or a picture meets a block's edge; after a save it
// reads the file it wrote; and once the path names another file, or the
// file changed, it reads nothing more from it and writes nothing, until the
// path names the file as it was again.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "tests/support/module_test.h"
#include "tools/samples/mpeg_sample.h"

namespace {

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

// An ID3v2.3 tag of exactly `size` bytes (40 or more): a filler frame, then
// the title, which so lies at the tag's end.
Bytes TagOfSize(size_t size, const std::string& title) {
    const size_t filler = size - 10 - (11 + title.size()) - 11;
    return MakeId3v23Tag({{"TCOP", std::string(filler, 'c')}, {"TIT2", title}});
}

// An ID3v2.3 tag holding a JPEG picture of `data`, then the title.
Bytes PictureTag(const Bytes& data, const std::string& title) {
    return MakeId3v23Tag(
        {{"APIC", std::string("image/jpeg\0\x03\0", 13) + std::string(data.begin(), data.end())},
         {"TIT2", title}});
}

// `tag`, `frames` frames of 128 kbit/s (417 bytes each), an ID3v1 tag.
Bytes Song(const Bytes& tag, int frames, const std::string& id3v1Title = "one") {
    return Concat({tag, MakeMpegFrames(kMp3Header128k, kMp3FrameLength128k, frames),
                   MakeId3v1Tag(id3v1Title, "", "", "", "", 0, 255)});
}

// Descriptors this process holds (the count's own included, every time).
int OpenDescriptors() {
    int count = 0;
    DIR* folder = opendir("/proc/self/fd");
    while (dirent* entry = readdir(folder)) count += entry->d_name[0] != '.';
    closedir(folder);
    return count;
}

struct Range {
    int start = 0, end = 0, result = 0;
    bool operator==(const Range& other) const {
        return start == other.start && end == other.end && result == other.result;
    }
};

std::ostream& operator<<(std::ostream& out, const Range& range) {
    return out << range.start << ".." << range.end << " (" << range.result << ")";
}

Range Locate(IBaseTag* handle) {
    Range range;
    range.result = TagParserGetSourceLength(handle, &range.start, &range.end);
    return range;
}

// The range of a file of `tagSize` bytes of ID3v2 tag, then frames, then an
// ID3v1 tag, `size` bytes in all: the audio starts right after the tag.
Range Expected(int tagSize, int size) { return {tagSize, size + tagSize - 128, size - 128}; }

// What a search that reads nothing finds in such a file: no audio.
Range NothingRead(int size) { return {0, size - 1 - 128, size - 1 - 128}; }

class MpegFileUseTest : public ModuleTest {};

TEST_F(MpegFileUseTest, HandlesHoldNoDescriptorBetweenCalls) {
    const std::vector<std::string> paths = {
        dir_.Write("small.mp3", Song(TagOfSize(300, "small"), 24)),
        dir_.Write("middle.mp3", Song(TagOfSize(20000, "middle"), 200)),
        dir_.Write("picture.mp3", Song(PictureTag(PatternBytes(300000), "picture"), 2000)),
    };
    const int before = OpenDescriptors();
    std::vector<IBaseTag*> handles;
    for (int i = 0; i < 300; ++i) {
        handles.push_back(TagParserOpenFile(paths[i % paths.size()].c_str()));
        ASSERT_NE(handles.back(), nullptr);
    }
    EXPECT_EQ(OpenDescriptors(), before) << "after the opens";
    for (IBaseTag* handle : handles) {
        int start = 0, end = 1000;
        Locate(handle);
        TagParserGetData(handle, FIELD_TITLE2);
        TagParserGetFileInfo(handle, 0);
        TagParserGetMD5(handle, &start, &end);
    }
    EXPECT_EQ(OpenDescriptors(), before) << "after reading calls";

    // Saves, and the removal of a tag that writes at once.
    for (const char* name : {"saved.mp3", "stripped.mp3"}) {
        OpenedFile file(dir_.Write(name, Song(TagOfSize(300, "x"), 24)));
        ASSERT_NE(file.get(), nullptr);
        if (std::string(name) == "saved.mp3") {
            TagParserSetData(file.get(), FIELD_TITLE2, "changed");
            EXPECT_EQ(TagParserApplyFile(file.get()), 1);
        } else {
            TagParserSetData(file.get(), FIELD_HAS_ID3V2, "N");
            EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE2), "");
        }
        EXPECT_EQ(OpenDescriptors(), before) << name;
    }
    for (IBaseTag* handle : handles) TagParserCloseFile(handle);
}

TEST_F(MpegFileUseTest, AnswersAreTheSameWhereverDataMeetsABlockEdge) {
    // Tag sizes around 16 KiB and 64 KiB, and whole files just under, at and
    // over 64 KiB (150 frames and an ID3v1 tag leave the rest to the tag).
    const int kFrames = 150;
    const int kAroundWhole = 65536 - kFrames * kMp3FrameLength128k - 128;
    const int tagSizes[] = {40,           300,
                            16384 - 11,   16384 - 1,
                            16384,        16384 + 1,
                            16384 + 417,  32768 - 4,
                            65536 - 417,  65536 + 2,
                            70000,        kAroundWhole - 1,
                            kAroundWhole, kAroundWhole + 1};
    for (int tagSize : tagSizes) {
        for (int frames : {kFrames, 3000}) {
            const Bytes file = Song(TagOfSize(static_cast<size_t>(tagSize), "two"), frames);
            OpenedFile handle(dir_.Write("edge.mp3", file));
            ASSERT_NE(handle.get(), nullptr) << tagSize;
            const std::string where =
                std::to_string(tagSize) + " + " + std::to_string(frames) + " frames";
            EXPECT_EQ(TagParserGetData(handle.get(), FIELD_TITLE2), "two") << where;
            EXPECT_EQ(TagParserGetData(handle.get(), FIELD_TITLE), "one") << where;
            EXPECT_EQ(TagParserGetFileInfo(handle.get(), 2) + " " +
                          TagParserGetFileInfo(handle.get(), 3) + " " +
                          TagParserGetFileInfo(handle.get(), 10),
                      "128 44100 " + std::to_string(tagSize))
                << where;
            EXPECT_EQ(Locate(handle.get()), Expected(tagSize, static_cast<int>(file.size())))
                << where;
        }
    }
    // Pictures read past a block's edge, and straight into place.
    for (size_t pictureSize :
         {size_t{16000}, size_t{16384}, size_t{16384 * 3 + 5}, size_t{300000}}) {
        const Bytes picture = PatternBytes(pictureSize, 5);
        const Bytes tag = PictureTag(picture, "three");
        const Bytes file = Song(tag, 100);
        OpenedFile handle(dir_.Write("picture.mp3", file));
        ASSERT_NE(handle.get(), nullptr) << pictureSize;
        EXPECT_EQ(TagParserGetData(handle.get(), FIELD_TITLE2), "three") << pictureSize;
        ASSERT_EQ(TagParserGetData(handle.get(), FIELD_PICTURE_INFO), std::to_string(pictureSize));
        Bytes copied(pictureSize);
        EXPECT_EQ(TagParserGetAttachedPictureData(handle.get(), copied.data()),
                  static_cast<int>(pictureSize));
        EXPECT_TRUE(copied == picture) << pictureSize;
        EXPECT_EQ(Locate(handle.get()),
                  Expected(static_cast<int>(tag.size()), static_cast<int>(file.size())))
            << pictureSize;
    }
}

TEST_F(MpegFileUseTest, AfterASaveTheHandleReadsTheFileItWrote) {
    const Bytes tag = TagOfSize(16384 + 100, "old");
    const std::string path = dir_.Write("song.mp3", Song(tag, 300));
    OpenedFile handle(path);
    ASSERT_NE(handle.get(), nullptr);
    Locate(handle.get());
    // A bigger tag moves the audio: the same handle finds it where it now is.
    TagParserSetData(handle.get(), FIELD_TITLE2, "new");
    TagParserSetData(handle.get(), FIELD_COMPOSER, std::string(40000, 'w').c_str());
    ASSERT_EQ(TagParserApplyFile(handle.get()), 1);
    const int size = static_cast<int>(ReadBytes(path).size());
    const int tagSize = std::stoi(TagParserGetFileInfo(handle.get(), 10));
    EXPECT_GT(tagSize, 40000);
    EXPECT_EQ(Locate(handle.get()), Expected(tagSize, size));
    EXPECT_EQ(TagParserGetData(handle.get(), FIELD_TITLE2), "new");
    // Removing the tag at once: the audio now starts the file.
    TagParserSetData(handle.get(), FIELD_HAS_ID3V2, "N");
    EXPECT_EQ(TagParserGetData(handle.get(), FIELD_TITLE2), "");
    EXPECT_EQ(Locate(handle.get()), Expected(0, static_cast<int>(ReadBytes(path).size())));
    EXPECT_EQ(TagParserGetData(handle.get(), FIELD_TITLE), "one");
}

TEST_F(MpegFileUseTest, FileLeftAloneAnswersAsWhenOpened) {
    const Bytes file = Song(TagOfSize(2000, "alone"), 500);
    OpenedFile handle(dir_.Write("alone.mp3", file));
    ASSERT_NE(handle.get(), nullptr);
    const Range first = Locate(handle.get());
    EXPECT_EQ(first, Expected(2000, static_cast<int>(file.size())));
    const std::string report = TagParserGetFileInfo(handle.get(), 0);
    for (int i = 0; i < 50; ++i)
        OpenedFile other(dir_.Write("other.mp3", Song(TagOfSize(100, "x"), 10)));
    EXPECT_EQ(Locate(handle.get()), first);
    EXPECT_EQ(TagParserGetFileInfo(handle.get(), 0), report);
    TagParserSetData(handle.get(), FIELD_TITLE2, "saved");
    EXPECT_EQ(TagParserApplyFile(handle.get()), 1);
}

// Sets the modification time of `path` to `seconds` past the epoch.
void SetModified(const std::string& path, time_t seconds) {
    struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST_F(MpegFileUseTest, ChangedOrReplacedFileIsNotReadUntilItIsBack) {
    struct Change {
        const char* name;
        void (*apply)(const std::string& path, const Bytes& original);
    };
    const Change changes[] = {
        {"replaced by a copy",
         [](const std::string& path, const Bytes& original) {
             WriteBytes(path + ".copy", original);
             ASSERT_EQ(rename((path + ".copy").c_str(), path.c_str()), 0);
         }},
        {"deleted",
         [](const std::string& path, const Bytes&) { ASSERT_EQ(unlink(path.c_str()), 0); }},
        {"rewritten in place",
         [](const std::string& path, const Bytes& original) {
             Bytes changed = original;
             changed[20] ^= 1;
             WriteBytes(path, changed);
             SetModified(path, 2000000000);
         }},
        {"grown",
         [](const std::string& path, const Bytes& original) {
             WriteBytes(path, Concat({original, {0}}));
         }},
        {"only its time changed",
         [](const std::string& path, const Bytes&) { SetModified(path, 2000000000); }},
    };
    for (const Change& change : changes) {
        const Bytes original = Song(TagOfSize(3000, "mine"), 400);
        const int size = static_cast<int>(original.size());
        const std::string path = dir_.Write("song.mp3", original);
        const std::string kept = dir_.File("kept.mp3");
        SetModified(path, 1500000000);
        ASSERT_EQ(link(path.c_str(), kept.c_str()), 0);
        OpenedFile handle(path);
        ASSERT_NE(handle.get(), nullptr);
        ASSERT_EQ(Locate(handle.get()), Expected(3000, size)) << change.name;

        change.apply(path, original);
        const Bytes changed = access(path.c_str(), F_OK) == 0 ? ReadBytes(path) : Bytes();
        EXPECT_EQ(Locate(handle.get()), NothingRead(size)) << change.name;
        EXPECT_EQ(TagParserGetData(handle.get(), FIELD_TITLE2), "mine") << change.name;
        TagParserSetData(handle.get(), FIELD_TITLE2, "theirs");
        EXPECT_EQ(TagParserApplyFile(handle.get()), 0) << change.name;
        if (!changed.empty()) {
            EXPECT_TRUE(ReadBytes(path) == changed) << change.name;
        }

        // The path names the file as it was again: the handle reads and saves it.
        struct stat keptInfo;
        ASSERT_EQ(stat(kept.c_str(), &keptInfo), 0);
        struct stat pathInfo;
        if (stat(path.c_str(), &pathInfo) == 0 && pathInfo.st_ino == keptInfo.st_ino) {
            WriteBytes(path, original);
            SetModified(path, 1500000000);
            ASSERT_EQ(unlink(kept.c_str()), 0);
        } else {
            ASSERT_EQ(rename(kept.c_str(), path.c_str()), 0);
        }
        EXPECT_EQ(Locate(handle.get()), Expected(3000, size)) << change.name;
        EXPECT_EQ(TagParserApplyFile(handle.get()), 1) << change.name;
        OpenedFile reopened(path);
        EXPECT_EQ(TagParserGetData(reopened.get(), FIELD_TITLE2), "theirs") << change.name;
    }
}

}  // namespace
