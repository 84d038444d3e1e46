#include "parsers/vorbis_comment/vorbis_comment_list.h"

#include <algorithm>

#include "core/ascii.h"
#include "core/code_page.h"
#include "core/little_endian.h"

namespace {

constexpr wchar_t kValueJoin[] = L"; ";

void PutLength(std::string* out, size_t length) {
    for (int i = 0; i < 4; ++i) out->push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
}

// The length of the name in a comment's text: the bytes before the first
// "=", or none.
size_t NameLength(std::string_view text) {
    const size_t equals = text.find('=');
    return equals == std::string_view::npos ? 0 : equals;
}

}  // namespace

bool VorbisCommentList::Parse(std::string block, size_t from, size_t* end) {
    block_ = std::move(block);
    vendor_.clear();
    comments_.clear();
    changed_ = false;
    broken_ = true;
    const auto* data = reinterpret_cast<const unsigned char*>(block_.data());
    const size_t size = block_.size();
    size_t at = std::min(from, size);
    // A length, then that many bytes; false past the end of the block.
    auto next = [&](size_t* start, size_t* length) {
        if (size - at < 4) return false;
        const uint64_t stated = LittleEndian(data + at, 4);
        at += 4;
        if (size - at < stated) return false;
        *start = at;
        *length = static_cast<size_t>(stated);
        at += *length;
        return true;
    };
    if (end) *end = 0;
    size_t start = 0, length = 0;
    if (!next(&start, &length) || size - at < 4) return false;
    vendor_ = block_.substr(start, length);
    const uint64_t count = LittleEndian(data + at, 4);
    at += 4;
    for (uint64_t i = 0; i < count; ++i) {
        if (!next(&start, &length)) return false;
        comments_.push_back(Comment{start, length, false, {}, {}, false});
    }
    if (end) *end = at;
    broken_ = false;
    return true;
}

void VorbisCommentList::AddRead(std::string text) {
    comments_.push_back(Comment{0, 0, true, std::move(text), {}, false});
}

std::string VorbisCommentList::Render() const {
    std::string out;
    PutLength(&out, vendor_.size());
    out += vendor_;
    PutLength(&out, comments_.size());
    for (const Comment& comment : comments_) {
        const std::string_view text = Text(comment);
        PutLength(&out, text.size());
        out.append(text.data(), text.size());
    }
    return out;
}

std::string VorbisCommentList::NameAt(size_t index) const {
    const std::string_view text = TextAt(index);
    return std::string(text.substr(0, NameLength(text)));
}

bool VorbisCommentList::SameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    }
    return true;
}

bool VorbisCommentList::IsValidName(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(),
                                        [](char c) { return c >= 0x20 && c <= 0x7D && c != '='; });
}

bool VorbisCommentList::NameIs(const Comment& comment, const std::string& name) const {
    const std::string_view text = Text(comment);
    if (NameLength(text) != name.size()) return false;
    for (size_t i = 0; i < name.size(); ++i) {
        if (UpperAscii(text[i]) != UpperAscii(name[i])) return false;
    }
    return true;
}

StringEx VorbisCommentList::ValueOf(const Comment& comment) const {
    if (comment.hasGiven) return comment.given;
    const std::string_view text = Text(comment);
    const size_t equals = text.find('=');
    const std::string_view value =
        equals == std::string_view::npos ? text : text.substr(equals + 1);
    return StringEx(Utf8ToWide(std::string(value)));
}

bool VorbisCommentList::Counts(const Comment& comment, const std::string& name) const {
    if (!NameIs(comment, name)) return false;
    if (empty_ == EmptyValues::kCounted) return true;
    return comment.hasGiven ? !comment.given.IsEmpty() : Text(comment).size() > name.size() + 1;
}

bool VorbisCommentList::HasValue(const std::string& name) const {
    return std::any_of(comments_.begin(), comments_.end(),
                       [&](const Comment& comment) { return Counts(comment, name); });
}

StringEx VorbisCommentList::Joined(const std::string& name) const {
    const Comment* first = nullptr;
    std::wstring joined;
    for (const Comment& comment : comments_) {
        if (!Counts(comment, name)) continue;
        if (first) {
            if (joined.empty()) joined = ValueOf(*first).GetWide();
            joined += kValueJoin + ValueOf(comment).GetWide();
        } else {
            first = &comment;
        }
    }
    if (!first) return StringEx(std::string());
    return joined.empty() ? ValueOf(*first) : StringEx(joined);
}

std::vector<std::wstring> VorbisCommentList::Values(const std::string& name) const {
    std::vector<std::wstring> values;
    for (const Comment& comment : comments_) {
        if (Counts(comment, name)) values.push_back(ValueOf(comment).GetWide());
    }
    return values;
}

void VorbisCommentList::Replace(Comment* comment, std::string text) {
    *comment = Comment{0, 0, true, std::move(text), {}, false};
}

bool VorbisCommentList::Set(const std::string& name, StringEx value) {
    if (broken_) return false;
    auto first = std::find_if(comments_.begin(), comments_.end(),
                              [&](const Comment& comment) { return NameIs(comment, name); });
    const bool remove = value.IsEmpty();
    if (first == comments_.end()) {
        if (remove) return true;
        comments_.push_back(
            Comment{0, 0, true, name + "=" + WideToUtf8(value.GetWide()), value, true});
        changed_ = true;
        return true;
    }
    const size_t before = comments_.size();
    const auto from = first + (remove ? 0 : 1);
    comments_.erase(std::remove_if(from, comments_.end(),
                                   [&](const Comment& comment) { return NameIs(comment, name); }),
                    comments_.end());
    if (remove) {
        changed_ = true;
        return true;
    }
    std::string text =
        std::string(Text(*first).substr(0, name.size())) + "=" + WideToUtf8(value.GetWide());
    changed_ = changed_ || comments_.size() != before || text != Text(*first);
    Replace(&*first, std::move(text));
    first->given = std::move(value);
    first->hasGiven = true;
    return true;
}

bool VorbisCommentList::SetText(size_t index, std::string text) {
    if (broken_ || index > comments_.size()) return false;
    if (index == comments_.size()) {
        AddRead(std::move(text));
    } else if (Text(comments_[index]) != text || comments_[index].hasGiven) {
        Replace(&comments_[index], std::move(text));
    } else {
        return true;
    }
    changed_ = true;
    return true;
}

bool VorbisCommentList::Remove(size_t index) {
    if (broken_ || index >= comments_.size()) return false;
    comments_.erase(comments_.begin() + static_cast<std::ptrdiff_t>(index));
    changed_ = true;
    return true;
}
