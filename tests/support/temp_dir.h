// A temporary folder for one test, removed with everything in it afterwards,
// and small helpers to put bytes into files and read them back.
#ifndef LYPARSER_TESTS_SUPPORT_TEMP_DIR_H
#define LYPARSER_TESTS_SUPPORT_TEMP_DIR_H

#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    // Full path of `name` inside the folder.
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    // Writes `data` to `name` and returns the full path.
    std::string Write(const std::string& name, const Bytes& data) const;
    std::string Write(const std::string& name, const std::string& data) const;
    // The names in the folder (hidden ones too), sorted.
    std::vector<std::string> Names() const;

private:
    std::string path_;
};

Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& data);
// `count` bytes of a repeatable pseudo-random pattern.
Bytes PatternBytes(size_t count, unsigned seed = 1);

#endif  // LYPARSER_TESTS_SUPPORT_TEMP_DIR_H
