#include "parsers/wma/wma_parser.h"

#include "core/failure_reason.h"
#include "core/host_text.h"
#include "core/md5.h"
#include "core/module_state.h"
#include "core/platform_file.h"

namespace {

// Resource id of the information text: writing runtime, needed runtime,
// protection, licence address.
constexpr unsigned kInfoFormat = LYTEXT_WMA_REPORT;

// Why the editor could not open the file it opened before: the file changed
// (or its name names another now), else its header does not hold together.
lyparser_reason EditorRefusal(const StringEx& path, const FileIdentity& opened) {
    FilePtr file = OpenReadFile(NativePath(path));
    return file && IdentityOfFile(file.get()) == opened ? LYPARSER_DAMAGED
                                                        : LYPARSER_CHANGED_ON_DISK;
}

}  // namespace

CWMAParser::~CWMAParser() { Finalize(); }

const char* CWMAParser::FieldName(int fieldId) {
    switch (fieldId) {
        case FIELD_TITLE:
            return "Title";
        case FIELD_ARTIST:
            return "Author";
        case FIELD_ALBUM:
            return "WM/AlbumTitle";
        case FIELD_YEAR:
            return "WM/Year";
        case FIELD_GENRE:
            return "WM/Genre";
        case FIELD_COMMENT:
            return "Description";
        case FIELD_TRACK:
            return "WM/Track";
        case FIELD_COMPOSER:
            return "WM/Composer";
        case FIELD_WM_SDK_VERSION:
            return "WMFSDKVersion";
        case FIELD_WM_SDK_NEEDED:
            return "WMFSDKNeeded";
        case FIELD_RATING:
            return "Rating";
        default:
            return "";
    }
}

int CWMAParser::Initialize() {
    fileLength_ = 0;
    templateUnfilled_ = 0;
    editor_.ClearModified();
    dataObject_.Initialize();
    return 1;
}

void CWMAParser::Finalize() {
    editor_.ClearMaps();
    editor_.CloseEditor();
    dataObject_.Finalize();
}

int CWMAParser::OpenFile(StringEx path) {
    if (path.IsEmpty()) return 0;
    FilePtr file = OpenReadFile(NativePath(path));
    if (!file) return 0;
    path_ = path;
    identity_ = IdentityOfFile(file.get());
    const int64_t length = FileLength(file.get());
    if (length < 0) return 0;
    fileLength_ = static_cast<int32_t>(static_cast<uint32_t>(length));
    // One open serves both readers: the editor parses the header first, while
    // its bytes are fresh, then the walk looks at the object headers.
    editor_.OpenEditorOnFile(file.get(), length);
    editor_.CloseEditor();
    WalkAsfObjects(file.get(), length, &dataObject_);
    return 1;
}

int CWMAParser::OpenEditorOnPath() {
    return path_.IsWide() ? editor_.OpenEditor(path_.GetWidePtr())
                          : editor_.OpenEditor(path_.GetNarrowPtr());
}

int CWMAParser::ApplyFile() {
    // Nothing to write: the file, its inode and its times stay as they are.
    if (!editor_.HasPending()) return 1;
    if (!OpenEditorOnPath()) return ReportFailure(EditorRefusal(path_, identity_)), 0;
    if (editor_.Identity() != identity_) {
        // Another program replaced or changed the file since it was opened.
        ReportFailure(LYPARSER_CHANGED_ON_DISK);
        editor_.ClearModified();
        editor_.CloseEditor();
        return 0;
    }
    const int applied = editor_.ApplyPending();
    const int saved = editor_.CloseEditor();
    identity_ = editor_.Identity();  // as saved, or as it still is
    if (!applied || !saved) return 0;
    editor_.ClearPending();  // written: a later save has nothing to repeat
    return 1;
}

int CWMAParser::SetData(int fieldId, StringEx value) {
    if (value.IsWide()) return 0;
    if (fieldId != FIELD_TRACK) return SetExData(StringEx(FieldName(fieldId)), value);
    const std::string text = value.GetNarrow();
    StringEx number;
    if (text == GetData(FIELD_TRACK).GetNarrow() &&
        (!text.empty() || (!editor_.TrackNumber(&number) && !editor_.HasAttribute("WM/Track")))) {
        editor_.DropPendingTrack();
    } else {
        editor_.SetPendingTrack(text);
    }
    return 1;
}

int CWMAParser::SetExData(StringEx key, StringEx value) {
    const std::string name = key.GetNarrow(), text = value.GetNarrow();
    // What the attribute reads already: nothing to write, the values stay
    // apart as they are. Only an empty value for an attribute the file holds
    // in another type still removes it.
    if (text == editor_.FindAttribute(name.c_str()).GetNarrow() &&
        (!text.empty() || !editor_.HasAttribute(name.c_str()))) {
        editor_.DropPending(name.c_str());
        return 1;
    }
    return editor_.SetPending(name.c_str(), text.c_str());
}

StringEx CWMAParser::GetData(int fieldId) {
    StringEx number;
    if (fieldId == FIELD_TRACK && editor_.TrackNumber(&number)) return number;
    return editor_.FindAttribute(FieldName(fieldId));
}

StringEx CWMAParser::GetExData(StringEx key) { return editor_.FindAttribute(key.GetNarrowPtr()); }

StringEx CWMAParser::GetMD5(int* start, int* end) {
    if (!start || !end) return StringEx();
    return StringEx(MD5FileOfPath(path_, *start, *end));
}

StringEx CWMAParser::GetFileInfo(int kind) {
    switch (kind) {
        case INFO_REPORT:
            return StringEx(
                FormatHostText(kInfoFormat, {GetData(FIELD_WM_SDK_VERSION).GetNarrow(),
                                             GetData(FIELD_WM_SDK_NEEDED).GetNarrow(),
                                             GetFileInfo(INFO_WMA_PROTECTION).GetNarrow(),
                                             GetFileInfo(INFO_WMA_LICENSE_URL).GetNarrow()}));
        case INFO_LENGTH_SECONDS: {
            const int seconds = EngineAudioSeconds(path_);
            return StringEx(seconds > -1 ? IntText(seconds) : std::string("0"));
        }
        case INFO_WMA_PROTECTION:
            return StringEx(editor_.IsProtected() ? "Encrypted" : "Not Encrypted");
        case INFO_WMA_LICENSE_URL:
            return editor_.FindAttribute("DRM_LicenseAcqURL");
        default:
            return StringEx();
    }
}

int CWMAParser::GetFileType() { return FILE_TYPE_WMA; }

int CWMAParser::GetSourceLength(int* start, int* end) {
    if (!start || !end) return 0;
    *start = static_cast<int32_t>(static_cast<uint32_t>(dataObject_.bodyStart()));
    *end = static_cast<int32_t>(static_cast<uint32_t>(dataObject_.bodyEnd()));
    if (*start < 0) *start = 0;
    if (*end < *start) {
        *end = static_cast<int32_t>(static_cast<uint32_t>(int64_t{fileLength_} - *start));
    }
    // Without a Data Object the audio engine could be asked for the range;
    // this platform's engine cannot tell it, so the values above stand.
    return 0;
}
