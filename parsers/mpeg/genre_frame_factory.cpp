#include "parsers/mpeg/genre_frame_factory.h"

#include <taglib/textidentificationframe.h>

namespace ID3v2 = TagLib::ID3v2;

namespace {

// A text frame identifier no tag uses: a 2.2/2.3 genre frame travels under it
// between reading and RestoreGenreFrames, so TagLib leaves its text alone.
const char kSetAsideId[] = "TZGN";

}  // namespace

GenreFrameFactory* GenreFrameFactory::Instance() {
    static GenreFrameFactory factory;
    return &factory;
}

bool GenreFrameFactory::updateFrame(ID3v2FrameHeaderName::Header* header) const {
    bool keep = FrameFactory::updateFrame(header);
    if (keep && header->version() < 4 && header->frameID() == "TCON") header->setFrameID(kSetAsideId);
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
