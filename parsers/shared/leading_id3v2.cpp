#include "parsers/shared/leading_id3v2.h"

#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>

#include "parsers/shared/stream_file.h"

LeadingId3v2::LeadingId3v2() = default;

LeadingId3v2::~LeadingId3v2() {
    tag_.reset();  // before the file it reads
    file_.reset();
}

bool LeadingId3v2::Read(TagLib::IOStream* stream) {
    stream->seek(0);
    const TagLib::ByteVector start = stream->readBlock(TagLib::ID3v2::Header::size());
    if (start.size() != TagLib::ID3v2::Header::size() || !start.startsWith("ID3")) return false;
    TagLib::ID3v2::Header header(start);
    const int64_t size = header.completeTagSize();
    if (header.majorVersion() < 2 || header.majorVersion() > 4 || size > stream->length())
        return false;
    file_ = std::make_unique<StreamFile>(stream);
    tag_ = std::make_unique<TagLib::ID3v2::Tag>(file_.get(), 0,
                                                TagLib::ID3v2::FrameFactory::instance());
    size_ = size;
    return true;
}

void LeadingId3v2::Write(TagLib::IOStream* stream) {
    if (!tag_) return;
    if (tag_->isEmpty()) {
        stream->removeBlock(0, static_cast<unsigned long>(size_));
    } else {
        stream->insert(tag_->render(TagLib::ID3v2::v4), 0, static_cast<unsigned long>(size_));
    }
}
