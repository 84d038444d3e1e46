#include "parsers/mpeg/id3v2_bad_frames.h"

#include <taglib/id3v2extendedheader.h>
#include <taglib/id3v2footer.h>
#include <taglib/id3v2synchdata.h>

#include <cstdint>
#include <memory>

#include "parsers/mpeg/genre_frame_factory.h"

namespace ID3v2 = TagLib::ID3v2;
using TagLib::ByteVector;

namespace {

constexpr unsigned int kTagHeaderSize = 10;
constexpr unsigned int kFrameHeaderSize = 10;  // 2.3 and 2.4

// Four (2.2: three) ASCII letters or digits: a frame header, though perhaps
// one TagLib refuses, and not padding or stray bytes.
bool LooksLikeFrameId(const ByteVector& id, unsigned int version) {
    if (id.size() != (version < 3 ? 3u : 4u)) return false;
    for (char c : id) {
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

// Where TagLib's reading of `tag`'s frames ended, counted as TagLib counts it
// in the tag's data (after the tag header).
unsigned int WhereReadingEnded(ID3v2::Tag* tag, unsigned int frameHeaderSize) {
    unsigned int position = 0;
    if (tag->header()->extendedHeader() && tag->extendedHeader() &&
        tag->extendedHeader()->size() <= tag->header()->tagSize()) {
        position = tag->extendedHeader()->size();
    }
    for (const ID3v2::Frame* frame : tag->frameList()) position += frame->size() + frameHeaderSize;
    return position;
}

// Where TagLib's loop over the frames of `tag`, whose data (after the tag
// header) is `length` bytes, ends: it counts the extended header twice and
// leaves a footer out.
unsigned int FramesLimit(ID3v2::Tag* tag, unsigned int length) {
    const ID3v2::Header* header = tag->header();
    if (header->extendedHeader() && tag->extendedHeader() &&
        tag->extendedHeader()->size() <= length) {
        length -= tag->extendedHeader()->size();
    }
    if (header->footerPresent() && ID3v2::Footer::size() <= length) length -= ID3v2::Footer::size();
    return length;
}

}  // namespace

void ID3v2BadFrames::Read(TagLib::File* file, ID3v2::Tag* tag, const ID3v2::FrameFactory* factory) {
    if (!tag) return;
    const ID3v2::Header* header = tag->header();
    const unsigned int version = header->majorVersion();
    if (version < 2 || version > 4) return;
    file->seek(0);
    if (file->readBlock(3) != "ID3") return;  // a tag elsewhere is read as TagLib reads it

    const unsigned int headerSize = ID3v2::Frame::headerSize(version);
    const unsigned int tagSize = header->tagSize();
    const unsigned int start = WhereReadingEnded(tag, headerSize);
    unsigned int limit = FramesLimit(tag, tagSize);

    // The tag's data from `base` on; all of it when it must be decoded first.
    ByteVector data;
    unsigned int base = 0;
    if (header->unsynchronisation() && version <= 3) {
        file->seek(kTagHeaderSize);
        data = ID3v2::SynchData::decode(file->readBlock(tagSize));
        limit = FramesLimit(tag, data.size());
    } else {
        // Mostly TagLib read every frame: padding, or the tag's end, follows.
        if (start + headerSize >= limit) return;
        file->seek(kTagHeaderSize + start);
        const ByteVector next = file->readBlock(1);
        if (next.isEmpty() || next[0] == 0) return;
        base = start;
        file->seek(kTagHeaderSize + start);
        data = file->readBlock(tagSize - start);
    }

    bool added = false;
    for (unsigned int position = start; position + headerSize < limit;) {
        const ByteVector rest = data.mid(position - base);
        if (rest.isEmpty() || rest[0] == 0) break;  // padding
        std::unique_ptr<ID3v2::Frame> frame(factory->createFrame(rest, header));
        if (frame && frame->size() > 0) {
            position += frame->size() + headerSize;
            tag->addFrame(frame.release());
            added = true;
            continue;
        }
        const ID3v2FrameHeaderName::Header frameHeader(rest.mid(0, headerSize), version);
        if (!LooksLikeFrameId(frameHeader.frameID(), version)) break;
        const uint64_t frameEnd = uint64_t{headerSize} + frameHeader.frameSize();
        if (rest.size() < frameEnd || position + frameEnd > limit) {
            writable_ = false;  // a frame cut off by the tag's end, or the file's
            break;
        }
        Keep(rest.mid(0, static_cast<unsigned int>(frameEnd)), version);
        position += static_cast<unsigned int>(frameEnd);
    }
    if (added) factory->rebuildAggregateFrames(tag);
}

void ID3v2BadFrames::Keep(const ByteVector& frame, unsigned int version) {
    if (version == 4) {
        frames_.push_back(frame);
        return;
    }
    // A 2.3 frame keeps its identifier, status flags and data; its size
    // becomes sync-safe. A compressed, encrypted or grouped one, or a 2.2
    // frame, has no 2.4 form with the same bytes.
    if (version != 3 || frame[9] != 0) {
        writable_ = false;
        return;
    }
    ByteVector converted = frame.mid(0, 4);
    converted.append(ID3v2::SynchData::fromUInt(frame.size() - kFrameHeaderSize));
    converted.append(static_cast<char>((static_cast<unsigned char>(frame[8]) >> 1) & 0x70));
    converted.append('\0');
    converted.append(frame.mid(kFrameHeaderSize));
    frames_.push_back(converted);
}

void ID3v2BadFrames::WriteInto(TagLib::File* file) const {
    if (frames_.empty()) return;
    ByteVector frames;
    for (const ByteVector& frame : frames_) frames.append(frame);
    file->seek(0);
    const ByteVector head = file->readBlock(kTagHeaderSize);
    if (head.size() < kTagHeaderSize || !head.startsWith("ID3")) {
        ByteVector tag("ID3\x04\x00\x00", 6);
        tag.append(ID3v2::SynchData::fromUInt(frames.size()));
        file->insert(tag + frames, 0, 0);
        return;
    }
    // The tag the save rendered: 2.4 frames, then padding.
    const unsigned int size = ID3v2::SynchData::toUInt(head.mid(6, 4));
    const ByteVector body = file->readBlock(size);
    unsigned int end = 0;
    while (end + kFrameHeaderSize <= body.size() && body[end] != 0)
        end += kFrameHeaderSize + ID3v2::SynchData::toUInt(body.mid(end + 4, 4));
    if (end > body.size()) end = body.size();
    if (frames.size() <= body.size() - end) {
        file->seek(kTagHeaderSize + end);
        file->writeBlock(frames);  // into the padding
        return;
    }
    file->insert(frames, kTagHeaderSize + end, 0);
    file->seek(6);
    file->writeBlock(ID3v2::SynchData::fromUInt(size + frames.size()));
}

void ID3v2BadFrames::Clear() {
    frames_.clear();
    writable_ = true;
}
