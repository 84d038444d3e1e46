// OggPictureStore: the pictures of an Ogg stream's comments, each a
// METADATA_BLOCK_PICTURE comment that holds a FLAC picture structure in
// base64, seen as a TagStore, so that the picture fields and the picture keys
// answer them as they answer every other format's pictures. A picture is
// decoded only when it is asked for; a comment of that name that holds no
// picture is none and stays as it is (removing every picture removes it too).
// Values are the comments of a name.
//
// One thread at a time; changes go to the comment list, which a save writes.
#ifndef LYPARSER_PARSERS_OGG_OGG_PICTURE_STORE_H
#define LYPARSER_PARSERS_OGG_OGG_PICTURE_STORE_H

#include <string>
#include <vector>

#include "parsers/shared/tag_store.h"

class VorbisCommentList;

class OggPictureStore : public TagStore {
public:
    // The comment name the pictures have (any letter case).
    static constexpr char kPictureName[] = "METADATA_BLOCK_PICTURE";

    // Does not take ownership; `comments` must outlive this object.
    explicit OggPictureStore(VorbisCommentList* comments) : comments_(comments) {}

    TagLib::StringList Values(const std::string& property) const override;
    bool SetValue(const std::string& property, const TagLib::String& value) override;
    bool Picture(StoredPicture* picture) const override;
    // A new picture takes the place (and the spelling of the name) of the
    // comment it replaces. False when the comments were not read whole.
    bool SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) override;
    bool RemovePictures() override;
    std::vector<StoredPicture> Pictures() const override;
    bool SetPictureOfType(int type, const TagLib::ByteVector& data,
                          const std::string& mimeType) override;
    bool RemovePicturesOfType(int type) override;

private:
    // The picture structure comment `index` holds in base64; empty when it is
    // no picture comment.
    TagLib::ByteVector Structure(size_t index) const;
    // Reads comment `index` as a picture; false when it holds none.
    bool PictureAt(size_t index, StoredPicture* picture) const;
    // The index of the first comment holding a picture of `type` (-1: the
    // front cover, else the first picture); -1 when there is none.
    long IndexOf(int type) const;
    // Puts a picture of `data` in comment `index` (-1: a new comment),
    // keeping that picture's description.
    bool Put(long index, int type, const TagLib::ByteVector& data, const std::string& mimeType);

    VorbisCommentList* comments_;
};

#endif  // LYPARSER_PARSERS_OGG_OGG_PICTURE_STORE_H
