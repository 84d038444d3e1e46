// COGGParser: opening by name and from memory, and the audio range and
// digest. Fields, texts, pictures and saving are in ogg_parser_*.cpp.
#include "parsers/ogg/ogg_parser.h"

#include <cstdint>
#include <cstring>

#include "core/little_endian.h"
#include "core/md5.h"
#include "core/platform_file.h"
#include "parsers/ogg/ogg_stream_headers.h"

namespace {

constexpr char kMarkerHead[] = "vorbis";  // then the codebook count, then "BCV"
constexpr char kMarkerTail[] = "BCV";
constexpr size_t kMarkerLength = 10;
constexpr char kVendorText[] = "Xiph.Org libVorbis";
constexpr size_t kVendorTextLength = sizeof(kVendorText) - 1;
constexpr size_t kClassicVendorLength = 29;

// Offset just behind the first setup-header marker that starts at 0..5120 in
// the file's first `size` bytes, or 0 when there is none.
int32_t FindSetupMarker(const unsigned char* start, size_t size) {
    const size_t window = COGGParser::kMarkerSearchEnd + kMarkerLength;
    const size_t end = size < window ? size : window;
    for (size_t at = 0; at + kMarkerLength <= end; ++at) {
        const unsigned char* p = start + at;
        if (std::memcmp(p, kMarkerHead, 6) == 0 && std::memcmp(p + 7, kMarkerTail, 3) == 0) {
            return static_cast<int32_t>(at + kMarkerLength);
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

int32_t Low32(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

}  // namespace

COGGParser::~COGGParser() = default;

void COGGParser::ClearLists() {
    comments_ = VorbisCommentList();
    keys_ = TagStoreKeys();
}

int COGGParser::Initialize() {
    ClearLists();
    return 1;
}

void COGGParser::Finalize() { ClearLists(); }

void COGGParser::CloseFile() { ClearLists(); }

int COGGParser::OpenFile(StringEx path) {
    path_ = path;
    identity_ = FileIdentity();
    FileReader file(NativePath(path));
    if (!file.IsOpen()) return 0;
    identity_ = file.Identity();
    fileLength_ = Low32(identity_.size);
    OggStreamHeaders headers;
    const bool found =
        headers.Read([&file](int64_t offset, void* buffer,
                             int64_t count) { return file.ReadAt(offset, buffer, count); },
                     identity_.size);
    if (found && headers.Codec() == OggCodec::kOpus) {
        TakeOpus(&headers);
        return 1;
    }
    // Vorbis is known by its setup-header marker: in the first 5130 bytes,
    // else where the setup header of a stream that begins the file starts.
    setupOffset_ = FindSetupMarker(headers.Start(), headers.StartSize());
    if (setupOffset_ <= 0 && found && headers.FirstPage() == 0 &&
        headers.SetupMarkerEnd() <= INT32_MAX) {
        setupOffset_ = static_cast<int32_t>(headers.SetupMarkerEnd());
    }
    if (setupOffset_ <= 0) return 0;
    codec_ = OggCodec::kVorbis;
    if (found) TakeVorbis(&headers);
    return 1;
}

void COGGParser::TakeVorbis(OggStreamHeaders* headers) {
    // The comments are read whatever the identification header says, so that
    // a save can never write a file without them.
    size_t from = 0;
    std::string block = headers->TakeComment(&from);
    TakeComments(std::move(block), from);
    VorbisIdentification identification;
    if (!ReadVorbisIdentification(headers->Identification(), &identification)) return;
    version_ = identification.version;
    channels_ = identification.channels;
    sampleRate_ = static_cast<int32_t>(identification.rate);
    nominalBitrateK_ = static_cast<int32_t>(identification.nominalBitrate / 1024);
    serialNumber_ = static_cast<int32_t>(headers->Serial());
}

void COGGParser::TakeOpus(OggStreamHeaders* headers) {
    codec_ = OggCodec::kOpus;
    serialNumber_ = static_cast<int32_t>(headers->Serial());
    audioStart_ = headers->HeadersEnd();
    size_t from = 0;
    std::string block = headers->TakeComment(&from);
    TakeComments(std::move(block), from);
    if (!ReadOpusHead(headers->Identification(), &opus_)) return;
    version_ = opus_.version;
    channels_ = opus_.channels;
    sampleRate_ = 48000;  // Opus always decodes at 48 kHz
}

void COGGParser::TakeComments(std::string block, size_t from) {
    const std::string magic = CommentMagic(codec_);
    if (block.size() < from + magic.size() || block.compare(from, magic.size(), magic) != 0) {
        // A second packet that is no comment header is never written over.
        if (!block.empty()) comments_.Parse(std::string());
        return;
    }
    comments_.Parse(std::move(block), from + magic.size());
    vendor_ = comments_.Vendor();
}

int COGGParser::OpenBinaryFile(const unsigned char* data, int size) {
    if (fileType_ != FILE_TYPE_OGG || !data || size < 1) return 0;
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

int COGGParser::GetFileType() { return codec_ == OggCodec::kOpus ? FILE_TYPE_OPUS : FILE_TYPE_OGG; }

int COGGParser::GetSourceLength(int* start, int* length) {
    if (openedFromMemory_) return 0;
    int32_t first = 0, count = 0;
    if (codec_ == OggCodec::kOpus) {
        first = Low32(audioStart_);
        count = fileLength_ - first;
    } else {
        first = setupOffset_ < 0 ? 0 : setupOffset_;
        count = fileLength_ - setupOffset_;
        if (count < first) count = fileLength_ - first;
    }
    if (start) *start = first;
    if (length) *length = count;
    return fileLength_;
}
