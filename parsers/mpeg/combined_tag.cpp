#include "parsers/mpeg/combined_tag.h"

using Text = ExtendedTag::Text;

CombinedTag::CombinedTag(std::unique_ptr<ExtendedTag> first, std::unique_ptr<ExtendedTag> second)
    : first_(std::move(first)), second_(std::move(second)) {}

CombinedTag::~CombinedTag() = default;

Text CombinedTag::either(Getter getter, bool numeric) const {
    Text value = FirstCounting({first_.get()}, getter, numeric);
    if (!value.isEmpty() || !second_) return value;
    return (second_.get()->*getter)();
}

void CombinedTag::both(Setter setter, const Text& value) {
    if (first_) (first_.get()->*setter)(value);
    if (second_) (second_.get()->*setter)(value);
}

Text CombinedTag::title() const { return either(&ExtendedTag::title); }
Text CombinedTag::artist() const { return either(&ExtendedTag::artist); }
Text CombinedTag::album() const { return either(&ExtendedTag::album); }
Text CombinedTag::comment() const { return either(&ExtendedTag::comment); }
Text CombinedTag::genre() const { return either(&ExtendedTag::genre); }
Text CombinedTag::year() const { return either(&ExtendedTag::year, true); }
Text CombinedTag::track() const { return either(&ExtendedTag::track, true); }

void CombinedTag::setTitle(const Text& value) { both(&ExtendedTag::setTitle, value); }
void CombinedTag::setArtist(const Text& value) { both(&ExtendedTag::setArtist, value); }
void CombinedTag::setAlbum(const Text& value) { both(&ExtendedTag::setAlbum, value); }
void CombinedTag::setComment(const Text& value) { both(&ExtendedTag::setComment, value); }
void CombinedTag::setGenre(const Text& value) { both(&ExtendedTag::setGenre, value); }
void CombinedTag::setYear(const Text& value) { both(&ExtendedTag::setYear, value); }
void CombinedTag::setTrack(const Text& value) { both(&ExtendedTag::setTrack, value); }

bool CombinedTag::isEmpty() const { return basicFieldsEmpty(); }
