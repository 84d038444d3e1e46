// lyCenter: the player's service library, as the tag-parsing module sees it.
//
// The player supplies these services; the module only calls them. The
// stand-in library built from host/ implements every function with working
// defaults so that hosts other than the player (lytag, tests) can load the
// module. All functions may be called from any thread.
//
// The host guide (share/doc/lyparser/host-guide.md under the install prefix,
// docs/host-guide.md in the sources) tells which of these the module calls,
// from which thread.
#ifndef LYCENTER_H
#define LYCENTER_H

#include <cstdint>
#include <string>

// Texts cross this interface as std::string and std::wstring, so a host must
// use the same standard library and string layout as the module: GCC's
// libstdc++ with its C++11 string ABI.
#if defined(_LIBCPP_VERSION)
#error \
    "lyParser passes std::string across its interface and is built with libstdc++: build the host with libstdc++ too (not libc++)."
#elif defined(_GLIBCXX_USE_CXX11_ABI) && !_GLIBCXX_USE_CXX11_ABI
#error \
    "lyParser passes std::string across its interface and is built with the C++11 string ABI: build the host without -D_GLIBCXX_USE_CXX11_ABI=0."
#endif

#if defined(__GNUC__)
#define LYCENTER_API __attribute__((visibility("default")))
#else
#define LYCENTER_API
#endif

// The player's audio engine. A host derives from it and overrides what it can
// answer; every default reports "unknown" (0, -1 or nullptr).
class LYCENTER_API CBassAudio {
public:
    virtual ~CBassAudio();
    virtual int SetBassProcAddr();                             // default: 1
    virtual float GetAudioLength(const void* path, int wide);  // seconds; default: 0
    virtual int GetBassCD_DriveLetter(unsigned long drive);    // 0='A'..25='Z'; default: -1
    virtual int GetBassCD_IsReady(unsigned long drive);        // default: 0
    // nullptr = no disc identity. The module calls this from several threads and
    // copies the text at once: it must stay valid until the calling thread's
    // next call on the engine (a per-thread buffer does this).
    virtual const char* GetBassCD_ID(unsigned long drive, unsigned long kind);
    virtual int GetBassCD_TrackLength(unsigned long drive,
                                      unsigned long track);  // bytes; default 0
};

// The player's settings record, read and written by word index.
struct LyConfig {
    int32_t word[256];
};

// The settings words the module uses.
enum {
    LYCONFIG_CD_LOOKUPS = 112,  // nonzero: CD names are looked up (default 1)
    // 1: a track open reads the disc identity from the engine again, which
    // every open through the exports does anyway; the open sets it back to 0
    // (default 0). It starts no new lookup of a disc the server answered.
    LYCONFIG_CD_REFRESH = 138
};

// The message of the notification SendCallFunction("playlist",
// LYNOTIFY_CD_NAMES_ARRIVED, 0, 0), sent from the lookup thread when a CD
// lookup brought names, and after a disc's first lookup even when it found
// none: the playlist should open its CD tracks again.
enum { LYNOTIFY_CD_NAMES_ARRIVED = 34080 };

// The player's texts the module asks for (GetResourceString). The tokens of
// the kind-5 description template, then the formats and labels of the
// technical texts, each filled with the values listed in docs/host-guide.md.
enum {
    LYTEXT_TOKEN_ALBUM = 9001,        // "%album%"
    LYTEXT_TOKEN_ARTIST = 9002,       // "%artist%"
    LYTEXT_TOKEN_COMMENT = 9003,      // "%comment%"
    LYTEXT_TOKEN_FILENAME = 9004,     // "%filename%"
    LYTEXT_COPYRIGHTED = 9005,        // MP3 report: copyrighted flag
    LYTEXT_CRC = 9006,                // MP3 report: CRC flag
    LYTEXT_EMPHASIS = 9007,           // MP3 report: emphasis
    LYTEXT_FILE_SIZE = 9008,          // MP3 report: file size
    LYTEXT_CHANNEL_MODE = 9009,       // MP3 report: channel mode
    LYTEXT_ID3V2_SIZE = 9010,         // MP3 report: ID3v2 tag size
    LYTEXT_MPEG_VERSION = 9011,       // MP3 report: MPEG version and layer
    LYTEXT_VORBIS_REPORT = 9012,      // Ogg Vorbis report
    LYTEXT_ORIGINAL = 9013,           // MP3 report: original flag
    LYTEXT_LENGTH = 9014,             // MP3 report: length
    LYTEXT_BIT_RATE = 9015,           // MP3 report: bit rate and frames
    LYTEXT_WMA_REPORT = 9016,         // Windows Media report
    LYTEXT_TOKEN_GENRE = 9017,        // "%genre%"
    LYTEXT_TOKEN_FOLDER = 9018,       // "%folder%"
    LYTEXT_TOKEN_TITLE = 9019,        // "%title%"
    LYTEXT_TOKEN_TRACK = 9020,        // "%track%"
    LYTEXT_TOKEN_YEAR = 9021,         // "%year%"
    LYTEXT_MPEG_VERSION_SHORT = 9022  // MP3 technical text INFO_MP3_VERSION (kind 15)
};

LYCENTER_API LyConfig* GetConfig();
LYCENTER_API void* GetCenterInstance();
// Stores the player's localised text for `id` in *out (empty when unknown).
LYCENTER_API void GetResourceString(std::string* out, void* instance, unsigned id);
// Stores `seconds` as "m:ss", or "h:mm:ss" from one hour on, in *out.
LYCENTER_API void GetUnitTime(std::string* out, int seconds);
LYCENTER_API void SendCallFunction(const char* unit, unsigned message, int a, int b);

// Set-up calls a host makes on the stand-in.
// Replaces the text of `id`; a null text removes it, so the id reads as "".
LYCENTER_API void SetResourceString(unsigned id, const char* text);
typedef void (*CallFunctionHandler)(const char* unit, unsigned message, int a, int b);
LYCENTER_API void SetCallFunctionHandler(CallFunctionHandler handler);  // receives SendCallFunction

#endif  // LYCENTER_H
