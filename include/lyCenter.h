// lyCenter: the player's service library, as the tag-parsing module sees it.
//
// The player supplies these services; the module only calls them. The
// stand-in library built from host/ implements every function with working
// defaults so that hosts other than the player (lytag, tests) can load the
// module. All functions may be called from any thread.
//
// docs/host-guide.md tells which of these the module calls, from which thread.
#ifndef LYCENTER_H
#define LYCENTER_H

#include <cstdint>
#include <string>

// Texts cross this interface as std::string and std::wstring, so a host must
// use the same standard library and string layout as the module: GCC's
// libstdc++ with its C++11 string ABI.
#if defined(_LIBCPP_VERSION)
#error "lyParser passes std::string across its interface and is built with libstdc++: build the host with libstdc++ too (not libc++)."
#elif defined(_GLIBCXX_USE_CXX11_ABI) && !_GLIBCXX_USE_CXX11_ABI
#error "lyParser passes std::string across its interface and is built with the C++11 string ABI: build the host without -D_GLIBCXX_USE_CXX11_ABI=0."
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
    virtual int SetBassProcAddr();                                    // default: 1
    virtual float GetAudioLength(const void* path, int wide);         // seconds; default: 0
    virtual int GetBassCD_DriveLetter(unsigned long drive);           // 0='A'..25='Z'; default: -1
    virtual int GetBassCD_IsReady(unsigned long drive);               // default: 0
    // The text stays valid until the next call on the same engine; nullptr = no disc identity.
    virtual const char* GetBassCD_ID(unsigned long drive, unsigned long kind);
    virtual int GetBassCD_TrackLength(unsigned long drive, unsigned long track);  // bytes; default 0
};

// The player's settings record: word[112] CD lookups enabled (default 1),
// word[138] CD refresh flag (default 0).
struct LyConfig {
    int32_t word[256];
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
