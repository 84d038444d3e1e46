#include <taglib/audioproperties.h>
#include <taglib/fileref.h>

#include <iostream>

#include "core/code_page.h"
#include "core/platform_file.h"
#include "lyParser.h"
#include "tools/lytag/cd_disc.h"
#include "tools/lytag/lytag.h"

float LytagEngine::GetAudioLength(const void* path, int wide) {
    if (!path) return 0;
    std::string name = wide ? NativePathW(static_cast<const wchar_t*>(path))
                            : std::string(static_cast<const char*>(path));
    if (!OpenReadFile(name)) return 0;  // never hand TagLib a FIFO or a device
    TagLib::FileRef file(name.c_str(), true, TagLib::AudioProperties::Average);
    if (file.isNull() || !file.audioProperties()) return 0;
    return static_cast<float>(file.audioProperties()->lengthInMilliseconds()) / 1000.0f;
}

void LytagEngine::SetDiscs(const std::vector<CdDisc>& discs) {
    discs_ = discs;
    queryTexts_.clear();
    for (const auto& disc : discs_) queryTexts_.push_back(disc.QueryText());
}

int LytagEngine::GetBassCD_DriveLetter(unsigned long drive) {
    return drive < discs_.size() ? discs_[drive].letter - 'A' : -1;
}

int LytagEngine::GetBassCD_IsReady(unsigned long drive) { return drive < discs_.size() ? 1 : 0; }

const char* LytagEngine::GetBassCD_ID(unsigned long drive, unsigned long kind) {
    return drive < discs_.size() && kind == 2 ? queryTexts_[drive].c_str() : nullptr;
}

int LytagEngine::GetBassCD_TrackLength(unsigned long drive, unsigned long track) {
    return drive < discs_.size() ? discs_[drive].TrackBytes(static_cast<int>(track)) : 0;
}

LytagEngine& Engine() {
    static LytagEngine* engine = new LytagEngine();  // a lookup may outlive main
    return *engine;
}

void StartModule() { TagParserInitialize(&Engine()); }

const std::vector<FieldName>& FieldNames() {
    static const std::vector<FieldName> names = {
        {FIELD_TITLE, "title"},
        {FIELD_ARTIST, "artist"},
        {FIELD_ALBUM, "album"},
        {FIELD_YEAR, "year"},
        {FIELD_GENRE, "genre"},
        {FIELD_COMMENT, "comment"},
        {FIELD_TRACK, "track"},
        {FIELD_TITLE2, "title2"},
        {FIELD_ARTIST2, "artist2"},
        {FIELD_ALBUM2, "album2"},
        {FIELD_YEAR2, "year2"},
        {FIELD_GENRE2, "genre2"},
        {FIELD_COMMENT2, "comment2"},
        {FIELD_TRACK2, "track2"},
        {FIELD_COMPOSER, "composer"},
        {FIELD_ORIGINAL_ARTIST, "original-artist"},
        {FIELD_COPYRIGHT, "copyright"},
        {FIELD_URL, "url"},
        {FIELD_ENCODED_BY, "encoded-by"},
        {FIELD_LYRICS, "lyrics"},
        {FIELD_WM_SDK_VERSION, "wm-sdk-version"},
        {FIELD_WM_SDK_NEEDED, "wm-sdk-needed"},
        {FIELD_RATING, "rating"},
        {FIELD_BPM, "bpm"},
        {FIELD_PICTURE, "picture"},
        {FIELD_PICTURE_INFO, "picture-size"},
        {FIELD_DISC, "disc"},
        {FIELD_HAS_ID3V1, "has-id3v1"},
        {FIELD_HAS_ID3V2, "has-id3v2"},
    };
    return names;
}

int FieldIdFromName(const std::string& name) {
    for (const auto& field : FieldNames()) {
        if (name == field.name) return field.id;
    }
    return -1;
}

const char* FileTypeName(int type) {
    static const char* const kNames[] = {"unknown", "MP3", "Ogg Vorbis", "WMA", "audio CD", "ASF"};
    return type >= 0 && type <= 5 ? kNames[type] : "unknown";
}

std::string ToUtf8(const std::wstring& text) { return WideToUtf8(text); }
std::wstring FromUtf8(const std::string& text) { return Utf8ToWide(text); }
std::wstring FromLocale(const std::string& text) { return CodePageToWide(text); }
std::string LocaleText(const std::wstring& text) { return WideToCodePage(text); }

void ReportRefused(const std::string& file) {
    std::cerr << "lytag: " << file << ": not a readable file of a known kind\n";
}

int UsageError(const std::string& message) {
    std::cerr << "lytag: " << message << "\nTry 'lytag --help'.\n";
    return kExitUsage;
}

bool WantsHelp(const std::vector<std::string>& args) {
    for (const auto& arg : args) {
        if (arg == "-h" || arg == "--help") return true;
    }
    return false;
}
