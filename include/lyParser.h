// lyParser: the tag-parsing module's public interface.
//
// A host calls TagParserInitialize once with its audio engine, opens files to
// obtain handles, reads and changes fields through them, writes changes back
// with TagParserApplyFile, closes every handle with TagParserCloseFile and
// calls TagParserFinalize last. Failure is reported only as a null handle, 0
// or an empty text; no exception ever leaves these functions.
//
// Threads: the functions take no lock and may be called from any thread, but
// calls on the same handle must not overlap.
//
// Text: narrow text is in the multibyte encoding of the calling thread's
// LC_CTYPE locale (UTF-8 under the plain C locale); wide text holds one
// wchar_t per character.
//
// The host guide describes every export, field and kind: share/doc/lyparser/
// host-guide.md under the install prefix (docs/host-guide.md in the sources).
#ifndef LYPARSER_H
#define LYPARSER_H

#include <string>

#include "lyCenter.h"

// The module's version: the major number is the SONAME's (liblyParser.so.1).
#define LYPARSER_VERSION_MAJOR 1
#define LYPARSER_VERSION_MINOR 2
#define LYPARSER_VERSION_PATCH 0
#define LYPARSER_VERSION_STRING "1.2.0"

#if defined(__GNUC__)
#define LYPARSER_API __attribute__((visibility("default")))
#else
#define LYPARSER_API
#endif

#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wreturn-type-c-linkage"
#endif

class IBaseTag;  // an open file; opaque to the host

// Field identifiers for TagParserGetData / TagParserSetData.
enum {
    FIELD_TITLE = 0,
    FIELD_ARTIST = 1,
    FIELD_ALBUM = 2,
    FIELD_YEAR = 3,
    FIELD_GENRE = 4,
    FIELD_COMMENT = 5,
    FIELD_TRACK = 6,
    FIELD_TITLE2 = 7,
    FIELD_ARTIST2 = 8,
    FIELD_ALBUM2 = 9,
    FIELD_YEAR2 = 10,
    FIELD_GENRE2 = 11,
    FIELD_COMMENT2 = 12,
    FIELD_TRACK2 = 13,
    FIELD_COMPOSER = 14,
    FIELD_ORIGINAL_ARTIST = 15,
    FIELD_COPYRIGHT = 16,
    FIELD_URL = 17,
    FIELD_ENCODED_BY = 18,
    FIELD_LYRICS = 26,
    FIELD_WM_SDK_VERSION = 28,
    FIELD_WM_SDK_NEEDED = 29,
    FIELD_RATING = 30,
    FIELD_BPM = 32,
    FIELD_PICTURE = 33,
    FIELD_PICTURE_INFO = 34,
    FIELD_DISC = 35,
    FIELD_HAS_ID3V1 = 36,
    FIELD_HAS_ID3V2 = 37
};

// File-type codes, as chosen from a name and answered by TagParserGetFileType.
enum {
    FILE_TYPE_UNKNOWN = 0,
    FILE_TYPE_MP3 = 1,
    FILE_TYPE_OGG = 2,
    FILE_TYPE_WMA = 3,
    FILE_TYPE_CDA = 4,
    FILE_TYPE_ASF = 5,
    FILE_TYPE_FLAC = 6,      // .flac
    FILE_TYPE_MUSEPACK = 7,  // .mpc (Musepack) and .ape (Monkey's Audio)
    FILE_TYPE_MP4 = 8,       // .m4a, .m4b, .mp4
    FILE_TYPE_WAV = 9,       // .wav
    FILE_TYPE_AIFF = 10,     // .aif, .aiff
    FILE_TYPE_WAVPACK = 11,  // .wv
    FILE_TYPE_OPUS = 12      // .opus, and .ogg holding Opus
};

// Description kinds for TagParserGetDescription: the parts each joins with " - ".
// "Title*" is the title, or the file title when the title is empty.
enum {
    DESCRIPTION_TITLE_ARTIST = 0,        // title* - artist
    DESCRIPTION_ARTIST_TITLE = 1,        // artist - title*
    DESCRIPTION_TITLE_ALBUM_ARTIST = 2,  // title* - album - artist
    DESCRIPTION_FILE_TRACK = 3,          // file title - track
    DESCRIPTION_TITLE_FILE = 4,          // title - file title
    DESCRIPTION_TEMPLATE = 5,            // the text argument with its tokens filled
    DESCRIPTION_TITLE = 6,               // title*
    DESCRIPTION_FILE = 7,                // file title
    DESCRIPTION_TRACK_TITLE = 8,         // track - title*
    DESCRIPTION_TRACK_FILE = 9           // track - file title
};

// Technical-text kinds for TagParserGetFileInfo. The report and the length
// mean the same for every format; the other kinds belong to the formats
// named, and answer "" elsewhere.
enum {
    INFO_REPORT = 0,                // a report of several lines
    INFO_LENGTH_SECONDS = 5,        // the audio's length in seconds
    INFO_MP3_FILE_SIZE = 1,         // bytes
    INFO_MP3_BIT_RATE = 2,          // kbit/s
    INFO_MP3_SAMPLE_RATE = 3,       // Hz
    INFO_MP3_VBR_HEADER = 6,        // "YES" when a Xing header was found
    INFO_MP3_CHANNEL_MODE = 7,      // "Stereo", "JointStereo", "SingleChannel"
    INFO_MP3_ID3V2_SIZE = 10,       // bytes, header and footer included
    INFO_MP3_COPYRIGHTED = 11,      // "YES" or "NO"
    INFO_MP3_ORIGINAL = 12,         // "YES" or "NO"
    INFO_MP3_CRC = 13,              // "YES" or "NO", of the first frame
    INFO_MP3_EMPHASIS = 14,         // of the first frame
    INFO_MP3_VERSION = 15,          // MPEG version and layer
    INFO_OGG_SAMPLE_RATE = 2,       // Hz (Ogg Vorbis)
    INFO_OGG_NOMINAL_BIT_RATE = 3,  // the nominal bit rate in bit/s, divided by 1024
    INFO_OGG_CHANNELS = 7,          // "MONO" or "STEREO"
    INFO_WMA_PROTECTION = 8,        // "Encrypted" or "Not Encrypted"
    INFO_WMA_LICENSE_URL = 9,       // the DRM_LicenseAcqURL attribute
    // FLAC, MP4, WAV, AIFF, WavPack, Musepack, Monkey's Audio and Opus files:
    INFO_AUDIO_SAMPLE_RATE = 2,  // Hz
    INFO_AUDIO_BIT_RATE = 3,     // kbit/s
    INFO_AUDIO_CHANNELS = 7      // "MONO" or "STEREO"
};

extern "C" {

// Creates the controller. Returns 1 when this call stored `engine` (the first
// non-null engine of the process, given while no controller existed), else 0.
LYPARSER_API int TagParserInitialize(CBassAudio* engine);
// Destroys the controller; open handles are not closed. The engine is kept.
LYPARSER_API void TagParserFinalize();

// Open a file by name; null when it is not a readable file of a known kind.
LYPARSER_API IBaseTag* TagParserOpenFile(const char* path);
LYPARSER_API IBaseTag* TagParserOpenFileW(const wchar_t* path);
// Open a whole file image in memory. Only Ogg Vorbis (type 2) is accepted, and
// only an image that contains the text "Xiph.Org libVorbis" (the vendor text of
// libvorbis's encoders); its comments are read from there. The module does not
// keep `data`.
LYPARSER_API IBaseTag* TagParserOpenBinaryFile(int fileType, const unsigned char* data, int size);
// Closes and frees the handle; it must not be used afterwards.
LYPARSER_API void TagParserCloseFile(IBaseTag* handle);
// Writes the recorded changes into the file; nonzero on success.
LYPARSER_API int TagParserApplyFile(IBaseTag* handle);

LYPARSER_API std::string TagParserGetData(IBaseTag* handle, int fieldId);
LYPARSER_API std::wstring TagParserGetDataW(IBaseTag* handle, int fieldId);
// Keys every handle answers, whatever its format, besides the parser's own:
// LYPARSER_KEY_LAST_ERROR, "CODE: text" for the last set, save or strip of
// the handle that failed, or "" after a success (docs/host-guide.md lists the
// codes); LYPARSER_KEY_PENDING_COPY, the path of the copy an interrupted save
// left for the handle's file (which no save touches until it is put back: see
// `lytag repair`), or "" when none waits.
#define LYPARSER_KEY_LAST_ERROR "lyparser:last-error"
#define LYPARSER_KEY_PENDING_COPY "lyparser:pending-copy"
// Keys of MP3 files and of the formats over TagLib (codes 6 to 11), for hosts
// that list and change everything a tag holds (docs/host-guide.md):
// LYPARSER_KEY_ITEMS lists every item of the tag but the pictures (each ID3v2
// frame, Vorbis comment, MP4 atom or APE item), a line each; LYPARSER_KEY_ITEM
// followed by an item's key reads, sets or (with "") removes it;
// LYPARSER_KEY_PICTURES lists every picture with its type, MIME type, size and
// description; LYPARSER_KEY_PICTURE followed by a picture type (3: front cover)
// reads its label, sets it from a picture file's path or (with "") removes it;
// LYPARSER_KEY_SHOWN_PICTURE chooses the type whose picture fields 33 and 34
// and TagParserGetAttachedPictureData answer.
#define LYPARSER_KEY_ITEMS "lyparser:items"
#define LYPARSER_KEY_ITEM "lyparser:item:"
#define LYPARSER_KEY_PICTURES "lyparser:pictures"
#define LYPARSER_KEY_PICTURE "lyparser:picture:"
#define LYPARSER_KEY_SHOWN_PICTURE "lyparser:shown-picture"
LYPARSER_API std::string TagParserGetExData(IBaseTag* handle, const char* key);
// Records a change. Always returns 0; read the field back to learn whether it was taken.
LYPARSER_API int TagParserSetData(IBaseTag* handle, int fieldId, const char* value);
// Records a change; returns the parser's result (nonzero when taken).
LYPARSER_API int TagParserSetDataW(IBaseTag* handle, int fieldId, const wchar_t* value);
LYPARSER_API int TagParserSetExData(IBaseTag* handle, const char* key, const char* value);

// Kept for the player's import table; does nothing.
LYPARSER_API void TagParserGetLyrics(int a, int b, int c, int d, int e, int f);
// Hands a copy of the bytes to the parser; no parser keeps them. Returns 0.
LYPARSER_API int TagParserSetLyrics(IBaseTag* handle, const void* data, int length);
LYPARSER_API void TagParserSetAllLyric(IBaseTag* handle, const char* text);
LYPARSER_API std::string TagParserGetAllLyric(IBaseTag* handle, int arg);

// Display text of kind 0..9; kind 5 fills `text` as a template.
LYPARSER_API std::string TagParserGetDescription(IBaseTag* handle, int kind, const char* text,
                                                 int flag);
LYPARSER_API std::wstring TagParserGetDescriptionW(IBaseTag* handle, int kind, const char* text,
                                                   int flag);
// Technical text of the given kind; kind 0 is the full information report.
LYPARSER_API std::string TagParserGetFileInfo(IBaseTag* handle, int kind);
LYPARSER_API int TagParserGetFileType(IBaseTag* handle);
// Writes where the audio data lies through start and end; the result's meaning
// depends on the file type.
LYPARSER_API int TagParserGetSourceLength(IBaseTag* handle, int* start, int* end);
// MD5 of a byte range as 32 lower-case hex digits. Both normalise *start and
// *end first (negative start -> 0, negative end -> 163840) and cap the range
// at 160 KiB: GetMD5 digests up to start + 163840 bytes, GetCheckSum 163840.
LYPARSER_API std::string TagParserGetMD5(IBaseTag* handle, int* start, int* end);
LYPARSER_API std::string TagParserGetCheckSum(IBaseTag* handle, int* start, int* end);

// A stored number; works without a controller and survives TagParserFinalize.
// 1 makes a CD-track open read the disc identity from the engine, which every
// open through these functions does anyway: the value changes nothing else.
LYPARSER_API void TagParserSetForceFreeCDDB(int value);
LYPARSER_API int TagParserIsForceFreeCDDB();

// Removes the pictures (written by the next save): 1 for the formats that hold
// pictures, 2 for the others (Ogg Vorbis, WMA, CD tracks, other files).
LYPARSER_API int TagParserDeleteAttachedPicture(IBaseTag* handle);
// Copies the picture a player shows (the front cover, else the first) to
// `destination`, which must have room for the whole picture (its size is
// field FIELD_PICTURE_INFO).
LYPARSER_API int TagParserGetAttachedPictureData(IBaseTag* handle, void* destination);

}  // extern "C"

#if defined(__clang__)
#pragma clang diagnostic pop
#endif

#endif  // LYPARSER_H
