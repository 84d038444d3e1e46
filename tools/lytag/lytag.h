// lytag: shared pieces of the command-line host. It drives the module only
// through the exported functions, with an engine of its own.
#ifndef LYPARSER_TOOLS_LYTAG_LYTAG_H
#define LYPARSER_TOOLS_LYTAG_LYTAG_H

#include <string>
#include <vector>

#include "lyCenter.h"

// Exit statuses.
enum ExitStatus { kExitOk = 0, kExitFileFailed = 1, kExitUsage = 2 };

struct CdDisc;

// The engine lytag hands to the module: lengths from TagLib's audio
// properties, and the CD discs lytag was pointed at, one per drive.
class LytagEngine : public CBassAudio {
public:
    float GetAudioLength(const void* path, int wide) override;
    int GetBassCD_DriveLetter(unsigned long drive) override;
    int GetBassCD_IsReady(unsigned long drive) override;
    const char* GetBassCD_ID(unsigned long drive, unsigned long kind) override;
    int GetBassCD_TrackLength(unsigned long drive, unsigned long track) override;

    // Set before any track is opened; not changed afterwards.
    void SetDiscs(const std::vector<CdDisc>& discs);

private:
    std::vector<CdDisc> discs_;
    std::vector<std::string> queryTexts_;
};

// lytag's engine, for the life of the process.
LytagEngine& Engine();
// Initialises the module with lytag's engine.
void StartModule();

const char* FileTypeName(int type);
// UTF-8 for JSON and files, whatever the locale.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);
// Command-line text (in the locale's encoding) as wide text.
std::wstring FromLocale(const std::string& text);
// Wide text in the locale's encoding, for printing.
std::string LocaleText(const std::wstring& text);

// Prints "lytag: MESSAGE" and the hint to --help on stderr; returns kExitUsage.
int UsageError(const std::string& message);

// Sub-commands; each takes the arguments after its name and returns an exit status.
int ShowCommand(const std::vector<std::string>& args);
int Md5Command(const std::vector<std::string>& args);
int SetCommand(const std::vector<std::string>& args);
int PictureCommand(const std::vector<std::string>& args);
int DemoCommand(const std::vector<std::string>& args);
int CdCommand(const std::vector<std::string>& args);
int ScanCommand(const std::vector<std::string>& args);
int RepairCommand(const std::vector<std::string>& args);
// The audio-CD part of the demo, with its files in `folder`.
int DemoAudioCd(const std::string& folder);

#endif  // LYPARSER_TOOLS_LYTAG_LYTAG_H
