// What the C layer's functions share: the handle behind a lyparser_file, the
// UTF-8 locale every call to the module runs in, the copies handed to the
// host, and the reason the module keeps for a handle. Thread-safe.
#ifndef LYPARSER_BINDINGS_C_C_LAYER_H
#define LYPARSER_BINDINGS_C_C_LAYER_H

#include <locale.h>

#include <string>

#include "lyParser.h"
#include "lyparser_c.h"

inline IBaseTag* Handle(lyparser_file* file) { return reinterpret_cast<IBaseTag*>(file); }

// Makes the calling thread's LC_CTYPE C.UTF-8 (the plain C locale, which the
// module also reads as UTF-8, where C.UTF-8 is missing) for the scope: the
// module's narrow text is then UTF-8, whatever locale the host set.
class Utf8Calls {
public:
    Utf8Calls();
    ~Utf8Calls() { uselocale(saved_); }
    Utf8Calls(const Utf8Calls&) = delete;
    Utf8Calls& operator=(const Utf8Calls&) = delete;

private:
    locale_t saved_;
};

// True between lyparser_init and lyparser_shutdown.
bool Started();

// A malloc'ed copy the host frees with lyparser_free; null when memory ran out.
char* CopyText(const std::string& text);

// The module's reason for the last failed set, save or strip on `handle`.
lyparser_reason LastReason(IBaseTag* handle, std::string* line = nullptr);

#endif  // LYPARSER_BINDINGS_C_C_LAYER_H
