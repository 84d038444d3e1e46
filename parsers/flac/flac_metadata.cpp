#include "parsers/flac/flac_metadata.h"

#include <taglib/tiostream.h>

#include <algorithm>

namespace {

// Blocks read at most: real files have a dozen; a file of thousands of empty
// blocks is taken for what it is not.
constexpr size_t kMaxBlocks = 4096;
// The padding left when a change outgrows the padding there was, or a file
// without padding grows.
constexpr uint32_t kNewPadding = 4096;
// Padding never grows past this (or past what it was) by absorbing a change
// that shrinks the metadata; the file shrinks instead.
constexpr int64_t kMaxAbsorbedPadding = 1 << 20;

TagLib::ByteVector BlockBytes(int type, bool last, const TagLib::ByteVector& data) {
    TagLib::ByteVector bytes = TagLib::ByteVector::fromUInt(data.size());
    bytes[0] = static_cast<char>(type | (last ? 0x80 : 0));
    bytes.append(data);
    return bytes;
}

int64_t DiskSize(const FlacMetadata::Block& block) {
    return block.offset < 0 ? 0 : 4 + static_cast<int64_t>(block.length);
}

int64_t NewSize(const FlacMetadata::Block& block) {
    if (block.removed) return 0;
    return 4 + static_cast<int64_t>(block.replaced ? block.data.size() : block.length);
}

}  // namespace

bool FlacMetadata::Read(TagLib::IOStream* stream, int64_t flacStart) {
    blocks_.clear();
    const int64_t fileLength = stream->length();
    stream->seek(flacStart);
    if (stream->readBlock(4) != "fLaC") return false;
    int64_t at = flacStart + 4;
    bool haveComment = false;
    for (bool last = false; !last;) {
        stream->seek(at);
        const TagLib::ByteVector header = stream->readBlock(4);
        if (header.size() != 4 || blocks_.size() >= kMaxBlocks) return false;
        Block block;
        block.type = header[0] & 0x7F;
        block.last = last = (header[0] & 0x80) != 0;
        block.length = header.toUInt(1U, 3U, true);
        block.offset = at;
        const bool first = blocks_.empty();
        if (block.type == 127 || first != (block.type == kStreamInfo) ||
            (first && block.length < 34) || at + 4 + block.length > fileLength) {
            return false;
        }
        const bool comment = block.type == kVorbisComment && !haveComment;
        if (first || comment || block.type == kPicture) {
            block.data = stream->readBlock(block.length);
            if (block.data.size() != block.length) return false;
        }
        haveComment = haveComment || comment;
        blocks_.push_back(block);
        at += 4 + block.length;
    }
    end_ = at;
    return true;
}

FlacMetadata::Block* FlacMetadata::CommentBlock() {
    for (Block& block : blocks_) {
        // Later comment blocks are located only: their data is not kept.
        if (block.type == kVorbisComment && !block.removed && !block.data.isEmpty()) return &block;
    }
    return nullptr;
}

void FlacMetadata::Add(int type, const TagLib::ByteVector& data) {
    size_t at = blocks_.size();
    if (type == kVorbisComment) {
        for (size_t i = 1; i < blocks_.size(); ++i) {
            if (blocks_[i].type == kPicture || blocks_[i].type == kPadding) {
                at = i;
                break;
            }
        }
    } else {
        for (size_t i = blocks_.size(); i-- > 0;) {
            if (blocks_[i].removed) continue;
            if (blocks_[i].type == kPadding) at = i;
            break;
        }
    }
    Block block;
    block.type = type;
    block.data = data;
    block.replaced = true;
    blocks_.insert(blocks_.begin() + static_cast<long>(at), block);
}

int64_t FlacMetadata::SizeChange() const {
    int64_t change = 0;
    for (const Block& block : blocks_) change += NewSize(block) - DiskSize(block);
    return change;
}

void FlacMetadata::FitPadding() {
    const int64_t change = SizeChange();
    if (change == 0) return;
    Block* padding = nullptr;
    for (Block& block : blocks_) {
        if (block.type == kPadding && block.offset >= 0 && !block.removed && !block.replaced)
            padding = &block;
    }
    if (!padding) {
        if (change > 0) Add(kPadding, TagLib::ByteVector(kNewPadding, '\0'));
        return;
    }
    int64_t length = static_cast<int64_t>(padding->length) - change;
    if (length < 0) length = kNewPadding;
    if (length > std::max<int64_t>(padding->length, kMaxAbsorbedPadding)) return;
    padding->data = TagLib::ByteVector(static_cast<unsigned int>(length), '\0');
    padding->replaced = true;
}

void FlacMetadata::Write(TagLib::IOStream* stream) {
    FitPadding();
    size_t lastIndex = 0;
    for (size_t i = 0; i < blocks_.size(); ++i) {
        if (!blocks_[i].removed) lastIndex = i;
    }
    // From the last block to the first, so that every original offset still
    // holds when it is used; a block to add goes in front of the next
    // original block (or of the audio).
    int64_t anchor = end_;
    for (size_t i = blocks_.size(); i-- > 0;) {
        const Block& block = blocks_[i];
        const bool last = i == lastIndex;
        if (block.offset < 0) {
            if (!block.removed) {
                stream->insert(BlockBytes(block.type, last, block.data),
                               static_cast<unsigned long>(anchor), 0);
            }
            continue;
        }
        const auto offset = static_cast<unsigned long>(block.offset);
        const auto size = static_cast<unsigned long>(DiskSize(block));
        if (block.removed) {
            stream->removeBlock(offset, size);
        } else if (block.replaced) {
            stream->insert(BlockBytes(block.type, last, block.data), offset, size);
        } else if (block.last != last) {
            stream->seek(block.offset);
            stream->writeBlock(
                TagLib::ByteVector(1, static_cast<char>(block.type | (last ? 0x80 : 0))));
        }
        anchor = block.offset;
    }
}
