// MP4 files through the exports: a save that grows the metadata in front of
// the audio moves every chunk offset with it, and refuses a file whose
// 32-bit offsets would overflow; atoms a change does not touch keep their
// bytes and places.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/module_test.h"

namespace {

Bytes Text(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes BigEndian(uint64_t value, int bytes) {
    Bytes out;
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes Atom(const char* name, const Bytes& content) {
    return Cat({BigEndian(8 + content.size(), 4), Text(name), content});
}

uint64_t ReadBig(const Bytes& data, size_t at, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value = value << 8 | data[at + i];
    return value;
}

// Offset of the first atom named `name` (its size field).
size_t Find(const Bytes& file, const char* name) {
    const Bytes key = Text(name);
    return std::search(file.begin(), file.end(), key.begin(), key.end()) - file.begin() - 4;
}

const Bytes kAudio = PatternBytes(3000);
const uint64_t kChunks[] = {0, 1000, 2000};  // within the audio

// An M4A file: one sound track whose chunk offsets (in a `table` atom, stco
// or co64) point at kChunks of the audio plus `bias`, its title, and the
// audio, after the movie atom or before it.
Bytes Mp4(const char* table, bool moovFirst, uint64_t bias) {
    const Bytes ftyp = Atom("ftyp", Text("M4A \0\0\0\0M4A mp42isom"));
    const Bytes sampleEntry = Atom("mp4a", Cat({Bytes(6, 0),
                                                {0, 1},
                                                Bytes(8, 0),
                                                {0, 2, 0, 16},
                                                Bytes(4, 0),
                                                BigEndian(44100 << 16, 4)}));
    auto movie = [&](uint64_t audioStart) {
        const int width = std::string(table) == "stco" ? 4 : 8;
        Bytes offsets = Cat({Bytes(4, 0), BigEndian(3, 4)});
        for (uint64_t chunk : kChunks)
            offsets = Cat({offsets, BigEndian(audioStart + chunk + bias, width)});
        const Bytes stbl =
            Atom("stbl", Cat({Atom("stsd", Cat({Bytes(4, 0), BigEndian(1, 4), sampleEntry})),
                              Atom(table, offsets)}));
        const Bytes mdia =
            Atom("mdia", Cat({Atom("mdhd", Cat({Bytes(12, 0), BigEndian(44100, 4),
                                                BigEndian(88200, 4), Bytes(4, 0)})),
                              Atom("hdlr", Cat({Bytes(8, 0), Text("soun"), Bytes(13, 0)})),
                              Atom("minf", stbl)}));
        const Bytes ilst =
            Atom("ilst",
                 Atom("\xA9nam", Atom("data", Cat({BigEndian(1, 4), Bytes(4, 0), Text("Old")}))));
        const Bytes meta = Atom(
            "meta", Cat({Bytes(4, 0),
                         Atom("hdlr", Cat({Bytes(8, 0), Text("mdirappl"), Bytes(9, 0)})), ilst}));
        return Atom("moov", Cat({Atom("trak", mdia), Atom("udta", meta)}));
    };
    if (moovFirst) {
        const size_t moovSize = movie(0).size();
        return Cat({ftyp, movie(ftyp.size() + moovSize + 8), Atom("mdat", kAudio)});
    }
    return Cat({ftyp, Atom("mdat", kAudio), movie(ftyp.size() + 8)});
}

using Mp4Test = ModuleTest;

TEST_F(Mp4Test, GrowingInFrontOfTheAudioMovesEveryChunkOffsetOrRefuses) {
    const uint64_t nearTop = 0xFFFFFFFFull - 4000;  // a file just under 4 GiB
    const struct {
        const char* table;
        bool moovFirst;
        uint64_t bias;
        bool saved;
    } cases[] = {
        {"stco", true, 0, true},        {"co64", true, 0, true},       {"stco", false, 0, true},
        {"stco", true, nearTop, false}, {"co64", true, nearTop, true},
    };
    for (const auto& c : cases) {
        const Bytes original = Mp4(c.table, c.moovFirst, c.bias);
        const std::string path = dir_.Write("a.m4a", original);
        {
            OpenedFile file(path);
            EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), "Old");
            TagParserSetDataW(file.get(), FIELD_TITLE, std::wstring(3000, L't').c_str());
            EXPECT_EQ(TagParserApplyFile(file.get()), c.saved ? 1 : 0) << c.table << c.bias;
        }
        const Bytes saved = ReadBytes(path);
        if (!c.saved) {
            EXPECT_TRUE(saved == original) << "a refused save leaves the file as it was";
            continue;
        }
        const int width = std::string(c.table) == "stco" ? 4 : 8;
        const uint64_t moved = c.moovFirst ? saved.size() - original.size() : 0;
        const size_t before = Find(original, c.table) + 16, after = Find(saved, c.table) + 16;
        for (size_t i = 0; i < 3; ++i) {
            const uint64_t offset = ReadBig(saved, after + i * width, width);
            EXPECT_EQ(offset, ReadBig(original, before + i * width, width) + moved) << c.table << i;
            if (c.bias == 0) EXPECT_EQ(saved[offset], kAudio[kChunks[i]]) << c.table << i;
        }
        OpenedFile file(path);
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE), std::string(3000, 't'));
    }
}

// The items of the metadata list, each atom's bytes.
std::vector<Bytes> Items(const Bytes& file) {
    const size_t ilst = Find(file, "ilst");
    std::vector<Bytes> items;
    for (size_t at = ilst + 8; at < ilst + ReadBig(file, ilst, 4);) {
        const size_t size = ReadBig(file, at, 4);
        items.emplace_back(file.begin() + at, file.begin() + at + size);
        at += size;
    }
    return items;
}

// A real file: its items (cover art, iTunes' free-form atom) keep their
// bytes and order; a new item goes last; the room a grown list leaves takes
// the next change without the file growing.
TEST_F(Mp4Test, ItemsAChangeDoesNotTouchKeepTheirBytes) {
    const std::string path =
        dir_.Write("t.m4a", ReadBytes(std::string(LY_TEST_DATA) + "/has-tags.m4a"));
    const std::vector<Bytes> items = Items(ReadBytes(path));
    ASSERT_EQ(items.size(), 4u);
    std::vector<size_t> sizes;
    for (const wchar_t* title : {L"Title", L"Title 2"}) {
        OpenedFile file(path);
        EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_TITLE2, title), 1);
        EXPECT_EQ(TagParserApplyFile(file.get()), 1);
        sizes.push_back(ReadBytes(path).size());
    }
    EXPECT_EQ(sizes[0], sizes[1]);
    const Bytes saved = ReadBytes(path);
    std::vector<Bytes> now = Items(saved);
    const Bytes title =
        Atom("\xA9nam", Atom("data", Cat({BigEndian(1, 4), Bytes(4, 0), Text("Title 2")})));
    EXPECT_EQ(now.back(), title);
    now.pop_back();
    EXPECT_EQ(now, items);
}

}  // namespace
