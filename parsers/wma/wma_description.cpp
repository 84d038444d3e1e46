// CWMAParser's display texts: the ten description kinds, built from the
// title, artist, album and track attributes with the file title as fallback,
// and the template fill of kind 5.
#include <string>
#include <vector>

#include "core/host_text.h"
#include "core/path_text.h"
#include "parsers/wma/wma_parser.h"

namespace {

// Parts joined with " - ": wide text when any part is held as wide text.
StringEx Join(std::vector<StringEx> parts) {
    bool wide = false;
    for (const StringEx& part : parts) wide = wide || part.IsWide();
    if (wide) {
        std::wstring text;
        for (size_t i = 0; i < parts.size(); ++i) text += (i ? L" - " : L"") + parts[i].GetWide();
        return StringEx(text);
    }
    std::string text;
    for (size_t i = 0; i < parts.size(); ++i) text += (i ? " - " : "") + parts[i].GetNarrow();
    return StringEx(text);
}

// Replaces the first occurrence of `token` in `text` by `value`; true when
// the token occurred.
bool ReplaceFirst(std::string* text, const std::string& token, const std::string& value) {
    if (token.empty()) return false;
    const size_t at = text->find(token);
    if (at == std::string::npos) return false;
    text->replace(at, token.size(), value);
    return true;
}

}  // namespace

StringEx CWMAParser::PairedField(int primary, int secondary, int preferSecondary) {
    StringEx value = GetData(preferSecondary ? secondary : primary);
    value.Trim();
    if (value.IsEmpty()) {
        value = GetData(preferSecondary ? primary : secondary);
        value.Trim();
    }
    return value;
}

StringEx CWMAParser::GetDescription(int kind, StringEx text, int flag) {
    if (kind == 5) return FillTemplate(text);
    if (kind < 0 || kind > 9) return StringEx();
    const StringEx file = FileTitleOf(path_);
    const StringEx title = PairedField(FIELD_TITLE, FIELD_TITLE2, flag);
    const StringEx artist = PairedField(FIELD_ARTIST, FIELD_ARTIST2, flag);
    const StringEx album = PairedField(FIELD_ALBUM, FIELD_ALBUM2, flag);
    const StringEx track = PairedField(FIELD_TRACK, FIELD_TRACK2, flag);
    const StringEx shown = title.IsEmpty() ? file : title;
    switch (kind) {
        case 0: return artist.IsEmpty() ? shown : Join({shown, artist});
        case 1: return artist.IsEmpty() ? shown : Join({artist, shown});
        case 2:
            if (album.IsEmpty() && artist.IsEmpty()) return shown;
            if (artist.IsEmpty()) return Join({shown, album});
            if (album.IsEmpty()) return Join({shown, artist});
            return Join({shown, album, artist});
        case 3: return track.IsEmpty() ? file : Join({file, track});
        case 4: return title.IsEmpty() ? file : Join({title, file});
        case 6: return shown;
        case 7: return file;
        case 8: return track.IsEmpty() ? shown : Join({track, shown});
        default: return track.IsEmpty() ? file : Join({track, file});
    }
}

StringEx CWMAParser::FillTemplate(StringEx text) {
    std::string filled = text.GetNarrow();
    templateUnfilled_ = 1;
    const std::string file = FileTitleOf(path_).GetNarrow();
    std::string title = GetData(FIELD_TITLE).GetNarrow();
    if (title.empty()) title = file;
    if (ReplaceFirst(&filled, "%%", "%")) templateUnfilled_ = 0;
    const struct {
        unsigned id;
        std::string value;
    } placeholders[] = {
        {9004, file},
        {9018, ""},
        {9019, title},
        {9002, GetData(FIELD_ARTIST).GetNarrow()},
        {9001, GetData(FIELD_ALBUM).GetNarrow()},
        {9021, GetData(FIELD_YEAR).GetNarrow()},
        {9003, GetData(FIELD_COMMENT).GetNarrow()},
        {9017, GetData(FIELD_GENRE).GetNarrow()},
        {9020, GetData(FIELD_TRACK).GetNarrow()},
    };
    for (const auto& placeholder : placeholders) {
        if (ReplaceFirst(&filled, HostText(placeholder.id), placeholder.value) &&
            !placeholder.value.empty()) {
            templateUnfilled_ = 0;
        }
    }
    return StringEx(templateUnfilled_ ? file : filled);
}
