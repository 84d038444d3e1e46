#include "tests/support/built_locale.h"

#include <cstdlib>

#include "tests/support/process.h"

BuiltLocale::BuiltLocale(const std::string& source, const std::string& charmap)
    : name_(source + "." + charmap) {
    if (const char* old = std::getenv("LOCPATH")) {
        hadLocPath_ = true;
        oldLocPath_ = old;
    }
    CommandResult built =
        RunCommand({"/usr/bin/localedef", "-i", source, "-f", charmap, dir_.File(name_)});
    ok_ = built.status == 0;
    if (ok_) setenv("LOCPATH", dir_.path().c_str(), 1);
}

BuiltLocale::~BuiltLocale() {
    if (hadLocPath_) {
        setenv("LOCPATH", oldLocPath_.c_str(), 1);
    } else {
        unsetenv("LOCPATH");
    }
}
