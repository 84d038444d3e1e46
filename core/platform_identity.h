// Who and where this process runs: the user name and the host name.
// Thread-safe.
#ifndef LYPARSER_CORE_PLATFORM_IDENTITY_H
#define LYPARSER_CORE_PLATFORM_IDENTITY_H

#include <string>

// The name of the process's effective user; false when it cannot be found.
bool CurrentUserName(std::string* name);
// The machine's network host name; false when it cannot be read.
bool LocalHostName(std::string* name);

#endif  // LYPARSER_CORE_PLATFORM_IDENTITY_H
