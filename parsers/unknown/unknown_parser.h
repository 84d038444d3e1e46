// CUnknownParser: the fallback for every file whose name names no known
// format. It reads no tags: it answers the file title, the audio length from
// the host's engine, the file's length as the audio range, and digests.
// One instance belongs to one thread at a time.
#ifndef LYPARSER_PARSERS_UNKNOWN_UNKNOWN_PARSER_H
#define LYPARSER_PARSERS_UNKNOWN_UNKNOWN_PARSER_H

#include <cstdint>

#include "core/ibase_tag.h"

class CUnknownParser : public IBaseTag {
public:
    ~CUnknownParser() override;

    int Initialize() override;
    void Finalize() override;
    void CloseFile() override;
    // Refuses an empty path, an archive extension (or none), and anything that
    // is not an existing, readable regular file.
    int OpenFile(StringEx path) override;
    StringEx GetData(int fieldId) override;
    StringEx GetMD5(int* start, int* end) override;
    StringEx GetDescription(int kind, StringEx text, int flag) override;
    StringEx GetFileInfo(int kind) override;
    int GetFileType() override;
    int GetSourceLength(int* start, int* end) override;

private:
    StringEx path_;
    int32_t fileLength_ = 0;
};

#endif  // LYPARSER_PARSERS_UNKNOWN_UNKNOWN_PARSER_H
