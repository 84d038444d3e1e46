#include "tools/lytag/cd_disc.h"

#include <cdio/cdio.h>
#include <cdio/logging.h>

#include <cstdio>

namespace {

int DigitSum(int value) {
    int sum = 0;
    for (; value > 0; value /= 10) sum += value % 10;
    return sum;
}

void QuietLibcdio() { cdio_loglevel_default = CDIO_LOG_ERROR; }

}  // namespace

std::string CdDisc::DiscId() const {
    int sum = 0;
    for (int start : trackStarts) sum += DigitSum(start / 75);
    int seconds = trackStarts.empty() ? 0 : leadOut / 75 - trackStarts.front() / 75;
    unsigned id = (static_cast<unsigned>(sum % 0xff) << 24) |
                  (static_cast<unsigned>(seconds) << 8) | static_cast<unsigned>(trackStarts.size());
    char text[16];
    std::snprintf(text, sizeof text, "%08x", id);
    return text;
}

std::string CdDisc::QueryText() const {
    std::string text = DiscId() + " " + std::to_string(trackStarts.size());
    for (int start : trackStarts) text += " " + std::to_string(start);
    return text + " " + std::to_string(Seconds());
}

int CdDisc::TrackBytes(int index) const {
    if (index < 0 || index >= TrackCount()) return 0;
    int end = index + 1 < TrackCount() ? trackStarts[static_cast<size_t>(index) + 1] : leadOut;
    return (end - trackStarts[static_cast<size_t>(index)]) * 2352;
}

bool ReadCdDisc(const std::string& source, CdDisc* disc, std::string* error) {
    QuietLibcdio();
    CdIo_t* cdio = cdio_open(source.c_str(), DRIVER_UNKNOWN);
    if (!cdio) {
        *error = "cannot open " + source + " as a CD drive or image";
        return false;
    }
    track_t first = cdio_get_first_track_num(cdio);
    track_t count = cdio_get_num_tracks(cdio);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0) {
        cdio_destroy(cdio);
        *error = "no disc, or no table of contents, in " + source;
        return false;
    }
    disc->source = source;
    disc->trackStarts.clear();
    for (track_t track = first; track < first + count; ++track) {
        disc->trackStarts.push_back(cdio_get_track_lba(cdio, track));
    }
    disc->leadOut = cdio_get_track_lba(cdio, CDIO_CDROM_LEADOUT_TRACK);
    cdio_destroy(cdio);
    return true;
}

std::vector<std::string> FindCdDrives() {
    QuietLibcdio();
    std::vector<std::string> drives;
    char** list = cdio_get_devices(DRIVER_DEVICE);
    for (char** entry = list; entry && *entry; ++entry) drives.push_back(*entry);
    if (list) cdio_free_device_list(list);
    return drives;
}
