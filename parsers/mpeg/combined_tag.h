// CombinedTag: two tags read as one, the first preferred (a Musepack file's
// APE tag, then its ID3v1 tag).
//
// Getters give the first tag's value when it counts (not empty; year and
// track: a leading number above 0), else the second's; setters write to each
// tag present. One thread at a time.
#ifndef LYPARSER_PARSERS_MPEG_COMBINED_TAG_H
#define LYPARSER_PARSERS_MPEG_COMBINED_TAG_H

#include <memory>

#include "parsers/mpeg/extended_tag.h"

class CombinedTag : public ExtendedTag {
public:
    // Either may be null.
    CombinedTag(std::unique_ptr<ExtendedTag> first, std::unique_ptr<ExtendedTag> second);
    ~CombinedTag() override;

    Text title() const override;
    Text artist() const override;
    Text album() const override;
    Text comment() const override;
    Text genre() const override;
    Text year() const override;
    Text track() const override;

    void setTitle(const Text& value) override;
    void setArtist(const Text& value) override;
    void setAlbum(const Text& value) override;
    void setComment(const Text& value) override;
    void setGenre(const Text& value) override;
    void setYear(const Text& value) override;
    void setTrack(const Text& value) override;

    bool isEmpty() const override;

private:
    Text either(Getter getter, bool numeric = false) const;
    void both(Setter setter, const Text& value);

    std::unique_ptr<ExtendedTag> first_;
    std::unique_ptr<ExtendedTag> second_;
};

#endif  // LYPARSER_PARSERS_MPEG_COMBINED_TAG_H
