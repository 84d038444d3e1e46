// Switches the calling thread to another LC_CTYPE locale for one scope.
#ifndef LYPARSER_TESTS_SUPPORT_LOCALE_GUARD_H
#define LYPARSER_TESTS_SUPPORT_LOCALE_GUARD_H

#include <locale.h>

#include <clocale>

#if defined(__SANITIZE_ADDRESS__)
#define LY_TEST_LEAK_CHECKER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LY_TEST_LEAK_CHECKER 1
#endif
#endif
#ifdef LY_TEST_LEAK_CHECKER
#include <sanitizer/lsan_interface.h>
#endif

// newlocale, with glibc's own leak left out of the leak check: with LOCPATH
// set it splits the path list into memory it never frees.
inline locale_t NewCtypeLocale(const char* name) {
#ifdef LY_TEST_LEAK_CHECKER
    __lsan_disable();
#endif
    locale_t locale = newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(0));
#ifdef LY_TEST_LEAK_CHECKER
    __lsan_enable();
#endif
    return locale;
}

class ThreadLocale {
public:
    // `name` as for newlocale; ok() is false when the locale is not installed.
    explicit ThreadLocale(const char* name)
        : locale_(NewCtypeLocale(name)),
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
