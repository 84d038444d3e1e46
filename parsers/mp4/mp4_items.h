// Mp4Items: the items of an MP4 file's metadata list (moov.udta.meta.ilst)
// as the file holds them, and the TagStore over them. Each item is kept as
// its atom's bytes; only an item a change touches is rendered anew, so every
// other atom keeps its bytes and its place.
//
// Properties are the iTunes atoms TagLib's property map names: TITLE ©nam,
// ARTIST ©ART, ALBUM ©alb, DATE ©day, GENRE ©gen (a "gnre" genre number
// read as its name), COMMENT ©cmt, TRACKNUMBER trkn, DISCNUMBER disk,
// COMPOSER ©wrt, COPYRIGHT cprt, ENCODEDBY ©too, LYRICS ©lyr, BPM tmpo; the
// original artist and the URL, which it has no atom for, are the free-form
// items ----:com.apple.iTunes:ORIGINALARTIST and ----:com.apple.iTunes:URL.
// The picture is the first image of "covr" (its images have no types).
// Its items are every atom but "covr", keyed by the atom's name (a free-form
// atom as "----:mean:name"); its pictures every image of "covr", the first
// standing for the front cover. One thread at a time.
#ifndef LYPARSER_PARSERS_MP4_MP4_ITEMS_H
#define LYPARSER_PARSERS_MP4_MP4_ITEMS_H

#include <string>
#include <vector>

#include "parsers/shared/tag_store.h"

class Mp4Items : public TagStore {
public:
    // Reads the items from the data of an "ilst" atom (its header left out).
    void Parse(const TagLib::ByteVector& ilstData);
    // The data of the "ilst" atom that holds the items now.
    TagLib::ByteVector Render() const;
    bool Changed() const { return changed_; }

    TagLib::StringList Values(const std::string& property) const override;
    bool SetValue(const std::string& property, const TagLib::String& value) override;
    bool Picture(StoredPicture* picture) const override;
    bool SetPicture(const TagLib::ByteVector& data, const std::string& mimeType) override;
    bool RemovePictures() override;
    std::vector<TagItem> Items() const override;
    bool SetItem(const TagLib::String& key, const TagLib::String& value) override;
    std::vector<StoredPicture> Pictures() const override;
    bool PictureOfType(int type, StoredPicture* picture) const override;
    bool SetPictureOfType(int type, const TagLib::ByteVector& data,
                          const std::string& mimeType) override;
    bool RemovePicturesOfType(int type) override;

private:
    struct Item {
        std::string key;          // the atom name's bytes, or "----:mean:name" in UTF-8
        TagLib::ByteVector atom;  // the whole atom, header included
        bool removed = false;
    };
    // A "data" atom inside an item: its type and payload.
    struct Data {
        int type;
        TagLib::ByteVector payload;
        unsigned int offset;  // of the data atom within the item's atom
        unsigned int length;
    };
    static std::vector<Data> DataAtoms(const TagLib::ByteVector& atom);
    static std::string KeyOf(const TagLib::ByteVector& atom);
    static TagLib::StringList Decode(const std::string& key, const Data& data);
    void Replace(const std::string& key, const TagLib::ByteVector& atom,
                 const std::string& alsoRemove);

    std::vector<Item> items_;
    bool changed_ = false;
};

#endif  // LYPARSER_PARSERS_MP4_MP4_ITEMS_H
