// ID3v2ExtendedTag's comment, lyrics and URL. Each lives in frames that carry
// a description, and programs keep their own data in described frames: iTunes
// its gapless and volume values (COMM "iTunPGAP", "iTunNORM"), taggers a
// homepage (WXXX "homepage"). The field is the frame without a description;
// a value set goes there only, a frame being made when there is none, and
// described frames are never changed.
#include <taglib/commentsframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>

#include <vector>

#include "parsers/mpeg/id3v2_extended_tag.h"
#include "parsers/mpeg/tag_text.h"

using Text = ExtendedTag::Text;
namespace ID3v2 = TagLib::ID3v2;

namespace {

// Descriptions under which programs keep data no one reads as a comment.
const char* const kMachineDescriptions[] = {"iTun", "Songs-DB", "MusicMatch"};

bool IsMachineDescription(const Text& description) {
    for (const char* prefix : kMachineDescriptions) {
        if (description.startsWith(prefix)) return true;
    }
    return false;
}

// The frames of `id` that TagLib read as a `Frame` (a comments, lyrics or
// user URL frame), in tag order.
template <typename Frame>
std::vector<Frame*> FramesOf(const ID3v2::Tag* tag, const char* id) {
    std::vector<Frame*> found;
    for (ID3v2::Frame* frame : tag->frameList(id)) {
        if (auto* typed = dynamic_cast<Frame*>(frame)) found.push_back(typed);
    }
    return found;
}

// The first frame without a description; null when there is none.
template <typename Frame>
Frame* PlainFrame(const ID3v2::Tag* tag, const char* id) {
    for (Frame* frame : FramesOf<Frame>(tag, id)) {
        if (frame->description().isEmpty()) return frame;
    }
    return nullptr;
}

// The frame a comment or lyrics field reads: the plain one, else the first
// whose description is not a program's; null when there is none.
template <typename Frame>
Frame* ShownFrame(const ID3v2::Tag* tag, const char* id) {
    if (Frame* plain = PlainFrame<Frame>(tag, id)) return plain;
    for (Frame* frame : FramesOf<Frame>(tag, id)) {
        if (!IsMachineDescription(frame->description())) return frame;
    }
    return nullptr;
}

// Removes every frame of `id` without a description.
template <typename Frame>
void RemovePlainFrames(ID3v2::Tag* tag, const char* id) {
    for (Frame* frame : FramesOf<Frame>(tag, id)) {
        if (frame->description().isEmpty()) tag->removeFrame(frame);
    }
}

// Empty `value` removes the plain frames; any other goes into the plain
// frame, made (Latin-1, language unknown) when there is none.
template <typename Frame>
void SetPlainText(ID3v2::Tag* tag, const char* id, const Text& value, const char* language) {
    if (value.isEmpty()) return RemovePlainFrames<Frame>(tag, id);
    Frame* frame = PlainFrame<Frame>(tag, id);
    if (!frame) {
        frame = new Frame(TagLib::String::Latin1);
        frame->setLanguage(language);
        tag->addFrame(frame);
    }
    frame->setText(value);
}

}  // namespace

Text ID3v2ExtendedTag::comment() const {
    auto* frame = ShownFrame<ID3v2::CommentsFrame>(tag_, "COMM");
    return frame ? frame->text() : Text();
}

Text ID3v2ExtendedTag::lyrics() const {
    auto* frame = ShownFrame<ID3v2::UnsynchronizedLyricsFrame>(tag_, "USLT");
    return frame ? frame->text() : Text();
}

Text ID3v2ExtendedTag::url() const {
    auto* frame = PlainFrame<ID3v2::UserUrlLinkFrame>(tag_, "WXXX");
    if (!frame) {
        std::vector<ID3v2::UserUrlLinkFrame*> frames =
            FramesOf<ID3v2::UserUrlLinkFrame>(tag_, "WXXX");
        if (!frames.empty()) frame = frames.front();
    }
    return frame ? frame->url() : Text();
}

void ID3v2ExtendedTag::setComment(const Text& value) {
    SetPlainText<ID3v2::CommentsFrame>(tag_, "COMM", value, kUnknownLanguage);
}

void ID3v2ExtendedTag::setLyrics(const Text& value) {
    SetPlainText<ID3v2::UnsynchronizedLyricsFrame>(tag_, "USLT", value, kUnknownLanguage);
}

void ID3v2ExtendedTag::setUrl(const Text& value) {
    if (value.isEmpty()) return RemovePlainFrames<ID3v2::UserUrlLinkFrame>(tag_, "WXXX");
    if (value.size() >= kMaxUrlLength) return;
    auto* frame = PlainFrame<ID3v2::UserUrlLinkFrame>(tag_, "WXXX");
    if (!frame) {
        frame = new ID3v2::UserUrlLinkFrame(TagLib::String::Latin1);
        tag_->addFrame(frame);
    }
    // A URL is Latin-1 whatever the frame's encoding.
    frame->setUrl(TagLib::String(Latin1Bytes(value), TagLib::String::Latin1));
}
