#include "parsers/shared/id3v2_store.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v2tag.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>

namespace {

using TagLib::ID3v2::AttachedPictureFrame;
using TagLib::ID3v2::Frame;

const struct {
    const char* property;
    const char* frameId;
} kTextFrames[] = {
    {"TITLE", "TIT2"},     {"ARTIST", "TPE1"},
    {"ALBUM", "TALB"},     {"DATE", "TDRC"},
    {"GENRE", "TCON"},     {"TRACKNUMBER", "TRCK"},
    {"COMPOSER", "TCOM"},  {"ORIGINALARTIST", "TOPE"},
    {"COPYRIGHT", "TCOP"}, {"ENCODEDBY", "TENC"},
    {"BPM", "TBPM"},       {"DISCNUMBER", "TPOS"},
};

// The frames whose empty description makes them the field.
const char* DescribedFrameOf(const std::string& property) {
    if (property == "COMMENT") return "COMM";
    if (property == "LYRICS") return "USLT";
    if (property == "URL") return "WXXX";
    return nullptr;
}

const char* TextFrameOf(const std::string& property) {
    for (const auto& entry : kTextFrames) {
        if (property == entry.property) return entry.frameId;
    }
    return nullptr;
}

// The description and text of a COMM, USLT or WXXX frame; false for others.
bool DescribedText(Frame* frame, TagLib::String* description, TagLib::String* text) {
    if (auto* comment = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(frame)) {
        *description = comment->description();
        *text = comment->text();
    } else if (auto* lyrics = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frame)) {
        *description = lyrics->description();
        *text = lyrics->text();
    } else if (auto* url = dynamic_cast<TagLib::ID3v2::UserUrlLinkFrame*>(frame)) {
        *description = url->description();
        *text = url->url();
    } else {
        return false;
    }
    return true;
}

// TCON values: ID3v1 genre numbers as their names.
TagLib::String GenreName(const TagLib::String& value) {
    bool number = !value.isEmpty() && value.size() <= 3;
    for (size_t i = 0; number && i < value.size(); ++i) number = value[i] >= '0' && value[i] <= '9';
    return number ? TagLib::ID3v1::genre(value.toInt()) : value;
}

Frame* NewDescribedFrame(const char* frameId) {
    if (TagLib::String(frameId) == "COMM") {
        auto* frame = new TagLib::ID3v2::CommentsFrame(TagLib::String::Latin1);
        frame->setLanguage("XXX");
        return frame;
    }
    if (TagLib::String(frameId) == "USLT") {
        auto* frame = new TagLib::ID3v2::UnsynchronizedLyricsFrame(TagLib::String::Latin1);
        frame->setLanguage("XXX");
        return frame;
    }
    return new TagLib::ID3v2::UserUrlLinkFrame(TagLib::String::Latin1);
}

AttachedPictureFrame* ShownPicture(const TagLib::ID3v2::FrameList& frames) {
    AttachedPictureFrame* first = nullptr;
    for (Frame* frame : frames) {
        auto* picture = dynamic_cast<AttachedPictureFrame*>(frame);
        if (!picture) continue;
        if (picture->type() == AttachedPictureFrame::FrontCover) return picture;
        if (!first) first = picture;
    }
    return first;
}

}  // namespace

TagLib::StringList Id3v2Store::Values(const std::string& property) const {
    TagLib::StringList values;
    if (const char* frameId = TextFrameOf(property)) {
        const TagLib::ID3v2::FrameList& frames = tag_->frameList(frameId);
        auto* text = frames.isEmpty()
                         ? nullptr
                         : dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(frames.front());
        if (!text) return values;
        for (const TagLib::String& value : text->fieldList()) {
            if (!value.isEmpty()) values.append(property == "GENRE" ? GenreName(value) : value);
        }
    } else if (const char* frameId = DescribedFrameOf(property)) {
        for (Frame* frame : tag_->frameList(frameId)) {
            TagLib::String description, text;
            if (DescribedText(frame, &description, &text) && description.isEmpty() &&
                !text.isEmpty()) {
                values.append(text);
            }
        }
    }
    return values;
}

bool Id3v2Store::SetValue(const std::string& property, const TagLib::String& value) {
    bool set = false;
    if (const char* frameId = TextFrameOf(property)) {
        set = SetText(frameId, value);
    } else if (const char* frameId = DescribedFrameOf(property)) {
        set = SetDescribed(frameId, value);
    }
    changed_ = changed_ || set;
    return set;
}

bool Id3v2Store::SetText(const char* frameId, const TagLib::String& value) {
    const TagLib::ID3v2::FrameList frames = tag_->frameList(frameId);
    Frame* kept = nullptr;
    if (!value.isEmpty()) {
        kept = frames.isEmpty() ? nullptr : frames.front();
        if (!dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(kept)) {
            kept = new TagLib::ID3v2::TextIdentificationFrame(frameId, TagLib::String::UTF8);
            tag_->addFrame(kept);
        }
        kept->setText(value);
    }
    for (Frame* frame : frames) {
        if (frame != kept) tag_->removeFrame(frame);
    }
    return true;
}

bool Id3v2Store::SetDescribed(const char* frameId, const TagLib::String& value) {
    const TagLib::ID3v2::FrameList frames = tag_->frameList(frameId);
    Frame* kept = nullptr;
    for (Frame* frame : frames) {
        TagLib::String description, text;
        if (!DescribedText(frame, &description, &text) || !description.isEmpty()) continue;
        if (!kept && !value.isEmpty()) {
            kept = frame;
        } else {
            tag_->removeFrame(frame);
        }
    }
    if (value.isEmpty()) return true;
    if (!kept) {
        kept = NewDescribedFrame(frameId);
        tag_->addFrame(kept);
    }
    if (auto* url = dynamic_cast<TagLib::ID3v2::UserUrlLinkFrame*>(kept)) {
        url->setUrl(value);
    } else {
        kept->setText(value);
    }
    return true;
}

bool Id3v2Store::Picture(StoredPicture* picture) const {
    AttachedPictureFrame* frame = ShownPicture(tag_->frameList("APIC"));
    if (!frame) return false;
    picture->data = frame->picture();
    picture->mimeType = frame->mimeType();
    picture->description = frame->description();
    return true;
}

bool Id3v2Store::SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) {
    AttachedPictureFrame* frame = ShownPicture(tag_->frameList("APIC"));
    if (!frame) {
        frame = new AttachedPictureFrame();
        tag_->addFrame(frame);
    }
    frame->setType(AttachedPictureFrame::FrontCover);
    frame->setMimeType(mimeType);
    frame->setPicture(data);
    return changed_ = true;
}

bool Id3v2Store::RemovePictures() {
    if (tag_->frameList("APIC").isEmpty()) return false;
    tag_->removeFrames("APIC");
    return changed_ = true;
}
