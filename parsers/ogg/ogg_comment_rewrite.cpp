#include "parsers/ogg/ogg_comment_rewrite.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/file_save.h"
#include "core/platform_file.h"
#include "parsers/ogg/ogg_page.h"

namespace {

constexpr size_t kRoom = kOggMaxSegments;
constexpr size_t kCopyBlock = size_t{512} << 10;

// How many comment segments each of `pages` pages holds, or empty when the
// comment's `segments` cannot be laid into that many: every page holds at
// least one segment, the first keeps `head` segments in front, the last
// `tail` behind. Pages are filled from the front.
std::vector<size_t> Distribute(size_t pages, size_t segments, size_t head, size_t tail) {
    std::vector<size_t> room(pages, kRoom), least(pages, 1);
    room.front() -= head;
    room.back() -= std::min(room.back(), tail);
    if (head > 0) least.front() = 0;
    if (tail > 0) least.back() = pages == 1 ? least.back() : 0;
    if (pages == 1) least.front() = head + tail > 0 ? 0 : 1;
    size_t need = 0, have = 0;
    for (size_t i = 0; i < pages; ++i) need += least[i], have += room[i];
    if (segments < need || segments > have || head + tail > kRoom * pages) return {};
    std::vector<size_t> taken(pages);
    size_t left = segments;
    for (size_t i = 0; i < pages; ++i) {
        need -= least[i];
        taken[i] = std::min(room[i], left - need);
        left -= taken[i];
    }
    return taken;
}

// The pages the comment header is laid into: the old count when it fits,
// else the fewest that hold it.
std::vector<size_t> ChoosePages(const OggCommentPages& old, std::string* packet, bool padding) {
    const size_t head = old.headLacing.size(), tail = old.tailLacing.size();
    const auto pageCount = static_cast<size_t>(std::max(old.count, 1));
    size_t segments = packet->size() / 255 + 1;
    std::vector<size_t> taken = Distribute(pageCount, segments, head, tail);
    if (taken.empty() && padding && segments < pageCount) {
        packet->resize(255 * (pageCount - 1), '\0');  // one segment for every page
        segments = pageCount;
        taken = Distribute(pageCount, segments, head, tail);
    }
    for (size_t pages = 1; taken.empty(); ++pages) taken = Distribute(pages, segments, head, tail);
    return taken;
}

// Lengthens `packet` with zero bytes so that the pages `taken` lays it into
// (with the old pages' head and tail) take as many bytes modulo `block` as
// the old pages did: the pages behind them then keep their place within a
// block, and a save can share their blocks. Leaves both as they are where
// that needs another page count, or where no length does it (a page's size
// skips every 256th value).
void AlignToBlocks(const OggCommentPages& old, int64_t block, std::string* packet,
                   std::vector<size_t>* taken) {
    const size_t head = old.headLacing.size(), tail = old.tailLacing.size();
    const int64_t fixed = static_cast<int64_t>(taken->size()) * 27 +
                          static_cast<int64_t>(head + tail) + 1 +
                          static_cast<int64_t>(old.head.size() + old.tail.size());
    // A packet of n bytes takes n + n / 255 bytes of pages besides `fixed`:
    // 256 m + j for n = 255 m + j.
    const auto n = static_cast<int64_t>(packet->size());
    const int64_t now = n + n / 255;
    const int64_t want = ((old.end - old.begin - fixed - now) % block + block) % block;
    const int64_t pages = now + want;
    if (want == 0 || pages % 256 == 255) return;
    const int64_t length = pages / 256 * 255 + pages % 256;
    std::vector<size_t> fits =
        Distribute(taken->size(), static_cast<size_t>(length / 255 + 1), head, tail);
    if (fits.empty()) return;
    packet->resize(static_cast<size_t>(length), '\0');
    *taken = std::move(fits);
}

struct PageBuilder {
    std::vector<unsigned char> lacing;
    std::string body;
    bool ends = false;  // a packet ends on the page
    bool commentEnds = false;
    bool tailEnds = false;

    void Add(const std::vector<unsigned char>& values, const std::string& bytes) {
        lacing.insert(lacing.end(), values.begin(), values.end());
        body += bytes;
        for (unsigned char value : values) ends = ends || value < 255;
    }
};

int64_t GranuleOf(const PageBuilder& page, const OggCommentPages& old) {
    if (!page.ends) return -1;
    if (page.tailEnds) return old.lastGranule;
    if (page.commentEnds) {
        bool tailEnds = false;
        for (unsigned char value : old.tailLacing) tailEnds = tailEnds || value < 255;
        return tailEnds ? 0 : old.lastGranule;
    }
    return old.firstGranule;
}

// Writes [from, length) of `source`, renumbering stream `serial`'s pages by
// `added` until it ends or begins anew; the rest as it is.
bool CopyRenumbered(FileSave* save, FileReader* source, int64_t from, int64_t length,
                    uint32_t serial, int added) {
    std::vector<unsigned char> block(kCopyBlock + kOggMaxPage);
    int64_t position = from;
    bool renumbering = true;
    while (renumbering && position < length) {
        const int64_t want =
            std::min<int64_t>(static_cast<int64_t>(block.size()), length - position);
        const int64_t got = source->ReadAt(position, block.data(), want);
        if (got != want) return false;
        const bool last = position + got == length;
        const auto size = static_cast<size_t>(got);
        size_t at = 0;
        while (renumbering && at < size) {
            OggPage page;
            const OggPageRead result = ReadOggPage(block.data() + at, size - at, &page);
            if (result == OggPageRead::kShort) {
                if (!last && at > 0) break;  // read again from here
                at = size;                   // a page cut by the file's end stays as it is
            } else if (result == OggPageRead::kNone) {
                const auto* next = static_cast<const unsigned char*>(
                    memmem(block.data() + at + 1, size - at - 1, "OggS", 4));
                at = next ? static_cast<size_t>(next - block.data()) : last ? size : size - 3;
            } else if (page.serial == serial && (page.flags & kOggBegins)) {
                renumbering = false;  // the next link of a chain
            } else {
                if (page.serial == serial) {
                    RenumberOggPage(block.data() + at, page.Size(),
                                    page.sequence + static_cast<uint32_t>(added));
                    renumbering = !(page.flags & kOggEnds);
                }
                at += page.Size();
            }
        }
        if (!save->Write(block.data(), at)) return false;
        position += static_cast<int64_t>(at);
    }
    return position >= length || save->CopyFrom(source->Descriptor(), position, length - position);
}

}  // namespace

OggCommentRewrite LayCommentPages(const OggCommentPages& old, std::string packet, uint32_t serial,
                                  bool padding, int64_t alignTo) {
    std::vector<size_t> taken = ChoosePages(old, &packet, padding);
    // Pages behind the header are copied as they are when the count stays,
    // or when the stream ends with the header.
    if (alignTo > 0 &&
        (static_cast<int>(taken.size()) == std::max(old.count, 1) || (old.lastFlags & kOggEnds)))
        AlignToBlocks(old, alignTo, &packet, &taken);
    std::vector<unsigned char> lacing(packet.size() / 255, 255);
    lacing.push_back(static_cast<unsigned char>(packet.size() % 255));
    OggCommentRewrite rewrite;
    rewrite.added = static_cast<int>(taken.size()) - std::max(old.count, 1);
    size_t segment = 0;
    bool continued = (old.firstFlags & kOggContinued) != 0;
    for (size_t i = 0; i < taken.size(); ++i) {
        PageBuilder page;
        if (i == 0) page.Add(old.headLacing, old.head);
        const std::vector<unsigned char> values(
            lacing.begin() + static_cast<long>(segment),
            lacing.begin() + static_cast<long>(segment + taken[i]));
        const size_t from = segment * 255;
        segment += taken[i];
        page.Add(values, packet.substr(from, std::min(packet.size(), segment * 255) - from));
        page.commentEnds = segment == lacing.size();
        if (i + 1 == taken.size()) {
            page.Add(old.tailLacing, old.tail);
            for (unsigned char value : old.tailLacing) page.tailEnds = page.tailEnds || value < 255;
        }
        int flags = continued ? kOggContinued : 0;
        if (i == 0) flags |= old.firstFlags & kOggBegins;
        if (i + 1 == taken.size()) flags |= old.lastFlags & kOggEnds;
        rewrite.pages +=
            OggPageBytes(flags, GranuleOf(page, old), serial,
                         old.firstSequence + static_cast<uint32_t>(i), page.lacing, page.body);
        continued = !page.lacing.empty() && page.lacing.back() == 255;
    }
    return rewrite;
}

bool WriteRewrittenFile(FileSave* save, FileReader* source, int64_t length,
                        const OggCommentPages& old, const OggCommentRewrite& rewrite,
                        uint32_t serial) {
    const int descriptor = source->Descriptor();
    if (!save->CopyFrom(descriptor, 0, old.begin) ||
        !save->Write(rewrite.pages.data(), rewrite.pages.size()))
        return false;
    if (rewrite.added == 0 || (old.lastFlags & kOggEnds))
        return save->CopyFrom(descriptor, old.end, length - old.end);
    return CopyRenumbered(save, source, old.end, length, serial, rewrite.added);
}
