#include "parsers/mp4/mp4_audio_properties.h"

#include <taglib/mp4atom.h>
#include <taglib/tiostream.h>

#include <climits>

namespace {

TagLib::ByteVector AtomData(TagLib::IOStream* stream, const TagLib::MP4::Atom* atom) {
    stream->seek(atom->offset);
    return stream->readBlock(static_cast<unsigned long>(atom->length));
}

// An MPEG-4 descriptor's size may be written with up to three 0x80 bytes first.
unsigned int SkipSizePrefix(const TagLib::ByteVector& data, unsigned int at) {
    return data.containsAt("\x80\x80\x80", at) ? at + 3 : at;
}

}  // namespace

Mp4AudioProperties::Mp4AudioProperties(TagLib::IOStream* stream, TagLib::MP4::Atoms* atoms)
    : TagLib::AudioProperties(Average) {
    TagLib::MP4::Atom* moov = atoms->find("moov");
    if (!moov) return;
    TagLib::MP4::Atom* track = nullptr;
    for (TagLib::MP4::Atom* trak : moov->findall("trak")) {
        TagLib::MP4::Atom* handler = trak->find("mdia", "hdlr");
        if (handler && AtomData(stream, handler).containsAt("soun", 16)) {
            track = trak;
            break;
        }
    }
    TagLib::MP4::Atom* mediaHeader = track ? track->find("mdia", "mdhd") : nullptr;
    if (!mediaHeader) return;
    const TagLib::ByteVector header = AtomData(stream, mediaHeader);
    long long unit = 0, duration = 0;
    if (header.size() >= 44 && header.at(8) == 1) {
        unit = header.toUInt(28U);
        duration = header.toLongLong(32U);
    } else if (header.size() >= 32 && header.at(8) != 1) {
        unit = header.toUInt(20U);
        duration = header.toUInt(24U);
    }
    if (unit > 0 && duration > 0) {
        // A header may claim any length: longer than an int counts is the longest.
        const double milliseconds = static_cast<double>(duration) * 1000.0 / unit + 0.5;
        milliseconds_ = milliseconds < INT_MAX ? static_cast<int>(milliseconds) : INT_MAX;
    }
    long long mdatBytes = 0;
    for (const TagLib::MP4::Atom* atom : atoms->atoms) {
        if (atom->name == "mdat") mdatBytes += atom->length;
    }
    if (TagLib::MP4::Atom* description = track->find("mdia", "minf", "stbl", "stsd"))
        ReadSampleDescription(AtomData(stream, description), mdatBytes);
}

void Mp4AudioProperties::ReadSampleDescription(const TagLib::ByteVector& data,
                                               long long mdatBytes) {
    // Without a nominal bit rate: the audio's bits over the length.
    const long long fromLength = milliseconds_ > 0 ? mdatBytes * 8 / milliseconds_ : 0;
    if (data.containsAt("mp4a", 20) && data.size() >= 50) {
        codec_ = kAac;
        channels_ = data.toShort(40U);
        bitsPerSample_ = data.toShort(42U);
        sampleRate_ = static_cast<int>(data.toUInt(46U));
        if (!data.containsAt("esds", 56) || data.size() < 65 || data.at(64) != 0x03) return;
        unsigned int at = SkipSizePrefix(data, 65) + 4;
        if (at >= data.size() || data.at(at) != 0x04) return;
        at = SkipSizePrefix(data, at + 1) + 10;
        if (at + 4 > data.size()) return;
        const unsigned int average = data.toUInt(at);
        bitrate_ = average != 0 || milliseconds_ <= 0
                       ? static_cast<int>((average + 500) / 1000.0 + 0.5)
                       : static_cast<int>(fromLength);
    } else if (data.containsAt("alac", 20) && data.size() == 88 && data.containsAt("alac", 56)) {
        codec_ = kAlac;
        bitsPerSample_ = static_cast<unsigned char>(data.at(69));
        channels_ = static_cast<unsigned char>(data.at(73));
        bitrate_ = static_cast<int>(data.toUInt(80U) / 1000.0 + 0.5);
        sampleRate_ = static_cast<int>(data.toUInt(84U));
        if (bitrate_ == 0) bitrate_ = static_cast<int>(fromLength);
    }
}
