// A locale the machine need not have installed: built with localedef into a
// temporary folder that LOCPATH names for as long as the object lives, so
// tests can run in legacy code pages. Only one at a time, on the test's main
// thread; LOCPATH is restored when it goes.
#ifndef LYPARSER_TESTS_SUPPORT_BUILT_LOCALE_H
#define LYPARSER_TESTS_SUPPORT_BUILT_LOCALE_H

#include <string>

#include "tests/support/temp_dir.h"

class BuiltLocale {
public:
    // `source` and `charmap` as localedef takes them: "en_US", "ISO-8859-1".
    BuiltLocale(const std::string& source, const std::string& charmap);
    ~BuiltLocale();
    BuiltLocale(const BuiltLocale&) = delete;
    BuiltLocale& operator=(const BuiltLocale&) = delete;

    // False when localedef or its locale sources are not on the machine.
    bool ok() const { return ok_; }
    // The name to pass to newlocale (ThreadLocale).
    const char* name() const { return name_.c_str(); }

private:
    TempDir dir_;
    std::string name_;
    bool ok_ = false;
    bool hadLocPath_ = false;
    std::string oldLocPath_;
};

#endif  // LYPARSER_TESTS_SUPPORT_BUILT_LOCALE_H
