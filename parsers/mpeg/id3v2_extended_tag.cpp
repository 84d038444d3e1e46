#include "parsers/mpeg/id3v2_extended_tag.h"

#include <taglib/commentsframe.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>

#include "parsers/mpeg/id3v1_genres.h"
#include "parsers/mpeg/id3v2_upgrade.h"
#include "parsers/mpeg/tag_text.h"
#include "parsers/shared/id3v2_frames.h"

using Text = ExtendedTag::Text;
namespace ID3v2 = TagLib::ID3v2;

namespace {

Text Joined(const TagLib::StringList& values) { return JoinedId3v2Values(values); }

// What a genre code means: a number below 256 names an ID3v1 genre (empty
// above the list's end); RX and CR are the refinements remix and cover.
// Other text is itself.
Text GenreCodeText(const Text& code) {
    if (IsAllDigits(code) && LeadingNumber(code) < 256) return ID3v1GenreName(LeadingNumber(code));
    if (code == "RX") return "Remix";
    if (code == "CR") return "Cover";
    return code;
}

// 2.4 genre text: each field by GenreCodeText.
Text GenreOfFields(const TagLib::StringList& fields) {
    TagLib::StringList texts;
    for (const Text& field : fields) texts.append(GenreCodeText(field));
    return Joined(texts);
}

// 2.2/2.3 genre text: leading "(n)", "(RX)" and "(CR)" codes name what they
// mean, joined, unless text follows them, which is then the genre ("((" in
// it a literal parenthesis). Any other "(" form names the genre of the
// number between its parentheses unless text follows.
Text GenreOfOldText(const Text& text) {
    if (text.startsWith("((")) return text.substr(1);
    TagLib::StringList names;
    int position = 0;
    while (position < static_cast<int>(text.size()) && text[position] == L'(') {
        int close = text.find(")", position + 1);
        if (close < 0) break;
        Text code = text.substr(position + 1, close - position - 1);
        if (!IsAllDigits(code) && code != "RX" && code != "CR") break;
        Text name = IsAllDigits(code) ? ID3v1GenreName(LeadingNumber(code)) : GenreCodeText(code);
        if (!name.isEmpty()) names.append(name);
        position = close + 1;
    }
    if (position > 0) {
        Text rest = text.substr(position);
        if (rest.isEmpty()) return Joined(names);
        return rest.startsWith("((") ? rest.substr(1) : rest;
    }
    int close = text.find(")");
    if (!text.startsWith("(") || close < 1) return text;
    Text after = text.substr(close + 1);
    if (!after.isEmpty()) return after;
    return ID3v1GenreName(LeadingNumber(text.substr(1, close - 1)));
}

}  // namespace

ID3v2ExtendedTag::ID3v2ExtendedTag(ID3v2::Tag* tag) : tag_(tag), frames_(tag) {}

Text ID3v2ExtendedTag::firstText(const char* id) const { return frames_.JoinedText(id); }

Text ID3v2ExtendedTag::title() const { return firstText("TIT2"); }
Text ID3v2ExtendedTag::artist() const { return firstText("TPE1"); }
Text ID3v2ExtendedTag::album() const { return firstText("TALB"); }
Text ID3v2ExtendedTag::year() const { return firstText("TDRC").substr(0, 4); }
Text ID3v2ExtendedTag::track() const { return firstText("TRCK"); }
Text ID3v2ExtendedTag::composer() const { return firstText("TCOM"); }
Text ID3v2ExtendedTag::bpm() const { return firstText("TBPM"); }
Text ID3v2ExtendedTag::disc() const { return firstText("TPOS"); }
Text ID3v2ExtendedTag::originalArtist() const { return firstText("TOPE"); }
Text ID3v2ExtendedTag::copyright() const { return firstText("TCOP"); }
Text ID3v2ExtendedTag::encodedBy() const { return firstText("TENC"); }

Text ID3v2ExtendedTag::genre() const {
    ID3v2::Frame* frame = frames_.FirstFrame("TCON");
    if (!frame) return Text();
    auto* text = dynamic_cast<ID3v2::TextIdentificationFrame*>(frame);
    if (tag_->header()->majorVersion() == 4 && text) return GenreOfFields(text->fieldList());
    return GenreOfOldText(frame->toString());
}

void ID3v2ExtendedTag::setText(const char* id, const Text& value) { frames_.SetText(id, value); }

void ID3v2ExtendedTag::setNumbered(const char* id, const Text& value) {
    setText(id, LeadingNumber(value) > 0 ? value : Text());
}

void ID3v2ExtendedTag::setTitle(const Text& value) { setText("TIT2", value); }
void ID3v2ExtendedTag::setArtist(const Text& value) { setText("TPE1", value); }
void ID3v2ExtendedTag::setAlbum(const Text& value) { setText("TALB", value); }
void ID3v2ExtendedTag::setYear(const Text& value) { setNumbered("TDRC", value); }
void ID3v2ExtendedTag::setTrack(const Text& value) { setNumbered("TRCK", value); }
void ID3v2ExtendedTag::setComposer(const Text& value) { setText("TCOM", value); }
void ID3v2ExtendedTag::setBpm(const Text& value) { setText("TBPM", value); }
void ID3v2ExtendedTag::removeLyrics() { tag_->removeFrames("USLT"); }
void ID3v2ExtendedTag::setDisc(const Text& value) { setText("TPOS", value); }
void ID3v2ExtendedTag::setOriginalArtist(const Text& value) { setText("TOPE", value); }
void ID3v2ExtendedTag::setCopyright(const Text& value) { setText("TCOP", value); }
void ID3v2ExtendedTag::setEncodedBy(const Text& value) { setText("TENC", value); }

void ID3v2ExtendedTag::setGenre(const Text& value) {
    int index = ID3v1GenreIndex(value);
    setText("TCON", index >= 0 ? Text::number(index) : value);
}

bool ID3v2ExtendedTag::isEmpty() const { return tag_->frameList().isEmpty(); }

void ID3v2ExtendedTag::normalizeForWriting() {
    // Written without their flags they would read as garbage.
    frames_.RemoveUndecodable(nullptr);
    UpgradeToVersion24(tag_);
    const ID3v2::FrameList& frames = tag_->frameList();
    for (ID3v2::Frame* frame : frames) {
        if (frame->frameID().startsWith("T")) {
            if (auto* text = dynamic_cast<ID3v2::TextIdentificationFrame*>(frame)) {
                text->setTextEncoding(TagLib::String::UTF8);
            }
        } else if (auto* comments = dynamic_cast<ID3v2::CommentsFrame*>(frame)) {
            if (comments->language().size() != 3)
                comments->setLanguage(Id3v2Frames::kUnknownLanguage);
        } else if (auto* lyrics = dynamic_cast<ID3v2::UnsynchronizedLyricsFrame*>(frame)) {
            if (lyrics->language().size() != 3) lyrics->setLanguage(Id3v2Frames::kUnknownLanguage);
        }
    }
}
