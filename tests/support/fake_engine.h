// The player's audio engine as a test controls it: lengths, CD drives and
// discs to report, and a record of what was asked. Thread-safe enough for
// lookup threads: CD answers are set before the module is asked.
#ifndef LYPARSER_TESTS_SUPPORT_FAKE_ENGINE_H
#define LYPARSER_TESTS_SUPPORT_FAKE_ENGINE_H

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "lyCenter.h"

class FakeEngine : public CBassAudio {
public:
    int SetBassProcAddr() override {
        ++procAddrCalls;
        return 1;
    }
    float GetAudioLength(const void* path, int wide) override {
        lastWide = wide;
        if (wide) {
            lastWidePath = static_cast<const wchar_t*>(path);
        } else {
            lastPath = static_cast<const char*>(path);
        }
        return length;
    }
    int GetBassCD_DriveLetter(unsigned long drive) override {
        ++driveLetterCalls;
        return drive < driveLetters.size() ? driveLetters[drive] : -1;
    }
    int GetBassCD_IsReady(unsigned long) override { return ready ? 1 : 0; }
    const char* GetBassCD_ID(unsigned long drive, unsigned long kind) override {
        auto it = discIds.find(drive);
        if (kind != 2 || it == discIds.end()) return nullptr;
        return it->second.c_str();  // stable while the map is left alone
    }
    int GetBassCD_TrackLength(unsigned long, unsigned long track) override {
        return track < trackBytes.size() ? trackBytes[track] : 0;
    }

    float length = 0;
    int procAddrCalls = 0;
    int lastWide = -1;
    std::string lastPath;
    std::wstring lastWidePath;

    std::vector<int> driveLetters;              // letter number (A=0) of drive 0, 1, ...
    std::map<unsigned long, std::string> discIds;  // drive -> CDDB query text
    std::vector<int> trackBytes;                // length of track 0, 1, ... in bytes
    std::atomic<bool> ready{true};
    std::atomic<int> driveLetterCalls{0};
};

#endif  // LYPARSER_TESTS_SUPPORT_FAKE_ENGINE_H
