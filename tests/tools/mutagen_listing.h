// Everything a file's tags hold as python3-mutagen reads it, in the shape
// lytag's tests compare with: one JSON object per file, each item under its
// key as lytag names it (an ID3v2 frame by mutagen's HashKey, a Vorbis
// comment, MP4 atom or APE item by its name, each value of a key after the
// first as "KEY#2", ...), its text or "(binary)", and each picture as
// "picture:TYPE" ("picture:-" for MP4's untyped images) with its MIME type,
// size and description. The ID3v2 frames of MP3, WAV and AIFF files are under
// "v2" (with "version"), an MP3's ID3v1 fields under "v1". Ogg Vorbis, Opus
// and Windows Media names are upper-cased, their values joined as lyParser
// joins them; an Opus file's METADATA_BLOCK_PICTURE comments are pictures.
// With "show" first, only what lytag show --all lists: no ID3v1, no version,
// no attributes of other streams or types.
#ifndef LYPARSER_TESTS_TOOLS_MUTAGEN_LISTING_H
#define LYPARSER_TESTS_TOOLS_MUTAGEN_LISTING_H

#include <nlohmann/json.hpp>
#include <string>

#include "tests/support/process.h"

inline const char kMutagenListing[] = R"PY(
import sys, json, base64, mutagen
from mutagen.flac import Picture
from mutagen.id3 import ID3, ID3NoHeaderError, ParseID3v1, UrlFrame
from mutagen.apev2 import APEv2, APENoHeaderError
APE_TYPES = ['other', 'icon', 'other icon', 'front', 'back', 'leaflet', 'media', 'lead artist',
             'artist', 'conductor', 'band', 'composer', 'lyricist', 'recording location',
             'during recording', 'during performance', 'video capture', 'fish', 'illustration',
             'band logotype', 'publisher logotype']
show = sys.argv[1] == 'show'
def sniff(data):
    return next((m for magic, m in ((b'\x89PNG', 'image/png'), (b'\xff\xd8\xff', 'image/jpeg'),
                                    (b'GIF8', 'image/gif')) if data.startswith(magic)), '?')
def text(values):
    def one(v):
        if isinstance(v, tuple): return '%d/%d' % v if v[1] else '%d' % v[0]
        if isinstance(v, bytes): return v.decode('utf-8')
        if isinstance(v, bool): return str(int(v))
        return str(v)
    return '; '.join(one(v) for v in values)
def listing(path):
    out, ext = {}, path.rsplit('.', 1)[1].lower()
    def add(key, value, into=None):
        into = out if into is None else into
        k, n = key, 1
        while k in into:
            n += 1
            k = '%s#%d' % (key, n)
        into[k] = value
    def picture(kind, mime, data, desc='', into=None):
        add('picture:%s' % kind, '%s %d %s' % (mime, len(data), desc), into)
    if ext in ('mp3', 'wav', 'aif'):
        try:
            tags = ID3(path, load_v1=False) if ext == 'mp3' else mutagen.File(path).tags
        except ID3NoHeaderError:
            tags = None
        if tags is not None:
            v2 = out['v2'] = {} if show else {'version': '2.%d' % tags.version[1]}
            for frame in tags.values():
                key = frame.HashKey
                if frame.FrameID == 'APIC':
                    picture(int(frame.type), frame.mime, frame.data, frame.desc, v2)
                    continue
                if frame.FrameID == 'PRIV': key = 'PRIV:' + frame.owner
                if isinstance(frame, UrlFrame):
                    value = frame.url
                    if frame.FrameID != 'WXXX': key = frame.FrameID
                elif frame.FrameID == 'USLT': value = frame.text
                elif isinstance(getattr(frame, 'text', None), list): value = text(frame.text)
                else: value = '(binary)'
                add(key, value, v2)
            if not v2: del out['v2']
        v1 = ParseID3v1(open(path, 'rb').read()[-128:]) if ext == 'mp3' and not show else None
        if v1: out['v1'] = {key: str(frame) for key, frame in v1.items() if str(frame)}
    elif ext in ('ogg', 'opus', 'wma'):
        grouped = {}
        for key, value in mutagen.File(path).tags or []:
            if ext == 'opus' and key.upper() == 'METADATA_BLOCK_PICTURE':
                p = Picture(base64.b64decode(value))
                picture(int(p.type), p.mime, p.data, p.desc)
                continue
            other = getattr(value, 'TYPE', 0) or getattr(value, 'stream', 0)
            if other and show or not str(value): continue
            value = '%s:%s' % (type(value).__name__, value) if other else str(value)
            grouped.setdefault(key.upper(), []).append(value)
        for key, values in grouped.items(): add(key, (';' if ext == 'wma' else '; ').join(values))
    elif ext == 'flac':
        f = mutagen.File(path)
        for key, value in f.tags or []: add(key, value)
        for p in f.pictures: picture(int(p.type), p.mime, p.data, p.desc)
    elif ext == 'm4a':
        for key, values in (mutagen.File(path).tags or {}).items():
            values = values if isinstance(values, list) else [values]
            if key == 'covr':
                for cover in values: picture('-', sniff(bytes(cover)), cover)
                continue
            opaque = any(getattr(v, 'dataformat', 1) == 0 and b'\0' in v for v in values)
            add(key, '(binary)' if opaque else text(values))
    else:
        try:
            tags = APEv2(path)
        except APENoHeaderError:
            tags = {}
        for key, value in tags.items():
            if value.kind == 1 and key.lower().startswith('cover art ('):
                data = value.value[value.value.index(b'\0') + 1:]
                picture(APE_TYPES.index(key.lower()[11:-1]), sniff(data), data)
            else:
                add(key, '(binary)' if value.kind == 1 else '; '.join(str(value).split('\0')))
    return out
sys.stdout.reconfigure(encoding='utf-8')
print(json.dumps({p: listing(p) for p in sys.argv[2:]}, ensure_ascii=False))
)PY";

// mutagen's listing of each of `paths`, by path; "show" limits it to what
// lytag show --all lists.
inline nlohmann::json MutagenListing(const std::vector<std::string>& paths, bool show = false) {
    std::vector<std::string> args = {show ? "show" : "all"};
    args.insert(args.end(), paths.begin(), paths.end());
    CommandResult result = RunPython(kMutagenListing, args);
    return nlohmann::json::parse(result.status == 0 ? result.out : "null");
}

#endif  // LYPARSER_TESTS_TOOLS_MUTAGEN_LISTING_H
