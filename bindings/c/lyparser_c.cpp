// The C layer: each function converts its arguments, makes the matching
// export call in the UTF-8 locale, and converts the result. No exception
// leaves it: memory running out becomes LYPARSER_OUT_OF_MEMORY or a null text.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "bindings/c/c_layer.h"
#include "bindings/c/host_engine.h"
#include "core/failure_codes.h"

// The numbers of lyparser_c.h are the module's.
constexpr bool Same(int a, int b) { return a == b; }
static_assert(Same(LYPARSER_FIELD_TITLE2, FIELD_TITLE2) &&
                  Same(LYPARSER_FIELD_LYRICS, FIELD_LYRICS) &&
                  Same(LYPARSER_FIELD_RATING, FIELD_RATING) &&
                  Same(LYPARSER_FIELD_BPM, FIELD_BPM) &&
                  Same(LYPARSER_FIELD_HAS_ID3V2, FIELD_HAS_ID3V2),
              "field ids");
static_assert(Same(LYPARSER_TYPE_ASF, FILE_TYPE_ASF) && Same(LYPARSER_TYPE_CDA, FILE_TYPE_CDA),
              "file types");
static_assert(Same(LYPARSER_DESCRIPTION_TRACK_FILE, DESCRIPTION_TRACK_FILE) &&
                  Same(LYPARSER_INFO_WMA_PROTECTION, INFO_WMA_PROTECTION) &&
                  Same(LYPARSER_INFO_OGG_CHANNELS, INFO_OGG_CHANNELS),
              "kinds");
static_assert(Same(LYPARSER_TEXT_FIRST, LYTEXT_TOKEN_ALBUM) &&
                  Same(LYPARSER_TEXT_LAST, LYTEXT_MPEG_VERSION_SHORT) &&
                  Same(LYPARSER_SETTING_CD_LOOKUPS, LYCONFIG_CD_LOOKUPS) &&
                  Same(LYPARSER_SETTING_CD_REFRESH, LYCONFIG_CD_REFRESH) &&
                  Same(LYPARSER_NOTIFY_CD_NAMES_ARRIVED, LYNOTIFY_CD_NAMES_ARRIVED),
              "host numbers");

namespace {

constexpr int kSettingWords = 256;

std::atomic<bool> g_started{false};

void Give(int* out, int value) {
    if (out) *out = value;
}

// Why the module would not open `path`, from what the file system says.
lyparser_reason OpenRefusal(const char* path) {
    struct stat info;
    if (!*path || stat(path, &info) != 0) {
        if (!*path || errno == ENOENT || errno == ENOTDIR) return LYPARSER_NOT_FOUND;
        return errno == EACCES ? LYPARSER_NOT_READABLE : LYPARSER_IO_ERROR;
    }
    if (!S_ISREG(info.st_mode)) return LYPARSER_NOT_A_FILE;
    if (faccessat(AT_FDCWD, path, R_OK, AT_EACCESS) != 0) return LYPARSER_NOT_READABLE;
    return LYPARSER_NOT_SUPPORTED;
}

// The reason a change on `handle` ended with.
int ChangeResult(IBaseTag* handle) {
    if (!handle) return LYPARSER_NO_HANDLE;
    return Started() ? LastReason(handle) : LYPARSER_NOT_INITIALIZED;
}

// Runs `text()` for a text result; null for a null file or when memory ran out.
template <typename Text>
char* TextResult(lyparser_file* file, Text text) {
    if (!file) return nullptr;
    try {
        Utf8Calls utf8;
        return CopyText(text(Handle(file)));
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

Utf8Calls::Utf8Calls() {
    static const locale_t utf8 = [] {
        locale_t made = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        return made ? made : newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
    }();
    saved_ = uselocale(utf8);
}

bool Started() { return g_started.load(); }

char* CopyText(const std::string& text) {
    char* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy) std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

lyparser_reason LastReason(IBaseTag* handle, std::string* line) {
    std::string answer = TagParserGetExData(handle, LYPARSER_KEY_LAST_ERROR);
    if (line) *line = answer;
    if (answer.empty()) return LYPARSER_OK;
    return FailureCodeFromName(answer.substr(0, answer.find(':')));
}

const char* lyparser_version(void) { return LYPARSER_VERSION_STRING; }

int lyparser_init(const lyparser_host* host) {
    try {
        lyparser_host callbacks{};
        if (host) callbacks = *host;
        OpenHostGate(callbacks);
        SetCallFunctionHandler(ForwardNotification);
        TagParserInitialize(HostEngine());
        g_started = true;
        return LYPARSER_OK;
    } catch (...) {
        return LYPARSER_OUT_OF_MEMORY;
    }
}

void lyparser_shutdown(void) {
    CloseHostGate();
    g_started = false;
    TagParserFinalize();
}

void lyparser_set_text(unsigned id, const char* text) { SetResourceString(id, text); }

int lyparser_get_setting(int word) {
    if (word < 0 || word >= kSettingWords) return -1;
    return __atomic_load_n(&GetConfig()->word[word], __ATOMIC_ACQUIRE);
}

void lyparser_set_setting(int word, int value) {
    if (word < 0 || word >= kSettingWords) return;
    __atomic_store_n(&GetConfig()->word[word], value, __ATOMIC_RELEASE);
}

lyparser_file* lyparser_open(const char* path, int* reason) {
    if (!Started()) return Give(reason, LYPARSER_NOT_INITIALIZED), nullptr;
    if (!path) return Give(reason, LYPARSER_NOT_FOUND), nullptr;
    try {
        Utf8Calls utf8;
        IBaseTag* handle = TagParserOpenFile(path);
        Give(reason, handle ? LYPARSER_OK : OpenRefusal(path));
        return reinterpret_cast<lyparser_file*>(handle);
    } catch (...) {
        return Give(reason, LYPARSER_OUT_OF_MEMORY), nullptr;
    }
}

lyparser_file* lyparser_open_memory(int type, const void* data, size_t size, int* reason) {
    if (!Started()) return Give(reason, LYPARSER_NOT_INITIALIZED), nullptr;
    if (!data || size > static_cast<size_t>(INT_MAX))
        return Give(reason, LYPARSER_NOT_SUPPORTED), nullptr;
    try {
        Utf8Calls utf8;
        IBaseTag* handle = TagParserOpenBinaryFile(type, static_cast<const unsigned char*>(data),
                                                   static_cast<int>(size));
        Give(reason, handle ? LYPARSER_OK : LYPARSER_NOT_SUPPORTED);
        return reinterpret_cast<lyparser_file*>(handle);
    } catch (...) {
        return Give(reason, LYPARSER_OUT_OF_MEMORY), nullptr;
    }
}

void lyparser_close(lyparser_file* file) { TagParserCloseFile(Handle(file)); }

int lyparser_file_type(lyparser_file* file) { return TagParserGetFileType(Handle(file)); }

char* lyparser_get(lyparser_file* file, int field) {
    return TextResult(file, [&](IBaseTag* h) { return TagParserGetData(h, field); });
}

int lyparser_set(lyparser_file* file, int field, const char* value) {
    try {
        Utf8Calls utf8;
        TagParserSetData(Handle(file), field, value);  // its result is always 0
        return ChangeResult(Handle(file));
    } catch (...) {
        return LYPARSER_OUT_OF_MEMORY;
    }
}

char* lyparser_get_ex(lyparser_file* file, const char* key) {
    return TextResult(file, [&](IBaseTag* h) { return TagParserGetExData(h, key ? key : ""); });
}

int lyparser_set_ex(lyparser_file* file, const char* key, const char* value) {
    try {
        Utf8Calls utf8;
        TagParserSetExData(Handle(file), key ? key : "", value);
        return ChangeResult(Handle(file));
    } catch (...) {
        return LYPARSER_OUT_OF_MEMORY;
    }
}

int lyparser_save(lyparser_file* file) {
    try {
        Utf8Calls utf8;
        if (TagParserApplyFile(Handle(file))) return LYPARSER_OK;
        int reason = ChangeResult(Handle(file));
        return reason == LYPARSER_OK ? LYPARSER_FAILED : reason;
    } catch (...) {
        return LYPARSER_OUT_OF_MEMORY;
    }
}

int lyparser_delete_pictures(lyparser_file* file) {
    try {
        int removed = TagParserDeleteAttachedPicture(Handle(file));
        if (removed == 1) return LYPARSER_OK;
        if (removed == 2) return LYPARSER_UNKNOWN_FIELD;  // a format without pictures
        int reason = ChangeResult(Handle(file));
        return reason == LYPARSER_OK ? LYPARSER_FAILED : reason;
    } catch (...) {
        return LYPARSER_OUT_OF_MEMORY;
    }
}

int lyparser_last_error(lyparser_file* file, char** text) {
    if (text) *text = nullptr;
    if (!file) return LYPARSER_NO_HANDLE;
    try {
        std::string line;
        lyparser_reason reason = LastReason(Handle(file), &line);
        if (text && !(*text = CopyText(line))) return LYPARSER_OUT_OF_MEMORY;
        return reason;
    } catch (...) {
        return LYPARSER_OUT_OF_MEMORY;
    }
}

char* lyparser_description(lyparser_file* file, int kind, const char* text, int flag) {
    return TextResult(file, [&](IBaseTag* h) {
        return TagParserGetDescription(h, kind, text ? text : "", flag);
    });
}

char* lyparser_file_info(lyparser_file* file, int kind) {
    return TextResult(file, [&](IBaseTag* h) { return TagParserGetFileInfo(h, kind); });
}

int lyparser_audio_range(lyparser_file* file, int* start, int* end) {
    return TagParserGetSourceLength(Handle(file), start, end);
}

char* lyparser_md5(lyparser_file* file, int* start, int* end) {
    return TextResult(file, [&](IBaseTag* h) { return TagParserGetMD5(h, start, end); });
}

char* lyparser_checksum(lyparser_file* file, int* start, int* end) {
    return TextResult(file, [&](IBaseTag* h) { return TagParserGetCheckSum(h, start, end); });
}

int lyparser_picture(lyparser_file* file, unsigned char** data, size_t* size) {
    if (data) *data = nullptr;
    if (size) *size = 0;
    if (!file) return LYPARSER_NO_HANDLE;
    if (!data || !size) return LYPARSER_FAILED;
    try {
        const long bytes =
            std::strtol(TagParserGetData(Handle(file), FIELD_PICTURE_INFO).c_str(), nullptr, 10);
        if (bytes <= 0 || bytes > INT_MAX) return LYPARSER_FAILED;
        auto* copy = static_cast<unsigned char*>(std::malloc(static_cast<size_t>(bytes)));
        if (!copy) return LYPARSER_OUT_OF_MEMORY;
        const int copied = TagParserGetAttachedPictureData(Handle(file), copy);
        if (copied <= 0 || copied > bytes) return std::free(copy), LYPARSER_FAILED;
        *data = copy;
        *size = static_cast<size_t>(copied);
        return LYPARSER_OK;
    } catch (...) {
        return LYPARSER_OUT_OF_MEMORY;
    }
}

const char* lyparser_reason_name(int reason) { return FailureCodeName(reason); }

const char* lyparser_reason_text(int reason) { return FailureCodeText(reason); }

void lyparser_free(void* memory) { std::free(memory); }
