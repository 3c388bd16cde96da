// Linux environment names are case-sensitive; the launcher's are not, so an exact match is
// preferred and any spelling is accepted after it.
#include "platform/environment.h"

#include <cstdlib>
#include <cstring>
#include <strings.h>

extern char** environ;

namespace zor::platform {

bool getEnvironment(const char* name, ByteString& value) {
    value.clear();
    if (!name || !*name || std::strchr(name, '='))
        return false;
    if (const char* exact = std::getenv(name)) {
        value = exact;
        return true;
    }
    size_t length = std::strlen(name);
    for (char** entry = environ; entry && *entry; ++entry) {
        if (strncasecmp(*entry, name, length) == 0 && (*entry)[length] == '=') {
            value = *entry + length + 1;
            return true;
        }
    }
    return false;
}

bool setEnvironment(const char* name, const char* value) {
    if (!name || !*name || std::strchr(name, '='))
        return false;
    if (!value)
        return unsetenv(name) == 0;
    return setenv(name, value, 1) == 0;
}

} // namespace zor::platform
