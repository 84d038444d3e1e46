#include "parsers/mp4/mp4_format.h"

#include <taglib/mp4atom.h>

#include <algorithm>
#include <vector>

#include "lyParser.h"
#include "parsers/mp4/mp4_audio_properties.h"
#include "parsers/mp4/mp4_items.h"
#include "parsers/shared/spliced_file_stream.h"
#include "parsers/shared/stream_file.h"
#include "parsers/shared/tag_lib_format.h"

namespace {

using TagLib::MP4::Atom;

// The names an MP4 file's first atom has.
const char* const kFirstAtoms[] = {"ftyp", "moov", "mdat", "free", "skip", "wide", "pnot"};

// Free space added behind a list that grows, rounded up to whole KiB, so that
// the next changes fit without moving the audio again.
constexpr unsigned int kPaddingUnit = 1024;

TagLib::ByteVector AtomBytes(const char* name, const TagLib::ByteVector& content) {
    TagLib::ByteVector atom = TagLib::ByteVector::fromUInt(8 + content.size());
    atom.append(name);
    atom.append(content);
    return atom;
}

TagLib::ByteVector FreeAtom(unsigned int size) {
    return AtomBytes("free", TagLib::ByteVector(size - 8, '\0'));
}

// One same-size overwrite of bytes of the original file.
struct Patch {
    int64_t offset;
    TagLib::ByteVector bytes;
};

class Mp4Format : public TagLibFormat {
public:
    ~Mp4Format() override {
        atoms_.reset();  // read through file_
    }

    int FileType() const override { return FILE_TYPE_MP4; }
    bool Read(SplicedFileStream* stream) override;
    TagStore* Store() override { return &items_; }
    const TagLib::AudioProperties* Properties() const override { return properties_.get(); }
    std::string CodecName() const override;
    int BitsPerSample() const override { return properties_ ? properties_->bitsPerSample() : 0; }
    AudioRange Audio() const override { return audio_; }
    bool Write(SplicedFileStream* stream) override;

private:
    int HeaderSize(const Atom* atom);
    bool ResizeParents(const std::vector<Atom*>& parents, int64_t delta,
                       std::vector<Patch>* patches);
    bool MoveChunkOffsets(int64_t after, int64_t delta, std::vector<Patch>* patches);

    SplicedFileStream* stream_ = nullptr;
    std::unique_ptr<StreamFile> file_;
    std::unique_ptr<TagLib::MP4::Atoms> atoms_;
    std::unique_ptr<Mp4AudioProperties> properties_;
    Mp4Items items_;
    AudioRange audio_;
};

int Mp4Format::HeaderSize(const Atom* atom) {
    stream_->seek(atom->offset);
    return stream_->readBlock(4).toUInt() == 1 ? 16 : 8;
}

bool Mp4Format::Read(SplicedFileStream* stream) {
    stream_ = stream;
    stream->seek(0);
    const TagLib::ByteVector head = stream->readBlock(8);
    bool known = false;
    for (const char* name : kFirstAtoms)
        known = known || (head.size() == 8 && head.containsAt(name, 4));
    if (!known) return false;
    file_ = std::make_unique<StreamFile>(stream);
    atoms_ = std::make_unique<TagLib::MP4::Atoms>(file_.get());
    if (!atoms_->find("moov")) return false;
    if (Atom* ilst = atoms_->find("moov", "udta", "meta", "ilst")) {
        const int header = HeaderSize(ilst);
        stream->seek(ilst->offset + header);
        const TagLib::ByteVector data =
            stream->readBlock(static_cast<unsigned long>(std::max<long>(ilst->length - header, 0)));
        items_.Parse(data);
    }
    if (Atom* mdat = atoms_->find("mdat")) {
        const int header = HeaderSize(mdat);
        audio_ = {mdat->offset + header, mdat->offset + std::max<long>(mdat->length, header)};
    }
    properties_ = std::make_unique<Mp4AudioProperties>(stream, atoms_.get());
    return true;
}

std::string Mp4Format::CodecName() const {
    switch (properties_ ? properties_->codec() : Mp4AudioProperties::kUnknown) {
        case Mp4AudioProperties::kAac:
            return "MPEG-4 AAC";
        case Mp4AudioProperties::kAlac:
            return "Apple Lossless (ALAC)";
        default:
            return "MPEG-4";
    }
}

// The size fields of `parents` grown by `delta`.
bool Mp4Format::ResizeParents(const std::vector<Atom*>& parents, int64_t delta,
                              std::vector<Patch>* patches) {
    for (const Atom* atom : parents) {
        stream_->seek(atom->offset);
        const TagLib::ByteVector header = stream_->readBlock(16);
        if (header.size() < 8) return false;
        if (header.toUInt() == 1) {
            if (header.size() < 16) return false;
            patches->push_back({atom->offset + 8,
                                TagLib::ByteVector::fromLongLong(header.toLongLong(8U) + delta)});
            continue;
        }
        const int64_t size = static_cast<int64_t>(header.toUInt()) + delta;
        if (size < 8 || size > 0xFFFFFFFFLL) return false;
        patches->push_back(
            {atom->offset, TagLib::ByteVector::fromUInt(static_cast<unsigned int>(size))});
    }
    return true;
}

// Every chunk offset that points at or behind `after`, moved by `delta`.
// False when a 32-bit offset would overflow.
bool Mp4Format::MoveChunkOffsets(int64_t after, int64_t delta, std::vector<Patch>* patches) {
    std::vector<Atom*> tables;
    for (Atom* top : atoms_->atoms) {
        if (top->name != "moov" && top->name != "moof") continue;
        for (const char* name : {"stco", "co64", "tfhd"}) {
            for (Atom* atom : top->findall(name, true)) tables.push_back(atom);
        }
    }
    for (const Atom* atom : tables) {
        stream_->seek(atom->offset);
        const TagLib::ByteVector data =
            stream_->readBlock(static_cast<unsigned long>(atom->length));
        if (data.size() < 16) continue;
        if (atom->name == "tfhd") {
            if ((data.toUInt(8U) & 1) == 0 || data.size() < 24) continue;
            const long long base = data.toLongLong(16U);
            if (base > after)
                patches->push_back(
                    {atom->offset + 16, TagLib::ByteVector::fromLongLong(base + delta)});
            continue;
        }
        const bool wide = atom->name == "co64";
        const unsigned int width = wide ? 8 : 4;
        const unsigned int count =
            std::min<unsigned int>(data.toUInt(12U), (data.size() - 16) / width);
        // Big-endian entries, written in place: a table may hold a hundred
        // thousand of them.
        TagLib::ByteVector entries = data.mid(16, count * width);
        auto* bytes = reinterpret_cast<unsigned char*>(entries.data());
        for (unsigned int i = 0; i < count; ++i, bytes += width) {
            uint64_t raw = 0;
            for (unsigned int b = 0; b < width; ++b) raw = raw << 8 | bytes[b];
            int64_t offset = static_cast<int64_t>(raw);
            if (offset <= after) continue;
            offset += delta;
            if (!wide && (offset > 0xFFFFFFFFLL || offset < 0)) return false;
            for (unsigned int b = width; b-- > 0; offset >>= 8)
                bytes[b] = static_cast<unsigned char>(offset & 0xFF);
        }
        patches->push_back({atom->offset + 16, entries});
    }
    return true;
}

// True when each atom lies inside the one before it and the first inside
// the file: sizes a save may rely on.
bool Nested(const std::vector<Atom*>& atoms, int64_t fileLength) {
    int64_t begin = 0, end = fileLength;
    for (const Atom* atom : atoms) {
        if (atom->length < 8 || atom->offset < begin || atom->offset + atom->length > end)
            return false;
        begin = atom->offset;
        end = atom->offset + atom->length;
    }
    return true;
}

// Free space behind `data` (a list replacing `replaced` bytes): the rest of
// a whole KiB when the list grows, what it gave up when it shrinks. Returns
// the size of the free atom added; 0 for none.
unsigned int Pad(TagLib::ByteVector* data, int64_t replaced) {
    const int64_t delta = static_cast<int64_t>(data->size()) - replaced;
    unsigned int free = 0;
    if (delta > 0 || (delta < 0 && delta > -8)) {
        const unsigned int grown = data->size() + 8;
        free = 8 + (kPaddingUnit - grown % kPaddingUnit) % kPaddingUnit;
    } else if (delta < 0) {
        free = static_cast<unsigned int>(-delta);
    }
    if (free > 0) data->append(FreeAtom(free));
    return free;
}

// The new list in a new meta atom (and a new udta when `inUdta` is false).
TagLib::ByteVector NewMeta(const TagLib::ByteVector& list, bool inUdta) {
    TagLib::ByteVector handler(8, '\0');
    handler.append("mdirappl");
    handler.append(TagLib::ByteVector(9, '\0'));
    const TagLib::ByteVector meta =
        AtomBytes("meta", TagLib::ByteVector(4, '\0') + AtomBytes("hdlr", handler) + list);
    return inUdta ? meta : AtomBytes("udta", meta);
}

bool Mp4Format::Write(SplicedFileStream* stream) {
    if (!items_.Changed()) return true;
    TagLib::ByteVector list = AtomBytes("ilst", items_.Render());
    std::vector<Atom*> parents;
    int64_t offset = 0, replaced = 0;
    unsigned int free = 0;
    bool inUdta = true;
    TagLib::MP4::AtomList path = atoms_->path("moov", "udta", "meta", "ilst");
    if (path.size() == 4) {
        // The list, and the free atoms right before and after it.
        Atom* ilst = path.back();
        Atom* meta = path[2];
        offset = ilst->offset;
        replaced = ilst->length;
        auto at = meta->children.find(ilst);
        if (!Nested({path[0], path[1], meta, ilst}, stream->length())) return false;
        if (at != meta->children.begin() && (*std::prev(at))->name == "free") {
            if (!Nested({meta, *std::prev(at)}, stream->length())) return false;
            offset = (*std::prev(at))->offset;
            replaced += (*std::prev(at))->length;
        }
        if (std::next(at) != meta->children.end() && (*std::next(at))->name == "free") {
            if (!Nested({meta, *std::next(at)}, stream->length())) return false;
            replaced += (*std::next(at))->length;
        }
        parents = {path[0], path[1], path[2]};
        free = Pad(&list, replaced);
    } else {
        // A new list in a new meta atom (and a new udta when there is none),
        // in front of what moov.udta (or moov) holds.
        free = Pad(&list, 0);
        TagLib::MP4::AtomList udta = atoms_->path("moov", "udta");
        if (udta.size() != 2) {
            udta = atoms_->path("moov");
            inUdta = false;
        }
        for (Atom* atom : udta) parents.push_back(atom);
        if (!Nested(parents, stream->length())) return false;
        offset = udta.back()->offset + HeaderSize(udta.back());
    }
    TagLib::ByteVector data = path.size() == 4 ? list : NewMeta(list, inUdta);
    int64_t delta = static_cast<int64_t>(data.size()) - replaced;
    // Where blocks are shared, the free atom grows so that audio behind the
    // list keeps its offset modulo the block size.
    const Atom* mdat = atoms_->find("mdat");
    const int64_t align = free > 0 && delta != 0 && mdat && mdat->offset > offset
                              ? stream->AlignmentPadding(mdat->offset, 0, delta)
                              : 0;
    if (align > 0 && free + align <= 0xFFFFFFFFLL) {
        const unsigned int at = list.size() - free;
        list.resize(list.size() + static_cast<unsigned int>(align), '\0');
        const TagLib::ByteVector size =
            TagLib::ByteVector::fromUInt(free + static_cast<unsigned int>(align));
        std::copy(size.begin(), size.end(), list.begin() + at);
        data = path.size() == 4 ? list : NewMeta(list, inUdta);
        delta += align;
    }
    std::vector<Patch> patches;
    if (delta != 0 &&
        (!ResizeParents(parents, delta, &patches) || !MoveChunkOffsets(offset, delta, &patches))) {
        return false;
    }
    // Same-size overwrites first, while every offset is still the original's.
    for (const Patch& patch : patches) {
        stream->seek(patch.offset);
        stream->writeBlock(patch.bytes);
    }
    stream->insert(data, static_cast<unsigned long>(offset), static_cast<unsigned long>(replaced));
    return true;
}

}  // namespace

std::unique_ptr<TagLibFormat> MakeMp4Format() { return std::make_unique<Mp4Format>(); }
