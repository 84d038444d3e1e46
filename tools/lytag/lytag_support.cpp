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

const char* FileTypeName(int type) {
    static const char* const kNames[] = {"unknown", "MP3",     "Ogg Vorbis",   "WMA", "audio CD",
                                         "ASF",     "FLAC",    "Musepack/APE", "MP4", "WAV",
                                         "AIFF",    "WavPack", "Opus"};
    return type >= 0 && type <= FILE_TYPE_OPUS ? kNames[type] : "unknown";
}

std::string ToUtf8(const std::wstring& text) { return WideToUtf8(text); }
std::wstring FromUtf8(const std::string& text) { return Utf8ToWide(text); }
std::wstring FromLocale(const std::string& text) { return CodePageToWide(text); }
std::string LocaleText(const std::wstring& text) { return WideToCodePage(text); }

int UsageError(const std::string& message) {
    std::cerr << "lytag: " << message << "\nTry 'lytag --help'.\n";
    return kExitUsage;
}
