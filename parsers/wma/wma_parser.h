// CWMAParser: Windows Media (WMA/ASF) files. Tag values are the file's string
// attributes, read and written through CWMAHeaderEditor; the audio range
// comes from its own walk over the top-level ASF objects.
//
// Nothing is held between calls: each open and each save opens the file and
// lets it go. Values read at open stay the answers until a save re-reads
// them; changes stay pending until a save writes them. One instance belongs
// to one thread at a time.
#ifndef LYPARSER_PARSERS_WMA_WMA_PARSER_H
#define LYPARSER_PARSERS_WMA_WMA_PARSER_H

#include <cstdint>
#include <string>

#include "core/ibase_tag.h"
#include "parsers/wma/wma_header_editor.h"
#include "parsers/wma/wma_object.h"

class CWMAParser : public IBaseTag {
public:
    ~CWMAParser() override;

    int Initialize() override;
    void Finalize() override;
    // 0 only for an empty path or a file that cannot be opened for reading;
    // a file TagLib cannot read still opens, with every field empty.
    int OpenFile(StringEx path) override;
    // 1 without touching the file when no change is pending; 0 when the file
    // cannot be opened as ASF, when the path no longer names the file opened
    // or the file changed since, when a pending value cannot be stored, or
    // when the save fails; the file is then unchanged.
    int ApplyFile() override;
    // Refuses a value held as wide text (returns 0). The track (field 6) is
    // WM/TrackNumber, kept in step with WM/Track (see SetPendingTrack).
    int SetData(int fieldId, StringEx value) override;
    // Records the change as narrow text; returns 1. A value equal to what
    // the attribute reads records nothing.
    int SetExData(StringEx key, StringEx value) override;
    // The track (field 6) reads WM/TrackNumber, text or number, else WM/Track.
    StringEx GetData(int fieldId) override;
    StringEx GetExData(StringEx key) override;
    StringEx GetMD5(int* start, int* end) override;
    StringEx GetDescription(int kind, StringEx text, int flag) override;
    StringEx GetFileInfo(int kind) override;
    int GetFileType() override;
    // Writes the Data Object's body start and end (low 32 bits); without a
    // Data Object, 0 and the file length. Returns 0.
    int GetSourceLength(int* start, int* end) override;

    // The attribute name of a field identifier; "" for identifiers without
    // one. The track's is WM/Track, which it reads without WM/TrackNumber.
    static const char* FieldName(int fieldId);

private:
    int OpenEditorOnPath();

    CWMAHeaderEditor editor_;
    CWMADataObject dataObject_;
    FileIdentity identity_;  // the file as opened or last saved
    int32_t fileLength_ = 0;
    StringEx path_;
    int templateUnfilled_ = 0;
};

#endif  // LYPARSER_PARSERS_WMA_WMA_PARSER_H
