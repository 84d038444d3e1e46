#include "core/path_text.h"

namespace {

template <typename Text>
size_t LastSeparator(const Text& path) {
    using Char = typename Text::value_type;
    size_t slash = path.rfind(static_cast<Char>('\\'));
    if (slash == Text::npos) slash = path.rfind(static_cast<Char>('/'));
    return slash;
}

}  // namespace

template <typename Text>
Text PathFileName(const Text& path) {
    size_t slash = LastSeparator(path);
    if (slash == Text::npos || slash + 1 == path.size()) return path;
    return path.substr(slash + 1);
}

template <typename Text>
Text PathExtension(const Text& path) {
    Text name = PathFileName(path);
    size_t dot = name.rfind(static_cast<typename Text::value_type>('.'));
    if (dot == Text::npos || dot + 1 == name.size()) return Text();
    return name.substr(dot + 1);
}

template <typename Text>
Text PathFileTitle(const Text& path) {
    Text name = PathFileName(path);
    size_t dot = name.rfind(static_cast<typename Text::value_type>('.'));
    if (dot == Text::npos || dot + 1 == name.size()) return name;
    return name.substr(0, dot);
}

template <typename Text>
Text PathFolder(const Text& path) {
    size_t slash = LastSeparator(path);
    return slash == Text::npos ? path : path.substr(0, slash);
}

template std::string PathFileName(const std::string&);
template std::wstring PathFileName(const std::wstring&);
template std::string PathExtension(const std::string&);
template std::wstring PathExtension(const std::wstring&);
template std::string PathFileTitle(const std::string&);
template std::wstring PathFileTitle(const std::wstring&);
template std::string PathFolder(const std::string&);
template std::wstring PathFolder(const std::wstring&);

StringEx FileTitleOf(StringEx path) {
    if (path.IsWide()) return StringEx(PathFileTitle(path.GetWide()));
    return StringEx(PathFileTitle(path.GetNarrow()));
}
