// COGGParser::ApplyFile: lays the recorded comments into the file's own
// comment-header pages (ogg_comment_rewrite.h) in a new file and puts it in
// the file's place through FileSave, so that any failure, a read error of the
// original included, leaves the file as it was.
#include "core/block_sharing.h"
#include "core/failure_reason.h"
#include "core/file_save.h"
#include "core/platform_file.h"
#include "parsers/ogg/ogg_comment_rewrite.h"
#include "parsers/ogg/ogg_parser.h"
#include "parsers/ogg/ogg_stream_headers.h"

namespace {

constexpr char kVorbisFraming = 1;

}  // namespace

std::string COGGParser::CommentPacket(const std::string& oldPacket, bool* padding) const {
    const std::string magic = CommentMagic(codec_);
    std::string packet = magic + comments_.Render();
    *padding = false;
    if (codec_ == OggCodec::kVorbis) return packet + kVorbisFraming;
    // Opus: what follows the list stays. It is padding, which may grow,
    // unless its first bit marks data an editor must keep.
    VorbisCommentList old;
    size_t end = 0;
    std::string rest;
    if (old.Parse(oldPacket, magic.size(), &end)) {
        rest = oldPacket.substr(end);
    }
    *padding = rest.empty() || (rest[0] & 1) == 0;
    return packet + rest;
}

int COGGParser::ApplyFile() {
    if (openedFromMemory_) return ReportFailure(LYPARSER_NOT_WRITABLE), 0;
    if (!identity_.IsKnown() || codec_ == OggCodec::kNone) return 0;
    // Nothing to write: the file, its inode and its times stay as they are.
    if (!comments_.Changed()) return 1;
    const std::string path = NativePath(path_);
    // The file as opened: the save below checks that the path still names it,
    // unchanged, and holds it locked while this descriptor reads it.
    FileReader file(path);
    if (!file.IsOpen() || file.Identity() != identity_) {
        ReportFailure(LYPARSER_CHANGED_ON_DISK);
        return 0;
    }
    OggStreamHeaders headers;
    headers.Read([&file](int64_t offset, void* buffer,
                         int64_t count) { return file.ReadAt(offset, buffer, count); },
                 identity_.size);
    if (headers.Codec() != codec_ || headers.Multiplexed() || !headers.Rewritable()) {
        ReportFailure(headers.Multiplexed() ? LYPARSER_MULTIPLEXED_OGG : LYPARSER_DAMAGED);
        return 0;
    }
    bool padding = false;
    const std::string packet = CommentPacket(headers.Comment(), &padding);
    const OggCommentPages& pages = headers.CommentPages();
    // Zero bytes may end a Vorbis comment packet too, behind its framing bit:
    // readers stop at the bit. They are added only to keep the audio pages'
    // place within a block where blocks are shared.
    const BlockSharing sharing = BlockSharingOf(file.Descriptor(), RealFolderOf(path));
    const int64_t alignTo =
        sharing.shares && (padding || codec_ == OggCodec::kVorbis) ? sharing.blockSize : 0;
    const OggCommentRewrite rewrite =
        LayCommentPages(pages, packet, headers.Serial(), padding, alignTo);
    if (rewrite.pages.empty()) return 0;
    const int64_t grown = static_cast<int64_t>(rewrite.pages.size()) - (pages.end - pages.begin);
    FileSave save(path);
    if (!save.Begin(identity_, identity_.size + grown) ||
        !WriteRewrittenFile(&save, &file, identity_.size, pages, rewrite, headers.Serial()))
        return 0;
    const bool saved = save.Commit();
    // Also after a failure, when the file holds the new content, or its own
    // again after an in-place write was undone.
    if (save.Result().IsKnown()) identity_ = save.Result();
    if (!saved) return 0;
    comments_.MarkSaved();
    // The audio range follows the audio to where it now lies.
    fileLength_ = static_cast<int32_t>(static_cast<uint32_t>(identity_.size));
    if (setupOffset_ > pages.begin) setupOffset_ += static_cast<int32_t>(grown);
    if (audioStart_ > pages.begin) audioStart_ += grown;
    return 1;
}
