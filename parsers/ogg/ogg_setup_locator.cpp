#include "parsers/ogg/ogg_setup_locator.h"

#include <ogg/ogg.h>

#include <cstring>

#include "core/platform_file.h"

namespace {

constexpr long kChunk = 4096;
constexpr int kSetupPacket = 2;     // identification, comment, then setup
constexpr long kMarkerLength = 11;  // packet type, "vorbis", codebook count, "BCV"

class SyncState {
public:
    SyncState() { ogg_sync_init(&sync_); }
    ~SyncState() { ogg_sync_clear(&sync_); }
    SyncState(const SyncState&) = delete;
    SyncState& operator=(const SyncState&) = delete;
    ogg_sync_state* get() { return &sync_; }

private:
    ogg_sync_state sync_;
};

bool IsSetupMarker(const unsigned char* p) {
    return p[0] == 5 && std::memcmp(p + 1, "vorbis", 6) == 0 && std::memcmp(p + 8, "BCV", 3) == 0;
}

}  // namespace

int64_t LocateSetupMarker(std::FILE* file) {
    SyncState sync;
    int64_t readAt = 0, pageAt = 0;
    long serial = 0, pageNumber = 0;
    int packetsDone = 0;
    bool first = true;
    for (;;) {
        ogg_page page;
        long result = ogg_sync_pageseek(sync.get(), &page);
        if (result < 0) return 0;  // bytes that are no page: not a file this walk trusts
        if (result == 0) {
            char* buffer = ogg_sync_buffer(sync.get(), kChunk);
            int64_t got = buffer ? ReadAt(file, readAt, buffer, kChunk) : -1;
            if (got <= 0) return 0;
            ogg_sync_wrote(sync.get(), static_cast<long>(got));
            readAt += got;
            continue;
        }
        const int64_t bodyAt = pageAt + page.header_len;
        pageAt += result;
        if (first) {
            if (!ogg_page_bos(&page)) return 0;
            serial = ogg_page_serialno(&page);
            first = false;
        } else if (ogg_page_serialno(&page) != serial) {
            continue;  // another stream's page: multiplexed headers
        }
        if (ogg_page_pageno(&page) != pageNumber++) return 0;  // a page of the stream is missing
        // Packets end at lacing values below 255; segments are never split
        // over pages, and a setup header's first segment holds its marker.
        const unsigned char* lacing = page.header + 27;
        long offset = 0;
        for (int i = 0; i < page.header[26]; ++i) {
            if (packetsDone == kSetupPacket) {
                if (lacing[i] < kMarkerLength || !IsSetupMarker(page.body + offset)) return 0;
                return bodyAt + offset + kMarkerLength;
            }
            if (lacing[i] < 255) ++packetsDone;
            offset += lacing[i];
        }
        if (ogg_page_eos(&page)) return 0;
    }
}
