// Text and container types shared by every part of the launcher.
//
// All owning containers share one layout (data, length, capacity) and one growth rule, so
// that sizes are predictable: the minimum of 8 elements avoids reallocating short texts and
// the doubling step amortises appends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace zor {

// Folds ASCII letters to lower case and leaves every other byte alone, whatever the locale.
inline char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Capacity to grow to so that `need` elements fit, given the current capacity.
int32_t grownCapacity(int32_t capacity, int32_t need);

template <typename T> class Array {
public:
    T* data = nullptr;
    int32_t length = 0;
    int32_t capacity = 0;

    Array() = default;
    Array(const Array& other) { assignRange(other.data, other.length); }
    Array& operator=(const Array& other) {
        if (this != &other) {
            resize(0);
            assignRange(other.data, other.length);
        }
        return *this;
    }
    virtual ~Array() { std::free(data); }

    virtual void resize(int32_t n) {
        reserve(n);
        length = n;
    }

    // Grows by the common rule without touching the length.
    void reserve(int32_t n) {
        if (!tryReserve(n))
            std::abort(); // the launcher cannot go on without memory
    }
    // The same, but false when the memory cannot be had: for sizes that come from input.
    bool tryReserve(int32_t n) {
        if (capacity >= n)
            return true;
        int32_t grown = grownCapacity(capacity, n);
        T* moved = static_cast<T*>(std::realloc(data, static_cast<size_t>(grown) * sizeof(T)));
        if (!moved)
            return false;
        data = moved;
        capacity = grown;
        return true;
    }

    void append(const T* items, int32_t count) {
        // Appending from our own storage: it may move while growing, so keep an index.
        uintptr_t at = reinterpret_cast<uintptr_t>(items) - reinterpret_cast<uintptr_t>(data);
        bool own = data && at < static_cast<uintptr_t>(capacity) * sizeof(T);
        int32_t old = length;
        resize(length + count);
        const T* from = own ? data + at / sizeof(T) : items;
        for (int32_t i = 0; i < count; ++i)
            data[old + i] = from[i];
    }
    void add(T item) { append(&item, 1); }

    // Opens a gap of `count` elements at `position` and returns it for the caller to fill.
    T* insertGap(int32_t position, int32_t count) {
        int32_t old = length;
        resize(length + count);
        for (int32_t i = old - 1; i >= position; --i)
            data[i + count] = data[i];
        return data + position;
    }

    // Hands the storage to the caller, who releases it with free.
    T* detach() {
        T* taken = data;
        data = nullptr;
        length = 0;
        capacity = 0;
        return taken;
    }

    bool isEmpty() const { return length == 0; }
    T& operator[](int32_t i) { return data[i]; }
    const T& operator[](int32_t i) const { return data[i]; }

protected:
    void assignRange(const T* items, int32_t count) {
        if (count > 0)
            append(items, count);
    }
};

class ByteBuffer : public Array<char> {
public:
    using Array<char>::append;
    ByteBuffer() = default;
    ByteBuffer(const ByteBuffer&) = default;
    ByteBuffer& operator=(const ByteBuffer&) = default;
    void append(const void* bytes, int32_t count) {
        Array<char>::append(static_cast<const char*>(bytes), count);
    }
};

// NUL-terminated narrow text in the system's narrow code page (ANSI on Windows, UTF-8 on
// Linux). Always has storage and a 0 byte at index `length`.
class ByteString : public ByteBuffer {
public:
    ByteString();
    ByteString(const char* text, int32_t count = -1);
    ByteString(const char* begin, const char* end);
    ByteString(const ByteString& other);
    ByteString& operator=(const ByteString& other);
    ByteString& operator=(const char* text);

    void resize(int32_t n) override;

    using ByteBuffer::append;
    void append(const char* text);
    void append(const ByteString& text) { append(text.data, text.length); }
    void append(char c) { append(&c, 1); }

    ByteString left(int32_t n) const;
    ByteString mid(int32_t n) const;

    // Signed-byte difference at the first differing index, a missing byte counting as 0.
    int compare(const char* text) const;
    // As compare, but ASCII letters compare equal to their other case.
    int compareNoCase(const ByteString& other) const;

    // Replaces the content by UTF-16 text converted to the narrow code page; stops at a NUL.
    void assignFromWide(const uint16_t* text, int32_t count);
    // sprintf formatting; longer results grow the string rather than overflow it.
    void format(const char* formatText, ...) __attribute__((format(printf, 2, 3)));

    void replaceAll(char from, char to);
    void clear() { resize(0); }
    const char* c_str() const { return data; }
    bool operator==(const char* text) const { return compare(text) == 0; }
    bool operator!=(const char* text) const { return compare(text) != 0; }
    bool operator==(const ByteString& other) const;
};

ByteString operator+(const ByteString& a, const char* b);
ByteString operator+(const char* a, const ByteString& b);
ByteString operator+(const ByteString& a, const ByteString& b);

class WideBuffer : public Array<uint16_t> {
public:
    WideBuffer() = default;
    WideBuffer(const WideBuffer&) = default;
    WideBuffer& operator=(const WideBuffer&) = default;
};

// NUL-terminated UTF-16 text, exchanged with the Java VM and the string tables.
class WideString : public WideBuffer {
public:
    WideString();
    WideString(const uint16_t* text, int32_t count = -1);
    WideString(const uint16_t* begin, const uint16_t* end);
    WideString(const WideString& other);
    WideString& operator=(const WideString& other);

    void resize(int32_t n) override;
    // Replaces the content by narrow text converted to UTF-16; stops at a NUL.
    void assignFromNarrow(const char* text, int32_t count);
};

// Pointer-sized items: 32-bit offsets, or owned pointers on 64-bit targets too.
class PointerArray : public Array<uintptr_t> {
public:
    PointerArray() = default;
    PointerArray(const PointerArray&) = default;
    PointerArray& operator=(const PointerArray&) = default;
};

// Strings packed one after another into one buffer. Offsets, not pointers, are kept because
// the buffer moves as it grows.
class StringList {
public:
    PointerArray offsets;
    ByteBuffer buffer;

    void add(const char* text);
    void add(const char* text, int32_t count);
    int32_t count() const { return offsets.length; }
    const char* item(int32_t i) const { return buffer.data + offsets.data[i]; }
    void clear() {
        offsets.resize(0);
        buffer.resize(0);
    }
};

// Non-owning view of narrow text.
struct TextView {
    const char* text;
    int32_t length;
    TextView(const char* t, int32_t count = -1);
};

} // namespace zor
