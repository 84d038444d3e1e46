// The formats beyond MP3, Ogg and WMA (FLAC, MP4, WAV, AIFF, WavPack,
// Musepack, Monkey's Audio) through the exports, on real files from TagLib's
// and mutagen's test data: every value read and every save checked against
// python3-mutagen, the audio digest across saves, bounded reads, names that
// lie, and saves that change nothing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <nlohmann/json.hpp>
#include <tuple>

#include "tests/parsers/parser_test_files.h"
#include "tests/support/module_test.h"
#include "tests/support/process.h"
#include "tools/samples/mpeg_sample.h"

namespace {

// Prints, for each file, the fields a player sees as mutagen reads them
// (the comment, lyrics and URL of ID3v2 from frames without a description;
// APE items by every key taggers use), the shown picture, the entries no
// field covers, and the audio properties.
const char kMutagenScript[] = R"PY(
import sys, json, hashlib, mutagen
from mutagen.apev2 import APEv2, APENoHeaderError
from mutagen.id3 import ID3, ID3NoHeaderError
IDS = [0, 1, 2, 3, 4, 5, 6, 14, 15, 16, 17, 18, 26, 32, 35]
VORBIS = ['TITLE', 'ARTIST', 'ALBUM', 'DATE', 'GENRE', None, 'TRACKNUMBER', 'COMPOSER',
          'ORIGINALARTIST', 'COPYRIGHT', 'URL', 'ENCODEDBY', 'LYRICS', 'BPM', 'DISCNUMBER']
MP4 = ['\xa9nam', '\xa9ART', '\xa9alb', '\xa9day', '\xa9gen', '\xa9cmt', 'trkn', '\xa9wrt',
       '----:com.apple.iTunes:ORIGINALARTIST', 'cprt', '----:com.apple.iTunes:URL', '\xa9too',
       '\xa9lyr', 'tmpo', 'disk']
ID3F = ['TIT2', 'TPE1', 'TALB', 'TDRC', 'TCON', 'COMM', 'TRCK', 'TCOM', 'TOPE', 'TCOP', 'WXXX',
        'TENC', 'USLT', 'TBPM', 'TPOS']
APE = [['title'], ['artist'], ['album'], ['year', 'date'], ['genre'], ['comment'],
       ['track', 'tracknumber'], ['composer'], ['originalartist'], ['copyright'], ['url'],
       ['encodedby'], ['lyrics'], ['bpm'], ['disc', 'discnumber']]
KINDS = {'flac': 'flac.FLAC', 'm4a': 'mp4.MP4', 'wav': 'wave.WAVE', 'aif': 'aiff.AIFF',
         'wv': 'wavpack.WavPack', 'mpc': 'musepack.Musepack', 'ape': 'monkeysaudio.MonkeysAudio'}
def picture(mime, data):
    if not mime:
        mime = 'image/png' if data[:4] == b'\x89PNG' else 'image/jpeg'
    return '%s %d:%s' % (mime, len(data), hashlib.md5(data).hexdigest())
def joined(values): return '; '.join(v for v in values if v)
def vorbis(tags):
    return {i: joined(tags.get(k) or [] if k else tags.get('DESCRIPTION') or tags.get('COMMENT') or [])
            for i, k in zip(IDS, VORBIS)}
def mp4(tags):
    def text(v):
        if isinstance(v, tuple): return '%d/%d' % v if v[1] else '%d' % v[0] if v[0] else ''
        return v.decode('utf-8') if isinstance(v, bytes) else str(v)
    return {i: joined(text(v) for v in tags.get(k) or (tags.get('gnre') if k == '\xa9gen' else []) or [])
            for i, k in zip(IDS, MP4)}
def id3(tags):
    out = {}
    for i, k in zip(IDS, ID3F):
        if k in ('COMM', 'USLT', 'WXXX'):
            values = [f.url if k == 'WXXX' else str(f) for f in tags.getall(k) if f.desc == '']
        elif k == 'TCON':
            values = tags['TCON'].genres if 'TCON' in tags else []
        else:
            values = [str(t) for t in tags[k].text] if k in tags else []
        out[i] = joined(values)
    return out
def ape(tags):
    lower = {k.lower(): v for k, v in tags.items() if v.kind == 0}
    return {i: next((joined(str(lower[k]).split('\0')) for k in keys if k in lower), '')
            for i, keys in zip(IDS, APE)}
def report(path):
    kind = KINDS[path.rsplit('.', 1)[1]]
    try:
        module, name = kind.split('.')
        f = getattr(__import__('mutagen.' + module, fromlist=[name]), name)(path)
    except mutagen.MutagenError:
        f = None
    r = {'pictures': 0, 'picture': '', 'others': []}
    if kind == 'flac.FLAC':
        r['fields'] = vorbis(f.tags or {})
        pics = f.pictures
        used = set(VORBIS + ['DESCRIPTION', 'COMMENT'])
        r['others'] = [k + '=' + v for k, v in (f.tags or []) if k.upper() not in used]
        r['others'] += ['block %d %s' % (b.code, hashlib.md5(b.write()).hexdigest())
                        for b in f.metadata_blocks if b.code not in (1, 4, 6)]
        pics = [(p.type, p.mime, p.data) for p in pics]
    elif kind == 'mp4.MP4':
        r['fields'] = mp4(f.tags or {})
        pics = [(3, {14: 'image/png', 13: 'image/jpeg'}.get(c.imageformat), bytes(c))
                for c in (f.tags or {}).get('covr', [])[:1]] + [(0, '', b'')] * max(
                0, len((f.tags or {}).get('covr', [])) - 1)
        r['others'] = ['%s=%r' % kv for kv in sorted((f.tags or {}).items())
                       if kv[0] not in MP4 + ['covr', 'gnre']]
    elif kind in ('wave.WAVE', 'aiff.AIFF'):
        tags = f.tags or ID3()
        r['fields'] = id3(tags)
        pics = [(p.type, p.mime, p.data) for p in tags.getall('APIC')]
        r['others'] = sorted(repr(v) for k, v in tags.items() if k[:4] not in ID3F + ['APIC']
                             or k[:4] in ('COMM', 'USLT', 'WXXX') and v.desc)
    else:
        try:
            tags = APEv2(path)
        except APENoHeaderError:
            tags = {}
        r['fields'] = ape(tags)
        try:
            r['id3v2'] = id3(ID3(path))
            r['fields'] = {i: r['fields'][i] or r['id3v2'][i] for i in IDS}
        except ID3NoHeaderError:
            pass
        covers = sorted((k.lower() != 'cover art (front)', k) for k, v in tags.items()
                        if k.lower().startswith('cover art (') and v.kind == 1)
        pics = [(3, '', tags[k].value[tags[k].value.index(b'\0') + 1:]) for _, k in covers]
        r['others'] = sorted('%s=%r' % (k, v.value) for k, v in tags.items()
                             if not any(k.lower() in keys for keys in APE)
                             and not k.lower().startswith('cover art ('))
    if pics:
        r['picture'] = picture(*next((p for p in pics if p[0] == 3), pics[0])[1:])
        r['pictures'] = len(pics)
    if f is not None:
        r['info'] = '%d %d %d' % (f.info.length, f.info.sample_rate, f.info.channels)
    return r
sys.stdout.reconfigure(encoding='utf-8')
print(json.dumps({p: report(p) for p in sys.argv[1:]}, ensure_ascii=False))
)PY";

const int kFieldIds[] = {0, 1, 2, 3, 4, 5, 6, 14, 15, 16, 17, 18, 26, 32, 35};

struct TestFile {
    const char* name;  // in tests/data
    int type;
};

const TestFile kFiles[] = {
    {"silence-44-s.flac", FILE_TYPE_FLAC},
    {"multiple-vc.flac", FILE_TYPE_FLAC},
    {"has-tags.m4a", FILE_TYPE_MP4},
    {"alac.m4a", FILE_TYPE_MP4},
    {"silence-2s-PCM-16000-08-ID3v23.wav", FILE_TYPE_WAV},
    {"with-id3.aif", FILE_TYPE_AIFF},
    {"silence-44-s.wv", FILE_TYPE_WAVPACK},
    {"click.mpc", FILE_TYPE_MUSEPACK},
    {"mac-399-id3v2.ape", FILE_TYPE_MUSEPACK},
};

class TagLibFormatsTest : public ModuleTest {
protected:
    void SetUp() override {
        if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is missing (./dev.sh installs it)";
    }

    // A copy of every data file in the test's folder.
    std::vector<std::string> CopyFiles() {
        std::vector<std::string> paths;
        for (const TestFile& file : kFiles)
            paths.push_back(dir_.Write(file.name, DataFile(file.name)));
        return paths;
    }

    static nlohmann::json Mutagen(const std::vector<std::string>& paths) {
        CommandResult result = RunPython(kMutagenScript, paths);
        EXPECT_EQ(result.status, 0) << result.err;
        return nlohmann::json::parse(result.out.empty() ? "{}" : result.out);
    }

    // The fields, picture and properties as lines, from mutagen's report.
    static std::string Expected(const nlohmann::json& report) {
        std::string lines;
        for (int id : kFieldIds)
            lines += std::to_string(id) + "=" +
                     report["fields"][std::to_string(id)].get<std::string>() + "\n";
        lines += "picture=" + report["picture"].get<std::string>() + "\n";
        if (report.contains("info")) lines += "info=" + report["info"].get<std::string>() + "\n";
        return lines;
    }

    // The same lines from the module's answers.
    static std::string Answers(IBaseTag* handle, bool info) {
        std::string lines;
        for (int id : kFieldIds)
            lines += std::to_string(id) + "=" + TagParserGetData(handle, id) + "\n";
        std::string label = TagParserGetData(handle, FIELD_PICTURE), picture;
        if (!label.empty()) {
            Bytes data(std::stoul(TagParserGetData(handle, FIELD_PICTURE_INFO)));
            EXPECT_EQ(TagParserGetAttachedPictureData(handle, data.data()),
                      static_cast<int>(data.size()));
            picture = label.substr(label.find('[') + 1, label.find(']') - label.find('[') - 1) +
                      " " + std::to_string(data.size()) + ":" + Md5sum(data);
        }
        lines += "picture=" + picture + "\n";
        if (info) {
            const std::string channels = TagParserGetFileInfo(handle, INFO_AUDIO_CHANNELS);
            lines += "info=" + TagParserGetFileInfo(handle, INFO_LENGTH_SECONDS) + " " +
                     TagParserGetFileInfo(handle, INFO_AUDIO_SAMPLE_RATE) + " " +
                     (channels == "MONO" ? "1" : "2") + "\n";
        }
        return lines;
    }
};

// Setting a field to what it reads changes nothing, and a save with nothing
// to change leaves the file alone.
TEST_F(TagLibFormatsTest, ReadsWhatMutagenReadsAndASaveOfTheSameWritesNothing) {
    const std::vector<std::string> paths = CopyFiles();
    const nlohmann::json reports = Mutagen(paths);
    for (size_t i = 0; i < paths.size(); ++i) {
        const std::string state = FileState(paths[i]);
        OpenedFile file(paths[i]);
        ASSERT_NE(file.get(), nullptr) << paths[i];
        EXPECT_EQ(TagParserGetFileType(file.get()), kFiles[i].type) << paths[i];
        const nlohmann::json& report = reports[paths[i]];
        EXPECT_EQ(Answers(file.get(), report.contains("info")), Expected(report)) << paths[i];
        // One tag answers both sets of fields.
        for (int id = FIELD_TITLE; id <= FIELD_TRACK; ++id)
            EXPECT_EQ(TagParserGetData(file.get(), id + 7), TagParserGetData(file.get(), id));
        for (int id : {FIELD_TITLE, FIELD_ARTIST2, FIELD_TRACK, FIELD_COMMENT})
            EXPECT_EQ(TagParserSetDataW(file.get(), id, TagParserGetDataW(file.get(), id).c_str()),
                      1);
        EXPECT_EQ(TagParserApplyFile(file.get()), 1);
        EXPECT_EQ(FileState(paths[i]), state) << paths[i];
    }
}

// What a save sets on every format: text outside Latin-1 and the Basic
// Multilingual Plane, a value holding "; ", numbers as the formats keep them,
// and a removal; besides, a new front cover. Each value, then its UTF-8 form
// where it is not ASCII.
const std::tuple<int, const wchar_t*, const char*> kChanges[] = {
    {FIELD_TITLE2, L"Nuevo t\u00edtulo \U0001F3B5", "Nuevo t\xC3\xADtulo \xF0\x9F\x8E\xB5"},
    {FIELD_ARTIST, L"One; Two", nullptr},
    {FIELD_ALBUM, L"", nullptr},
    {FIELD_YEAR2, L"1999", nullptr},
    {FIELD_GENRE, L"Jazz", nullptr},
    {FIELD_COMMENT2, L"A comment", nullptr},
    {FIELD_TRACK, L"3/12", nullptr},
    {FIELD_COMPOSER, L"Bach", nullptr},
    {FIELD_ORIGINAL_ARTIST, L"Orig", nullptr},
    {FIELD_COPYRIGHT, L"(c) 2024", nullptr},
    {FIELD_URL, L"http://example.org/", nullptr},
    {FIELD_ENCODED_BY, L"lyParser", nullptr},
    {FIELD_LYRICS, L"la la\nla", nullptr},
    {FIELD_BPM, L"120", nullptr},
    {FIELD_DISC, L"1/2", nullptr},
};

// A PNG as far as its signature goes.
const Bytes kPng = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};

// Every change is taken but one: a WAV field its INFO chunk holds too cannot
// be removed (the INFO chunk is never written). Mutagen then reads exactly
// the changes, and every entry, block and picture no change touched as it was.
TEST_F(TagLibFormatsTest, SavesReadBackInMutagenAndKeepEverythingElse) {
    const std::vector<std::string> paths = CopyFiles();
    const std::string cover = dir_.Write("cover.png", kPng);
    const nlohmann::json before = Mutagen(paths);
    nlohmann::json expected = before;
    for (size_t i = 0; i < paths.size(); ++i) {
        nlohmann::json& wanted = expected[paths[i]];
        OpenedFile file(paths[i]);
        for (const auto& [id, value, utf8] : kChanges) {
            const bool taken = TagParserSetDataW(file.get(), id, value) == 1;
            EXPECT_EQ(taken, kFiles[i].type != FILE_TYPE_WAV || id != FIELD_ALBUM)
                << paths[i] << " " << id;
            const std::wstring ascii = value;
            if (taken)
                wanted["fields"][std::to_string(id > FIELD_TRACK2 ? id : id % 7)] =
                    utf8 ? utf8 : std::string(ascii.begin(), ascii.end());
        }
        TagParserSetData(file.get(), FIELD_PICTURE, cover.c_str());  // narrow: answers 0
        wanted["picture"] = "image/png " + std::to_string(kPng.size()) + ":" + Md5sum(kPng);
        wanted["pictures"] = std::max(1, before[paths[i]]["pictures"].get<int>());
        EXPECT_EQ(TagParserApplyFile(file.get()), 1) << paths[i];
    }
    const nlohmann::json after = Mutagen(paths);
    for (const std::string& path : paths) {
        for (const char* key : {"fields", "picture", "pictures", "others"})
            EXPECT_EQ(after[path][key], expected[path][key]) << path << " " << key;
        // An ID3v2 tag beside the APE tag is kept in step.
        if (before[path].contains("id3v2")) {
            EXPECT_EQ(after[path]["id3v2"], expected[path]["fields"]) << path;
        }
        OpenedFile file(path);
        EXPECT_EQ(Answers(file.get(), after[path].contains("info")), Expected(after[path])) << path;
        EXPECT_EQ(TagParserDeleteAttachedPicture(file.get()), 1);
        EXPECT_EQ(TagParserApplyFile(file.get()), 1);
    }
    const nlohmann::json without = Mutagen(paths);
    for (const std::string& path : paths) EXPECT_EQ(without[path]["pictures"], 0) << path;
}

// The audio bytes GetSourceLength names, and the digest of them.
std::pair<Bytes, std::string> Audio(const std::string& path) {
    OpenedFile file(path);
    const Bytes bytes = ReadBytes(path);
    auto [start, count, size] = RangeOf(file.get());
    EXPECT_EQ(size, static_cast<int>(bytes.size()));
    EXPECT_LE(static_cast<size_t>(start + count), bytes.size());
    // Asked for more, the digest still stops where the audio does.
    int more = count + 4096;
    const std::string digest = TagParserGetMD5(file.get(), &start, &more);
    EXPECT_EQ(TagParserGetMD5(file.get(), &start, &count), digest);
    return {Bytes(bytes.begin() + start, bytes.begin() + start + count), digest};
}

// The audio digest is what a player tells songs by: a save that grows the tag
// and one that fits in the room the tag has leave the audio, and its digest,
// as they were.
TEST_F(TagLibFormatsTest, AudioAndItsDigestStayWhenTagsChange) {
    for (const std::string& path : CopyFiles()) {
        const auto original = Audio(path);
        ASSERT_FALSE(original.first.empty()) << path;
        EXPECT_EQ(original.second, Md5sum(original.first, 0, 163840)) << path;
        for (const bool grows : {true, false}) {
            const size_t size = ReadBytes(path).size();
            OpenedFile file(path);
            TagParserSetDataW(file.get(), FIELD_LYRICS,
                              std::wstring(grows ? 70000 : 70001, L'l').c_str());
            ASSERT_EQ(TagParserApplyFile(file.get()), 1) << path;
            const size_t now = ReadBytes(path).size();
            const int type = TagParserGetFileType(file.get());
            // An APE tag has no room to spare: it grows by what the value does.
            const bool room = type != FILE_TYPE_WAVPACK && type != FILE_TYPE_MUSEPACK;
            EXPECT_TRUE(grows ? now > size : !room || now == size) << path;
            EXPECT_EQ(Audio(path), original) << path << (grows ? " grown" : " in the padding");
        }
    }
}

// A file of zeros, or one of noise, of 4 GiB (sparse: nothing on disk) opens
// through the fallback parser whatever its name, and opening it reads little.
TEST_F(TagLibFormatsTest, LargeFilesOfZerosOrNoiseAreReadBoundedly) {
    for (const char* ending :
         {"flac", "m4a", "m4b", "mp4", "wav", "aif", "aiff", "wv", "mpc", "ape"}) {
        for (const bool noise : {false, true}) {
            const std::string path =
                dir_.Write(std::string("big.") + ending, noise ? PatternBytes(1 << 20) : Bytes());
            ASSERT_EQ(truncate(path.c_str(), 4LL << 30), 0);
            const long long before = BytesReadSoFar();
            {
                OpenedFile file(path);
                ASSERT_NE(file.get(), nullptr) << path;
                EXPECT_EQ(TagParserGetFileType(file.get()), FILE_TYPE_UNKNOWN) << path;
                int start = 0, end = 0;
                TagParserGetSourceLength(file.get(), &start, &end);
                TagParserGetData(file.get(), FIELD_TITLE);
                TagParserGetFileInfo(file.get(), INFO_REPORT);
            }
            EXPECT_LT(BytesReadSoFar() - before, 8 << 20) << path << (noise ? " noise" : " zeros");
            unlink(path.c_str());
        }
    }
}

// A name that lies is read for what the content is; content none of these
// formats reads falls back as any other file does.
TEST_F(TagLibFormatsTest, ContentDecidesTheFormatAndUnreadableFilesFallBack) {
    const Bytes flac = DataFile("silence-44-s.flac");
    const std::tuple<Bytes, const char*, int> cases[] = {
        {flac, "flac.m4a", FILE_TYPE_FLAC},
        {DataFile("has-tags.m4a"), "m4a.flac", FILE_TYPE_MP4},
        {DataFile("silence-44-s.wv"), "wv.mpc", FILE_TYPE_WAVPACK},
        {DataFile("with-id3.aif"), "aif.wav", FILE_TYPE_AIFF},
        {DataFile("mac-399-id3v2.ape"), "ape.mpc", FILE_TYPE_MUSEPACK},
        {MakeMp3Sample(), "mp3.flac", FILE_TYPE_UNKNOWN},
        {Bytes(flac.begin(), flac.begin() + 100), "cut.flac", FILE_TYPE_UNKNOWN},
        {PatternBytes(5000), "noise.wav", FILE_TYPE_UNKNOWN},
    };
    for (const auto& [content, name, type] : cases) {
        OpenedFile file(dir_.Write(name, content));
        ASSERT_NE(file.get(), nullptr) << name;
        EXPECT_EQ(TagParserGetFileType(file.get()), type) << name;
    }
}

// An ID3v1 tag behind a FLAC or APE tag answers what that tag lacks, and a
// change reaches it too, so that it is never left stale.
TEST_F(TagLibFormatsTest, Id3v1TagsBesideTheTagAreKeptInStep) {
    const Bytes id3v1 = MakeId3v1Tag("Old title", "Old artist", "", "1990", "", 0, 255);
    for (const char* name : {"silence-44-s.flac", "silence-44-s.wv", "click.mpc"}) {
        Bytes data = DataFile(name);
        data.insert(data.end(), id3v1.begin(), id3v1.end());
        const std::string path = dir_.Write(name, data);
        {
            OpenedFile file(path);
            EXPECT_EQ(TagParserGetData(file.get(), FIELD_YEAR),
                      name == std::string("click.mpc") ? "1990" : "2004");
            EXPECT_EQ(TagParserSetDataW(file.get(), FIELD_TITLE, L"New title"), 1);
            EXPECT_EQ(TagParserApplyFile(file.get()), 1);
        }
        const Bytes saved = ReadBytes(path);
        EXPECT_EQ(Bytes(saved.end() - 128, saved.end()),
                  MakeId3v1Tag("New title", "Old artist", "", "1990", "", 0, 255))
            << name;
        OpenedFile file(path);
        EXPECT_EQ(TagParserGetData(file.get(), FIELD_TITLE2), "New title") << name;
    }
}

}  // namespace
