#include "tests/support/mpeg_fixtures.h"

#include "tests/support/process.h"

namespace {

void PutBigEndian(Bytes* out, uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutLittleEndian(Bytes* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutSyncSafe(Bytes* out, uint32_t value) {
    for (int shift = 21; shift >= 0; shift -= 7) out->push_back(static_cast<unsigned char>((value >> shift) & 0x7F));
}

}  // namespace

Bytes Concat(const std::vector<Bytes>& parts) {
    Bytes out;
    for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes Id3v2Frame(int major, const std::string& id, const Bytes& body) {
    Bytes out = TextBytes(id);
    auto size = static_cast<uint32_t>(body.size());
    if (major == 2) {
        PutBigEndian(&out, size, 3);
    } else {
        if (major == 4) {
            PutSyncSafe(&out, size);
        } else {
            PutBigEndian(&out, size, 4);
        }
        out.push_back(0);
        out.push_back(0);
    }
    return Concat({out, body});
}

Bytes TextFrame(int major, const std::string& id, const std::string& text, unsigned char encoding) {
    return Id3v2Frame(major, id, Concat({{encoding}, TextBytes(text)}));
}

Bytes CommentLikeFrame(int major, const std::string& id, const std::string& text, const std::string& language) {
    return Id3v2Frame(major, id, Concat({{0}, TextBytes(language), {0}, TextBytes(text)}));
}

Bytes PictureFrame(int major, const std::string& mime, const std::string& description, const Bytes& data) {
    return Id3v2Frame(major, "APIC", Concat({{0}, TextBytes(mime), {0, 3}, TextBytes(description), {0}, data}));
}

Bytes UrlFrame(int major, const std::string& description, const std::string& url) {
    return Id3v2Frame(major, "WXXX", Concat({{0}, TextBytes(description), {0}, TextBytes(url)}));
}

Bytes Id3v2Tag(int major, const std::vector<Bytes>& frames, size_t padding, uint32_t declaredSize) {
    Bytes body = Concat(frames);
    body.resize(body.size() + padding, 0);
    Bytes out = {'I', 'D', '3', static_cast<unsigned char>(major), 0, 0};
    PutSyncSafe(&out, declaredSize ? declaredSize : static_cast<uint32_t>(body.size()));
    return Concat({out, body});
}

Bytes ApeTag(const std::vector<std::pair<std::string, std::string>>& items) {
    Bytes body;
    for (const auto& item : items) {
        PutLittleEndian(&body, static_cast<uint32_t>(item.second.size()));
        PutLittleEndian(&body, 0);
        body = Concat({body, TextBytes(item.first), {0}, TextBytes(item.second)});
    }
    Bytes footer = TextBytes("APETAGEX");
    PutLittleEndian(&footer, 2000);
    PutLittleEndian(&footer, static_cast<uint32_t>(body.size() + 32));
    PutLittleEndian(&footer, static_cast<uint32_t>(items.size()));
    PutLittleEndian(&footer, 0);
    footer.resize(footer.size() + 8, 0);
    return Concat({body, footer});
}

Bytes Mp3Frames(int count) { return MakeMpegFrames(kMp3Header128k, kMp3FrameLength128k, count); }

Bytes XingFrames(uint32_t header, int frameLength, int count, uint32_t totalFrames) {
    Bytes frames = MakeMpegFrames(header, frameLength, count);
    // MPEG-1 stereo: the side information takes 32 bytes after the header.
    bool mono = ((header >> 6) & 0x03) == 3;
    size_t at = 4 + (mono ? 17 : 32);
    Bytes xing = TextBytes("Xing");
    PutBigEndian(&xing, 0x01, 4);
    PutBigEndian(&xing, totalFrames, 4);
    std::copy(xing.begin(), xing.end(), frames.begin() + static_cast<long>(at));
    return frames;
}

void SetId3v2DeclaredSize(Bytes* file, uint32_t size) {
    Bytes field;
    PutSyncSafe(&field, size);
    std::copy(field.begin(), field.end(), file->begin() + 6);
}

std::string MutagenId3Dump(const std::string& path) {
    static const char kScript[] = R"(import sys
from mutagen.id3 import ID3, ID3NoHeaderError
sys.stdout.reconfigure(encoding='utf-8')
try:
    tag = ID3(sys.argv[1])
except ID3NoHeaderError:
    print('none')
    sys.exit(0)
print('version %d.%d.%d' % tag.version)
for frame in tag.values():
    parts = [frame.FrameID]
    if hasattr(frame, 'encoding'): parts.append('enc=%d' % frame.encoding)
    if hasattr(frame, 'lang'): parts.append('lang=%r' % frame.lang)
    if hasattr(frame, 'mime'): parts.append('mime=%s type=%d size=%d' % (frame.mime, frame.type, len(frame.data)))
    if hasattr(frame, 'url'): parts.append('url=%s' % frame.url)
    if hasattr(frame, 'text'):
        text = frame.text
        parts.append('text=%s' % ('/'.join(str(t) for t in text) if isinstance(text, list) else text))
    print(' '.join(parts))
)";
    CommandResult result = RunPython(kScript, {path});
    return result.status == 0 ? result.out : std::string();
}
