#include "parsers/cd/freecddb_module.h"

#include "core/code_page.h"
#include "core/description_text.h"
#include "core/host_text.h"
#include "core/module_state.h"
#include "core/path_text.h"
#include "lyCenter.h"
#include "lyParser.h"
#include "parsers/cd/cd_path.h"
#include "parsers/cd/disc_cache.h"
#include "parsers/cd/freedb_client.h"

namespace {

constexpr int kBytesPerSecond = 176400;  // 44.1 kHz, 16 bits, stereo

// The player's settings record is shared with the player and with other
// threads opening tracks: its words are read and written atomically.
int32_t ReadSetting(int index) {
    return __atomic_load_n(&GetConfig()->word[index], __ATOMIC_ACQUIRE);
}
void ClearSetting(int index) { __atomic_store_n(&GetConfig()->word[index], 0, __ATOMIC_RELEASE); }

}  // namespace

CFreeCDDBModule::~CFreeCDDBModule() = default;

int CFreeCDDBModule::Initialize() {
    discId_.clear();
    driveText_.clear();
    driveNumber_ = 0;
    trackNumber_ = 0;
    lookupEnabled_ = ReadSetting(LYCONFIG_CD_LOOKUPS);
    noTokenFilled_ = 0;
    return 1;
}

void CFreeCDDBModule::Finalize() {}

bool CFreeCDDBModule::ReadDiscIdentity(const std::string& drive) {
    driveNumber_ = DriveIndexFromPath(drive);
    CBassAudio* engine = GetBassAudio();
    const char* text = engine && driveNumber_ != kNoCdDrive
                           ? engine->GetBassCD_ID(static_cast<unsigned long>(driveNumber_), 2)
                           : nullptr;
    if (!text) return false;
    discId_ = DiscIdFromQueryText(text);
    return true;
}

int CFreeCDDBModule::OpenFile(StringEx path) {
    if (path.IsEmpty()) return 0;
    path.Trim();
    path_ = path;
    std::string narrow = path.GetNarrow();
    std::string drive = narrow.substr(0, 1);
    trackNumber_ =
        path.IsWide() ? TrackNumberFromPath(path.GetWide()) : TrackNumberFromPath(narrow);

    DiscCache& cache = DiscCache::Instance();
    bool known;
    if (ReadSetting(LYCONFIG_CD_REFRESH) != 1 && GetForceFreeCDDB() != 1 && driveText_ == drive) {
        discId_ = cache.LastDiscId();
        known = true;
    } else {
        known = ReadDiscIdentity(drive);
        cache.SetLastDiscId(discId_);
        ClearSetting(LYCONFIG_CD_REFRESH);
    }
    driveText_ = drive;

    if (lookupEnabled_ && known &&
        cache.CopyRecordOrClaimLookup(discId_, &record_, DiscCache::Clock::now(),
                                      RetryInterval())) {
        StartDiscLookup(driveText_.empty() ? '\0' : driveText_[0], discId_);
    }
    return 1;
}

int CFreeCDDBModule::SetData(int, StringEx) { return 1; }

StringEx CFreeCDDBModule::GetData(int fieldId) {
    if (!lookupEnabled_ || trackNumber_ <= 0 ||
        static_cast<size_t>(trackNumber_) > record_.trackTitles.size()) {
        return StringEx("");
    }
    switch (fieldId) {  // names are held in UTF-8 and handed out as characters
        case FIELD_TITLE:
            return StringEx(Utf8ToWide(record_.trackTitles[static_cast<size_t>(trackNumber_) - 1]));
        case FIELD_ARTIST:
            return StringEx(Utf8ToWide(record_.artist));
        case FIELD_ALBUM:
            return StringEx(Utf8ToWide(record_.album));
        case FIELD_YEAR:
            return StringEx(Utf8ToWide(record_.year));
        case FIELD_GENRE:
            return StringEx(Utf8ToWide(record_.genre));
        case FIELD_TRACK:
            return StringEx(IntText(trackNumber_));
        default:
            return StringEx("");
    }
}

StringEx CFreeCDDBModule::GetMD5(int*, int*) {
    std::string text = "audiocd-track" + IntText(trackNumber_) + "-" + discId_ + "-";
    if (text.size() < 32) text.append(32 - text.size(), '0');
    return StringEx(text);
}

StringEx CFreeCDDBModule::GetDescription(int kind, StringEx text, int) {
    if (kind == DESCRIPTION_TEMPLATE) return CustomDescription(std::move(text));
    return ComposeDescription(
        kind, [this](int id) { return GetData(id); }, FileTitleOf(path_));
}

StringEx CFreeCDDBModule::CustomDescription(StringEx format) {
    std::string fileName = FileTitleOf(path_).GetNarrow();
    if (!lookupEnabled_) return StringEx(fileName);
    DescriptionTemplateValues values = TemplateFieldValues([this](int id) { return GetData(id); });
    values.path = fileName;  // the file name, not the whole path; the title has no fallback
    std::string filled = FillDescriptionTemplate(format.GetNarrow(), values, &noTokenFilled_);
    return StringEx(noTokenFilled_ ? fileName : filled);
}

StringEx CFreeCDDBModule::GetFileInfo(int kind) {
    if (kind == INFO_REPORT) {
        return StringEx("\tConnecting to " + CddbServerName() + "\r\n\tDisc ID / " + discId_ +
                        "\r\n\tProgram / LYRAMI_CDDB_DLL\r\n");
    }
    if (kind == INFO_LENGTH_SECONDS) {
        CBassAudio* engine = GetBassAudio();
        int drive = path_.IsWide() ? DriveIndexFromPath(path_.GetWide())
                                   : DriveIndexFromPath(path_.GetNarrow());
        int bytes =
            engine && drive != kNoCdDrive
                ? engine->GetBassCD_TrackLength(static_cast<unsigned long>(drive),
                                                static_cast<unsigned long>(trackNumber_ - 1))
                : 0;
        return StringEx(IntText(bytes / kBytesPerSecond));
    }
    return StringEx("");
}

int CFreeCDDBModule::GetFileType() { return FILE_TYPE_CDA; }
