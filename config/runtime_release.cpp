#include "config/runtime_release.h"

#include "common/text.h"
#include "platform/files.h"
#include "platform/system.h"

#include <cstring>

namespace zor {

namespace {

// Release files are a few kilobytes; anything much larger is not one.
constexpr int32_t RELEASE_FILE_LIMIT = 64 * 1024;
constexpr int RELEASE_SEARCH_LEVELS = 5;

bool isSeparator(char c) {
    return c == platform::DIR_SEPARATOR || c == '/';
}

// A decimal number at `at`, advancing past it; -1 when there is no digit.
int32_t readNumber(const char*& at, const char* end) {
    int32_t value = -1;
    while (at < end && *at >= '0' && *at <= '9') {
        int32_t digit = *at++ - '0';
        value = value < 0 ? digit : (value > 100000 ? value : value * 10 + digit);
    }
    return value;
}

} // namespace

int32_t majorVersionFromRelease(const char* text, int32_t length) {
    static const char KEY[] = "JAVA_VERSION=";
    const int32_t keyLength = static_cast<int32_t>(sizeof(KEY) - 1);
    const char* end = text + (length > 0 ? length : 0);
    for (const char* line = text; line && line < end;) {
        const char* lineEnd = static_cast<const char*>(std::memchr(line, '\n', end - line));
        if (!lineEnd)
            lineEnd = end;
        if (lineEnd - line > keyLength && std::memcmp(line, KEY, keyLength) == 0) {
            const char* at = line + keyLength;
            if (at < lineEnd && *at == '"')
                ++at;
            int32_t major = readNumber(at, lineEnd);
            // Versions before 9 were "1.x".
            if (major == 1 && at < lineEnd && *at == '.') {
                ++at;
                major = readNumber(at, lineEnd);
            }
            return major > 0 ? major : 0;
        }
        line = lineEnd + 1;
    }
    return 0;
}

int32_t runtimeMajorVersion(const char* libraryPath) {
    if (!libraryPath)
        return 0;
    ByteString folder(libraryPath);
    for (int level = 0; level < RELEASE_SEARCH_LEVELS; ++level) {
        // Drop the last component: first the library's name, then one folder per level.
        int32_t cut = folder.length;
        while (cut > 0 && isSeparator(folder[cut - 1]))
            --cut;
        while (cut > 0 && !isSeparator(folder[cut - 1]))
            --cut;
        if (cut == 0)
            return 0;
        folder = folder.left(cut);
        platform::File file;
        if (!file.openRead((folder + "release").c_str()))
            continue;
        int64_t size = file.size();
        if (size <= 0 || size > RELEASE_FILE_LIMIT)
            return 0;
        ByteBuffer text;
        text.resize(static_cast<int32_t>(size));
        int32_t read = file.read(text.data, text.length);
        return majorVersionFromRelease(text.data, read);
    }
    return 0;
}

} // namespace zor
