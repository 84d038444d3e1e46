#include "parsers/shared/id3v2_frames.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unknownframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>

#include "parsers/shared/tag_lib_text.h"

namespace ID3v2 = TagLib::ID3v2;
using Text = Id3v2Frames::Text;

namespace {

// Descriptions under which programs keep data no one reads as a comment.
const char* const kMachineDescriptions[] = {"iTun", "Songs-DB", "MusicMatch"};

bool IsMachineDescription(const Text& description) {
    for (const char* prefix : kMachineDescriptions) {
        if (description.startsWith(prefix)) return true;
    }
    return false;
}

// The description and text of a COMM, USLT or WXXX frame; false for others.
bool DescribedText(const ID3v2::Frame* frame, Text* description, Text* text) {
    if (auto* comment = dynamic_cast<const ID3v2::CommentsFrame*>(frame)) {
        *description = comment->description();
        *text = comment->text();
    } else if (auto* lyrics = dynamic_cast<const ID3v2::UnsynchronizedLyricsFrame*>(frame)) {
        *description = lyrics->description();
        *text = lyrics->text();
    } else if (auto* url = dynamic_cast<const ID3v2::UserUrlLinkFrame*>(frame)) {
        *description = url->description();
        *text = url->url();
    } else {
        return false;
    }
    return true;
}

bool IsPlain(const ID3v2::Frame* frame) {
    Text description, text;
    return DescribedText(frame, &description, &text) && description.isEmpty();
}

// The frame a described field reads: the first plain one; else, for the
// comment and lyrics, the first whose description is not a program's, and
// for the URL the first.
ID3v2::Frame* ShownDescribed(const ID3v2::Tag* tag, const char* id) {
    ID3v2::Frame* fallback = nullptr;
    const bool url = Text(id) == "WXXX";
    for (ID3v2::Frame* frame : tag->frameList(id)) {
        Text description, text;
        if (!DescribedText(frame, &description, &text)) continue;
        if (description.isEmpty()) return frame;
        if (!fallback && (url || !IsMachineDescription(description))) fallback = frame;
    }
    return fallback;
}

ID3v2::Frame* NewPlainFrame(const char* id) {
    if (Text(id) == "COMM") {
        auto* frame = new ID3v2::CommentsFrame(TagLib::String::Latin1);
        frame->setLanguage(Id3v2Frames::kUnknownLanguage);
        return frame;
    }
    if (Text(id) == "USLT") {
        auto* frame = new ID3v2::UnsynchronizedLyricsFrame(TagLib::String::Latin1);
        frame->setLanguage(Id3v2Frames::kUnknownLanguage);
        return frame;
    }
    return new ID3v2::UserUrlLinkFrame(TagLib::String::Latin1);
}

// Text where only Latin-1 can be stored: a character Latin-1 cannot hold
// becomes "?".
Text Latin1Only(const Text& text) {
    std::string bytes;
    for (wchar_t c : FromTagText(text)) bytes += c <= 0xFF ? static_cast<char>(c) : '?';
    return Text(bytes, TagLib::String::Latin1);
}

// TagLib shows a frame's header flags only to frame classes.
struct FrameFlags : ID3v2::Frame {
    static bool Undecodable(const ID3v2::Frame* frame) {
        const auto* header = (frame->*(&FrameFlags::header))();
        return header->encryption() || (header->compression() &&
                                        dynamic_cast<const ID3v2::UnknownFrame*>(frame) != nullptr);
    }
};

}  // namespace

TagLib::String JoinedId3v2Values(const TagLib::StringList& values) { return values.toString("; "); }

bool Id3v2Frames::Undecodable(const ID3v2::Frame* frame) { return FrameFlags::Undecodable(frame); }

void Id3v2Frames::RemoveUndecodable(const char* id) {
    std::vector<ID3v2::Frame*> doomed;
    for (ID3v2::Frame* frame : id ? tag_->frameList(id) : tag_->frameList()) {
        if (Undecodable(frame)) doomed.push_back(frame);
    }
    for (ID3v2::Frame* frame : doomed) tag_->removeFrame(frame);
}

ID3v2::Frame* Id3v2Frames::FirstFrame(const char* id) const {
    const ID3v2::FrameListMap& frames = tag_->frameListMap();
    auto it = frames.find(id);
    if (it == frames.end() || it->second.isEmpty()) return nullptr;
    return it->second.front();
}

TagLib::StringList Id3v2Frames::TextValues(const char* id) const {
    TagLib::StringList values;
    ID3v2::Frame* frame = FirstFrame(id);
    if (auto* text = dynamic_cast<ID3v2::TextIdentificationFrame*>(frame)) {
        for (const Text& value : text->fieldList()) {
            if (!value.isEmpty()) values.append(value);
        }
    } else if (frame && !frame->toString().isEmpty()) {
        values.append(frame->toString());
    }
    return values;
}

Text Id3v2Frames::JoinedText(const char* id) const { return JoinedId3v2Values(TextValues(id)); }

void Id3v2Frames::SetText(const char* id, const Text& value) {
    if (value.isEmpty()) {
        tag_->removeFrames(id);
        return;
    }
    RemoveUndecodable(id);
    ID3v2::Frame* frame = FirstFrame(id);
    if (!frame) {
        frame = new ID3v2::TextIdentificationFrame(TagLib::ByteVector(id), TagLib::String::UTF8);
        tag_->addFrame(frame);
    }
    frame->setText(value);
}

Text Id3v2Frames::Described(const char* id) const {
    Text description, text;
    ID3v2::Frame* frame = ShownDescribed(tag_, id);
    return frame && DescribedText(frame, &description, &text) ? text : Text();
}

bool Id3v2Frames::SetDescribed(const char* id, const Text& value) {
    const bool url = Text(id) == "WXXX";
    if (url && value.size() >= kMaxUrlLength) return false;
    ID3v2::Frame* plain = nullptr;
    std::vector<ID3v2::Frame*> plainFrames;
    for (ID3v2::Frame* frame : tag_->frameList(id)) {
        if (!IsPlain(frame)) continue;
        plainFrames.push_back(frame);
        if (!plain) plain = frame;
    }
    if (value.isEmpty()) {
        for (ID3v2::Frame* frame : plainFrames) tag_->removeFrame(frame);
        return true;
    }
    if (!plain) {
        plain = NewPlainFrame(id);
        tag_->addFrame(plain);
    }
    if (auto* link = dynamic_cast<ID3v2::UserUrlLinkFrame*>(plain)) {
        link->setUrl(Latin1Only(value));
    } else {
        plain->setText(value);
    }
    return true;
}

std::vector<Id3v2Frames::Picture*> Id3v2Frames::Pictures() const {
    std::vector<Picture*> found;
    for (ID3v2::Frame* frame : tag_->frameList("APIC")) {
        if (auto* picture = dynamic_cast<Picture*>(frame)) found.push_back(picture);
    }
    return found;
}

Id3v2Frames::Picture* Id3v2Frames::PictureOfType(int type) const {
    for (Picture* picture : Pictures()) {
        if (picture->type() == type) return picture;
    }
    return nullptr;
}

Id3v2Frames::Picture* Id3v2Frames::ShownPicture() const {
    if (Picture* cover = PictureOfType(kFrontCover)) return cover;
    std::vector<Picture*> pictures = Pictures();
    return pictures.empty() ? nullptr : pictures.front();
}

void Id3v2Frames::SetPicture(int type, const TagLib::ByteVector& data,
                             const std::string& mimeType) {
    std::vector<Picture*> pictures = Pictures();
    Picture* frame = PictureOfType(type);
    if (!frame && type == kFrontCover && pictures.size() == 1 &&
        pictures.front()->type() == kOtherPicture) {
        frame = pictures.front();
    }
    if (!frame) {
        frame = new Picture();
        tag_->addFrame(frame);
    }
    frame->setTextEncoding(TagLib::String::Latin1);
    frame->setMimeType(mimeType);
    frame->setType(static_cast<Picture::Type>(type));
    frame->setDescription(Text());
    frame->setPicture(data);
}

bool Id3v2Frames::RemovePictures(int type) {
    if (type < 0) {
        // Frames TagLib could not read as pictures go too.
        const bool any = !tag_->frameList("APIC").isEmpty();
        tag_->removeFrames("APIC");
        return any;
    }
    bool removed = false;
    for (Picture* picture : Pictures()) {
        if (picture->type() != type) continue;
        tag_->removeFrame(picture);
        removed = true;
    }
    return removed;
}
