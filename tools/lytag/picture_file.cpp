#include "tools/lytag/picture_file.h"

#include <strings.h>

#include <cstring>
#include <fstream>

#include "tools/lytag/file_check.h"

namespace {

struct Signature {
    ImageKind kind;
    const char* bytes;
    size_t size;
};

const Signature kSignatures[] = {
    {{"JPEG", "jpg"}, "\xFF\xD8\xFF", 3},
    {{"PNG", "png"}, "\x89PNG\r\n\x1A\n", 8},
    {{"GIF", "gif"}, "GIF87a", 6},
    {{"GIF", "gif"}, "GIF89a", 6},
};

const char* const kImageExtensions[] = {"jpg", "jpeg", "jpe", "png", "gif", "bin"};

}  // namespace

const ImageKind* ImageKindOf(const unsigned char* data, size_t size) {
    for (const auto& signature : kSignatures) {
        if (size >= signature.size && std::memcmp(data, signature.bytes, signature.size) == 0) {
            return &signature.kind;
        }
    }
    return nullptr;
}

std::string CheckPictureFile(const std::string& path, long long* bytes) {
    std::string problem = ReadProblem(path);
    if (!problem.empty()) return problem;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return "cannot be read";
    *bytes = static_cast<long long>(in.tellg());
    unsigned char head[8] = {};
    in.seekg(0);
    in.read(reinterpret_cast<char*>(head), sizeof head);
    if (!ImageKindOf(head, static_cast<size_t>(in.gcount()))) return "not a JPEG, PNG or GIF image";
    return std::string();
}

std::string NameForPicture(const std::string& out, const ImageKind* kind) {
    const std::string extension = kind ? kind->extension : "bin";
    size_t dot = out.find_last_of('.');
    size_t slash = out.find_last_of('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
        const char* given = out.c_str() + dot + 1;
        const bool jpeg = strcasecmp(given, "jpeg") == 0 || strcasecmp(given, "jpe") == 0;
        if (strcasecmp(given, extension.c_str()) == 0 || (jpeg && extension == "jpg")) return out;
        for (const char* known : kImageExtensions) {
            if (strcasecmp(given, known) == 0) return out.substr(0, dot + 1) + extension;
        }
    }
    return out + "." + extension;
}
