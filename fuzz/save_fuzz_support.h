// What the fuzz targets that save share: a private scratch folder, whole-file
// reads and writes, a pass over every answer a handle gives, and the check
// that ends the process with abort() so that libFuzzer keeps the input that
// broke a promise. Single-threaded, as libFuzzer runs its inputs.
#ifndef LYPARSER_FUZZ_SAVE_FUZZ_SUPPORT_H
#define LYPARSER_FUZZ_SAVE_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class IBaseTag;

using FuzzBytes = std::vector<unsigned char>;

// `fileName` inside a folder of its own, made on first use by this process
// (named after `prefix`) and removed with everything in it at exit.
std::string ScratchPath(const char* prefix, const char* fileName);

// Replaces the file's content; false when it cannot be written whole.
bool WriteBytes(const std::string& path, const uint8_t* data, size_t size);
// The file's whole content; `ok` is false when it cannot be read.
FuzzBytes ReadBytes(const std::string& path, bool* ok);
// The names in `folder`, "." and ".." left out.
std::vector<std::string> FolderNames(const std::string& folder);

// Asks the handle every field (-1..38, narrow and wide), every technical
// text, every description, the audio range, the digests and the picture.
void ReadEverything(IBaseTag* handle);
// Asks the handle every field (wide) and the audio range: the cheaper pass
// for a handle that has just saved.
void ReadFields(IBaseTag* handle);

// The byte `fromEnd` places before the input's end mixed with its size, so
// that mutations which change the size also change the choices made from it;
// 0 for inputs too short to have it.
unsigned ChoiceByte(const uint8_t* data, size_t size, size_t fromEnd);

// Aborts, naming the broken promise and the file on stderr, unless `holds`.
void Require(bool holds, const char* promise, const std::string& path);

// One save case: writes the input as `fileName` in the scratch folder named
// after `prefix`, lets `save` change and save it (it returns ApplyFile's
// result, or -1 when the file did not open, and stores the bytes it saw just
// before the save), then requires what every save promises (nothing left
// beside the file; a failed save leaves it byte for byte) and, after a save
// that reported success, calls `checkSaved` with the saved bytes.
void CheckSave(
    const char* prefix, const char* fileName, const uint8_t* data, size_t size,
    const std::function<int(const std::string& path, FuzzBytes* before)>& save,
    const std::function<void(const std::string& path, const FuzzBytes& after)>& checkSaved);

#endif  // LYPARSER_FUZZ_SAVE_FUZZ_SUPPORT_H
