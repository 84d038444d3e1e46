#include "parsers/mpeg/id3v2_upgrade.h"

#include <taglib/textidentificationframe.h>
#include <taglib/unknownframe.h>

#include <vector>

#include "parsers/mpeg/id3v1_genres.h"
#include "parsers/mpeg/tag_text.h"

namespace ID3v2 = TagLib::ID3v2;
using TagLib::String;
using TagLib::StringList;

namespace {

// Frame keeps its header protected; a pointer to the member, named through
// a derived class, reaches it on any frame.
struct FrameHeader : ID3v2::Frame {
    static Header* Of(const ID3v2::Frame* frame) { return (frame->*(&FrameHeader::header))(); }
};

// The text fields of a frame TagLib kept as raw field data.
class RawTextFields : public ID3v2::TextIdentificationFrame {
public:
    explicit RawTextFields(const TagLib::ByteVector& data)
        : TextIdentificationFrame("TXXX", String::Latin1) {
        TextIdentificationFrame::parseFields(data);
    }
};

// The 2.4 fields of one 2.2/2.3 genre text: each leading "(n)" with n below
// 256, "(RX)" or "(CR)" a field; the rest, its "((" escape undone, one more
// unless it only repeats the name of the last number.
StringList GenreFields(const String& text) {
    StringList fields;
    int position = 0;
    while (position < static_cast<int>(text.size()) && text[position] == L'(') {
        int close = text.find(")", position + 1);
        if (close < 0) break;
        String code = text.substr(position + 1, close - position - 1);
        bool number = IsAllDigits(code) && LeadingNumber(code) < 256;
        if (!number && code != "RX" && code != "CR") break;
        fields.append(code);
        position = close + 1;
    }
    String rest = text.substr(position);
    if (rest.startsWith("((")) rest = rest.substr(1);
    bool repeatsName = !fields.isEmpty() && IsAllDigits(fields.back()) &&
                       rest == ID3v1GenreName(LeadingNumber(fields.back()));
    if (!rest.isEmpty() && !repeatsName) fields.append(rest);
    return fields;
}

void UpgradeGenres(ID3v2::Tag* tag) {
    for (ID3v2::Frame* frame : tag->frameList("TCON")) {
        auto* genre = dynamic_cast<ID3v2::TextIdentificationFrame*>(frame);
        if (!genre) continue;
        StringList fields;
        for (const String& field : genre->fieldList()) fields.append(GenreFields(field));
        genre->setText(fields);
    }
}

// True when the recording time already holds a 2.3 date ("DDMM") or time
// ("HHMM"), as TagLib merges them after reading: "YYYY-MM-DDTHH:MM".
bool HeldByRecordingTime(const ID3v2::Tag& tag, const TagLib::ByteVector& id,
                         const StringList& fields) {
    const ID3v2::FrameList& times = tag.frameList("TDRC");
    if (times.isEmpty() || fields.size() != 1 || fields.front().size() != 4) return false;
    const String time = times.front()->toString();
    const String& text = fields.front();
    if (id == "TDAT") return time.substr(4, 6) == "-" + text.substr(2, 2) + "-" + text.substr(0, 2);
    return id == "TIME" && time.substr(10, 6) == "T" + text.substr(0, 2) + ":" + text.substr(2, 2);
}

// Adds `values` to the user text frame described by `description`, made
// when there is none (2.4 allows one frame per description).
void KeepAsUserText(ID3v2::Tag* tag, const String& description, const StringList& values) {
    if (values.isEmpty()) return;
    auto* kept = ID3v2::UserTextIdentificationFrame::find(tag, description);
    if (!kept) {
        tag->addFrame(new ID3v2::UserTextIdentificationFrame(description, values, String::UTF8));
        return;
    }
    StringList all = kept->fieldList();  // the description, then the values
    all.erase(all.begin());
    kept->setText(all.append(values));
}

// True for a frame TagLib set aside while reading as one 2.4 has no place
// for: the 2.3 frames TRDA, TDAT, TIME and TSIZ, and the 2.2 ones read as
// them. `raw` may be null.
bool IsSetAsideText(ID3v2::UnknownFrame* raw) {
    if (!raw) return false;
    const auto* header = FrameHeader::Of(raw);
    return header->tagAlterPreservation() && !header->encryption();
}

}  // namespace

void UpgradeToVersion24(ID3v2::Tag* tag) {
    if (tag->header()->majorVersion() < 4) UpgradeGenres(tag);
    // Not a copy of the tag's list: that list deletes its frames, and a copy
    // left holding it after the tag's list changes would delete them too.
    const std::vector<ID3v2::Frame*> frames(tag->frameList().begin(), tag->frameList().end());
    for (ID3v2::Frame* frame : frames) {
        auto* raw = dynamic_cast<ID3v2::UnknownFrame*>(frame);
        // The flag asks to drop a frame only where it is unknown.
        if (!raw) FrameHeader::Of(frame)->setTagAlterPreservation(false);
        const TagLib::ByteVector id = frame->frameID();
        if (!id.startsWith("T")) continue;
        if (auto* text = dynamic_cast<ID3v2::TextIdentificationFrame*>(frame)) {
            if (id.size() == 4) continue;
            KeepAsUserText(tag, String(id), text->fieldList());
        } else if (IsSetAsideText(raw)) {
            StringList fields = RawTextFields(raw->data()).fieldList();
            if (id != "TSIZ" && !HeldByRecordingTime(*tag, id, fields)) {
                KeepAsUserText(tag, String(id), fields);
            }
        } else {
            continue;
        }
        tag->removeFrame(frame, true);
    }
}
