// COGGParser: comment fields by identifier and by name, and the descriptions.
// Known fields answer by identifier, every other comment by its name; names
// compare without regard to case and the first entry of a name wins.
#include "core/description_text.h"
#include "core/path_text.h"
#include "parsers/ogg/ogg_parser.h"

StringEx COGGParser::GetData(int fieldId) {
    const char* name = OggFieldName(fieldId);
    OggComment* entry = name ? FindOggComment(knownFields_, name) : nullptr;
    return entry ? entry->value : StringEx(std::string());
}

int COGGParser::SetData(int fieldId, StringEx value) {
    const char* name = OggFieldName(fieldId);
    // Identifiers without a comment name are refused rather than written as
    // comments with an empty name.
    if (!name || value.IsEmpty() || openedFromMemory_) return 0;
    // Pin the code-page reading of narrow text now, in the caller's locale.
    value.GetWide();
    if (OggComment* entry = FindOggComment(knownFields_, name)) {
        entry->Replace(value);
    } else {
        knownFields_.push_back(OggComment{name, value});
    }
    return 1;
}

StringEx COGGParser::GetExData(StringEx key) {
    std::string name = key.GetNarrow();
    if (name.empty()) {
        std::string names;
        for (const auto& entry : otherComments_) names += entry.name + ",";
        return StringEx(names);
    }
    OggComment* entry = FindOggComment(otherComments_, name);
    return entry ? entry->value : StringEx(std::string());
}

int COGGParser::SetExData(StringEx key, StringEx value) {
    if (openedFromMemory_) return 0;
    std::string name = key.GetNarrow();
    value.GetWide();
    if (OggComment* entry = FindOggComment(otherComments_, name)) {
        entry->Replace(value);
    } else {
        otherComments_.push_back(OggComment{name, value});
    }
    return 1;
}

StringEx COGGParser::GetDescription(int kind, StringEx text, int) {
    DescriptionFieldReader field = [this](int id) { return GetData(id); };
    StringEx fileTitle = FileTitleOf(path_);
    if (kind != DESCRIPTION_TEMPLATE) return ComposeDescription(kind, field, fileTitle);
    std::string filled = FillDescriptionTemplate(
        text.GetNarrow(), StandardTemplateValues(field, path_, fileTitle), &noTokenFilled_);
    return noTokenFilled_ ? StringEx(fileTitle.GetNarrow()) : StringEx(filled);
}
