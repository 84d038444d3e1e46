// Id3v2Store's items: every frame but the pictures, named the way other
// taggers name them. A text frame is its id (TIT2); a frame that several of
// one id tell apart adds what tells them apart: COMM and USLT their
// description and language (COMM:note:eng, COMM::eng), SYLT the same, TXXX,
// WXXX and GEOB their description (TXXX:MOOD), PRIV and UFID their owner,
// POPM its e-mail address. Text, comment, lyrics and URL frames are text;
// every other frame is binary and can only be removed.
#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/generalencapsulatedobjectframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/popularimeterframe.h>
#include <taglib/privateframe.h>
#include <taglib/synchronizedlyricsframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/uniquefileidentifierframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>

#include "parsers/shared/id3v2_frames.h"
#include "parsers/shared/id3v2_store.h"

namespace ID3v2 = TagLib::ID3v2;
using TagLib::String;

namespace {

constexpr unsigned int kFrameHeaderBytes = 10;

String Language(const TagLib::ByteVector& language) { return String(language, String::Latin1); }

// The key of `frame`, as the listing names it.
String KeyOf(const ID3v2::Frame* frame) {
    const String id(frame->frameID(), String::Latin1);
    if (auto* f = dynamic_cast<const ID3v2::CommentsFrame*>(frame))
        return id + ":" + f->description() + ":" + Language(f->language());
    if (auto* f = dynamic_cast<const ID3v2::UnsynchronizedLyricsFrame*>(frame))
        return id + ":" + f->description() + ":" + Language(f->language());
    if (auto* f = dynamic_cast<const ID3v2::SynchronizedLyricsFrame*>(frame))
        return id + ":" + f->description() + ":" + Language(f->language());
    if (auto* f = dynamic_cast<const ID3v2::UserTextIdentificationFrame*>(frame))
        return id + ":" + f->description();
    if (auto* f = dynamic_cast<const ID3v2::UserUrlLinkFrame*>(frame))
        return id + ":" + f->description();
    if (auto* f = dynamic_cast<const ID3v2::GeneralEncapsulatedObjectFrame*>(frame))
        return id + ":" + f->description();
    if (auto* f = dynamic_cast<const ID3v2::PrivateFrame*>(frame)) return id + ":" + f->owner();
    if (auto* f = dynamic_cast<const ID3v2::UniqueFileIdentifierFrame*>(frame))
        return id + ":" + f->owner();
    if (auto* f = dynamic_cast<const ID3v2::PopularimeterFrame*>(frame))
        return id + ":" + f->email();
    return id;
}

// The text of a text, comment, lyrics or URL frame; false for other frames.
bool TextOf(const ID3v2::Frame* frame, String* text) {
    if (Id3v2Frames::Undecodable(frame)) return false;
    if (auto* f = dynamic_cast<const ID3v2::UserTextIdentificationFrame*>(frame)) {
        TagLib::StringList values = f->fieldList();
        if (!values.isEmpty()) values.erase(values.begin());  // the description
        *text = JoinedId3v2Values(values);
    } else if (auto* f = dynamic_cast<const ID3v2::TextIdentificationFrame*>(frame)) {
        TagLib::StringList values;
        for (const String& value : f->fieldList()) {
            if (!value.isEmpty()) values.append(value);
        }
        *text = JoinedId3v2Values(values);
    } else if (auto* f = dynamic_cast<const ID3v2::UrlLinkFrame*>(frame)) {
        *text = f->url();
    } else if (dynamic_cast<const ID3v2::CommentsFrame*>(frame) ||
               dynamic_cast<const ID3v2::UnsynchronizedLyricsFrame*>(frame)) {
        *text = frame->toString();
    } else {
        return false;
    }
    return true;
}

// What a key names: the frame id, and the description and language that
// tell frames of that id apart (`language` empty: any).
struct ParsedKey {
    TagLib::ByteVector id;
    String description;
    String language;
    bool described = false;  // the key had a ":" after the id
};

bool ParseKey(const String& key, ParsedKey* parsed) {
    if (key.size() < 4) return false;
    for (unsigned int i = 0; i < 4; ++i) {
        const wchar_t c = key[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
    }
    parsed->id = key.substr(0, 4).data(String::Latin1);
    if (key.size() == 4) return true;
    if (key[4] != ':') return false;
    parsed->described = true;
    String rest = key.substr(5);
    const bool languaged = parsed->id == "COMM" || parsed->id == "USLT" || parsed->id == "SYLT";
    const int colon = rest.rfind(":");
    if (languaged && colon >= 0) {
        parsed->language = rest.substr(static_cast<unsigned int>(colon) + 1);
        rest = rest.substr(0, static_cast<unsigned int>(colon));
    }
    parsed->description = rest;
    return true;
}

// True when `frame` is an item `wanted` names: the same key, or, for a key
// without a language, the same key in any language.
bool Named(const ID3v2::Frame* frame, const ParsedKey& wanted, const String& key) {
    if (frame->frameID() != wanted.id) return false;
    const String own = KeyOf(frame);
    if (own == key) return true;
    return wanted.language.isEmpty() && own.startsWith(key + ":") && own.size() == key.size() + 4;
}

// A new text frame for `key`; null when frames of that id are not text.
ID3v2::Frame* NewTextFrame(const ParsedKey& key) {
    const String id(key.id, String::Latin1);
    const String language =
        key.language.isEmpty() ? String(Id3v2Frames::kUnknownLanguage) : key.language;
    if (id == "TXXX") return new ID3v2::UserTextIdentificationFrame(String::UTF8);
    if (id == "COMM" || id == "USLT") {
        ID3v2::Frame* frame = nullptr;
        if (id == "COMM") {
            auto* comment = new ID3v2::CommentsFrame(String::Latin1);
            comment->setDescription(key.description);
            comment->setLanguage(language.data(String::Latin1));
            frame = comment;
        } else {
            auto* lyrics = new ID3v2::UnsynchronizedLyricsFrame(String::Latin1);
            lyrics->setDescription(key.description);
            lyrics->setLanguage(language.data(String::Latin1));
            frame = lyrics;
        }
        return frame;
    }
    if (id == "WXXX") return new ID3v2::UserUrlLinkFrame(String::Latin1);
    if (key.described || id == "APIC") return nullptr;
    if (id.startsWith("T")) return new ID3v2::TextIdentificationFrame(key.id, String::UTF8);
    if (id.startsWith("W")) return new ID3v2::UrlLinkFrame(key.id);
    return nullptr;
}

// Puts `value` into a frame of the kind NewTextFrame makes.
void SetFrameText(ID3v2::Frame* frame, const ParsedKey& key, const String& value) {
    if (auto* f = dynamic_cast<ID3v2::UserTextIdentificationFrame*>(frame)) {
        f->setDescription(key.description);
        f->setText(value);
    } else if (auto* f = dynamic_cast<ID3v2::UserUrlLinkFrame*>(frame)) {
        f->setDescription(key.description);
        f->setUrl(value);
    } else if (auto* f = dynamic_cast<ID3v2::UrlLinkFrame*>(frame)) {
        f->setUrl(value);
    } else {
        frame->setText(value);
    }
}

}  // namespace

std::vector<TagItem> Id3v2Store::Items() const {
    std::vector<TagItem> items;
    for (const ID3v2::Frame* frame : tag_->frameList()) {
        if (frame->frameID() == "APIC") continue;
        TagItem item;
        item.key = KeyOf(frame);
        if (!TextOf(frame, &item.text)) {
            const unsigned int size = frame->render().size();
            item.binary = true;
            item.bytes = size > kFrameHeaderBytes ? size - kFrameHeaderBytes : 0;
        }
        items.push_back(item);
    }
    return items;
}

bool Id3v2Store::SetItem(const String& key, const String& value) {
    ParsedKey parsed;
    if (!ParseKey(key, &parsed) || parsed.id == "APIC") return false;
    if (parsed.id == "WXXX" && value.size() >= Id3v2Frames::kMaxUrlLength) return false;
    std::vector<ID3v2::Frame*> named;
    for (ID3v2::Frame* frame : tag_->frameList()) {
        if (Named(frame, parsed, key)) named.push_back(frame);
    }
    ID3v2::Frame* kept = nullptr;
    if (!value.isEmpty()) {
        String text;
        if (!named.empty() && TextOf(named.front(), &text)) {
            kept = named.front();
        } else if (!(kept = NewTextFrame(parsed))) {
            return false;  // not a frame that holds text
        } else {
            tag_->addFrame(kept);
        }
        SetFrameText(kept, parsed, value);
    }
    for (ID3v2::Frame* frame : named) {
        if (frame != kept) tag_->removeFrame(frame);
    }
    changed_ = true;
    return true;
}

std::vector<StoredPicture> Id3v2Store::Pictures() const {
    std::vector<StoredPicture> pictures;
    for (const ID3v2::AttachedPictureFrame* frame : Id3v2Frames(tag_).Pictures()) {
        StoredPicture picture;
        picture.data = frame->picture();
        picture.mimeType = frame->mimeType();
        picture.description = frame->description();
        picture.type = frame->type();
        pictures.push_back(picture);
    }
    return pictures;
}

bool Id3v2Store::SetPictureOfType(int type, const TagLib::ByteVector& data,
                                  const std::string& mimeType) {
    Id3v2Frames(tag_).SetPicture(type, data, mimeType);
    return changed_ = true;
}

bool Id3v2Store::RemovePicturesOfType(int type) {
    const bool removed = Id3v2Frames(tag_).RemovePictures(type);
    changed_ = changed_ || removed;
    return removed;
}
