// The 28 exported functions. Each converts its arguments, checks that the
// controller exists, makes one controller call, converts the result, and lets
// nothing escape: any exception becomes the function's empty result.
#include <atomic>

#include "api/tag_parser_control.h"
#include "core/module_state.h"
#include "lyParser.h"

namespace {

std::atomic<CTagParserControl*> g_control{nullptr};

constexpr int kRangeLimit = 163840;  // bytes a digest covers at most from its start

// Runs `call` on the controller, or gives `empty` when there is none or the
// call throws.
template <typename Result, typename Call>
Result WithControl(Result empty, Call call) {
    try {
        CTagParserControl* control = g_control.load();
        return control ? call(*control) : empty;
    } catch (...) {
        return empty;
    }
}

// Normalises the caller's range and gives the end value the parser digests to.
int DigestEnd(int* start, int* end, bool capFromStart) {
    if (*start < 0) *start = 0;
    if (*end < 0) *end = kRangeLimit;
    long long span = static_cast<long long>(*end) - *start;
    if (span > kRangeLimit) return capFromStart ? *start + kRangeLimit : kRangeLimit;
    return *end;
}

std::string DigestExport(IBaseTag* handle, int* start, int* end, bool capFromStart) {
    if (!start || !end) return std::string();
    int localEnd = DigestEnd(start, end, capFromStart);
    return WithControl(std::string(), [&](CTagParserControl& c) {
        return c.GetMD5(handle, start, &localEnd).GetNarrow();
    });
}

}  // namespace

int TagParserInitialize(CBassAudio* engine) {
    try {
        CTagParserControl* expected = nullptr;
        auto* control = new CTagParserControl();
        if (!g_control.compare_exchange_strong(expected, control)) {
            delete control;
            return 0;
        }
        if (!StoreBassAudio(engine)) return 0;
        engine->SetBassProcAddr();
        return 1;
    } catch (...) {
        return 0;
    }
}

void TagParserFinalize() { delete g_control.exchange(nullptr); }

IBaseTag* TagParserOpenFile(const char* path) {
    if (!path) return nullptr;
    return WithControl<IBaseTag*>(nullptr, [&](CTagParserControl& c) {
        StringEx name(path);
        int type = CTagParserControl::GetFileTypeFromName(name.GetWide());
        return c.OpenFile(name, type);
    });
}

IBaseTag* TagParserOpenFileW(const wchar_t* path) {
    if (!path) return nullptr;
    return WithControl<IBaseTag*>(nullptr, [&](CTagParserControl& c) {
        StringEx name(path);
        return c.OpenFile(name, CTagParserControl::GetFileTypeFromName(path));
    });
}

IBaseTag* TagParserOpenBinaryFile(int fileType, const unsigned char* data, int size) {
    return WithControl<IBaseTag*>(
        nullptr, [&](CTagParserControl& c) { return c.OpenBinaryFile(data, size, fileType); });
}

void TagParserCloseFile(IBaseTag* handle) {
    WithControl(0, [&](CTagParserControl& c) {
        c.CloseFile(handle);
        return 0;
    });
}

int TagParserApplyFile(IBaseTag* handle) {
    return WithControl(0, [&](CTagParserControl& c) { return c.ApplyFile(handle); });
}

std::string TagParserGetData(IBaseTag* handle, int fieldId) {
    return WithControl(std::string(), [&](CTagParserControl& c) {
        return c.GetData(handle, fieldId).GetNarrow();
    });
}

std::wstring TagParserGetDataW(IBaseTag* handle, int fieldId) {
    return WithControl(std::wstring(),
                       [&](CTagParserControl& c) { return c.GetData(handle, fieldId).GetWide(); });
}

std::string TagParserGetExData(IBaseTag* handle, const char* key) {
    return WithControl(std::string(), [&](CTagParserControl& c) {
        return c.GetExData(handle, StringEx(key)).GetNarrow();
    });
}

int TagParserSetData(IBaseTag* handle, int fieldId, const char* value) {
    WithControl(0,
                [&](CTagParserControl& c) { return c.SetData(handle, fieldId, StringEx(value)); });
    return 0;
}

int TagParserSetDataW(IBaseTag* handle, int fieldId, const wchar_t* value) {
    return WithControl(
        0, [&](CTagParserControl& c) { return c.SetData(handle, fieldId, StringEx(value)); });
}

int TagParserSetExData(IBaseTag* handle, const char* key, const char* value) {
    return WithControl(0, [&](CTagParserControl& c) {
        return c.SetExData(handle, StringEx(key), StringEx(value));
    });
}

void TagParserGetLyrics(int, int, int, int, int, int) {}

int TagParserSetLyrics(IBaseTag* handle, const void* data, int length) {
    try {
        CGBuffer buffer;
        if (data && length > 0) buffer.Insert(0, data, length);
        WithControl(0, [&](CTagParserControl& c) {
            c.SetLyrics(handle, &buffer);
            return 0;
        });
    } catch (...) {
    }
    return 0;
}

void TagParserSetAllLyric(IBaseTag* handle, const char* text) {
    WithControl(0, [&](CTagParserControl& c) {
        c.SetAllLyric(handle, StringEx(text));
        return 0;
    });
}

std::string TagParserGetAllLyric(IBaseTag* handle, int arg) {
    return WithControl(std::string(), [&](CTagParserControl& c) {
        return c.GetAllLyric(handle, arg).GetNarrow();
    });
}

std::string TagParserGetDescription(IBaseTag* handle, int kind, const char* text, int flag) {
    return WithControl(std::string(), [&](CTagParserControl& c) {
        return c.GetDescription(handle, kind, StringEx(text), flag).GetNarrow();
    });
}

std::wstring TagParserGetDescriptionW(IBaseTag* handle, int kind, const char* text, int flag) {
    return WithControl(std::wstring(), [&](CTagParserControl& c) {
        return c.GetDescription(handle, kind, StringEx(text), flag).GetWide();
    });
}

std::string TagParserGetFileInfo(IBaseTag* handle, int kind) {
    return WithControl(std::string(), [&](CTagParserControl& c) {
        return c.GetFileInfo(handle, kind).GetNarrow();
    });
}

int TagParserGetFileType(IBaseTag* handle) {
    return WithControl(0, [&](CTagParserControl& c) { return c.GetFileType(handle); });
}

int TagParserGetSourceLength(IBaseTag* handle, int* start, int* end) {
    if (!start || !end) return 0;
    return WithControl(0,
                       [&](CTagParserControl& c) { return c.GetSourceLength(handle, start, end); });
}

std::string TagParserGetMD5(IBaseTag* handle, int* start, int* end) {
    return DigestExport(handle, start, end, true);
}

std::string TagParserGetCheckSum(IBaseTag* handle, int* start, int* end) {
    return DigestExport(handle, start, end, false);
}

void TagParserSetForceFreeCDDB(int value) { SetForceFreeCDDB(value); }

int TagParserIsForceFreeCDDB() { return GetForceFreeCDDB(); }

int TagParserDeleteAttachedPicture(IBaseTag* handle) {
    return WithControl(0, [&](CTagParserControl& c) { return c.DeleteAttachedPicture(handle); });
}

int TagParserGetAttachedPictureData(IBaseTag* handle, void* destination) {
    if (!destination) return 0;
    return WithControl(
        0, [&](CTagParserControl& c) { return c.GetAttachedPictureData(handle, destination); });
}
