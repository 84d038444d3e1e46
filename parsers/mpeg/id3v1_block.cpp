#include "parsers/mpeg/id3v1_block.h"

#include "parsers/mpeg/id3v1_genres.h"
#include "parsers/mpeg/tag_text.h"

using Text = ExtendedTag::Text;

namespace {

// Fields inside the 128 bytes ("TAG" included).
constexpr unsigned int kTitle = 3, kArtist = 33, kAlbum = 63, kYear = 93, kComment = 97;
constexpr unsigned int kTextSize = 30, kYearSize = 4;
// ID3v1.1: a zero byte, then the track number, end the comment field.
constexpr unsigned int kShortComment = 28, kTrackMark = 125, kTrack = 126, kGenre = 127;
constexpr unsigned char kNoGenre = 255;

}  // namespace

ID3v1Block::ID3v1Block() : data_("TAG") {
    data_.resize(kSize, '\0');
    data_[kGenre] = static_cast<char>(kNoGenre);
}

ID3v1Block::ID3v1Block(const TagLib::ByteVector& data) : data_(data) { data_.resize(kSize, '\0'); }

bool ID3v1Block::holdsTrack() const { return data_[kTrackMark] == 0 && data_[kTrack] != 0; }

Text ID3v1Block::field(unsigned int offset, unsigned int size) const {
    return BytesAsLatin1(std::string(data_.data() + offset, size));
}

void ID3v1Block::setField(unsigned int offset, unsigned int size, const Text& value) {
    TagLib::ByteVector bytes = Latin1Bytes(value);
    bytes.resize(size, '\0');
    for (unsigned int i = 0; i < size; ++i) data_[offset + i] = bytes[i];
}

Text ID3v1Block::title() const { return field(kTitle, kTextSize); }
Text ID3v1Block::artist() const { return field(kArtist, kTextSize); }
Text ID3v1Block::album() const { return field(kAlbum, kTextSize); }
Text ID3v1Block::year() const { return field(kYear, kYearSize); }
Text ID3v1Block::genre() const { return ID3v1GenreName(static_cast<unsigned char>(data_[kGenre])); }

Text ID3v1Block::comment() const {
    return field(kComment, holdsTrack() ? kShortComment : kTextSize);
}

Text ID3v1Block::track() const {
    return holdsTrack() ? Text::number(static_cast<unsigned char>(data_[kTrack])) : Text();
}

void ID3v1Block::setTitle(const Text& value) { setField(kTitle, kTextSize, value); }
void ID3v1Block::setArtist(const Text& value) { setField(kArtist, kTextSize, value); }
void ID3v1Block::setAlbum(const Text& value) { setField(kAlbum, kTextSize, value); }
void ID3v1Block::setYear(const Text& value) { setField(kYear, kYearSize, value); }

void ID3v1Block::setComment(const Text& value) {
    if (!holdsTrack()) return setField(kComment, kTextSize, value);
    setField(kComment, kShortComment, value);
}

void ID3v1Block::setGenre(const Text& value) {
    int index = ID3v1GenreIndex(value);
    data_[kGenre] = static_cast<char>(index < 0 ? kNoGenre : index);
}

void ID3v1Block::setTrack(const Text& value) {
    const long long number = LeadingNumber(value);
    if (number > 0 && number < 256) {
        // The number takes the comment's last two bytes.
        data_[kTrackMark] = '\0';
        data_[kTrack] = static_cast<char>(number);
    } else if (holdsTrack()) {
        data_[kTrack] = '\0';
    }
}

bool ID3v1Block::isEmpty() const { return basicFieldsEmpty(); }
