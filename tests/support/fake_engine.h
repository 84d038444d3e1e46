// The player's audio engine as a test controls it: lengths, CD drives and
// discs to report, and a record of what was asked. Thread-safe enough for
// lookup threads: CD answers are set before the module is asked.
#ifndef LYPARSER_TESTS_SUPPORT_FAKE_ENGINE_H
#define LYPARSER_TESTS_SUPPORT_FAKE_ENGINE_H

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
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
        NoteDrive(drive);
        return drive < driveLetters.size() ? driveLetters[drive] : -1;
    }
    int GetBassCD_IsReady(unsigned long drive) override {
        NoteDrive(drive);
        return ready ? 1 : 0;
    }
    const char* GetBassCD_ID(unsigned long drive, unsigned long kind) override {
        NoteDrive(drive);
        std::lock_guard<std::mutex> hold(mutex_);
        auto it = discIds_.find(drive);
        return kind == 2 && it != discIds_.end() ? it->second->c_str() : nullptr;
    }
    // Puts a disc with this CDDB query text into `drive`; lookup threads may
    // be asking at the same time.
    void SetDisc(unsigned long drive, const std::string& queryText) {
        std::lock_guard<std::mutex> hold(mutex_);
        answers_.push_back(queryText);  // earlier answers stay valid
        discIds_[drive] = &answers_.back();
    }
    int GetBassCD_TrackLength(unsigned long drive, unsigned long track) override {
        NoteDrive(drive);
        return track < trackBytes.size() ? trackBytes[track] : 0;
    }

    float length = 0;
    int procAddrCalls = 0;
    int lastWide = -1;
    std::string lastPath;
    std::wstring lastWidePath;

    std::vector<int> driveLetters;  // letter number (A=0) of drive 0, 1, ...
    std::vector<int> trackBytes;    // length of track 0, 1, ... in bytes
    std::atomic<bool> ready{true};
    std::atomic<int> strayDrives{0};  // CD calls for a drive outside 0..29, which no engine has

private:
    void NoteDrive(unsigned long drive) {
        if (drive >= 30) ++strayDrives;
    }

    std::mutex mutex_;
    std::deque<std::string> answers_;
    std::map<unsigned long, const std::string*> discIds_;  // drive -> CDDB query text
};

#endif  // LYPARSER_TESTS_SUPPORT_FAKE_ENGINE_H
