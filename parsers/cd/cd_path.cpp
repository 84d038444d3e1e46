#include "parsers/cd/cd_path.h"

#include <climits>

#include "core/module_state.h"
#include "lyCenter.h"

namespace {

constexpr int kDriveCount = 30;  // the engine numbers its drives 0 to 29

int DriveIndexOfLetter(long first) {
    int letter;
    if (first >= 'A' && first <= 'Z') {
        letter = static_cast<int>(first - 'A');
    } else if (first >= 'a' && first <= 'z') {
        letter = static_cast<int>(first - 'a');
    } else {
        return 0;
    }
    CBassAudio* engine = GetBassAudio();
    if (!engine) return kNoCdDrive;
    for (int drive = 0; drive < kDriveCount; ++drive) {
        if (engine->GetBassCD_DriveLetter(static_cast<unsigned long>(drive)) == letter)
            return drive;
    }
    return kNoCdDrive;
}

template <typename Text>
int TrackNumber(const Text& path) {
    long long number = 0;
    for (auto c : path) {
        if (c < '0' || c > '9') continue;
        number = number * 10 + (c - '0');
        if (number > INT_MAX) return INT_MAX;
    }
    return static_cast<int>(number);
}

}  // namespace

int DriveIndexFromPath(const std::wstring& path) {
    return path.empty() ? 0 : DriveIndexOfLetter(static_cast<long>(path[0]));
}

int DriveIndexFromPath(const std::string& path) {
    return path.empty() ? 0 : DriveIndexOfLetter(static_cast<unsigned char>(path[0]));
}

int TrackNumberFromPath(const std::wstring& path) { return TrackNumber(path); }
int TrackNumberFromPath(const std::string& path) { return TrackNumber(path); }

std::string DiscIdFromQueryText(const std::string& text) {
    std::string id = text.substr(0, 9);
    while (!id.empty() && (id.back() == ' ' || (id.back() >= '\t' && id.back() <= '\r'))) {
        id.pop_back();
    }
    return id;
}
