// Mp4AudioProperties: the sound track's properties of an MP4 file, read from
// its atoms as TagLib's MP4 reader reads them (the first track whose handler
// is "soun": mdhd for the length, stsd for the codec, channels, bits, sample
// rate and bit rate), for a stream that is not a TagLib::MP4::File.
// Immutable once read.
#ifndef LYPARSER_PARSERS_MP4_MP4_AUDIO_PROPERTIES_H
#define LYPARSER_PARSERS_MP4_MP4_AUDIO_PROPERTIES_H

#include <taglib/audioproperties.h>
#include <taglib/tbytevector.h>

namespace TagLib {
class IOStream;
namespace MP4 {
class Atoms;
}
}  // namespace TagLib

class Mp4AudioProperties : public TagLib::AudioProperties {
public:
    enum Codec { kUnknown, kAac, kAlac };

    // Reads through `stream` the atoms `atoms` found in it.
    Mp4AudioProperties(TagLib::IOStream* stream, TagLib::MP4::Atoms* atoms);

    int length() const override { return milliseconds_ / 1000; }
    int bitrate() const override { return bitrate_; }
    int sampleRate() const override { return sampleRate_; }
    int channels() const override { return channels_; }
    int bitsPerSample() const { return bitsPerSample_; }
    Codec codec() const { return codec_; }

private:
    void ReadSampleDescription(const TagLib::ByteVector& data, long long mdatBytes);

    int milliseconds_ = 0;
    int bitrate_ = 0;
    int sampleRate_ = 0;
    int channels_ = 0;
    int bitsPerSample_ = 0;
    Codec codec_ = kUnknown;
};

#endif  // LYPARSER_PARSERS_MP4_MP4_AUDIO_PROPERTIES_H
