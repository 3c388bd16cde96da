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

ByteString javaVersionFromRelease(const char* text, int32_t length) {
    static const char KEY[] = "JAVA_VERSION=";
    const int32_t keyLength = static_cast<int32_t>(sizeof(KEY) - 1);
    const char* end = text + (length > 0 ? length : 0);
    for (const char* line = text; line && line < end;) {
        const char* lineEnd = static_cast<const char*>(std::memchr(line, '\n', end - line));
        if (!lineEnd)
            lineEnd = end;
        if (lineEnd - line > keyLength && std::memcmp(line, KEY, keyLength) == 0) {
            const char* begin = line + keyLength;
            if (*begin == '"')
                ++begin;
            const char* valueEnd = begin;
            while (valueEnd < lineEnd && *valueEnd != '"' && *valueEnd != '\r')
                ++valueEnd;
            return ByteString(begin, static_cast<int32_t>(valueEnd - begin));
        }
        line = lineEnd + 1;
    }
    return ByteString();
}

bool readReleaseFile(const ByteString& home, ByteString& text) {
    text = ByteString();
    if (home.isEmpty())
        return false;
    ByteString path = platform::withTrailingSeparator(home.c_str()) + "release";
    return platform::readWholeFile(path.c_str(), RELEASE_FILE_LIMIT, text) >= 0;
}

int32_t majorVersionFromRelease(const char* text, int32_t length) {
    ByteString version = javaVersionFromRelease(text, length);
    const char* at = version.c_str();
    const char* end = at + version.length;
    int32_t major = readNumber(at, end);
    // Versions before 9 were "1.x".
    if (major == 1 && at < end && *at == '.') {
        ++at;
        major = readNumber(at, end);
    }
    return major > 0 ? major : 0;
}

int32_t runtimeMajorVersion(const char* libraryPath) {
    if (!libraryPath)
        return 0;
    ByteString folder(libraryPath);
    for (int level = 0; level < RELEASE_SEARCH_LEVELS; ++level) {
        // Drop the last component: first the library's name, then one folder per level.
        int32_t cut = folder.length;
        while (cut > 0 && platform::isPathSeparator(folder[cut - 1]))
            --cut;
        while (cut > 0 && !platform::isPathSeparator(folder[cut - 1]))
            --cut;
        if (cut == 0)
            return 0;
        folder = folder.left(cut);
        ByteString text;
        if (readReleaseFile(folder, text))
            return majorVersionFromRelease(text.data, text.length);
    }
    return 0;
}

} // namespace zor
