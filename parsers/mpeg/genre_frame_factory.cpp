#include "parsers/mpeg/genre_frame_factory.h"

#include <taglib/textidentificationframe.h>

namespace ID3v2 = TagLib::ID3v2;

namespace {

// A text frame identifier no tag uses: a genre frame travels under it
// between reading and RestoreGenreFrames, so TagLib leaves its text alone.
const char kSetAsideId[] = "TZGN";

// 2.2 identifiers read differently from TagLib. A frame that is not kept
// becomes an unknown frame under its 2.3 name, as TagLib reads the 2.3 frame.
const struct {
    const char* stored;
    const char* read;
    bool kept;
} kVersion22Frames[] = {
    {"TOA", "TOPE", true},   // original artist
    {"TXT", "TEXT", true},   // lyricist
    {"TDA", "TDAT", false},  // date, merged into TDRC after reading
    {"TIM", "TIME", false},  // time, likewise
    {"TSI", "TSIZ", false},  // size, never true after a save
    {"RVA", "RVAD", true},   // volume adjustment, kept as its bytes
    {"EQU", "EQUA", true},   // equalisation, likewise
};

// 2.3 frames TagLib would drop on writing 2.4 that have no text to keep in
// TXXX: written back as their bytes under their own names.
const char* const kVersion23RawFrames[] = {"RVAD", "EQUA"};

}  // namespace

GenreFrameFactory* GenreFrameFactory::Instance() {
    static GenreFrameFactory factory;
    return &factory;
}

bool GenreFrameFactory::updateFrame(ID3v2FrameHeaderName::Header* header) const {
    if (header->version() == 2) {
        for (const auto& frame : kVersion22Frames) {
            if (header->frameID() != frame.stored) continue;
            header->setFrameID(frame.read);
            return frame.kept;
        }
    }
    if (header->version() == 3) {
        for (const char* id : kVersion23RawFrames) {
            if (header->frameID() == id) return true;
        }
    }
    bool keep = FrameFactory::updateFrame(header);
    if (keep && header->frameID() == "TCON") header->setFrameID(kSetAsideId);
    return keep;
}

void RestoreGenreFrames(ID3v2::Tag* tag) {
    if (!tag) return;
    ID3v2::FrameList setAside = tag->frameList(kSetAsideId);
    for (ID3v2::Frame* frame : setAside) {
        auto* stored = dynamic_cast<ID3v2::TextIdentificationFrame*>(frame);
        if (stored) {
            auto* genre = new ID3v2::TextIdentificationFrame("TCON", stored->textEncoding());
            genre->setText(stored->fieldList());
            tag->addFrame(genre);
        }
        tag->removeFrame(frame, true);
    }
}
