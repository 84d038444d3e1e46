// The player's audio engine as a test controls it: a length to report and a
// record of what was asked.
#ifndef LYPARSER_TESTS_SUPPORT_FAKE_ENGINE_H
#define LYPARSER_TESTS_SUPPORT_FAKE_ENGINE_H

#include <string>

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

    float length = 0;
    int procAddrCalls = 0;
    int lastWide = -1;
    std::string lastPath;
    std::wstring lastWidePath;
};

#endif  // LYPARSER_TESTS_SUPPORT_FAKE_ENGINE_H
