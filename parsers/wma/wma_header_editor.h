// CWMAHeaderEditor: the string attributes of a Windows Media (ASF) file,
// read and written through TagLib's ASF support.
//
// Only string attributes of stream 0 are seen, and the track number of any
// type. The content-description fields appear as the attributes "Title",
// "Author", "Copyright", "Description" and "Rating". A name held several
// times reads as its values joined with ";", in the order readers take them
// (see asf_attribute_layout.h), which a save keeps. Writing a name deletes
// every stream-0 attribute of that name and then adds the value when it is
// not empty; attributes of other names, of other streams and of other types
// are never touched, and a save adds none the caller did not write.
//
// The editor is opened and closed around each use: one open reads all
// attributes into the cache (adding or overwriting entries, never removing
// any); a save opens, applies the pending changes and closes, which writes
// the file only when something was written. Between uses no file is held.
// One instance belongs to one thread at a time.
#ifndef LYPARSER_PARSERS_WMA_WMA_HEADER_EDITOR_H
#define LYPARSER_PARSERS_WMA_WMA_HEADER_EDITOR_H

#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "core/file_identity.h"
#include "core/string_ex.h"
#include "parsers/wma/asf_attribute_layout.h"

struct AsfHeaderScan;
class SplicedFileStream;

namespace TagLib {
class ByteVectorStream;
namespace ASF {
class File;
}
}  // namespace TagLib

// The most UTF-16 code units an attribute name or value may hold: its byte
// length, terminator included, is a 16-bit field in the file.
constexpr size_t kMaxAsfTextUnits = 32766;

class CWMAHeaderEditor {
public:
    CWMAHeaderEditor();
    ~CWMAHeaderEditor();
    CWMAHeaderEditor(const CWMAHeaderEditor&) = delete;
    CWMAHeaderEditor& operator=(const CWMAHeaderEditor&) = delete;

    // Opens the file at `path` (kept as the editor's path) and reads its
    // attributes into the cache. 0 for a null path, a file that is missing,
    // not a regular file or not an ASF file; the cache is then unchanged.
    int OpenEditor(const wchar_t* path);
    int OpenEditor(const char* path);
    // The same for reading only, from `file` (open for reading, `length`
    // bytes), which stays the caller's: its ASF header is read into memory
    // and parsed there. The editor's path is not changed.
    int OpenEditorOnFile(std::FILE* file, int64_t length);
    // Saves the file when an attribute was written since the open (all or
    // nothing, and only while it is still the file opened), then lets it go;
    // after a save the cache holds what the file now holds. Returns 0 only
    // when that save failed.
    int CloseEditor();
    // The file as the last open by path read it, or as the last save left
    // it (written, or as it was again).
    const FileIdentity& Identity() const { return identity_; }

    // A copy of the cached value of `name`, compared without regard to ASCII
    // case; a name never read is cached as "" from then on.
    StringEx FindAttribute(const char* name);
    // True when stream 0 holds `name` (compared without regard to ASCII
    // case) in any type, or the content-description text of that name.
    bool HasAttribute(const char* name);
    // The track number: the string values of WM/TrackNumber, else the first
    // of its numbers in decimal. False when the file has none.
    bool TrackNumber(StringEx* text) const;

    // Records `value` for `name` (names compared byte for byte); returns 1.
    int SetPending(const char* name, const char* value);
    // Records the track number to write: WM/TrackNumber in the type the file
    // stores it in (text when it has none, or when the value is no plain
    // number), and an existing WM/Track kept one lower, in its own type. An
    // empty value removes both.
    void SetPendingTrack(const std::string& value);
    // Forgets a change recorded for `name` (byte for byte), or for the track.
    void DropPending(const char* name);
    void DropPendingTrack() { pendingTrack_.reset(); }
    bool HasPending() const { return !pending_.empty() || pendingTrack_; }
    // Forgets every pending change, once a save has written them.
    void ClearPending();
    // Writes every pending change into the open file, in name order. Returns
    // 0 without writing anything when no file is open, when its ASF header
    // does not hold together (sizes or counts that disagree), or when some
    // name or value is longer than kMaxAsfTextUnits. The changes stay pending.
    int ApplyPending();
    // Nonzero when the last open found a Content Encryption or Extended
    // Content Encryption object in the ASF header.
    int IsProtected() const { return isProtected_; }

    void ClearModified() { modified_ = false; }
    // Empties the pending changes and the attribute cache.
    void ClearMaps();

private:
    int Open(const std::string& nativePath);
    // Takes `file` as the open editor when TagLib finds it valid; `header`
    // is the Header Object it read.
    int Adopt(std::unique_ptr<TagLib::ASF::File> file, const AsfHeaderScan& scan,
              const std::vector<unsigned char>& header);
    void ReadAttributesEx();
    void StoreAttribute(const std::wstring& name, const std::wstring& value);
    int WriteAttributeEx(const std::string& name, const std::string& value);
    void WriteTrack(const std::string& value);
    // Leaves the empty content-description texts TagLib's save wrote out of
    // the header again, but those the file stored and nobody wrote.
    void LeaveOutEmptyTexts();
    // Where blocks are shared, sizes the header's Padding Object (one is
    // added where there is none) so that the Data Object keeps its offset
    // modulo the block size.
    void KeepAudioAlignment();

    // The in-memory header an editor opened by OpenEditorOnFile reads from,
    // or the file an editor opened by path reads and saves; declared first so
    // that they outlive the editor.
    std::unique_ptr<TagLib::ByteVectorStream> header_;
    std::unique_ptr<SplicedFileStream> file_;
    FileIdentity identity_;
    std::unique_ptr<TagLib::ASF::File> editor_;
    bool pathIsWide_ = false;
    std::wstring widePath_;
    std::string narrowPath_;
    int isProtected_ = 0;
    std::map<std::string, StringEx> cache_;
    std::map<std::string, std::string> pending_;
    std::optional<std::string> pendingTrack_;
    std::set<std::string> present_;  // stream-0 names of any type, upper-cased
    std::optional<std::wstring> trackNumber_;
    AsfContentFlags storedEmpty_{};     // as the last open read them
    AsfContentFlags contentWritten_{};  // written since the open
    bool modified_ = false;
    bool wellFormed_ = false;
};

#endif  // LYPARSER_PARSERS_WMA_WMA_HEADER_EDITOR_H
