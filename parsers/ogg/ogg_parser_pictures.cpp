// COGGParser: the pictures of Opus files, held as METADATA_BLOCK_PICTURE
// comments (OggPictureStore). Fields 33 and 34 and the picture data answer
// the picture of the type a host chose with LYPARSER_KEY_SHOWN_PICTURE, else
// the front cover, else the first; setting field 33 replaces the front cover
// (else the first) in its place; the picture keys list, set and remove
// pictures by type. Every other picture stays. A picture is decoded only
// when it is asked for.
#include <cstring>

#include "core/platform_file.h"
#include "parsers/ogg/ogg_parser.h"
#include "parsers/shared/tag_lib_text.h"

bool COGGParser::AnswersPictureKey(const std::string& key) const {
    return codec_ == OggCodec::kOpus && TagStoreKeys::HandlesPictures(key);
}

StringEx COGGParser::PictureField(int fieldId) {
    StoredPicture picture;
    if (!keys_.ShownPicture(&pictures_, &picture)) return StringEx(std::string());
    if (fieldId == FIELD_PICTURE_INFO) return StringEx(std::to_string(picture.data.size()));
    return StringEx(FromTagText(TagStoreKeys::Label(picture)));
}

int COGGParser::SetPictureFile(StringEx path) {
    TagLib::ByteVector data;
    std::string mimeType;
    if (!TagStoreKeys::ReadPictureFile(NativePath(path), &data, &mimeType)) return 0;
    StoredPicture current;
    if (pictures_.Picture(&current) && current.data == data &&
        current.mimeType == mimeType.c_str()) {
        return 1;
    }
    return pictures_.SetPicture(data, mimeType) ? 1 : 0;
}

int COGGParser::SetPictureKey(const std::string& key, StringEx value) {
    // Comments not read whole take no change (choosing the shown type is none).
    if (key != LYPARSER_KEY_SHOWN_PICTURE && !comments_.Complete()) return 0;
    TagLib::String item;  // what an item key names; the picture keys name none
    const TagStoreKeys::Result result = keys_.Set(&pictures_, key, std::move(value), &item);
    return result == TagStoreKeys::Result::kRefused ? 0 : 1;
}

int COGGParser::DeleteAttachedPicture() {
    if (codec_ != OggCodec::kOpus || openedFromMemory_) return IBaseTag::DeleteAttachedPicture();
    if (!comments_.Complete()) return 0;
    pictures_.RemovePictures();
    return 1;
}

int COGGParser::GetAttachedPictureData(void* destination) {
    StoredPicture picture;
    if (codec_ != OggCodec::kOpus || !destination || !keys_.ShownPicture(&pictures_, &picture))
        return 0;
    std::memcpy(destination, picture.data.data(), picture.data.size());
    return static_cast<int>(picture.data.size());
}
