// ASCII case folding, for names compared without regard to case (file
// endings, attribute names, protocol words). Letters outside ASCII are left
// as they are. Thread-safe.
#ifndef LYPARSER_CORE_ASCII_H
#define LYPARSER_CORE_ASCII_H

template <typename Char>
Char UpperAscii(Char c) {
    return c >= Char('a') && c <= Char('z') ? static_cast<Char>(c - ('a' - 'A')) : c;
}

// `text` (a std::string or std::wstring) with its ASCII letters upper-cased.
template <typename Text>
Text UpperAsciiText(Text text) {
    for (auto& c : text) c = UpperAscii(c);
    return text;
}

#endif  // LYPARSER_CORE_ASCII_H
