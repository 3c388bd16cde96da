#include "common/text.h"

#include "platform/codepage.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace zor {

namespace {

template <typename Unit> int32_t textLength(const Unit* text) {
    int32_t n = 0;
    while (text[n])
        ++n;
    return n;
}

// `count` units of `text` through the code page into `out`, which ends at the first NUL: empty
// when the conversion fails. `convert` is asked for the length first, then writes.
template <typename Out, typename In, typename Unit>
void convertText(Out& out, const In* text, int32_t count,
                 int32_t (*convert)(const In*, int32_t, Unit*, int32_t)) {
    int32_t needed = text && count != 0 ? convert(text, count, nullptr, 0) : 0;
    out.resize(needed);
    int32_t written = needed ? convert(text, count, out.data, needed + 1) : 0;
    out.data[std::max(0, std::min(written, needed))] = 0;
    out.resize(textLength(out.data));
}

} // namespace

int32_t grownCapacity(int32_t capacity, int32_t need) {
    // Reckoned in 64 bits: near the 2 GiB limit (an entry may claim that much) doubling or
    // rounding up would overflow.
    int64_t grown = capacity < 8 ? 8 : capacity;
    if (grown < need)
        grown *= 2;
    if (grown < need)
        grown = (static_cast<int64_t>(need) + 11) & ~int64_t{7};
    return grown > INT32_MAX ? INT32_MAX : static_cast<int32_t>(grown);
}

// ---- ByteString ----

ByteString::ByteString() {
    resize(0);
}

ByteString::ByteString(const char* text, int32_t count) {
    if (!text)
        count = 0;
    else if (count < 0)
        count = static_cast<int32_t>(std::strlen(text));
    resize(0);
    ByteBuffer::append(text, count);
}

ByteString::ByteString(const char* begin, const char* end)
    : ByteString(begin, static_cast<int32_t>(end - begin)) {}

ByteString::ByteString(const ByteString& other) : ByteString(other.data, other.length) {}

ByteString& ByteString::operator=(const ByteString& other) {
    if (this != &other) {
        resize(0);
        ByteBuffer::append(other.data, other.length);
    }
    return *this;
}

ByteString& ByteString::operator=(const char* text) {
    ByteString copy(text);
    return *this = copy;
}

void ByteString::resize(int32_t n) {
    reserve(n + 1);
    data[n] = 0;
    length = n;
}

void ByteString::append(const char* text) {
    if (text)
        ByteBuffer::append(text, static_cast<int32_t>(std::strlen(text)));
}

ByteString ByteString::left(int32_t n) const {
    return ByteString(data, n < length ? n : length);
}

ByteString ByteString::mid(int32_t n) const {
    if (n >= length)
        return ByteString();
    return ByteString(data + n, length - n);
}

int ByteString::compare(const char* text) const {
    int32_t other = text ? static_cast<int32_t>(std::strlen(text)) : 0;
    int32_t shorter = length < other ? length : other;
    int32_t i = 0;
    while (i < shorter && data[i] == text[i])
        ++i;
    int a = i < length ? static_cast<signed char>(data[i]) : 0;
    int b = i < other ? static_cast<signed char>(text[i]) : 0;
    return a - b;
}

int ByteString::compareNoCase(const ByteString& other) const {
    int32_t shorter = length < other.length ? length : other.length;
    int32_t i = 0;
    while (i < shorter && lowerAscii(data[i]) == lowerAscii(other.data[i]))
        ++i;
    int a = i < length ? static_cast<signed char>(data[i]) : 0;
    int b = i < other.length ? static_cast<signed char>(other.data[i]) : 0;
    return a - b;
}

bool ByteString::operator==(const ByteString& other) const {
    return length == other.length && std::memcmp(data, other.data, length) == 0;
}

void ByteString::assignFromWide(const uint16_t* text, int32_t count) {
    convertText(*this, text, count, platform::wideToNarrow);
}

void ByteString::format(const char* formatText, ...) {
    reserve(1024);
    va_list args;
    va_start(args, formatText);
    int written = std::vsnprintf(data, static_cast<size_t>(capacity), formatText, args);
    va_end(args);
    if (written < 0)
        written = 0;
    if (written >= capacity) {
        // Longer than the storage: grow and format again instead of overflowing.
        reserve(written + 1);
        va_start(args, formatText);
        std::vsnprintf(data, static_cast<size_t>(capacity), formatText, args);
        va_end(args);
    }
    resize(written);
}

void ByteString::replaceAll(char from, char to) {
    for (int32_t i = 0; i < length; ++i)
        if (data[i] == from)
            data[i] = to;
}

ByteString operator+(const ByteString& a, const char* b) {
    ByteString r(a);
    r.append(b);
    return r;
}

ByteString operator+(const char* a, const ByteString& b) {
    ByteString r(a);
    r.append(b);
    return r;
}

ByteString operator+(const ByteString& a, const ByteString& b) {
    ByteString r(a);
    r.append(b);
    return r;
}

// ---- WideString ----

WideString::WideString() {
    resize(0);
}

WideString::WideString(const uint16_t* text, int32_t count) {
    if (!text)
        count = 0;
    else if (count < 0)
        count = textLength(text);
    resize(0);
    append(text, count);
}

WideString::WideString(const uint16_t* begin, const uint16_t* end)
    : WideString(begin, static_cast<int32_t>(end - begin)) {}

WideString::WideString(const WideString& other) : WideString(other.data, other.length) {}

WideString& WideString::operator=(const WideString& other) {
    if (this != &other) {
        resize(0);
        append(other.data, other.length);
    }
    return *this;
}

void WideString::resize(int32_t n) {
    reserve(n + 1);
    data[n] = 0;
    length = n;
}

void WideString::assignFromNarrow(const char* text, int32_t count) {
    convertText(*this, text, count, platform::narrowToWide);
}

// ---- StringList ----

void StringList::add(const char* text) {
    add(text, text ? static_cast<int32_t>(std::strlen(text)) : 0);
}

void StringList::add(const char* text, int32_t count) {
    offsets.add(static_cast<uintptr_t>(buffer.length));
    if (count > 0)
        buffer.append(text, count);
    buffer.add('\0');
}

TextView::TextView(const char* t, int32_t count) : text(t), length(count) {
    if (count < 0)
        length = t ? static_cast<int32_t>(std::strlen(t)) : 0;
}

} // namespace zor
