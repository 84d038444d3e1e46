// COGGParser: comment fields by identifier and by name, and the descriptions.
// A field is every comment of its name (without regard to case): it reads
// all their values and a change replaces them all. The comment field is
// DESCRIPTION, else COMMENT, so that files of every tagger show their comment.
#include "core/description_text.h"
#include "core/failure_reason.h"
#include "core/path_text.h"
#include "lyParser.h"
#include "parsers/ogg/ogg_field_names.h"
#include "parsers/ogg/ogg_parser.h"

StringEx COGGParser::GetData(int fieldId) {
    if (codec_ == OggCodec::kOpus && (fieldId == FIELD_PICTURE || fieldId == FIELD_PICTURE_INFO))
        return PictureField(fieldId);
    if (!OggFieldName(fieldId)) return StringEx(std::string());
    return comments_.Joined(OggReadName(comments_, fieldId));
}

int COGGParser::SetData(int fieldId, StringEx value) {
    if (openedFromMemory_) return ReportFailure(LYPARSER_NOT_WRITABLE), 0;
    if (codec_ == OggCodec::kOpus && fieldId == FIELD_PICTURE) return SetPictureFile(value);
    // Identifiers without a comment name are refused rather than written as
    // comments with an empty name.
    if (!OggFieldName(fieldId)) return 0;
    // DESCRIPTION and COMMENT are the one comment field: emptied, both go.
    if (fieldId == FIELD_COMMENT && value.IsEmpty() && !comments_.Set("DESCRIPTION", value)) {
        return 0;
    }
    return SetNamed(OggReadName(comments_, fieldId), std::move(value));
}

int COGGParser::SetNamed(const std::string& name, StringEx value) {
    // Pin the code-page reading of narrow text now, in the caller's locale.
    if (value.GetWide() == comments_.Joined(name).GetWide()) return 1;
    return comments_.Set(name, std::move(value)) ? 1 : 0;
}

StringEx COGGParser::GetExData(StringEx key) {
    // A memory image answers by identifier only.
    if (openedFromMemory_) return StringEx(std::string());
    std::string name = key.GetNarrow();
    if (AnswersPictureKey(name)) return keys_.Get(&pictures_, name);
    if (name.empty()) {
        std::string names;
        for (size_t i = 0; i < comments_.Count(); ++i) {
            const std::string commentName = comments_.NameAt(i);
            if (OggFieldOfName(commentName) < 0) names += commentName + ",";
        }
        return StringEx(names);
    }
    const int fieldId = OggFieldOfName(name);
    return fieldId >= 0 ? GetData(fieldId) : comments_.Joined(name);
}

int COGGParser::SetExData(StringEx key, StringEx value) {
    std::string name = key.GetNarrow();
    if (openedFromMemory_) return ReportFailure(LYPARSER_NOT_WRITABLE), 0;
    if (AnswersPictureKey(name)) return SetPictureKey(name, std::move(value));
    if (!VorbisCommentList::IsValidName(name)) return 0;
    const int fieldId = OggFieldOfName(name);
    return fieldId >= 0 ? SetData(fieldId, std::move(value)) : SetNamed(name, std::move(value));
}

StringEx COGGParser::GetDescription(int kind, StringEx text, int) {
    DescriptionFieldReader field = [this](int id) { return GetData(id); };
    StringEx fileTitle = FileTitleOf(path_);
    if (kind != DESCRIPTION_TEMPLATE) return ComposeDescription(kind, field, fileTitle);
    std::string filled = FillDescriptionTemplate(
        text.GetNarrow(), StandardTemplateValues(field, path_, fileTitle), &noTokenFilled_);
    return noTokenFilled_ ? StringEx(fileTitle.GetNarrow()) : StringEx(filled);
}
