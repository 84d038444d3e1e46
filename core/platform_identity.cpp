#include "core/platform_identity.h"

#include <pwd.h>
#include <unistd.h>

#include <vector>

bool CurrentUserName(std::string* name) {
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry;
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_name) {
        return false;
    }
    *name = found->pw_name;
    return true;
}

bool LocalHostName(std::string* name) {
    char buffer[1024] = {};
    if (gethostname(buffer, sizeof buffer - 1) != 0) return false;
    *name = buffer;
    return true;
}
