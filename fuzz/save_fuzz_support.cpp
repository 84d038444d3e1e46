#include "fuzz/save_fuzz_support.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "lyParser.h"

namespace {

std::string& ScratchFolder() {
    static std::string folder;
    return folder;
}

void RemoveScratchFolder() {
    const std::string& folder = ScratchFolder();
    if (folder.empty()) return;
    for (const std::string& name : FolderNames(folder)) ::unlink((folder + "/" + name).c_str());
    ::rmdir(folder.c_str());
}

}  // namespace

std::string ScratchPath(const char* prefix, const char* fileName) {
    std::string& folder = ScratchFolder();
    if (folder.empty()) {
        std::string pattern = "/tmp/" + std::string(prefix) + "-XXXXXX";
        if (!mkdtemp(pattern.data())) std::abort();
        folder = pattern;
        std::atexit(RemoveScratchFolder);
    }
    return folder + "/" + fileName;
}

bool WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

FuzzBytes ReadBytes(const std::string& path, bool* ok) {
    FuzzBytes bytes;
    *ok = false;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return bytes;
    unsigned char block[65536];
    size_t got;
    while ((got = std::fread(block, 1, sizeof(block), file)) > 0)
        bytes.insert(bytes.end(), block, block + got);
    *ok = !std::ferror(file);
    std::fclose(file);
    return bytes;
}

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    return names;
}

void ReadEverything(IBaseTag* handle) {
    for (int id = -1; id <= 38; ++id) {
        TagParserGetData(handle, id);
        TagParserGetDataW(handle, id);
    }
    TagParserGetExData(handle, "");
    TagParserGetExData(handle, "ENCODER");
    // Every item and picture, and one type's picture, where the keys are answered.
    for (const char* key : {LYPARSER_KEY_ITEMS, LYPARSER_KEY_PICTURES, LYPARSER_KEY_PICTURE "4"})
        TagParserGetExData(handle, key);
    TagParserGetAllLyric(handle, 0);
    TagParserGetFileType(handle);
    for (int kind = -1; kind <= 16; ++kind) TagParserGetFileInfo(handle, kind);
    for (int kind = -1; kind <= 10; ++kind) {
        TagParserGetDescription(handle, kind, "%title% - %artist% %% %year%", kind & 1);
        TagParserGetDescriptionW(handle, kind, "%album% (%track%)", kind & 1);
    }
    int start = -1, end = -1;
    TagParserGetSourceLength(handle, &start, &end);
    TagParserGetMD5(handle, &start, &end);
    start = -1, end = -1;
    TagParserGetCheckSum(handle, &start, &end);
    int size = std::atoi(TagParserGetData(handle, FIELD_PICTURE_INFO).c_str());
    if (size > 0 && size <= (64 << 20)) {
        std::vector<unsigned char> picture(static_cast<size_t>(size));
        TagParserGetAttachedPictureData(handle, picture.data());
    }
}

void ReadFields(IBaseTag* handle) {
    for (int id = -1; id <= 38; ++id) TagParserGetDataW(handle, id);
    int start = -1, end = -1;
    TagParserGetSourceLength(handle, &start, &end);
}

unsigned ChoiceByte(const uint8_t* data, size_t size, size_t fromEnd) {
    if (size <= fromEnd) return 0;
    unsigned mixed =
        data[size - 1 - fromEnd] ^ static_cast<unsigned>(size) ^ static_cast<unsigned>(size >> 8);
    return mixed & 0xFFu;
}

void Require(bool holds, const char* promise, const std::string& path) {
    if (holds) return;
    std::fprintf(stderr, "broken: %s (%s)\n", promise, path.c_str());
    std::abort();
}

void CheckSave(
    const char* prefix, const char* fileName, const uint8_t* data, size_t size,
    const std::function<int(const std::string& path, FuzzBytes* before)>& save,
    const std::function<void(const std::string& path, const FuzzBytes& after)>& checkSaved) {
    const std::string path = ScratchPath(prefix, fileName);
    const std::string folder = path.substr(0, path.rfind('/'));
    if (!WriteBytes(path, data, size)) return;
    FuzzBytes before;
    const int saved = save(path, &before);
    if (saved < 0) return;
    Require(FolderNames(folder).size() == 1, "a save leaves no other file beside the original",
            path);
    bool read = false;
    FuzzBytes after = ReadBytes(path, &read);
    Require(read, "the file reads after the save", path);
    if (saved == 0) Require(after == before, "a failed save leaves the file byte for byte", path);
    if (saved == 1) checkSaved(path, after);
}
