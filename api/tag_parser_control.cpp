#include "api/tag_parser_control.h"

#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/ascii.h"
#include "core/failure_reason.h"
#include "core/module_state.h"
#include "core/pending_copy.h"
#include "core/platform_file.h"
#include "parsers/ape/ape_format.h"
#include "parsers/cd/freecddb_module.h"
#include "parsers/flac/flac_format.h"
#include "parsers/mp4/mp4_format.h"
#include "parsers/mpeg/tag_lib_parser.h"
#include "parsers/ogg/ogg_parser.h"
#include "parsers/riff/riff_format.h"
#include "parsers/shared/tag_lib_file_parser.h"
#include "parsers/unknown/unknown_parser.h"
#include "parsers/wma/wma_parser.h"

namespace {

// Runs one set, save or strip on `h` and keeps its outcome as the handle's
// last failure: a reason a parser or the save path reported, else `fallback`
// when `call` gave 0. What the call throws is kept as a reason and passed on.
template <typename Call>
int Recorded(IBaseTag* h, lyparser_reason fallback, Call call) {
    FailureScope scope(h);
    int result = 0;
    try {
        result = call();
    } catch (const std::bad_alloc&) {
        ReportFailure(LYPARSER_OUT_OF_MEMORY);
        scope.Finish(false, fallback);
        throw;
    } catch (...) {
        scope.Finish(false, fallback);
        throw;
    }
    scope.Finish(result != 0, fallback);
    return result;
}

// True for the ids lyParser.h names; a change to any other id is never taken.
bool NamesAField(int id) {
    return (id >= FIELD_TITLE && id <= FIELD_ENCODED_BY) || id == FIELD_LYRICS ||
           (id >= FIELD_WM_SDK_VERSION && id <= FIELD_RATING) ||
           (id >= FIELD_BPM && id <= FIELD_HAS_ID3V2);
}

StringEx LastErrorKey(IBaseTag* h) { return StringEx(LastFailureLine(h)); }

// The copy an interrupted save left for the handle's file, when it waits.
StringEx PendingCopyKey(IBaseTag* h) {
    if (h->OpenedPath().IsEmpty()) return StringEx();
    return StringEx(PendingCopyOf(NativePath(h->OpenedPath())));
}

// Keys the module answers itself for every handle, before the parser sees
// the key: one row per key.
const struct {
    const char* key;
    StringEx (*answer)(IBaseTag* h);
} kModuleKeys[] = {
    {LYPARSER_KEY_LAST_ERROR, LastErrorKey},
    {LYPARSER_KEY_PENDING_COPY, PendingCopyKey},
};

// Every name the controller recognises: its ending (compared with ASCII
// letters upper-cased), the file-type code it chooses, and, for the formats
// the parser over TagLib-backed formats reads, the format that reads it.
// A format added is a row here.
struct FormatRow {
    const wchar_t* ending;
    int type;
    TagLibFormatMaker format;
};

const FormatRow kFormats[] = {
    {L".MP3", FILE_TYPE_MP3, nullptr},
    {L".WMA", FILE_TYPE_WMA, nullptr},
    {L".CDA", FILE_TYPE_CDA, nullptr},
    {L".ASF", FILE_TYPE_ASF, nullptr},
    {L".OGG", FILE_TYPE_OGG, nullptr},
    {L".OPUS", FILE_TYPE_OPUS, nullptr},
    {L".FLAC", FILE_TYPE_FLAC, &MakeFlacFormat},
    {L".M4A", FILE_TYPE_MP4, &MakeMp4Format},
    {L".M4B", FILE_TYPE_MP4, &MakeMp4Format},
    {L".MP4", FILE_TYPE_MP4, &MakeMp4Format},
    {L".WAV", FILE_TYPE_WAV, &MakeWavFormat},
    {L".AIF", FILE_TYPE_AIFF, &MakeAiffFormat},
    {L".AIFF", FILE_TYPE_AIFF, &MakeAiffFormat},
    {L".WV", FILE_TYPE_WAVPACK, &MakeWavPackFormat},
    {L".MPC", FILE_TYPE_MUSEPACK, &MakeMusepackFormat},
    {L".APE", FILE_TYPE_MUSEPACK, &MakeMonkeysAudioFormat},
};

bool IsTagLibFormat(int type) {
    for (const FormatRow& row : kFormats) {
        if (row.type == type && row.format) return true;
    }
    return false;
}

// The formats to try for `type`: its own first, then every other one, so
// that a file whose name lies about its content is read for what it is.
std::vector<TagLibFormatMaker> FormatsFor(int type) {
    std::vector<TagLibFormatMaker> makers;
    for (const bool own : {true, false}) {
        for (const FormatRow& row : kFormats) {
            if (!row.format || (row.type == type) != own) continue;
            bool listed = false;
            for (TagLibFormatMaker maker : makers) listed = listed || maker == row.format;
            if (!listed) makers.push_back(row.format);
        }
    }
    return makers;
}

}  // namespace

CTagParserControl::~CTagParserControl() = default;

IBaseTag* CTagParserControl::CreateParser(int type) {
    switch (type) {
        case FILE_TYPE_UNKNOWN:
            return new (std::nothrow) CUnknownParser();
        case FILE_TYPE_MP3:
            return new (std::nothrow) CTagLibParser(type);
        case FILE_TYPE_OGG:
        case FILE_TYPE_OPUS:
            return new (std::nothrow) COGGParser(type);
        case FILE_TYPE_CDA:
            return new (std::nothrow) CFreeCDDBModule();
        case FILE_TYPE_WMA:
        case FILE_TYPE_ASF:
            return new (std::nothrow) CWMAParser();
        default:
            if (IsTagLibFormat(type))
                return new (std::nothrow) CTagLibFileParser(type, FormatsFor(type));
            return nullptr;  // codes without a parser
    }
}

int CTagParserControl::GetFileTypeFromName(const std::wstring& name) {
    for (const FormatRow& row : kFormats) {
        const size_t length = std::char_traits<wchar_t>::length(row.ending);
        if (name.size() >= length &&
            UpperAsciiText(name.substr(name.size() - length)) == row.ending)
            return row.type;
    }
    return FILE_TYPE_UNKNOWN;
}

IBaseTag* CTagParserControl::Finish(IBaseTag* parser, int opened) {
    if (opened) return parser;
    std::unique_ptr<IBaseTag> doomed(parser);
    doomed->CloseFile();
    doomed->Finalize();
    return nullptr;
}

IBaseTag* CTagParserControl::OpenFile(StringEx path, int type) {
    IBaseTag* parser = CreateParser(type);
    if (!parser) return nullptr;
    parser->Initialize();
    parser->SetOpenedPath(path);
    int opened = 0;
    try {
        opened = parser->OpenFile(path);
    } catch (...) {
        opened = 0;
    }
    // A file none of the TagLib-backed formats reads is answered as any
    // other file is.
    if (!opened && IsTagLibFormat(type)) {
        Finish(parser, 0);
        return OpenFile(std::move(path), FILE_TYPE_UNKNOWN);
    }
    return Finish(parser, opened);
}

IBaseTag* CTagParserControl::OpenBinaryFile(const unsigned char* data, int size, int type) {
    IBaseTag* parser = CreateParser(type);
    if (!parser) return nullptr;
    parser->Initialize();
    int opened = 0;
    try {
        opened = parser->OpenBinaryFile(data, size);
    } catch (...) {
        opened = 0;
    }
    return Finish(parser, opened);
}

void CTagParserControl::CloseFile(IBaseTag* handle) {
    if (!handle) return;
    ForgetFailures(handle);
    std::unique_ptr<IBaseTag> doomed(handle);
    doomed->CloseFile();
    doomed->Finalize();
}

int CTagParserControl::ApplyFile(IBaseTag* h) {
    if (!h) return 0;
    return Recorded(h, LYPARSER_FAILED, [&] { return h->ApplyFile(); });
}

int CTagParserControl::SetData(IBaseTag* h, int fieldId, StringEx value) {
    if (!h) return 0;
    const lyparser_reason refused =
        NamesAField(fieldId) ? LYPARSER_REFUSED_VALUE : LYPARSER_UNKNOWN_FIELD;
    return Recorded(h, refused, [&] { return h->SetData(fieldId, std::move(value)); });
}

int CTagParserControl::SetExData(IBaseTag* h, StringEx key, StringEx value) {
    if (!h) return 0;
    return Recorded(h, LYPARSER_REFUSED_VALUE,
                    [&] { return h->SetExData(std::move(key), std::move(value)); });
}

StringEx CTagParserControl::GetData(IBaseTag* h, int fieldId) {
    return h ? h->GetData(fieldId) : StringEx();
}

StringEx CTagParserControl::GetExData(IBaseTag* h, StringEx key) {
    if (!h) return StringEx();
    for (const auto& module : kModuleKeys) {
        if (key.Narrow() == module.key) return module.answer(h);
    }
    return h->GetExData(std::move(key));
}

void CTagParserControl::SetLyrics(IBaseTag* h, CGBuffer* data) {
    if (h) h->SetLyrics(data);
}

void CTagParserControl::SetAllLyric(IBaseTag* h, StringEx text) {
    if (h) h->SetAllLyric(std::move(text));
}

StringEx CTagParserControl::GetAllLyric(IBaseTag* h, int arg) {
    return h ? h->GetAllLyric(arg) : StringEx();
}

StringEx CTagParserControl::GetDescription(IBaseTag* h, int kind, StringEx text, int flag) {
    return h ? h->GetDescription(kind, std::move(text), flag) : StringEx();
}

StringEx CTagParserControl::GetFileInfo(IBaseTag* h, int kind) {
    return h ? h->GetFileInfo(kind) : StringEx();
}

int CTagParserControl::GetFileType(IBaseTag* h) { return h ? h->GetFileType() : 0; }

int CTagParserControl::GetSourceLength(IBaseTag* h, int* start, int* end) {
    return h ? h->GetSourceLength(start, end) : 0;
}

StringEx CTagParserControl::GetMD5(IBaseTag* h, int* start, int* end) {
    return h ? h->GetMD5(start, end) : StringEx();
}

int CTagParserControl::DeleteAttachedPicture(IBaseTag* h) {
    if (!h) return 0;
    return Recorded(h, LYPARSER_FAILED, [&] { return h->DeleteAttachedPicture(); });
}

int CTagParserControl::GetAttachedPictureData(IBaseTag* h, void* destination) {
    return h ? h->GetAttachedPictureData(destination) : 0;
}

CBassAudio* CTagParserControl::GetBassAudio() { return ::GetBassAudio(); }
