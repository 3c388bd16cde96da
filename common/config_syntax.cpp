#include "common/config_syntax.h"

#include "common/text.h"

#include <cstring>

namespace zor {

namespace {

const char* skipSpaces(const char* p, const char* end) {
    while (p < end && *p == ' ')
        ++p;
    return p;
}

// Between a key and its value: spaces, at most one "=", spaces.
const char* skipSeparator(const char* p, const char* end) {
    p = skipSpaces(p, end);
    return p < end && *p == '=' ? skipSpaces(p + 1, end) : p;
}

bool matchConfigKey(const char* begin, const char* end, const char* key, const char*& value) {
    begin = skipSpaces(begin, end);
    size_t keyLength = std::strlen(key);
    if (static_cast<size_t>(end - begin) < keyLength)
        return false;
    for (size_t i = 0; i < keyLength; ++i)
        if (lowerAscii(begin[i]) != lowerAscii(key[i]))
            return false;
    value = skipSeparator(begin + keyLength, end);
    return true;
}

} // namespace

bool ConfigLines::next(const char*& begin, const char*& end) {
    if (cursor >= limit)
        return false;
    begin = cursor;
    while (cursor < limit && *cursor != '\r' && *cursor != '\n')
        ++cursor;
    end = cursor;
    if (limit - cursor >= 2 && cursor[0] != cursor[1] && (cursor[1] == '\r' || cursor[1] == '\n'))
        cursor += 2;
    else if (cursor < limit)
        ++cursor;
    return true;
}

bool ConfigLines::nextValue(const char* key, const char*& value, const char*& end) {
    const char* begin;
    while (next(begin, end))
        if (matchConfigKey(begin, end, key, value))
            return true;
    return false;
}

const char* splitConfigLine(const char* begin, const char* end, const char*& keyEnd,
                            const char*& value) {
    begin = skipSpaces(begin, end);
    for (keyEnd = begin; keyEnd < end && *keyEnd != ' ' && *keyEnd != '=';)
        ++keyEnd;
    value = skipSeparator(keyEnd, end);
    return begin;
}

const char* configKeyOfLine(const char* begin, const char* end, const char*& value) {
    for (const char* key : CONFIG_KEYS)
        if (matchConfigKey(begin, end, key, value))
            return key;
    return nullptr;
}

} // namespace zor
