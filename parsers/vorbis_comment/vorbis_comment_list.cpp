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

}  // namespace

bool VorbisCommentList::Parse(const unsigned char* data, size_t size, size_t* end) {
    vendor_.clear();
    comments_.clear();
    changed_ = false;
    broken_ = true;
    size_t at = 0;
    // A length, then that many bytes; false past the end of the data.
    auto next = [&](std::string* out) {
        if (size - at < 4) return false;
        const uint64_t length = LittleEndian(data + at, 4);
        at += 4;
        if (size - at < length) return false;
        out->assign(reinterpret_cast<const char*>(data + at), static_cast<size_t>(length));
        at += static_cast<size_t>(length);
        return true;
    };
    if (end) *end = 0;
    if (!data || !next(&vendor_) || size - at < 4) return false;
    const uint64_t count = LittleEndian(data + at, 4);
    at += 4;
    for (uint64_t i = 0; i < count; ++i) {
        std::string text;
        if (!next(&text)) return false;
        AddRead(std::move(text));
    }
    if (end) *end = at;
    broken_ = false;
    return true;
}

void VorbisCommentList::AddRead(std::string text) {
    comments_.push_back({std::move(text), {}, false});
}

std::string VorbisCommentList::Render() const {
    std::string out;
    PutLength(&out, vendor_.size());
    out += vendor_;
    PutLength(&out, comments_.size());
    for (const Comment& comment : comments_) {
        PutLength(&out, comment.text.size());
        out += comment.text;
    }
    return out;
}

std::string VorbisCommentList::NameAt(size_t index) const {
    const std::string& text = comments_[index].text;
    const size_t equals = text.find('=');
    return equals == std::string::npos ? std::string() : text.substr(0, equals);
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

bool VorbisCommentList::NameIs(const Comment& comment, const std::string& name) {
    const size_t equals = comment.text.find('=');
    const size_t nameLength = equals == std::string::npos ? 0 : equals;
    if (nameLength != name.size()) return false;
    for (size_t i = 0; i < nameLength; ++i) {
        if (UpperAscii(comment.text[i]) != UpperAscii(name[i])) return false;
    }
    return true;
}

StringEx VorbisCommentList::ValueOf(const Comment& comment) const {
    if (comment.hasGiven) return comment.given;
    const size_t equals = comment.text.find('=');
    return StringEx(
        Utf8ToWide(equals == std::string::npos ? comment.text : comment.text.substr(equals + 1)));
}

bool VorbisCommentList::Counts(const Comment& comment, const std::string& name) const {
    if (!NameIs(comment, name)) return false;
    if (empty_ == EmptyValues::kCounted) return true;
    return comment.hasGiven ? !comment.given.IsEmpty() : comment.text.size() > name.size() + 1;
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

bool VorbisCommentList::Set(const std::string& name, StringEx value) {
    if (broken_) return false;
    auto first = std::find_if(comments_.begin(), comments_.end(),
                              [&](const Comment& comment) { return NameIs(comment, name); });
    const bool remove = value.IsEmpty();
    if (first == comments_.end()) {
        if (remove) return true;
        comments_.push_back({name + "=" + WideToUtf8(value.GetWide()), value, true});
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
    std::string text = first->text.substr(0, name.size()) + "=" + WideToUtf8(value.GetWide());
    changed_ = changed_ || comments_.size() != before || text != first->text;
    *first = Comment{std::move(text), std::move(value), true};
    return true;
}

bool VorbisCommentList::SetText(size_t index, std::string text) {
    if (broken_ || index > comments_.size()) return false;
    if (index == comments_.size()) {
        comments_.push_back({std::move(text), {}, false});
    } else if (comments_[index].text != text || comments_[index].hasGiven) {
        comments_[index] = Comment{std::move(text), {}, false};
    } else {
        return true;
    }
    changed_ = true;
    return true;
}
