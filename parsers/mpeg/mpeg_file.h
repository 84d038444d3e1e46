// CMPEGFile: TagLib's MPEG audio file with what the parser adds to it.
//
// - Tag presence as the host sees it: TagLib keeps empty ID3v1 and ID3v2
//   objects for every file, so presence is tracked here: a tag is present
//   when the file had it or a setter created it, until it is stripped.
// - The ID3v1 tag as its own bytes (ID3v1Block), never through TagLib's
//   process-wide ID3v1 text handler.
// - The ID3v2 frames TagLib stops reading at, and those after them
//   (ID3v2BadFrames): read, and written back by a save.
// - The save order of the tag mask (SaveTags), and the ID3v2 padding that
//   keeps the audio on its blocks' boundaries where the file system shares
//   blocks between files.
// - The search for the audio data (LocateAudio) and what it found: the first
//   frame's header bytes, the Xing frame count, the start and end.
// - ID3v2 genre texts kept as stored; 2.2 frames read by their meaning
//   (GenreFrameFactory).
//
// Owned by a TagLib FileRef; one thread at a time.
#ifndef LYPARSER_PARSERS_MPEG_MPEG_FILE_H
#define LYPARSER_PARSERS_MPEG_MPEG_FILE_H

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <memory>
#include <utility>

#include "parsers/mpeg/id3v1_block.h"
#include "parsers/mpeg/id3v2_bad_frames.h"
#include "parsers/mpeg/mpeg_frame_header.h"

class SplicedFileStream;

class CMPEGFile : public TagLib::MPEG::File {
public:
    // Reads tags and audio properties from `stream`, which must outlive the
    // file. Check isValid() afterwards.
    explicit CMPEGFile(SplicedFileStream* stream);

    // The present tag, created (and made present) when absent and `create`
    // is set; null otherwise.
    ID3v1Block* PresentID3v1(bool create);
    TagLib::ID3v2::Tag* PresentID3v2(bool create);
    // True when the ID3v2 tag holds frames kept only as their bytes.
    bool HoldsBadID3v2Frames() const { return !badFrames_.IsEmpty(); }

    // The tags the file holds, as the host sees them (1 ID3v1, 2 ID3v2 that
    // is not empty): what a save that changes nothing keeps.
    int DiskTags() const;
    // True when the file holds any tag, an empty one or an APE tag too.
    bool HoldsTags() const { return hasID3v1Tag() || hasID3v2Tag() || hasAPETag(); }
    // Removes the tags of `tags` (TagTypes) from the file's content.
    bool StripNow(int tags);
    // Makes the tags of `tags` absent without touching the file's content.
    void Forget(int tags);
    // Puts the tags with `mask` (1 ID3v1, 2 ID3v2) into the file's content:
    // mask 0 strips every tag, any other keeps an APE tag the file has. An
    // ID3v2 tag gets the padding that keeps the audio's offset modulo the
    // block size where the file system shares blocks (nowhere else). False
    // when the ID3v2 tag would lose a frame it could not be written with. The
    // content reaches the disk only when the stream is saved.
    bool SaveTags(int mask);
    // False for a file in which the search finds no audio frame, unless it
    // is empty or holds nothing but tags: such a file is not written.
    bool MayBeWritten();
    // Present tags as a mask (1 ID3v1, 2 ID3v2).
    int PresentTags() const { return (id3v1_ ? ID3v1 : 0) | (id3v2Present_ ? ID3v2 : 0); }

    // Bounds what opening and searching `stream`, a file of MPEG audio, may
    // read: the tags at either end and a window beyond them. Call before the
    // file is constructed on it.
    static void LimitSearch(SplicedFileStream* stream);

    // Complete size of the ID3v2 tag on disk, header and footer included;
    // 0 without one.
    long ID3v2CompleteSize();

    // Searches the audio data and keeps what it found.
    void LocateAudio();
    // True once LocateAudio has run.
    bool AudioLocated() const { return located_; }
    int AudioStart() const { return start_; }
    int AudioEnd() const { return end_; }
    const MpegFrameHeader& FirstHeader() const { return header_; }
    bool HasVbrHeader() const { return vbrFound_; }
    // Total frames from the Xing header, -1 when it gave none.
    long VbrFrameCount() const { return vbrFrames_; }

private:
    struct FrameSearch {
        bool found = false;
        long start = -1;
        long position = 0;
        MpegFrameHeader header;
    };
    FrameSearch SearchFirstFrame();
    long FindSync(long from);
    bool SyncAt(long position);
    void ReadXing(long frameStart);
    void DuplicateBasicFields(int mask);
    void KeepAudioAlignment();
    void TakeBackOwnWrites();

    SplicedFileStream* stream_;
    bool id3v1Written_ = false;  // SaveTags put the ID3v1 tag at the end
    std::pair<long, long> alignment_{0,
                                     0};  // the padding KeepAudioAlignment put in: where, how much
    std::unique_ptr<ID3v1Block> id3v1_;   // present when set
    bool id3v2Present_ = false;
    bool id3v2HadContent_ = false;  // the tag on disk held frames
    ID3v2BadFrames badFrames_;
    MpegFrameHeader header_;
    bool vbrFound_ = false;
    long vbrFrames_ = -1;
    int start_ = 0;
    int end_ = 0;
    bool located_ = false;
};

#endif  // LYPARSER_PARSERS_MPEG_MPEG_FILE_H
