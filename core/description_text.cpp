#include "core/description_text.h"

#include <initializer_list>
#include <vector>

#include "core/host_text.h"
#include "lyParser.h"

namespace {

enum Piece { kTitle, kTitleOrFile, kArtist, kAlbum, kTrack, kFile };

// Joins the non-empty pieces with " - ", wide when any of them is wide.
StringEx Join(std::vector<StringEx> pieces) {
    bool wide = false;
    std::vector<StringEx> present;
    for (auto& piece : pieces) {
        if (piece.IsEmpty()) continue;
        wide = wide || piece.IsWide();
        present.push_back(piece);
    }
    if (wide) {
        std::wstring text;
        for (size_t i = 0; i < present.size(); ++i)
            text += (i ? L" - " : L"") + present[i].GetWide();
        return StringEx(text);
    }
    std::string text;
    for (size_t i = 0; i < present.size(); ++i) text += (i ? " - " : "") + present[i].GetNarrow();
    return StringEx(text);
}

StringEx PieceOf(Piece piece, const DescriptionFieldReader& field, const StringEx& fileTitle) {
    switch (piece) {
        case kTitle:
            return field(FIELD_TITLE);
        case kTitleOrFile: {
            StringEx title = field(FIELD_TITLE);
            return title.IsEmpty() ? fileTitle : title;
        }
        case kArtist:
            return field(FIELD_ARTIST);
        case kAlbum:
            return field(FIELD_ALBUM);
        case kTrack:
            return field(FIELD_TRACK);
        case kFile:
            return fileTitle;
    }
    return StringEx();
}

// Replaces the first (or every) `token` in `text` with `value`; true when it
// occurred. Replaced text is never searched again.
bool Replace(std::string* text, const std::string& token, const std::string& value,
             TemplateMatches matches) {
    if (token.empty()) return false;
    bool found = false;
    for (size_t at = text->find(token); at != std::string::npos; at = text->find(token, at)) {
        text->replace(at, token.size(), value);
        found = true;
        if (matches == TemplateMatches::kFirst) break;
        at += value.size();
    }
    return found;
}

}  // namespace

StringEx ComposeDescription(int kind, const DescriptionFieldReader& field,
                            const StringEx& fileTitle) {
    static const std::vector<Piece> kKinds[] = {
        {kTitleOrFile, kArtist},          // 0
        {kArtist, kTitleOrFile},          // 1
        {kTitleOrFile, kAlbum, kArtist},  // 2
        {kFile, kTrack},                  // 3
        {kTitle, kFile},                  // 4
        {},                               // 5: the template
        {kTitleOrFile},                   // 6
        {kFile},                          // 7
        {kTrack, kTitleOrFile},           // 8
        {kTrack, kFile},                  // 9
    };
    if (kind < DESCRIPTION_TITLE_ARTIST || kind > DESCRIPTION_TRACK_FILE ||
        kind == DESCRIPTION_TEMPLATE)
        return StringEx();
    std::vector<StringEx> pieces;
    for (Piece piece : kKinds[kind]) pieces.push_back(PieceOf(piece, field, fileTitle));
    return Join(std::move(pieces));
}

std::string FillDescriptionTemplate(const std::string& format,
                                    const DescriptionTemplateValues& values, int* noTokenFilled,
                                    TemplateMatches matches) {
    std::string text = format;
    int notFilled = 1;
    if (Replace(&text, "%%", "%", matches)) notFilled = 0;
    const std::pair<unsigned, const std::string*> tokens[] = {
        {LYTEXT_TOKEN_FILENAME, &values.path},   {LYTEXT_TOKEN_FOLDER, &values.folder},
        {LYTEXT_TOKEN_TITLE, &values.title},     {LYTEXT_TOKEN_ARTIST, &values.artist},
        {LYTEXT_TOKEN_ALBUM, &values.album},     {LYTEXT_TOKEN_YEAR, &values.date},
        {LYTEXT_TOKEN_COMMENT, &values.comment}, {LYTEXT_TOKEN_GENRE, &values.genre},
        {LYTEXT_TOKEN_TRACK, &values.track},
    };
    for (const auto& token : tokens) {
        if (Replace(&text, HostText(token.first), *token.second, matches) && !token.second->empty())
            notFilled = 0;
    }
    if (noTokenFilled) *noTokenFilled = notFilled;
    return text;
}

DescriptionFieldReader PreferredFieldReader(DescriptionFieldReader field, int preferSecond) {
    return [field = std::move(field), preferSecond](int basicId) {
        const int second = basicId + (FIELD_TITLE2 - FIELD_TITLE);
        StringEx value = field(preferSecond ? second : basicId);
        value.Trim();
        if (value.IsEmpty()) {
            value = field(preferSecond ? basicId : second);
            value.Trim();
        }
        return value;
    };
}

DescriptionTemplateValues TemplateFieldValues(const DescriptionFieldReader& field) {
    DescriptionTemplateValues values;
    values.title = field(FIELD_TITLE).GetNarrow();
    values.artist = field(FIELD_ARTIST).GetNarrow();
    values.album = field(FIELD_ALBUM).GetNarrow();
    values.date = field(FIELD_YEAR).GetNarrow();
    values.genre = field(FIELD_GENRE).GetNarrow();
    values.comment = field(FIELD_COMMENT).GetNarrow();
    values.track = field(FIELD_TRACK).GetNarrow();
    return values;
}

DescriptionTemplateValues StandardTemplateValues(const DescriptionFieldReader& field, StringEx path,
                                                 StringEx fileTitle) {
    DescriptionTemplateValues values = TemplateFieldValues(field);
    values.path = path.GetNarrow();
    if (values.title.empty()) values.title = fileTitle.GetNarrow();
    return values;
}
