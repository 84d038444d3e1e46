#include "tools/lytag/tag_items.h"

#include <strings.h>

#include <cstdlib>

#include "core/code_page.h"
#include "lyParser.h"

namespace {

// The picture types of ID3v2 and FLAC, in order, by the names lytag takes.
const char* const kPictureTypes[kLastPictureType + 1] = {
    "other",        "icon",        "other-icon",     "front",       "back",   "leaflet",
    "media",        "lead-artist", "artist",         "conductor",   "band",   "composer",
    "lyricist",     "location",    "recording",      "performance", "screen", "fish",
    "illustration", "band-logo",   "publisher-logo",
};

// The Vorbis comments the Ogg parser answers as fields, by the names that
// reach them; the module lists only the other names.
const char* const kOggFieldComments[] = {"TITLE", "ARTIST",  "ALBUM",       "DATE",
                                         "GENRE", "COMMENT", "TRACKNUMBER", "LYRICS"};

// The Windows Media string attributes taggers and players write. The module
// answers any attribute by name but lists none, so these are the ones shown.
const char* const kWmaAttributes[] = {
    "Title",
    "Author",
    "Copyright",
    "Description",
    "Rating",
    "WM/AlbumTitle",
    "WM/AlbumArtist",
    "WM/Year",
    "WM/OriginalReleaseYear",
    "WM/Genre",
    "WM/TrackNumber",
    "WM/Track",
    "WM/PartOfSet",
    "WM/Composer",
    "WM/Conductor",
    "WM/Writer",
    "WM/Producer",
    "WM/Publisher",
    "WM/ContentGroupDescription",
    "WM/SubTitle",
    "WM/Mood",
    "WM/BeatsPerMinute",
    "WM/InitialKey",
    "WM/Language",
    "WM/ISRC",
    "WM/Barcode",
    "WM/CatalogNo",
    "WM/Lyrics",
    "WM/OriginalArtist",
    "WM/OriginalAlbumTitle",
    "WM/OriginalLyricist",
    "WM/OriginalFilename",
    "WM/EncodedBy",
    "WM/EncodingSettings",
    "WM/ToolName",
    "WM/ToolVersion",
    "WM/AlbumSortOrder",
    "WM/ArtistSortOrder",
    "WM/TitleSortOrder",
    "WM/AuthorURL",
    "WM/UserWebURL",
    "WM/AudioFileURL",
    "WM/AudioSourceURL",
    "WM/Category",
    "WM/Director",
    "WM/ParentalRating",
    "WM/Period",
    "WM/Provider",
    "WM/MediaPrimaryClassID",
    "WM/UniqueFileIdentifier",
    "WM/SharedUserRating",
    "WMFSDKVersion",
    "WMFSDKNeeded",
    "DeviceConformanceTemplate",
    "MediaFoundationVersion",
    "DRM_LicenseAcqURL",
    "replaygain_track_gain",
    "replaygain_track_peak",
    "replaygain_album_gain",
    "replaygain_album_peak",
    "Acoustid/Id",
    "MusicBrainz/Artist Id",
    "MusicBrainz/Album Id",
    "MusicBrainz/Album Artist Id",
    "MusicBrainz/Track Id",
    "MusicBrainz/Release Group Id",
    "MusicBrainz/Work Id",
    "MusicBrainz/Album Status",
    "MusicBrainz/Album Type",
    "MusicBrainz/Album Release Country",
    "MusicIP/PUID",
};

std::string Unescaped(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            plain += text[i];
            continue;
        }
        const char next = text[++i];
        plain += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
    }
    return plain;
}

// The lines of a listing, each split at its tabs.
std::vector<std::vector<std::string>> Lines(const std::string& listing) {
    std::vector<std::vector<std::string>> lines;
    for (size_t at = 0, end; (end = listing.find('\n', at)) != std::string::npos; at = end + 1) {
        std::vector<std::string> parts;
        const std::string line = listing.substr(at, end - at);
        for (size_t from = 0, tab;; from = tab + 1) {
            tab = line.find('\t', from);
            parts.push_back(line.substr(from, tab == std::string::npos ? tab : tab - from));
            if (tab == std::string::npos) break;
        }
        lines.push_back(parts);
    }
    return lines;
}

void AddNamed(IBaseTag* handle, const std::string& name, std::vector<ListedItem>* items) {
    const std::string value = TagParserGetExData(handle, name.c_str());
    if (!value.empty()) items->push_back({name, CodePageToWide(value), false, 0});
}

}  // namespace

FormatTraits TraitsOf(int type) {
    using T = FormatTraits;
    switch (type) {
        case FILE_TYPE_MP3:
        case FILE_TYPE_MUSEPACK:
        case FILE_TYPE_MP4:
        case FILE_TYPE_WAV:
        case FILE_TYPE_AIFF:
        case FILE_TYPE_WAVPACK:
            return {T::kItemKeys, false, true};
        case FILE_TYPE_FLAC:
            return {T::kItemKeys, true, true};
        case FILE_TYPE_OGG:
            return {T::kCommentNames, true, false};
        case FILE_TYPE_OPUS:
            return {T::kCommentNames, true, true};
        case FILE_TYPE_WMA:
        case FILE_TYPE_ASF:
            return {T::kAttributeNames, false, false};
        default:
            return {};
    }
}

bool IsPictureComment(int type, const std::string& name) {
    return type == FILE_TYPE_OPUS && strcasecmp(name.c_str(), "METADATA_BLOCK_PICTURE") == 0;
}

std::vector<ListedItem> ListItems(IBaseTag* handle, int type) {
    std::vector<ListedItem> items;
    switch (TraitsOf(type).items) {
        case FormatTraits::kItemKeys:
            for (const auto& parts : Lines(TagParserGetExData(handle, LYPARSER_KEY_ITEMS))) {
                if (parts.size() != 3) continue;
                ListedItem item{parts[0], L"", parts[1] == "binary", 0};
                if (item.binary) {
                    item.bytes = std::atoll(parts[2].c_str());
                } else {
                    item.text = CodePageToWide(Unescaped(parts[2]));
                }
                items.push_back(item);
            }
            break;
        case FormatTraits::kCommentNames: {
            for (const char* name : kOggFieldComments) AddNamed(handle, name, &items);
            const std::string names = TagParserGetExData(handle, "");
            for (size_t at = 0, comma; (comma = names.find(',', at)) != std::string::npos;
                 at = comma + 1) {
                const std::string name = names.substr(at, comma - at);
                bool seen = name.empty() || IsPictureComment(type, name);
                for (const auto& item : items)
                    seen = seen || strcasecmp(item.key.c_str(), name.c_str()) == 0;
                if (!seen) AddNamed(handle, name, &items);
            }
            break;
        }
        case FormatTraits::kAttributeNames:
            for (const char* name : kWmaAttributes) AddNamed(handle, name, &items);
            break;
        case FormatTraits::kNoItems:
            break;
    }
    return items;
}

std::vector<ListedPicture> ListPictures(IBaseTag* handle, int type) {
    std::vector<ListedPicture> pictures;
    if (!TraitsOf(type).pictures) return pictures;
    for (const auto& parts : Lines(TagParserGetExData(handle, LYPARSER_KEY_PICTURES))) {
        if (parts.size() != 4) continue;
        pictures.push_back({parts[0].empty() ? -1 : std::atoi(parts[0].c_str()),
                            Unescaped(parts[1]), std::atoll(parts[2].c_str()),
                            CodePageToWide(Unescaped(parts[3]))});
    }
    return pictures;
}

const char* PictureTypeName(int type) {
    return type >= 0 && type <= kLastPictureType ? kPictureTypes[type] : "";
}

int ParsePictureType(const std::string& text) {
    for (int type = 0; type <= kLastPictureType; ++type) {
        if (strcasecmp(text.c_str(), kPictureTypes[type]) == 0 || text == std::to_string(type))
            return type;
    }
    return -1;
}

std::string PictureTypeList() {
    constexpr size_t kWidth = 78;
    std::string list, line = " ";
    for (const char* name : kPictureTypes) {
        std::string word = std::string(" ") + name + ",";
        if (line.size() + word.size() > kWidth) list += line + "\n", line = " ";
        line += word;
    }
    list += line;
    list.back() = '.';
    return list;
}
