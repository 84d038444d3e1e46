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
        {9001, "%album%"},
        {9002, "%artist%"},
        {9003, "%comment%"},
        {9004, "%filename%"},
        {9005, "Copyrighted: %s\n"},
        {9006, "CRC: %s\n"},
        {9007, "Emphasis: %s\n"},
        {9008, "File size: %d bytes\n"},
        {9009, "Channel mode: %s\n"},
        {9010, "ID3v2 tag size: %d bytes\n"},
        {9011, "MPEG %.1f, Layer %d\n"},
        {9012, "Vendor: %s\nVersion: %d\nSample rate: %d Hz\nNominal bit rate: %d kbit/s\n"
               "Serial number: %d\nChannels: %d\n"},
        {9013, "Original: %s\n"},
        {9014, "Length: %s\n"},
        {9015, "Bit rate: %d kbit/s%s, %d frames\n"},  // "(VBR)" or nothing after the unit
        {9016, "Written by: %s\nNeeds: %s\nProtection: %s\nLicence: %s\n"},
        {9017, "%genre%"},
        {9018, "%folder%"},
        {9019, "%title%"},
        {9020, "%track%"},
        {9021, "%year%"},
        {9022, "MPEG %.1f Layer %d"},
    };
    return texts;
}

struct CenterState {
    std::mutex mutex;
    std::map<unsigned, std::string> texts = DefaultTexts();
    CallFunctionHandler handler = nullptr;
    LyConfig config = [] {
        LyConfig config{};
        config.word[112] = 1;  // CD lookups enabled
        config.word[138] = 0;  // no refresh asked
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
