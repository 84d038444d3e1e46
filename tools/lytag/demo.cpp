// lytag demo: makes sample files of every kind the module serves in a
// temporary folder, shows what the module finds in each, and removes them.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>

#include "tools/lytag/command_line.h"
#include "tools/lytag/file_check.h"
#include "tools/lytag/file_report.h"
#include "tools/lytag/lytag.h"
#include "tools/samples/flac_sample.h"
#include "tools/samples/mp4_sample.h"
#include "tools/samples/mpeg_sample.h"
#include "tools/samples/ogg_sample.h"
#include "tools/samples/wav_sample.h"
#include "tools/samples/wma_sample.h"

namespace {

using Bytes = std::vector<unsigned char>;

struct DemoSample {
    const char* name;
    const char* about;
    std::function<Bytes()> make;
};

Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// One entry per sample; formats add theirs here.
const std::vector<DemoSample>& Samples() {
    static const std::vector<DemoSample> samples = {
        {"morning.mp3", "an MP3 file: ID3v1 and ID3v2 tags, MPEG frame properties and audio range",
         [] { return MakeMp3Sample(); }},
        {"evening.ogg", "an Ogg Vorbis file: Vorbis comments, stream properties and audio range",
         [] { return MakeOggSample(); }},
        {"noon.flac", "a FLAC file: Vorbis comments, stream properties and audio range",
         [] {
             return MakeFlac(
                 {{4, FlacComments({"TITLE=Noon", "ARTIST=The Demo Players", "ALBUM=lytag demo",
                                    "DATE=2026", "TRACKNUMBER=2/3", "GENRE=Ambient"})}});
         }},
        {"dusk.m4a", "an MP4 (M4A) file: its metadata list, AAC properties and audio range",
         [] {
             Mp4Layout layout;
             layout.items = {Mp4TextItem("\xa9nam", "Dusk"),
                             Mp4TextItem("\xa9"
                                         "ART",
                                         "The Demo Players"),
                             Mp4TextItem("\xa9"
                                         "alb",
                                         "lytag demo"),
                             Mp4TextItem("\xa9"
                                         "day",
                                         "2026")};
             return MakeMp4(layout);
         }},
        {"night-tone.opus", "an Opus file: Vorbis comments, the output gain and audio range",
         [] { return MakeOpusSample(); }},
        {"tone.wav", "a WAVE file: its ID3v2 chunk (none yet), PCM properties and audio range",
         [] { return MakeWavTone(2.5); }},
        {"night.wma", "a Windows Media file: string attributes, audio range and protection",
         [] { return MakeWmaSample(); }},
        {"notes.txt", "any other readable file opens through the fallback too",
         [] { return TextBytes("not audio\n"); }},
        {"backup.zip", "archives are refused", [] { return TextBytes("PK\x03\x04"); }},
        {"README", "so are names without an extension", [] { return TextBytes("read me\n"); }},
    };
    return samples;
}

const CommandInfo kDemoCommand = {
    "lytag demo [--keep]",
    "Makes sample files in a temporary folder, shows what the module finds in\n"
    "each, and removes the folder.",
    {{"keep", 0, nullptr, "leave the folder and print its name"}},
    ""};

bool WriteSample(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()),
              static_cast<std::streamsize>(data.size()));
    return static_cast<bool>(out);
}

}  // namespace

int DemoCommand(const std::vector<std::string>& args) {
    CommandLine line;
    if (int status = ParseCommandLine("demo", kDemoCommand, args, &line); status >= 0)
        return status;
    if (!line.operands.empty())
        return UsageError("demo: unexpected argument '" + line.operands[0] + "'");
    const bool keep = line.Has("keep");
    std::string folder =
        (std::filesystem::temp_directory_path() / "lytag-demo-").string() + std::string(6, 'X');
    if (!mkdtemp(folder.data())) {
        std::cerr << "lytag: cannot create a temporary folder\n";
        return kExitFileFailed;
    }
    int status = kExitOk;
    for (const auto& sample : Samples()) {
        std::string path = folder + "/" + sample.name;
        std::cout << "== " << sample.name << ": " << sample.about << '\n';
        if (!WriteSample(path, sample.make())) {
            std::cerr << "lytag: cannot write " << path << '\n';
            status = kExitFileFailed;
            continue;
        }
        FileReport report;
        if (const std::string problem = ReadReport(path, false, &report); problem.empty()) {
            PrintReport(report, std::cout);
        } else {
            std::cout << path << "\n  refused: " << problem << '\n';
        }
        std::cout << '\n';
    }
    if (DemoAudioCd(folder) != kExitOk) status = kExitFileFailed;
    if (keep) {
        std::cout << "Samples kept in " << folder << '\n';
    } else {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    return status;
}
