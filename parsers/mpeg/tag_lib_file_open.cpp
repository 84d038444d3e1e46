#include "parsers/mpeg/tag_lib_file_open.h"

#include <taglib/flacfile.h>
#include <taglib/mpcfile.h>
#include <taglib/vorbisfile.h>

#include "core/ascii.h"
#include "parsers/mpeg/ape_extended_tag.h"
#include "parsers/mpeg/combined_tag.h"
#include "parsers/mpeg/flac_tag.h"
#include "parsers/mpeg/genre_frame_factory.h"
#include "parsers/mpeg/id3v1_extended_tag.h"
#include "parsers/mpeg/mpeg_file.h"
#include "parsers/mpeg/mpeg_tag.h"
#include "parsers/mpeg/xiph_extended_tag.h"
#include "parsers/shared/spliced_file_stream.h"

namespace {

enum class FileClass { kNone, kMpeg, kFlac, kMusepack, kVorbis };

bool EndsWithNoCase(const std::string& name, const char* ending) {
    size_t length = std::char_traits<char>::length(ending);
    if (name.size() < length) return false;
    for (size_t i = 0; i < length; ++i) {
        if (UpperAscii(name[name.size() - length + i]) != ending[i]) return false;
    }
    return true;
}

FileClass ClassOfName(const std::string& name) {
    static const struct {
        const char* ending;
        FileClass fileClass;
    } kClasses[] = {
        {".MP3", FileClass::kMpeg},     {".ACC", FileClass::kMpeg},
        {".FLAC", FileClass::kFlac},    {".MPC", FileClass::kMusepack},
        {".APE", FileClass::kMusepack}, {".OGG", FileClass::kVorbis},
    };
    if (name.size() < 5) return FileClass::kNone;
    for (const auto& entry : kClasses) {
        if (EndsWithNoCase(name, entry.ending)) return entry.fileClass;
    }
    return FileClass::kNone;
}

template <typename Tag, typename Wrapper>
std::unique_ptr<ExtendedTag> WrapIfPresent(Tag* tag) {
    return tag ? std::make_unique<Wrapper>(tag) : nullptr;
}

}  // namespace

std::unique_ptr<TagLib::File> OpenTagLibFile(const std::string& name, SplicedFileStream* stream) {
    const auto style = TagLib::AudioProperties::Average;
    switch (ClassOfName(name)) {
        case FileClass::kMpeg:
            CMPEGFile::LimitSearch(stream);
            return std::make_unique<CMPEGFile>(stream);
        case FileClass::kFlac: {
            auto file = std::make_unique<TagLib::FLAC::File>(stream, GenreFrameFactory::Instance(),
                                                             true, style);
            if (file->isValid()) RestoreGenreFrames(file->ID3v2Tag(false));
            return file;
        }
        case FileClass::kMusepack:
            return std::make_unique<TagLib::MPC::File>(stream, true, style);
        case FileClass::kVorbis:
            return std::make_unique<TagLib::Ogg::Vorbis::File>(stream, true, style);
        case FileClass::kNone:
            break;
    }
    return nullptr;
}

std::unique_ptr<ExtendedTag> MakeExtendedTag(TagLib::File* file) {
    if (auto* mpeg = dynamic_cast<CMPEGFile*>(file)) return std::make_unique<MPEGTag>(mpeg);
    if (auto* flac = dynamic_cast<TagLib::FLAC::File*>(file)) {
        return std::make_unique<FLACTag>(flac->xiphComment(false), flac->ID3v2Tag(false),
                                         flac->ID3v1Tag(false));
    }
    if (auto* mpc = dynamic_cast<TagLib::MPC::File*>(file)) {
        return std::make_unique<CombinedTag>(
            WrapIfPresent<TagLib::APE::Tag, APEExtendedTag>(mpc->APETag(false)),
            WrapIfPresent<TagLib::ID3v1::Tag, ID3v1ExtendedTag>(mpc->ID3v1Tag(false)));
    }
    if (auto* vorbis = dynamic_cast<TagLib::Ogg::Vorbis::File*>(file)) {
        if (vorbis->tag()) return std::make_unique<XiphExtendedTag>(vorbis->tag());
    }
    return nullptr;
}
