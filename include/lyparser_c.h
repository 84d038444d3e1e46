/* lyparser_c: the tag-parsing module for hosts written in C, or in any
 * language that calls C (Python, Rust, Go, ...).
 *
 * A thin layer over the module's exports (liblyParser): every call here makes
 * the matching export call and converts its text. C99, no C++ types.
 *
 * Text: every text in and out is UTF-8, whatever the host's locale. Text
 * results are new strings the caller owns and frees with lyparser_free; they
 * are NULL only when memory ran out or the file argument is NULL.
 *
 * Failures: functions that can fail return a reason, LYPARSER_OK (0) on
 * success; lyparser_reason_name and lyparser_reason_text name it.
 *
 * Threads: any function may be called from any thread, but calls on one file
 * must not overlap; lyparser_init and lyparser_shutdown only while no other
 * call of this layer runs. The host's callbacks may be called from the CD
 * lookup threads: they must be thread-safe.
 *
 * The guide for C hosts: share/doc/lyparser/c-hosts.md under the install
 * prefix (docs/c-hosts.md in the sources). */
#ifndef LYPARSER_C_H
#define LYPARSER_C_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define LYPARSER_C_API __attribute__((visibility("default")))
#else
#define LYPARSER_C_API
#endif

/* The version of this header; lyparser_version() gives the library's. */
#define LYPARSER_C_VERSION_MAJOR 1
#define LYPARSER_C_VERSION_MINOR 2
#define LYPARSER_C_VERSION_PATCH 0
#define LYPARSER_C_VERSION_STRING "1.2.0"

/* Why something failed. The names (lyparser_reason_name) are stable and are
 * what the module answers for the key "lyparser:last-error". */
typedef enum lyparser_reason {
    LYPARSER_OK = 0,
    LYPARSER_FAILED = 1,           /* failed; no reason was recorded */
    LYPARSER_NO_HANDLE = 2,        /* the file argument is NULL */
    LYPARSER_NOT_INITIALIZED = 3,  /* lyparser_init was not called, or shutdown was */
    LYPARSER_NOT_FOUND = 4,        /* open: no file has this name */
    LYPARSER_NOT_A_FILE = 5,       /* open: a folder, device, FIFO ... */
    LYPARSER_NOT_READABLE = 6,     /* open: this process may not read it */
    LYPARSER_NOT_SUPPORTED = 7,    /* open: the module does not read this file */
    LYPARSER_READ_ONLY = 8,        /* this process may not write the file */
    LYPARSER_CHANGED_ON_DISK = 9,  /* the file changed since it was opened */
    LYPARSER_DISK_FULL = 10,       /* no space, or the process's file size limit */
    LYPARSER_VALUE_TOO_LONG = 11,  /* a Windows Media name or value is too long */
    LYPARSER_MULTIPLEXED_OGG = 12, /* an Ogg file of several streams at once */
    LYPARSER_NO_AUDIO = 13,        /* no audio found: the file is never written */
    LYPARSER_PENDING_COPY = 14,    /* an interrupted save's safety copy waits */
    LYPARSER_IO_ERROR = 15,        /* reading or writing failed */
    LYPARSER_REFUSED_VALUE = 16,   /* the format cannot take this value there */
    LYPARSER_UNKNOWN_FIELD = 17,   /* no field has this id or name */
    LYPARSER_NOT_WRITABLE = 18,    /* a file opened from memory: no changes */
    LYPARSER_LOCKED = 19,          /* another save of the file held it too long */
    LYPARSER_OUT_OF_MEMORY = 20,
    LYPARSER_DAMAGED = 21,       /* a rewrite would lose what could not be read */
    LYPARSER_NO_SAFETY_COPY = 22 /* written in place, no safety copy can be kept */
} lyparser_reason;

/* Field ids (as in lyParser.h). On an MP3, 0-6 are the ID3v1 tag and 7-35
 * the ID3v2 tag; lyparser_get_field names them as a player shows them. */
enum {
    LYPARSER_FIELD_TITLE = 0,
    LYPARSER_FIELD_ARTIST = 1,
    LYPARSER_FIELD_ALBUM = 2,
    LYPARSER_FIELD_YEAR = 3,
    LYPARSER_FIELD_GENRE = 4,
    LYPARSER_FIELD_COMMENT = 5,
    LYPARSER_FIELD_TRACK = 6,
    LYPARSER_FIELD_TITLE2 = 7,
    LYPARSER_FIELD_ARTIST2 = 8,
    LYPARSER_FIELD_ALBUM2 = 9,
    LYPARSER_FIELD_YEAR2 = 10,
    LYPARSER_FIELD_GENRE2 = 11,
    LYPARSER_FIELD_COMMENT2 = 12,
    LYPARSER_FIELD_TRACK2 = 13,
    LYPARSER_FIELD_COMPOSER = 14,
    LYPARSER_FIELD_ORIGINAL_ARTIST = 15,
    LYPARSER_FIELD_COPYRIGHT = 16,
    LYPARSER_FIELD_URL = 17,
    LYPARSER_FIELD_ENCODED_BY = 18,
    LYPARSER_FIELD_LYRICS = 26,
    LYPARSER_FIELD_WM_SDK_VERSION = 28,
    LYPARSER_FIELD_WM_SDK_NEEDED = 29,
    LYPARSER_FIELD_RATING = 30,
    LYPARSER_FIELD_BPM = 32,
    LYPARSER_FIELD_PICTURE = 33,
    LYPARSER_FIELD_PICTURE_INFO = 34,
    LYPARSER_FIELD_DISC = 35,
    LYPARSER_FIELD_HAS_ID3V1 = 36,
    LYPARSER_FIELD_HAS_ID3V2 = 37
};

/* File types (lyparser_file_type). */
enum {
    LYPARSER_TYPE_UNKNOWN = 0, /* other files: no fields */
    LYPARSER_TYPE_MP3 = 1,
    LYPARSER_TYPE_OGG = 2,
    LYPARSER_TYPE_WMA = 3,
    LYPARSER_TYPE_CDA = 4,
    LYPARSER_TYPE_ASF = 5
};

/* Description kinds (lyparser_description). */
enum {
    LYPARSER_DESCRIPTION_TITLE_ARTIST = 0,
    LYPARSER_DESCRIPTION_ARTIST_TITLE = 1,
    LYPARSER_DESCRIPTION_TITLE_ALBUM_ARTIST = 2,
    LYPARSER_DESCRIPTION_FILE_TRACK = 3,
    LYPARSER_DESCRIPTION_TITLE_FILE = 4,
    LYPARSER_DESCRIPTION_TEMPLATE = 5,
    LYPARSER_DESCRIPTION_TITLE = 6,
    LYPARSER_DESCRIPTION_FILE = 7,
    LYPARSER_DESCRIPTION_TRACK_TITLE = 8,
    LYPARSER_DESCRIPTION_TRACK_FILE = 9
};

/* Technical-text kinds (lyparser_file_info); the host guide tells each. */
enum {
    LYPARSER_INFO_REPORT = 0,
    LYPARSER_INFO_LENGTH_SECONDS = 5,
    LYPARSER_INFO_MP3_FILE_SIZE = 1,
    LYPARSER_INFO_MP3_BIT_RATE = 2,
    LYPARSER_INFO_MP3_SAMPLE_RATE = 3,
    LYPARSER_INFO_OGG_SAMPLE_RATE = 2,
    LYPARSER_INFO_OGG_NOMINAL_BIT_RATE = 3,
    LYPARSER_INFO_OGG_CHANNELS = 7,
    LYPARSER_INFO_WMA_PROTECTION = 8
};

/* The player's texts (lyparser_set_text), settings words and notification. */
enum {
    LYPARSER_TEXT_FIRST = 9001, /* the texts 9001 to 9022 of the host guide */
    LYPARSER_TEXT_LAST = 9022,
    LYPARSER_SETTING_CD_LOOKUPS = 112,
    LYPARSER_SETTING_CD_REFRESH = 138,
    LYPARSER_NOTIFY_CD_NAMES_ARRIVED = 34080
};

/* The host's audio engine and notification, as callbacks. Any callback may
 * be NULL: the module then hears "unknown" (0, -1 for the drive letter, no
 * disc). Each gets `user` first. Callbacks run on the thread that called
 * into this layer, or on a CD lookup thread; never after lyparser_shutdown
 * has returned. */
typedef struct lyparser_host {
    void* user;
    /* The length of the file at `path` (UTF-8) in seconds. */
    double (*audio_length)(void* user, const char* path);
    /* Drive `drive` (0-29): its letter, 0 = 'A' ... 25 = 'Z', or -1. */
    int (*cd_drive_letter)(void* user, unsigned drive);
    /* Nonzero when a disc can be read in `drive`. */
    int (*cd_is_ready)(void* user, unsigned drive);
    /* Writes the disc's CDDB query text ("0d000903 3 150 300 525 11") into
     * `buffer` (`size` bytes, terminator included) and returns nonzero; 0 for
     * no disc. */
    int (*cd_id)(void* user, unsigned drive, char* buffer, size_t size);
    /* Bytes of 44.1 kHz 16-bit stereo audio of track `track` (from 0). */
    int (*cd_track_length)(void* user, unsigned drive, unsigned track);
    /* The player's notification; ("playlist", LYPARSER_NOTIFY_CD_NAMES_ARRIVED,
     * 0, 0) when CD names may have arrived. Runs on the lookup thread. */
    void (*notify)(void* user, const char* unit, unsigned message, int a, int b);
} lyparser_host;

typedef struct lyparser_file lyparser_file; /* an open file */

/* The library's version, "1.2.0". */
LYPARSER_C_API const char* lyparser_version(void);

/* Starts the module with the host's callbacks (copied; NULL for none). A
 * second call replaces the callbacks. Returns LYPARSER_OK. */
LYPARSER_C_API int lyparser_init(const lyparser_host* host);
/* Stops the module: when it returns, no callback of the host runs and none
 * will, CD lookups still running included. Call it last, for example at
 * exit, after closing the files (a file still open can be used, and closed,
 * only after lyparser_init starts the module again). */
LYPARSER_C_API void lyparser_shutdown(void);

/* Replaces the player's text `id` (UTF-8; NULL: the empty text). */
LYPARSER_C_API void lyparser_set_text(unsigned id, const char* text);
/* Reads and writes a word of the player's settings (0-255); -1 / nothing
 * for another index. */
LYPARSER_C_API int lyparser_get_setting(int word);
LYPARSER_C_API void lyparser_set_setting(int word, int value);

/* Opens a file by its name (UTF-8). NULL when it fails, with the reason in
 * *reason (when `reason` is not NULL). */
LYPARSER_C_API lyparser_file* lyparser_open(const char* path, int* reason);
/* Opens the image of an Ogg Vorbis file's start in memory (type
 * LYPARSER_TYPE_OGG); `data` is read during the call only. */
LYPARSER_C_API lyparser_file* lyparser_open_memory(int type, const void* data, size_t size,
                                                   int* reason);
/* Closes the file and drops its unsaved changes. NULL does nothing. */
LYPARSER_C_API void lyparser_close(lyparser_file* file);
LYPARSER_C_API int lyparser_file_type(lyparser_file* file);

/* Fields by id: "" when the file has none. */
LYPARSER_C_API char* lyparser_get(lyparser_file* file, int field);
/* Records a change (an empty value removes the field where the format
 * allows); lyparser_save writes it. */
LYPARSER_C_API int lyparser_set(lyparser_file* file, int field, const char* value);
/* A Vorbis comment or Windows Media attribute by its name; "" lists the
 * other names, each followed by a comma. */
LYPARSER_C_API char* lyparser_get_ex(lyparser_file* file, const char* key);
LYPARSER_C_API int lyparser_set_ex(lyparser_file* file, const char* key, const char* value);

/* Fields by lytag's names ("title", "artist", "title:v1", "composer", ...;
 * see lyparser_field_name): what a player shows, in every format. On an MP3,
 * "title" reads the ID3v2 title (the ID3v1 one when there is none) and sets
 * the ID3v2 title, and the ID3v1 one too when the file has that tag. */
LYPARSER_C_API int lyparser_get_field(lyparser_file* file, const char* name, char** value);
/* Records the change as lytag set does: a change the module would not make
 * as asked is refused, nothing recorded, with lytag's words in *message
 * (when not NULL; free it). */
LYPARSER_C_API int lyparser_set_field(lyparser_file* file, const char* name, const char* value,
                                      char** message);
/* The field names, index 0 up; NULL past the last. */
LYPARSER_C_API const char* lyparser_field_name(size_t index);

/* Writes the recorded changes. On failure the file is as it was. */
LYPARSER_C_API int lyparser_save(lyparser_file* file);
/* MP3: removes every picture from the tag; lyparser_save writes it.
 * LYPARSER_UNKNOWN_FIELD for a format without pictures. */
LYPARSER_C_API int lyparser_delete_pictures(lyparser_file* file);
/* The reason of the last failed set, save or strip on `file`, LYPARSER_OK
 * after a success; *text (when not NULL) gets "NAME: text", or "". */
LYPARSER_C_API int lyparser_last_error(lyparser_file* file, char** text);

LYPARSER_C_API char* lyparser_description(lyparser_file* file, int kind, const char* text,
                                          int flag);
LYPARSER_C_API char* lyparser_file_info(lyparser_file* file, int kind);
/* Where the audio lies; the numbers differ per format (host guide). */
LYPARSER_C_API int lyparser_audio_range(lyparser_file* file, int* start, int* end);
/* MD5 of `*end` bytes from `*start`, 32 hex digits; the module's range rules. */
LYPARSER_C_API char* lyparser_md5(lyparser_file* file, int* start, int* end);
LYPARSER_C_API char* lyparser_checksum(lyparser_file* file, int* start, int* end);
/* MP3: a copy of the first picture's bytes in *data (free it), its size in
 * *size. LYPARSER_OK, or LYPARSER_FAILED when the file has none. */
LYPARSER_C_API int lyparser_picture(lyparser_file* file, unsigned char** data, size_t* size);

/* "READ_ONLY", and a short English text; "" for a number that is no reason. */
LYPARSER_C_API const char* lyparser_reason_name(int reason);
LYPARSER_C_API const char* lyparser_reason_text(int reason);

/* Frees a text or data this layer returned. NULL does nothing. */
LYPARSER_C_API void lyparser_free(void* memory);

#ifdef __cplusplus
}
#endif

#endif /* LYPARSER_C_H */
