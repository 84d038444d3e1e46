// COGGParser: opening by name and from memory, and the technical answers.
// Fields, descriptions and saving are in ogg_parser_fields.cpp and
// ogg_parser_save.cpp.
#include "parsers/ogg/ogg_parser.h"

#include <cstdint>
#include <cstring>

#include "core/host_text.h"
#include "core/little_endian.h"
#include "core/md5.h"
#include "core/module_state.h"
#include "core/platform_file.h"
#include "parsers/ogg/ogg_setup_locator.h"
#include "parsers/ogg/vorbis_edit.h"

namespace {

constexpr char kMarkerHead[] = "vorbis";  // then the codebook count, then "BCV"
constexpr char kMarkerTail[] = "BCV";
constexpr size_t kMarkerLength = 10;
constexpr char kVendorText[] = "Xiph.Org libVorbis";
constexpr size_t kVendorTextLength = sizeof(kVendorText) - 1;
constexpr size_t kClassicVendorLength = 29;

// Offset just behind the first setup-header marker that starts at 0..5120,
// or 0 when there is none.
int32_t FindSetupMarker(std::FILE* file) {
    unsigned char window[COGGParser::kMarkerSearchEnd + kMarkerLength];
    int64_t got = ReadAt(file, 0, window, sizeof(window));
    for (int64_t at = 0; at + static_cast<int64_t>(kMarkerLength) <= got; ++at) {
        const unsigned char* p = window + at;
        if (std::memcmp(p, kMarkerHead, 6) == 0 && std::memcmp(p + 7, kMarkerTail, 3) == 0) {
            return static_cast<int32_t>(at + static_cast<int64_t>(kMarkerLength));
        }
    }
    return 0;
}

uint32_t Little32(const unsigned char* p) { return static_cast<uint32_t>(LittleEndian(p, 4)); }

// Where the vendor text found at `at` ends. The classic vendor string is 29
// bytes long; a newer, longer one is recognised by the length stored in front
// of it, so that images from current encoders read too.
size_t VendorEnd(const unsigned char* data, size_t size, size_t at) {
    if (at >= 4) {
        uint32_t stated = Little32(data + at - 4);
        if (stated >= kVendorTextLength && stated <= size - at) return at + stated;
    }
    return at + kClassicVendorLength;
}

}  // namespace

COGGParser::~COGGParser() = default;

void COGGParser::ClearLists() { comments_ = VorbisCommentList(); }

int COGGParser::Initialize() {
    ClearLists();
    return 1;
}

void COGGParser::Finalize() { ClearLists(); }

void COGGParser::CloseFile() { ClearLists(); }

int COGGParser::OpenFile(StringEx path) {
    path_ = path;
    identity_ = FileIdentity();
    FilePtr file = OpenReadFile(NativePath(path));
    if (!file) return 0;
    identity_ = IdentityOfFile(file.get());
    setupOffset_ = FindSetupMarker(file.get());
    if (setupOffset_ <= 0) {
        int64_t behindMarker = LocateSetupMarker(file.get());
        setupOffset_ = behindMarker <= INT32_MAX ? static_cast<int32_t>(behindMarker) : 0;
    }
    fileLength_ = static_cast<int32_t>(static_cast<uint32_t>(FileLength(file.get())));
    if (setupOffset_ <= 0) return 0;
    if (std::fseek(file.get(), 0, SEEK_SET) != 0) return 1;
    VorbisEditPtr state(VorbisEditNewState());
    if (state && VorbisEditOpenHeaders(state.get(), file.get()) == 0) TakeHeaders(state.get());
    return 1;
}

void COGGParser::TakeHeaders(VorbisEditState* state) {
    const vorbis_info* info = state->info;
    version_ = info->version;
    channels_ = info->channels;
    sampleRate_ = static_cast<int32_t>(info->rate);
    nominalBitrateK_ = static_cast<int32_t>(info->bitrate_nominal / 1024);
    serialNumber_ = static_cast<int32_t>(state->serial);
    vendor_ = state->vendor ? state->vendor : "";
    const vorbis_comment* comments = state->comments;
    for (int i = 0; i < comments->comments; ++i) {
        const char* text = comments->user_comments[i];
        comments_.AddRead(
            text ? std::string(text, static_cast<size_t>(comments->comment_lengths[i])) : "");
    }
}

int COGGParser::OpenBinaryFile(const unsigned char* data, int size) {
    if (!data || size < 1) return 0;
    auto length = static_cast<size_t>(size);
    if (length < kVendorTextLength) return 0;
    const unsigned char* found = nullptr;
    for (size_t at = 0; at + kVendorTextLength <= length && !found; ++at) {
        if (std::memcmp(data + at, kVendorText, kVendorTextLength) == 0) found = data + at;
    }
    if (!found) return 0;
    size_t position = VendorEnd(data, length, static_cast<size_t>(found - data)) + 4;
    while (position <= length && length - position >= 4) {
        uint32_t entryLength = Little32(data + position);
        position += 4;
        if (entryLength > length - position) break;
        std::string text(reinterpret_cast<const char*>(data + position), entryLength);
        position += entryLength;
        if (text.find('=') != std::string::npos) comments_.AddRead(std::move(text));
    }
    openedFromMemory_ = 1;
    return 1;
}

StringEx COGGParser::GetMD5(int* start, int* end) {
    if (openedFromMemory_ || !start || !end) return StringEx();
    return StringEx(MD5FileOfPath(path_, *start, *end));
}

StringEx COGGParser::GetFileInfo(int kind) {
    if (openedFromMemory_) return StringEx();
    switch (kind) {
        case INFO_REPORT:
            return StringEx(FormatHostText(
                LYTEXT_VORBIS_REPORT,
                {vendor_, version_, sampleRate_, nominalBitrateK_, serialNumber_, channels_}));
        case INFO_OGG_SAMPLE_RATE:
            return StringEx(IntText(sampleRate_));
        case INFO_OGG_NOMINAL_BIT_RATE:
            return StringEx(IntText(nominalBitrateK_));
        case INFO_LENGTH_SECONDS:
            return StringEx(IntText(EngineAudioSeconds(path_)));
        case INFO_OGG_CHANNELS:
            return StringEx(channels_ == 1 ? "MONO" : "STEREO");
        default:
            return StringEx();
    }
}

int COGGParser::GetFileType() { return FILE_TYPE_OGG; }

int COGGParser::GetSourceLength(int* start, int* length) {
    if (openedFromMemory_) return 0;
    int32_t first = setupOffset_ < 0 ? 0 : setupOffset_;
    int32_t count = fileLength_ - setupOffset_;
    if (count < first) count = fileLength_ - first;
    if (start) *start = first;
    if (length) *length = count;
    return fileLength_;
}
