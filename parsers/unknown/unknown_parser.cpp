#include "parsers/unknown/unknown_parser.h"

#include <cstring>

#include "core/host_text.h"
#include "core/md5.h"
#include "core/module_state.h"
#include "core/path_text.h"
#include "core/platform_file.h"

namespace {

// Extensions of archives the player must never treat as audio. Searched as
// one text, case-sensitively, so any part of it (even "ar") matches.
constexpr char kArchiveExtensions[] = "*.qvz;*.zip;*.sab;*.rar;";

bool IsArchiveExtension(const std::string& extension) {
    return std::strstr(kArchiveExtensions, extension.c_str()) != nullptr;
}

}  // namespace

CUnknownParser::~CUnknownParser() = default;

int CUnknownParser::Initialize() {
    fileLength_ = 0;
    return 1;
}

void CUnknownParser::Finalize() {}

void CUnknownParser::CloseFile() {}

int CUnknownParser::OpenFile(StringEx path) {
    if (path.IsEmpty()) return 0;
    path_ = path;
    StringEx extension = path.IsWide() ? StringEx(PathExtension(path.GetWide()))
                                       : StringEx(PathExtension(path.GetNarrow()));
    if (IsArchiveExtension(extension.GetNarrow())) return 0;
    FilePtr file = OpenReadFile(NativePath(path));
    if (!file) return 0;
    int64_t size = FileLength(file.get());
    if (size < 0) return 0;
    fileLength_ = static_cast<int32_t>(static_cast<uint32_t>(size));
    return 1;
}

StringEx CUnknownParser::GetData(int) { return StringEx(); }

StringEx CUnknownParser::GetMD5(int* start, int* end) {
    if (!start || !end) return StringEx();
    return StringEx(MD5FileOfPath(path_, *start, *end));
}

StringEx CUnknownParser::GetDescription(int, StringEx, int) { return FileTitleOf(path_); }

StringEx CUnknownParser::GetFileInfo(int kind) {
    if (kind != INFO_LENGTH_SECONDS) return StringEx();
    return StringEx(IntText(EngineAudioSeconds(path_)));
}

int CUnknownParser::GetFileType() { return FILE_TYPE_UNKNOWN; }

int CUnknownParser::GetSourceLength(int* start, int* end) {
    if (start) *start = 0;
    if (end) *end = fileLength_ < 0 ? 0 : fileLength_;
    return fileLength_;
}
