// Linux's narrow code page is UTF-8.
#include "platform/codepage.h"

#include <cstring>

namespace zor::platform {

namespace {

constexpr uint16_t REPLACEMENT = 0xFFFD;

// Appends one unit or byte if there is room; always counts it. Without room at all (no or an
// empty buffer) it only counts.
template <typename Unit> struct Sink {
    Unit* dst;
    int32_t size;
    int32_t count = 0;
    bool overflow = false;
    void put(uint32_t v) {
        if (dst && count < size)
            dst[count] = static_cast<Unit>(v);
        else if (dst && size > 0)
            overflow = true;
        ++count;
    }
    // The count, or 0 when the buffer was too small.
    int32_t result() const { return overflow ? 0 : count; }
};

} // namespace

int32_t wideToNarrow(const uint16_t* src, int32_t count, char* dst, int32_t dstSize) {
    if (count < 0) {
        count = 0;
        while (src[count])
            ++count;
        ++count; // the terminator converts too
    }
    Sink<char> out{dst, dstSize};
    for (int32_t i = 0; i < count; ++i) {
        uint32_t c = src[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && src[i + 1] >= 0xDC00 &&
            src[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (src[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = '?'; // a lone surrogate has no UTF-8 form: the default character
        }
        if (c < 0x80) {
            out.put(c);
        } else if (c < 0x800) {
            out.put(0xC0 | (c >> 6));
            out.put(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out.put(0xE0 | (c >> 12));
            out.put(0x80 | ((c >> 6) & 0x3F));
            out.put(0x80 | (c & 0x3F));
        } else {
            out.put(0xF0 | (c >> 18));
            out.put(0x80 | ((c >> 12) & 0x3F));
            out.put(0x80 | ((c >> 6) & 0x3F));
            out.put(0x80 | (c & 0x3F));
        }
    }
    return out.result();
}

int32_t narrowToWide(const char* src, int32_t count, uint16_t* dst, int32_t dstSize) {
    if (count < 0)
        count = static_cast<int32_t>(std::strlen(src)) + 1;
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    Sink<uint16_t> out{dst, dstSize};
    int32_t i = 0;
    while (i < count) {
        uint32_t c = s[i];
        int extra = c < 0x80             ? 0
                    : (c & 0xE0) == 0xC0 ? 1
                    : (c & 0xF0) == 0xE0 ? 2
                    : (c & 0xF8) == 0xF0 ? 3
                                         : -1;
        uint32_t cp = extra == 0   ? c
                      : extra == 1 ? (c & 0x1F)
                      : extra == 2 ? (c & 0x0F)
                                   : (c & 0x07);
        bool valid = extra >= 0 && i + extra < count;
        for (int k = 1; valid && k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (valid &&
            ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) ||
             (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF)))
            valid = false;
        if (!valid) {
            out.put(REPLACEMENT);
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.put(0xD800 + (cp >> 10));
            out.put(0xDC00 + (cp & 0x3FF));
        } else {
            out.put(cp);
        }
        i += extra + 1;
    }
    return out.result();
}

} // namespace zor::platform
