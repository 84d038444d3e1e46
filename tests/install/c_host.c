/* A host in C (no C++) against the installed tree: for each file given, reads
 * the title, sets title and artist by lytag's names, saves and reads them back
 * through a new handle; then names the tracks of a CD in drive D: through its
 * callbacks, from the CDDB server LYPARSER_CDDB_SERVER names; then shows the
 * reason of a failed open. Prints one line per step; exits 1 on any surprise. */
#define _POSIX_C_SOURCE 200809L /* nanosleep */

#include <lyparser_c.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

static const char kTitle[] = "C host \xE2\x9C\x93"; /* "C host ✓" in UTF-8 */
static volatile int names_arrived;                 /* set on the lookup thread */

static int drive_letter(void* user, unsigned drive) {
    (void)user;
    return drive == 0 ? 3 : -1; /* D: */
}

static int is_ready(void* user, unsigned drive) {
    (void)user;
    return drive == 0;
}

static int disc_id(void* user, unsigned drive, char* buffer, size_t size) {
    (void)user;
    if (drive != 0) return 0;
    snprintf(buffer, size, "0d000903 3 150 300 525 11");
    return 1;
}

static void notify(void* user, const char* unit, unsigned message, int a, int b) {
    (void)user, (void)a, (void)b;
    if (strcmp(unit, "playlist") == 0 && message == LYPARSER_NOTIFY_CD_NAMES_ARRIVED)
        __atomic_store_n(&names_arrived, 1, __ATOMIC_RELEASE);
}

static int field_is(lyparser_file* file, const char* name, const char* expected) {
    char* value = NULL;
    int same = lyparser_get_field(file, name, &value) == LYPARSER_OK && strcmp(value, expected) == 0;
    lyparser_free(value);
    return same;
}

static int change(const char* path) {
    lyparser_file* file = lyparser_open(path, NULL);
    char* before = NULL;
    char* why = NULL;
    int reason = file ? lyparser_get_field(file, "title", &before) : LYPARSER_NOT_FOUND;
    if (reason == LYPARSER_OK) reason = lyparser_set_field(file, "title", kTitle, &why);
    if (reason == LYPARSER_OK) reason = lyparser_set_field(file, "artist", "C", &why);
    if (reason == LYPARSER_OK) reason = lyparser_save(file);
    lyparser_close(file);
    file = lyparser_open(path, NULL);
    int ok = reason == LYPARSER_OK && file && field_is(file, "title", kTitle) &&
             field_is(file, "artist", "C");
    printf("%s: %s -> %s: %s%s\n", path, before ? before : "", kTitle, ok ? "saved" : "FAILED ",
           ok ? "" : (why ? why : lyparser_reason_name(reason)));
    lyparser_close(file);
    lyparser_free(before);
    lyparser_free(why);
    return ok;
}

int main(int argc, char** argv) {
    lyparser_host host = {0};
    host.cd_drive_letter = drive_letter;
    host.cd_is_ready = is_ready;
    host.cd_id = disc_id;
    host.notify = notify;
    if (lyparser_init(&host) != LYPARSER_OK) return 1;
    int ok = 1;
    for (int i = 1; i < argc; ++i) ok = change(argv[i]) && ok;

    lyparser_close(lyparser_open("D:\\Track01.cda", NULL)); /* starts the lookup */
    const struct timespec tick = {0, 100 * 1000 * 1000};
    for (int i = 0; i < 200 && !__atomic_load_n(&names_arrived, __ATOMIC_ACQUIRE); ++i)
        nanosleep(&tick, NULL);
    lyparser_file* track = lyparser_open("D:\\Track01.cda", NULL); /* again, for the names */
    char* title = NULL;
    lyparser_get_field(track, "title", &title);
    printf("Track 1: %s\n", title ? title : "");
    ok = ok && title && strcmp(title, "Hush") == 0;
    lyparser_free(title);
    lyparser_close(track);

    int reason = LYPARSER_OK;
    if (lyparser_open("/nonexistent/song.mp3", &reason) != NULL) ok = 0;
    printf("missing file: %s\n", lyparser_reason_name(reason));
    lyparser_shutdown();
    return ok && reason == LYPARSER_NOT_FOUND ? 0 : 1;
}
