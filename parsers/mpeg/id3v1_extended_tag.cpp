#include "parsers/mpeg/id3v1_extended_tag.h"

#include "parsers/mpeg/id3v1_genres.h"
#include "parsers/mpeg/tag_text.h"

using Text = ExtendedTag::Text;

namespace {

// Offsets inside the 128 rendered bytes ("TAG" included).
constexpr unsigned int kYearOffset = 93;
constexpr unsigned int kYearSize = 4;

// TagLib parses a tag from its 128 bytes only in a protected member; this
// reaches it so that a field TagLib keeps as a number can be set as text.
struct ID3v1Reparse : TagLib::ID3v1::Tag {
    static void Parse(TagLib::ID3v1::Tag* tag, const TagLib::ByteVector& data) {
        (tag->*(&ID3v1Reparse::parse))(data);
    }
};

}  // namespace

ID3v1ExtendedTag::ID3v1ExtendedTag(TagLib::ID3v1::Tag* tag) : tag_(tag) {}

Text ID3v1ExtendedTag::title() const { return tag_->title(); }
Text ID3v1ExtendedTag::artist() const { return tag_->artist(); }
Text ID3v1ExtendedTag::album() const { return tag_->album(); }
Text ID3v1ExtendedTag::comment() const { return tag_->comment(); }
Text ID3v1ExtendedTag::genre() const { return ID3v1GenreName(tag_->genreNumber()); }

Text ID3v1ExtendedTag::year() const {
    TagLib::ByteVector field = tag_->render().mid(kYearOffset, kYearSize);
    return BytesAsLatin1(std::string(field.data(), field.size()));
}

Text ID3v1ExtendedTag::track() const {
    unsigned int track = tag_->track();
    return track == 0 ? Text() : Text::number(static_cast<int>(track));
}

void ID3v1ExtendedTag::setTitle(const Text& value) { tag_->setTitle(value); }
void ID3v1ExtendedTag::setArtist(const Text& value) { tag_->setArtist(value); }
void ID3v1ExtendedTag::setAlbum(const Text& value) { tag_->setAlbum(value); }
void ID3v1ExtendedTag::setComment(const Text& value) { tag_->setComment(value); }

void ID3v1ExtendedTag::setGenre(const Text& value) {
    int index = ID3v1GenreIndex(value);
    tag_->setGenreNumber(index < 0 ? 255 : static_cast<unsigned int>(index));
}

void ID3v1ExtendedTag::setYear(const Text& value) {
    TagLib::ByteVector data = tag_->render();
    TagLib::ByteVector field = value.data(TagLib::String::Latin1);
    field.resize(kYearSize, '\0');
    for (unsigned int i = 0; i < kYearSize; ++i) data[kYearOffset + i] = field[i];
    ID3v1Reparse::Parse(tag_, data);
}

void ID3v1ExtendedTag::setTrack(const Text& value) {
    long long number = LeadingNumber(value);
    tag_->setTrack(number < 256 ? static_cast<unsigned int>(number) : 0);
}

bool ID3v1ExtendedTag::isEmpty() const { return basicFieldsEmpty(); }
