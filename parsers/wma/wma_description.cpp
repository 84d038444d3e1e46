// CWMAParser's display texts: the ten description kinds, built from the
// title, artist, album and track attributes with the file title as fallback,
// and the template fill (DESCRIPTION_TEMPLATE).
#include "core/description_text.h"
#include "core/path_text.h"
#include "parsers/wma/wma_parser.h"

StringEx CWMAParser::GetDescription(int kind, StringEx text, int preferSecondary) {
    const StringEx file = FileTitleOf(path_);
    DescriptionFieldReader field = [this](int id) { return GetData(id); };
    if (kind != DESCRIPTION_TEMPLATE)
        return ComposeDescription(kind, PreferredFieldReader(field, preferSecondary), file);
    // The template reads the fields as they are: no preference, no trimming.
    std::string filled = FillDescriptionTemplate(
        text.GetNarrow(), StandardTemplateValues(field, file, file), &templateUnfilled_);
    return templateUnfilled_ ? file : StringEx(filled);
}
