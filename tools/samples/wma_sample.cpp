#include "tools/samples/wma_sample.h"

#include <cstdio>

namespace asf {
namespace {

// Object GUIDs in their text form; Put writes them in file byte order.
const char kHeader[] = "75B22630-668E-11CF-A6D9-00AA0062CE6C";
const char kData[] = "75B22636-668E-11CF-A6D9-00AA0062CE6C";
const char kFileProperties[] = "8CABDCA1-A947-11CF-8EE4-00C00C205365";
const char kStreamProperties[] = "B7DC0791-A9B7-11CF-8EE6-00C00C205365";
const char kAudioMedia[] = "F8699E40-5B4D-11CF-A8FD-00805F5C442B";
const char kNoErrorCorrection[] = "20FB0550-5B55-11CF-A8FD-00805F5C442B";
const char kContentDescription[] = "75B22633-668E-11CF-A6D9-00AA0062CE6C";
const char kExtendedContentDescription[] = "D2D0A440-E307-11D2-97F0-00A0C95EA850";
const char kHeaderExtension[] = "5FBF03B5-A92E-11CF-8EE3-00C00C205365";
const char kReserved1[] = "ABD3D211-A9BA-11CF-8EE6-00C00C205365";
const char kMetadata[] = "C5F8CBEA-5BAF-4877-8467-AA8C44FA4CCA";
const char kMetadataLibrary[] = "44231C94-9498-49D1-A141-1D134E457054";
const char kContentEncryption[] = "2211B3FB-BD23-11D2-B4B7-00A0C955FC6E";
const char kExtendedContentEncryption[] = "298AE614-2622-4C17-B935-DAE07EE9289C";
const char kSimpleIndex[] = "33000890-E5B1-11CF-89F4-00A0C90349CB";
const char kFileId[] = "1D2C3B4A-5E6F-4708-9A1B-2C3D4E5F6071";

constexpr uint64_t kDataHeaderSize = 24 + 16 + 8 + 2;

void Put(Bytes* out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out->push_back(static_cast<unsigned char>(value >> (8 * i)));
}

void PutGuid(Bytes* out, const char* text) {
    unsigned a = 0, b = 0, c = 0, d[8] = {};
    std::sscanf(text, "%8x-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x", &a, &b, &c, &d[0], &d[1], &d[2],
                &d[3], &d[4], &d[5], &d[6], &d[7]);
    Put(out, a, 4);
    Put(out, b, 2);
    Put(out, c, 2);
    for (unsigned byte : d) out->push_back(static_cast<unsigned char>(byte));
}

void Append(Bytes* out, const Bytes& more) { out->insert(out->end(), more.begin(), more.end()); }

// UTF-16LE with a terminating NUL.
Bytes Utf16(const std::u16string& text) {
    Bytes out;
    for (char16_t unit : text) Put(&out, unit, 2);
    Put(&out, 0, 2);
    return out;
}

Bytes Object(const char* guid, const Bytes& body) {
    Bytes out;
    PutGuid(&out, guid);
    Put(&out, 24 + body.size(), 8);
    Append(&out, body);
    return out;
}

Bytes FileProperties(const FileLayout& layout, uint64_t fileSize) {
    Bytes body;
    PutGuid(&body, kFileId);
    Put(&body, fileSize, 8);
    Put(&body, 132514272000000000ull, 8);  // creation date, 100 ns since 1601
    Put(&body, layout.packets, 8);
    Put(&body, uint64_t{layout.packets} * 1000000, 8);  // play duration: 0.1 s a packet
    Put(&body, uint64_t{layout.packets} * 1000000, 8);  // send duration
    Put(&body, 0, 8);                                   // preroll, ms
    Put(&body, 2, 4);                                   // seekable
    Put(&body, layout.packetSize, 4);
    Put(&body, layout.packetSize, 4);
    Put(&body, 64000, 4);
    return Object(kFileProperties, body);
}

Bytes StreamProperties() {
    Bytes format;  // WAVEFORMATEX of a 44.1 kHz stereo WMA v2 stream
    Put(&format, 0x0161, 2);
    Put(&format, 2, 2);
    Put(&format, 44100, 4);
    Put(&format, 8000, 4);
    Put(&format, 2973, 2);
    Put(&format, 16, 2);
    Put(&format, 0, 2);
    Bytes body;
    PutGuid(&body, kAudioMedia);
    PutGuid(&body, kNoErrorCorrection);
    Put(&body, 0, 8);
    Put(&body, format.size(), 4);
    Put(&body, 0, 4);
    Put(&body, 1, 2);  // stream number 1
    Put(&body, 0, 4);
    Append(&body, format);
    return Object(kStreamProperties, body);
}

Bytes ContentDescriptionObject(const ContentDescription& content) {
    const std::u16string* texts[] = {&content.title, &content.author, &content.copyright,
                                     &content.description, &content.rating};
    Bytes body, strings;
    for (const std::u16string* text : texts) {
        Bytes encoded = text->empty() ? Bytes() : Utf16(*text);
        Put(&body, encoded.size(), 2);
        Append(&strings, encoded);
    }
    Append(&body, strings);
    return Object(kContentDescription, body);
}

// The records of one attribute-holding object, `place` selecting the form.
Bytes AttributeObject(const std::vector<Attribute>& attributes, Place place) {
    Bytes records;
    uint16_t count = 0;
    for (const Attribute& attribute : attributes) {
        if (attribute.place != place) continue;
        ++count;
        Bytes name = Utf16(attribute.name);
        if (place == Place::kExtendedContent) {
            Put(&records, name.size(), 2);
            Append(&records, name);
            Put(&records, static_cast<uint16_t>(attribute.type), 2);
            Put(&records, attribute.value.size(), 2);
        } else {
            Put(&records, attribute.language, 2);
            Put(&records, attribute.stream, 2);
            Put(&records, name.size(), 2);
            Put(&records, static_cast<uint16_t>(attribute.type), 2);
            Put(&records, attribute.value.size(), 4);
            Append(&records, name);
        }
        Append(&records, attribute.value);
    }
    if (count == 0) return Bytes();
    Bytes body;
    Put(&body, count, 2);
    Append(&body, records);
    const char* guid = place == Place::kExtendedContent ? kExtendedContentDescription
                       : place == Place::kMetadata      ? kMetadata
                                                        : kMetadataLibrary;
    return Object(guid, body);
}

Bytes HeaderExtension(const std::vector<Attribute>& attributes) {
    Bytes inner = AttributeObject(attributes, Place::kMetadata);
    Append(&inner, AttributeObject(attributes, Place::kMetadataLibrary));
    Bytes body;
    PutGuid(&body, kReserved1);
    Put(&body, 6, 2);
    Put(&body, inner.size(), 4);
    Append(&body, inner);
    return Object(kHeaderExtension, body);
}

Bytes ContentEncryption() {
    Bytes body;
    Put(&body, 0, 4);  // no secret data
    Put(&body, 4, 4);
    for (char c : {'D', 'R', 'M', '\0'}) body.push_back(static_cast<unsigned char>(c));
    Put(&body, 0, 4);  // no key id
    Put(&body, 0, 4);  // no licence address
    return Object(kContentEncryption, body);
}

Bytes ExtendedContentEncryption() {
    Bytes body;
    Put(&body, 4, 4);
    Append(&body, {1, 2, 3, 4});
    return Object(kExtendedContentEncryption, body);
}

Bytes HeaderObject(const FileLayout& layout, uint64_t fileSize) {
    std::vector<Bytes> children = {FileProperties(layout, fileSize), StreamProperties()};
    if (layout.contentEncryption) children.push_back(ContentEncryption());
    if (layout.extendedContentEncryption) children.push_back(ExtendedContentEncryption());
    if (layout.hasContentDescription) children.push_back(ContentDescriptionObject(layout.content));
    children.push_back(AttributeObject(layout.attributes, Place::kExtendedContent));
    children.push_back(HeaderExtension(layout.attributes));
    Bytes inner;
    uint32_t count = 0;
    for (const Bytes& child : children) {
        count += child.empty() ? 0 : 1;
        Append(&inner, child);
    }
    Bytes body;
    Put(&body, count, 4);
    Append(&body, {0x01, 0x02});
    Append(&body, inner);
    return Object(kHeader, body);
}

// One packet: error correction, parsing information and a single payload
// whose data fills the packet.
Bytes Packet(uint32_t index, uint32_t size) {
    Bytes out = {0x82, 0x00, 0x00, 0x00, 0x5D};
    Put(&out, index * 100, 4);  // send time, ms
    Put(&out, 100, 2);          // duration, ms
    const uint32_t payload = size - 26;
    out.push_back(0x81);  // key frame of stream 1
    out.push_back(static_cast<unsigned char>(index));
    Put(&out, 0, 4);  // offset into the media object
    out.push_back(8);
    Put(&out, payload, 4);      // media object size
    Put(&out, index * 100, 4);  // presentation time
    uint32_t state = index * 2654435761u + 7;
    while (out.size() < size) {
        state = state * 1664525u + 1013904223u;
        out.push_back(static_cast<unsigned char>(state >> 24));
    }
    return out;
}

Bytes DataObject(const FileLayout& layout) {
    Bytes body;
    PutGuid(&body, kFileId);
    Put(&body, layout.packets, 8);
    Append(&body, {0x01, 0x01});
    for (uint32_t i = 0; i < layout.packets; ++i) Append(&body, Packet(i, layout.packetSize));
    return Object(kData, body);
}

Bytes IndexObject(const FileLayout& layout) {
    Bytes body;
    PutGuid(&body, kFileId);
    Put(&body, 10000000, 8);  // one entry a second
    Put(&body, 1, 4);
    const uint32_t entries = layout.packets / 10 + 1;
    Put(&body, entries, 4);
    for (uint32_t i = 0; i < entries; ++i) {
        Put(&body, i * 10, 4);
        Put(&body, 1, 2);
    }
    return Object(kSimpleIndex, body);
}

Bytes Assemble(const FileLayout& layout, uint64_t fileSize) {
    Bytes out = HeaderObject(layout, fileSize);
    if (layout.dataObject) Append(&out, DataObject(layout));
    if (layout.indexObject) Append(&out, IndexObject(layout));
    return out;
}

}  // namespace

Attribute Attribute::Text(std::u16string name, const std::u16string& value, Place place,
                          uint16_t stream) {
    Attribute attribute;
    attribute.name = std::move(name);
    attribute.value = Utf16(value);
    attribute.place = place;
    attribute.stream = stream;
    return attribute;
}

Attribute Attribute::Dword(std::u16string name, uint32_t value, Place place) {
    Attribute attribute;
    attribute.name = std::move(name);
    attribute.type = Type::kDword;
    Put(&attribute.value, value, 4);
    attribute.place = place;
    return attribute;
}

Bytes MakeFile(const FileLayout& layout) {
    // The File Properties object records the file's size: build once to learn it.
    const uint64_t size = Assemble(layout, 0).size();
    return Assemble(layout, size);
}

int64_t DataBodyStart(const FileLayout& layout) {
    if (!layout.dataObject) return -1;
    return static_cast<int64_t>(HeaderObject(layout, 0).size()) + 24;
}

int64_t DataBodyEnd(const FileLayout& layout) {
    if (!layout.dataObject) return -1;
    return DataBodyStart(layout) - 24 + static_cast<int64_t>(kDataHeaderSize) +
           int64_t{layout.packets} * layout.packetSize;
}

}  // namespace asf

std::vector<unsigned char> MakeWmaSample() {
    using asf::Attribute;
    asf::FileLayout layout;
    layout.hasContentDescription = true;
    layout.content.title = u"Morning Tone";
    layout.content.author = u"The Sample Makers";
    layout.content.description = u"Made from code for lytag demo";
    layout.attributes = {
        Attribute::Text(u"WM/AlbumTitle", u"Fixtures"),
        Attribute::Text(u"WM/Year", u"2024"),
        Attribute::Text(u"WM/Genre", u"Ambient"),
        Attribute::Text(u"WM/Track", u"3"),
        Attribute::Text(u"WM/Composer", u"A. Builder"),
        Attribute::Text(u"WMFSDKVersion", u"12.0.7601.17514"),
        Attribute::Text(u"WMFSDKNeeded", u"0.0.0.0000"),
        Attribute::Dword(u"WM/TrackNumber", 4),
    };
    layout.packets = 30;
    layout.indexObject = true;
    return asf::MakeFile(layout);
}
