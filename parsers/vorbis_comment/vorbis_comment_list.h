// VorbisCommentList: the Vorbis comments of one file (Ogg Vorbis, Opus,
// FLAC) as the file holds them, and the rules every format applies to them.
//
// Each comment is kept as the bytes read; a value is decoded from UTF-8 only
// when it is asked for, so a cover picture nobody reads costs nothing. A name
// is the bytes before the first "=" ("" for a text without one) and names
// compare without regard to the case of ASCII letters. A change replaces every
// comment of a name with one comment at the place of the first (keeping its
// spelling of the name); an empty value removes them all; comments no change
// touched keep their bytes and their order, and new ones go at the end. A
// list that could not be read whole refuses every change, so that it is never
// written back without what could not be read.
//
// Plain value; one thread at a time.
#ifndef LYPARSER_PARSERS_VORBIS_COMMENT_VORBIS_COMMENT_LIST_H
#define LYPARSER_PARSERS_VORBIS_COMMENT_VORBIS_COMMENT_LIST_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/string_ex.h"

class VorbisCommentList {
public:
    // Whether a comment with an empty value holds a value. FLAC files answer
    // as TagLib reads them, where it holds none.
    enum class EmptyValues { kCounted, kIgnored };

    explicit VorbisCommentList(EmptyValues empty = EmptyValues::kCounted) : empty_(empty) {}

    // Reads the comment block that starts at `from` in `block` (kept whole,
    // so that comments are not copied one by one): the vendor string and the
    // comments, each behind its 32-bit little-endian length. `end`, when not
    // null, receives the offset behind the last comment. False when the
    // block is cut or malformed: the comments before the fault are kept and
    // changes are then refused.
    bool Parse(std::string block, size_t from = 0, size_t* end = nullptr);
    // Appends a comment read from a file, as its whole text.
    void AddRead(std::string text);
    // The block as Parse reads it: vendor, count, comments.
    std::string Render() const;
    const std::string& Vendor() const { return vendor_; }

    size_t Count() const { return comments_.size(); }
    // Comment `index`'s name, and its whole text as it will be written.
    std::string NameAt(size_t index) const;
    std::string_view TextAt(size_t index) const { return Text(comments_[index]); }

    // True when a comment named `name` holds a value.
    bool HasValue(const std::string& name) const;
    // Every value named `name` in list order, joined with "; "; a single one
    // as it is held (a value set here reads back as it was given). Empty
    // narrow text when there is none.
    StringEx Joined(const std::string& name) const;
    // Every value named `name`, in list order.
    std::vector<std::wstring> Values(const std::string& name) const;

    // Replaces every comment named `name` with one holding `value`, or
    // removes them all when `value` is empty. False, changing nothing, when
    // the list was not read whole.
    bool Set(const std::string& name, StringEx value);
    // Puts `text` in place of comment `index`, or appends it when `index` is
    // Count(). False, changing nothing, when the list was not read whole.
    bool SetText(size_t index, std::string text);
    // Removes comment `index`. False, changing nothing, when the list was not
    // read whole.
    bool Remove(size_t index);
    // True when a change altered the list since it was read or last marked
    // saved.
    bool Changed() const { return changed_; }
    void MarkSaved() { changed_ = false; }
    bool Complete() const { return !broken_; }

    // True for a name a comment may be written with: 1 or more ASCII
    // characters from 0x20 to 0x7D, "=" excepted.
    static bool IsValidName(const std::string& name);
    static bool SameName(const std::string& a, const std::string& b);

private:
    struct Comment {
        size_t at = 0;  // where its text lies in block_, unless it has its own
        size_t length = 0;
        bool own = false;
        std::string text;  // its own text: added, or as a change wrote it
        StringEx given;    // the value as a change gave it
        bool hasGiven = false;
    };

    std::string_view Text(const Comment& comment) const {
        return comment.own ? std::string_view(comment.text)
                           : std::string_view(block_).substr(comment.at, comment.length);
    }
    bool NameIs(const Comment& comment, const std::string& name) const;
    void Replace(Comment* comment, std::string text);
    StringEx ValueOf(const Comment& comment) const;
    bool Counts(const Comment& comment, const std::string& name) const;

    EmptyValues empty_;
    std::string block_;
    std::string vendor_;
    std::vector<Comment> comments_;
    bool broken_ = false;
    bool changed_ = false;
};

#endif  // LYPARSER_PARSERS_VORBIS_COMMENT_VORBIS_COMMENT_LIST_H
