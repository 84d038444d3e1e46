// CTagLibParser's field access: ids to ExtendedTag operations, the value
// widths, the ID3v2-only fields and the tag-presence switches.
#include <cwctype>

#include "core/failure_reason.h"
#include "core/platform_file.h"
#include "parsers/mpeg/extended_tag.h"
#include "parsers/mpeg/id3v2_extended_tag.h"
#include "parsers/mpeg/mpeg_file.h"
#include "parsers/mpeg/mpeg_tag.h"
#include "parsers/mpeg/tag_lib_parser.h"
#include "parsers/mpeg/tag_text.h"
#include "parsers/shared/id3v2_store.h"
#include "parsers/shared/spliced_file_stream.h"

namespace {

struct FieldOps {
    int id;
    ExtendedTag::Getter get;
    ExtendedTag::Setter set;  // null: read only, or (the picture) set apart
};

using T = ExtendedTag;
const FieldOps kFields[] = {
    {FIELD_TITLE, &T::title, &T::setTitle},
    {FIELD_ARTIST, &T::artist, &T::setArtist},
    {FIELD_ALBUM, &T::album, &T::setAlbum},
    {FIELD_YEAR, &T::year, &T::setYear},
    {FIELD_GENRE, &T::genre, &T::setGenre},
    {FIELD_COMMENT, &T::comment, &T::setComment},
    {FIELD_TRACK, &T::track, &T::setTrack},
    {FIELD_TITLE2, &T::secondaryTitle, &T::setSecondaryTitle},
    {FIELD_ARTIST2, &T::secondaryArtist, &T::setSecondaryArtist},
    {FIELD_ALBUM2, &T::secondaryAlbum, &T::setSecondaryAlbum},
    {FIELD_YEAR2, &T::secondaryYear, &T::setSecondaryYear},
    {FIELD_GENRE2, &T::secondaryGenre, &T::setSecondaryGenre},
    {FIELD_COMMENT2, &T::secondaryComment, &T::setSecondaryComment},
    {FIELD_TRACK2, &T::secondaryTrack, &T::setSecondaryTrack},
    {FIELD_COMPOSER, &T::composer, &T::setComposer},
    {FIELD_LYRICS, &T::lyrics, &T::setLyrics},
    {FIELD_BPM, &T::bpm, &T::setBpm},
    {FIELD_PICTURE, &T::pictureInfo, nullptr},
    {FIELD_PICTURE_INFO, &T::pictureSize, nullptr},
    {FIELD_DISC, &T::disc, &T::setDisc},
};

const FieldOps* FindField(int id) {
    for (const auto& field : kFields) {
        if (field.id == id) return &field;
    }
    return nullptr;
}

// The ID3v2-only fields 15 to 18.
struct ID3v2OnlyOps {
    int id;
    ExtendedTag::Text (ID3v2ExtendedTag::*get)() const;
    void (ExtendedTag::*set)(const ExtendedTag::Text&);
};

const ID3v2OnlyOps kID3v2Only[] = {
    {FIELD_ORIGINAL_ARTIST, &ID3v2ExtendedTag::originalArtist, &T::setOriginalArtist},
    {FIELD_COPYRIGHT, &ID3v2ExtendedTag::copyright, &T::setCopyright},
    {FIELD_URL, &ID3v2ExtendedTag::url, &T::setUrl},
    {FIELD_ENCODED_BY, &ID3v2ExtendedTag::encodedBy, &T::setEncodedBy},
};

// Wide values give one character per wide character; narrow values the
// characters their bytes mean in the calling thread's code page (in a
// Latin-1 locale one per byte). The picture's value is a file name: its bytes
// as they go to the file system, one character per byte.
TagLib::String ValueText(int fieldId, StringEx value) {
    if (fieldId == FIELD_PICTURE) return BytesAsLatin1(NativePath(value));
    return ToTagText(value.GetWide());
}

StringEx Answer(const TagLib::String& text) { return StringEx(FromTagText(text)); }

bool MeansYes(StringEx value) {
    std::wstring text = value.GetWide();
    return text.size() == 1 && std::towupper(text[0]) == L'Y';
}

}  // namespace

StringEx CTagLibParser::GetData(int fieldId) {
    if (!tag_) return StringEx();
    if (keys_.Chosen() && (fieldId == FIELD_PICTURE || fieldId == FIELD_PICTURE_INFO))
        return GetChosenPicture(fieldId);
    if (const FieldOps* field = FindField(fieldId)) return Answer((tag_.get()->*field->get)());
    if (fieldId >= FIELD_ORIGINAL_ARTIST && fieldId <= FIELD_ENCODED_BY)
        return GetID3v2OnlyField(fieldId);
    if (fieldId == FIELD_HAS_ID3V1 || fieldId == FIELD_HAS_ID3V2) return GetPresenceField(fieldId);
    return StringEx();
}

StringEx CTagLibParser::GetID3v2OnlyField(int fieldId) {
    auto* mpegTag = dynamic_cast<MPEGTag*>(tag_.get());
    TagLib::ID3v2::Tag* id3v2 = mpegTag ? mpegTag->ID3v2Tag() : nullptr;
    if (!id3v2) return StringEx();
    for (const auto& field : kID3v2Only) {
        if (field.id == fieldId) return Answer((ID3v2ExtendedTag(id3v2).*field.get)());
    }
    return StringEx();
}

StringEx CTagLibParser::GetPresenceField(int fieldId) {
    if (!mpeg_) return StringEx();
    bool present = false;
    if (fieldId == FIELD_HAS_ID3V1) {
        present = mpeg_->PresentID3v1(false) != nullptr;
    } else {
        TagLib::ID3v2::Tag* id3v2 = mpeg_->PresentID3v2(false);
        present = id3v2 && (!ID3v2ExtendedTag(id3v2).isEmpty() || mpeg_->HoldsBadID3v2Frames());
    }
    return StringEx(present ? L"Y" : L"N");
}

int CTagLibParser::SetData(int fieldId, StringEx value) {
    if (!tag_) return 0;
    if (fieldId == FIELD_PICTURE) {
        if (!tag_->setPicture(ValueText(fieldId, value))) return 0;
        changed_ = true;
        return 1;
    }
    if (const FieldOps* field = FindField(fieldId)) {
        if (!field->set) return 0;
        const TagLib::String text = ValueText(fieldId, value);
        // A field set to what it reads stays as it is (several values stay
        // several, an ID3v1 tag that is not there is not made).
        if ((tag_.get()->*field->get)() == text) return 1;
        (tag_.get()->*field->set)(text);
        changed_ = true;
        return 1;
    }
    if (fieldId >= FIELD_ORIGINAL_ARTIST && fieldId <= FIELD_ENCODED_BY)
        return SetID3v2OnlyField(fieldId, value);
    if (fieldId == FIELD_HAS_ID3V1 || fieldId == FIELD_HAS_ID3V2)
        return SetPresenceField(fieldId, value);
    return 0;
}

int CTagLibParser::SetID3v2OnlyField(int fieldId, StringEx value) {
    const TagLib::String text = ValueText(fieldId, value);
    if (fieldId == FIELD_URL && text.size() >= ID3v2ExtendedTag::kMaxUrlLength) return 0;
    for (const auto& field : kID3v2Only) {
        if (field.id != fieldId) continue;
        if (!mpeg_) {
            (tag_.get()->*field.set)(text);
            return 1;
        }
        if (FromTagText(text) == GetID3v2OnlyField(fieldId).GetWide()) return 1;
        // Made when absent, as for every other ID3v2 field.
        ID3v2ExtendedTag tag(mpeg_->PresentID3v2(true));
        (tag.*field.set)(text);
        changed_ = true;
    }
    return 1;
}

int CTagLibParser::SetPresenceField(int fieldId, StringEx value) {
    if (!mpeg_) return 0;
    const bool id3v1 = fieldId == FIELD_HAS_ID3V1;
    const int bit = id3v1 ? TagLib::MPEG::File::ID3v1 : TagLib::MPEG::File::ID3v2;
    maskSet_ = true;
    if (MeansYes(value)) {
        if (id3v1) {
            mpeg_->PresentID3v1(true);
        } else {
            mpeg_->PresentID3v2(true);
        }
        tagMask_ |= bit;
    } else if (mpeg_->DiskTags() & bit) {
        // Written at once, and only the strip: changes not yet applied stay pending.
        FileUse use(this);
        if (!mpeg_->MayBeWritten()) {
            ReportFailure(LYPARSER_NO_AUDIO);
        } else if (mpeg_->StripNow(bit)) {
            WriteStrip();
        }
        tagMask_ &= ~bit;
    } else {
        // A tag the file does not hold: nothing to write.
        mpeg_->Forget(bit);
        tagMask_ &= ~bit;
    }
    return 1;
}

StringEx CTagLibParser::GetChosenPicture(int fieldId) {
    TagLib::ID3v2::Tag* id3v2 = mpeg_ ? mpeg_->PresentID3v2(false) : nullptr;
    StoredPicture picture;
    if (!id3v2 || !keys_.ShownPicture(std::make_unique<Id3v2Store>(id3v2).get(), &picture))
        return StringEx();
    if (fieldId == FIELD_PICTURE_INFO) return Answer(TagLib::String::number(picture.data.size()));
    return Answer(TagStoreKeys::Label(picture));
}

StringEx CTagLibParser::GetExData(StringEx key) {
    const std::string name = key.GetNarrow();
    if (!tag_ || !mpeg_ || !TagStoreKeys::Handles(name)) return StringEx(std::string());
    TagLib::ID3v2::Tag* id3v2 = mpeg_->PresentID3v2(false);
    if (!id3v2) return keys_.Get(nullptr, name);
    Id3v2Store store(id3v2);
    return keys_.Get(&store, name);
}

int CTagLibParser::SetExData(StringEx key, StringEx value) {
    const std::string name = key.GetNarrow();
    if (!tag_ || !mpeg_ || !TagStoreKeys::Handles(name)) return 0;
    TagLib::ID3v2::Tag* id3v2 = mpeg_->PresentID3v2(TagStoreKeys::Adds(name, value.GetNarrow()));
    std::unique_ptr<Id3v2Store> store = id3v2 ? std::make_unique<Id3v2Store>(id3v2) : nullptr;
    TagLib::String item;
    switch (keys_.Set(store.get(), name, std::move(value), &item)) {
        case TagStoreKeys::Result::kRefused:
            return 0;
        case TagStoreKeys::Result::kItemChanged:
        case TagStoreKeys::Result::kPictureChanged:
            changed_ = true;
            return 1;
        default:
            return 1;
    }
}
