// FlacStore: a FLAC file's own tag: the values of its Vorbis comment block
// and the pictures of its PICTURE blocks. The comment is DESCRIPTION when the
// file has one, else COMMENT; a change goes where the value was read
// (COMMENT when neither exists) and an empty value removes both. The picture
// is the front cover, else the first PICTURE block; a new one replaces that
// block, keeping its description. Its items are the comments, each entry
// under its name (names compare without regard to case); its pictures every
// PICTURE block, by type. One thread at a time.
#ifndef LYPARSER_PARSERS_FLAC_FLAC_STORE_H
#define LYPARSER_PARSERS_FLAC_FLAC_STORE_H

#include "parsers/shared/tag_store.h"

class FlacMetadata;
class VorbisCommentList;

class FlacStore : public TagStore {
public:
    // Does not take ownership; both must outlive this object.
    FlacStore(VorbisCommentList* comments, FlacMetadata* metadata)
        : comments_(comments), metadata_(metadata) {}

    TagLib::StringList Values(const std::string& property) const override;
    bool SetValue(const std::string& property, const TagLib::String& value) override;
    bool Picture(StoredPicture* picture) const override;
    bool SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) override;
    bool RemovePictures() override;
    std::vector<TagItem> Items() const override;
    bool SetItem(const TagLib::String& key, const TagLib::String& value) override;
    bool SameKey(const TagLib::String& a, const TagLib::String& b) const override;
    std::vector<StoredPicture> Pictures() const override;
    bool SetPictureOfType(int type, const TagLib::ByteVector& data,
                          const std::string& mimeType) override;
    bool RemovePicturesOfType(int type) override;

private:
    // The index of the block holding the picture a player shows; -1 for none.
    int ShownPictureBlock() const;
    // The index of the first block holding a picture of `type`; -1 for none.
    int PictureBlockOfType(int type) const;
    // Puts a picture of `data` in the block at `index` (-1: a new block),
    // keeping that block's description.
    void PutPicture(int index, int type, const TagLib::ByteVector& data,
                    const std::string& mimeType);

    VorbisCommentList* comments_;
    FlacMetadata* metadata_;
};

#endif  // LYPARSER_PARSERS_FLAC_FLAC_STORE_H
