// Stand-in for the player's service library: what a host other than the
// player gets. Texts are English defaults that a host may replace; settings
// start at their player defaults. Every function is thread-safe.
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "lyCenter.h"

CBassAudio::~CBassAudio() = default;
int CBassAudio::SetBassProcAddr() { return 1; }
float CBassAudio::GetAudioLength(const void*, int) { return 0; }
int CBassAudio::GetBassCD_DriveLetter(unsigned long) { return -1; }
int CBassAudio::GetBassCD_IsReady(unsigned long) { return 0; }
const char* CBassAudio::GetBassCD_ID(unsigned long, unsigned long) { return nullptr; }
int CBassAudio::GetBassCD_TrackLength(unsigned long, unsigned long) { return 0; }

namespace {

// Placeholders of description templates, and the formats and labels of the
// technical texts, each taking the values the module passes with it.
const std::map<unsigned, std::string>& DefaultTexts() {
    static const std::map<unsigned, std::string> texts = {
        {LYTEXT_TOKEN_ALBUM, "%album%"},
        {LYTEXT_TOKEN_ARTIST, "%artist%"},
        {LYTEXT_TOKEN_COMMENT, "%comment%"},
        {LYTEXT_TOKEN_FILENAME, "%filename%"},
        {LYTEXT_COPYRIGHTED, "Copyrighted: %s\n"},
        {LYTEXT_CRC, "CRC: %s\n"},
        {LYTEXT_EMPHASIS, "Emphasis: %s\n"},
        {LYTEXT_FILE_SIZE, "File size: %d bytes\n"},
        {LYTEXT_CHANNEL_MODE, "Channel mode: %s\n"},
        {LYTEXT_ID3V2_SIZE, "ID3v2 tag size: %d bytes\n"},
        {LYTEXT_MPEG_VERSION, "MPEG %.1f, Layer %d\n"},
        {LYTEXT_VORBIS_REPORT,
         "Vendor: %s\nVersion: %d\nSample rate: %d Hz\nNominal bit rate: %d kbit/s\n"
         "Serial number: %d\nChannels: %d\n"},
        {LYTEXT_ORIGINAL, "Original: %s\n"},
        {LYTEXT_LENGTH, "Length: %s\n"},
        {LYTEXT_BIT_RATE,
         "Bit rate: %d kbit/s%s, %d frames\n"},  // "(VBR)" or nothing after the unit
        {LYTEXT_WMA_REPORT, "Written by: %s\nNeeds: %s\nProtection: %s\nLicence: %s\n"},
        {LYTEXT_TOKEN_GENRE, "%genre%"},
        {LYTEXT_TOKEN_FOLDER, "%folder%"},
        {LYTEXT_TOKEN_TITLE, "%title%"},
        {LYTEXT_TOKEN_TRACK, "%track%"},
        {LYTEXT_TOKEN_YEAR, "%year%"},
        {LYTEXT_MPEG_VERSION_SHORT, "MPEG %.1f Layer %d"},
    };
    return texts;
}

struct CenterState {
    std::mutex mutex;
    std::map<unsigned, std::string> texts = DefaultTexts();
    CallFunctionHandler handler = nullptr;
    LyConfig config = [] {
        LyConfig config{};
        config.word[LYCONFIG_CD_LOOKUPS] = 1;
        config.word[LYCONFIG_CD_REFRESH] = 0;
        return config;
    }();
};

// Never destroyed: a module's background thread may still call in while the
// process exits.
CenterState& State() {
    static CenterState* state = new CenterState();
    return *state;
}

int g_instanceTag;  // its address is the resource handle

}  // namespace

LyConfig* GetConfig() { return &State().config; }

void* GetCenterInstance() { return &g_instanceTag; }

void GetResourceString(std::string* out, void*, unsigned id) {
    if (!out) return;
    CenterState& state = State();
    std::lock_guard<std::mutex> hold(state.mutex);
    auto it = state.texts.find(id);
    *out = it == state.texts.end() ? std::string() : it->second;
}

void GetUnitTime(std::string* out, int seconds) {
    if (!out) return;
    long long total = seconds < 0 ? 0 : seconds;
    char text[32];
    if (total >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", total / 3600, total / 60 % 60,
                      total % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", total / 60, total % 60);
    }
    *out = text;
}

void SendCallFunction(const char* unit, unsigned message, int a, int b) {
    CallFunctionHandler handler;
    {
        std::lock_guard<std::mutex> hold(State().mutex);
        handler = State().handler;
    }
    if (handler) handler(unit, message, a, b);
}

void SetResourceString(unsigned id, const char* text) {
    std::lock_guard<std::mutex> hold(State().mutex);
    if (text) {
        State().texts[id] = text;
    } else {
        State().texts.erase(id);
    }
}

void SetCallFunctionHandler(CallFunctionHandler handler) {
    std::lock_guard<std::mutex> hold(State().mutex);
    State().handler = handler;
}
