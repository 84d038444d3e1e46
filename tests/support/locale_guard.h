// Switches the calling thread to another LC_CTYPE locale for one scope.
#ifndef LYPARSER_TESTS_SUPPORT_LOCALE_GUARD_H
#define LYPARSER_TESTS_SUPPORT_LOCALE_GUARD_H

#include <clocale>
#include <locale.h>

class ThreadLocale {
public:
    // `name` as for newlocale; ok() is false when the locale is not installed.
    explicit ThreadLocale(const char* name)
        : locale_(newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0))),
          previous_(locale_ ? uselocale(locale_) : static_cast<locale_t>(0)) {}
    ~ThreadLocale() {
        if (locale_) {
            uselocale(previous_);
            freelocale(locale_);
        }
    }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;
    bool ok() const { return locale_ != static_cast<locale_t>(0); }

private:
    locale_t locale_;
    locale_t previous_;
};

#endif  // LYPARSER_TESTS_SUPPORT_LOCALE_GUARD_H
