// FlacMetadata: the metadata blocks of a FLAC stream as the file holds them,
// and their rewrite. Reading walks the block headers after "fLaC" and keeps
// the bytes of STREAMINFO, of the first VORBIS_COMMENT block and of every
// PICTURE block; the others are only located. Writing replaces, removes and
// adds blocks in the stream's content, one block at a time: every block not
// changed keeps its bytes and its place (only its last-block flag may
// change), and the last PADDING block grows or shrinks to absorb the change,
// so that a change that fits moves no audio. One thread at a time.
#ifndef LYPARSER_PARSERS_FLAC_FLAC_METADATA_H
#define LYPARSER_PARSERS_FLAC_FLAC_METADATA_H

#include <taglib/tbytevector.h>

#include <cstdint>
#include <vector>

namespace TagLib {
class IOStream;
}

class FlacMetadata {
public:
    enum BlockType { kStreamInfo = 0, kPadding = 1, kVorbisComment = 4, kPicture = 6 };

    struct Block {
        int type = 0;
        int64_t offset = -1;      // of its 4-byte header; -1 for a block to add
        uint32_t length = 0;      // of its data, as on disk
        TagLib::ByteVector data;  // kept for STREAMINFO, the first VORBIS_COMMENT and PICTURE
        bool last = false;        // its last-block flag on disk
        bool replaced = false;    // `data` is to be written in its place
        bool removed = false;
    };

    // The largest data a block can hold.
    static constexpr uint32_t kMaxBlockData = 0xFFFFFF;

    // Reads the blocks after "fLaC" at `flacStart`. False when the stream
    // holds no valid FLAC metadata there.
    bool Read(TagLib::IOStream* stream, int64_t flacStart);

    std::vector<Block>& Blocks() { return blocks_; }
    const std::vector<Block>& Blocks() const { return blocks_; }
    // The comment block this module reads and writes: the first one; null
    // when there is none.
    Block* CommentBlock();
    // Where the audio frames start: right after the last block.
    int64_t End() const { return end_; }

    // Adds a block of `type`: a comment block before the first picture or
    // padding block (else last), a picture before the last padding block
    // when that is the last block (else last). Other blocks move in the list.
    void Add(int type, const TagLib::ByteVector& data);
    // Puts the changes into the stream's content. Edits at offsets after the
    // metadata must be made first.
    void Write(TagLib::IOStream* stream);

private:
    int64_t SizeChange() const;
    void FitPadding();

    std::vector<Block> blocks_;
    int64_t end_ = 0;
};

#endif  // LYPARSER_PARSERS_FLAC_FLAC_METADATA_H
