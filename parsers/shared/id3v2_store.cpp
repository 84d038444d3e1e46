#include "parsers/shared/id3v2_store.h"

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1genres.h>
#include <taglib/id3v2tag.h>

#include "parsers/shared/id3v2_frames.h"

namespace {

using TagLib::ID3v2::AttachedPictureFrame;

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

// TCON values: ID3v1 genre numbers as their names.
TagLib::String GenreName(const TagLib::String& value) {
    bool number = !value.isEmpty() && value.size() <= 3;
    for (size_t i = 0; number && i < value.size(); ++i) number = value[i] >= '0' && value[i] <= '9';
    return number ? TagLib::ID3v1::genre(value.toInt()) : value;
}

}  // namespace

TagLib::StringList Id3v2Store::Values(const std::string& property) const {
    const Id3v2Frames frames(tag_);
    TagLib::StringList values;
    if (const char* frameId = TextFrameOf(property)) {
        for (const TagLib::String& value : frames.TextValues(frameId))
            values.append(property == "GENRE" ? GenreName(value) : value);
    } else if (const char* frameId = DescribedFrameOf(property)) {
        const TagLib::String text = frames.Described(frameId);
        if (!text.isEmpty()) values.append(text);
    }
    return values;
}

bool Id3v2Store::SetValue(const std::string& property, const TagLib::String& value) {
    Id3v2Frames frames(tag_);
    bool set = false;
    if (const char* frameId = TextFrameOf(property)) {
        frames.SetText(frameId, value);
        set = true;
    } else if (const char* frameId = DescribedFrameOf(property)) {
        set = frames.SetDescribed(frameId, value);
    }
    changed_ = changed_ || set;
    return set;
}

bool Id3v2Store::Picture(StoredPicture* picture) const {
    const AttachedPictureFrame* frame = Id3v2Frames(tag_).ShownPicture();
    if (!frame) return false;
    picture->data = frame->picture();
    picture->mimeType = frame->mimeType();
    picture->description = frame->description();
    picture->type = frame->type();
    return true;
}

bool Id3v2Store::SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) {
    return SetPictureOfType(Id3v2Frames::kFrontCover, data, mimeType);
}

bool Id3v2Store::RemovePictures() {
    const bool removed = Id3v2Frames(tag_).RemovePictures(-1);
    changed_ = changed_ || removed;
    return removed;
}
