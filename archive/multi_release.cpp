#include "archive/multi_release.h"

#include "archive/archive_store.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace zor {

namespace {

std::atomic<int32_t> feature{0};

// The JDK serves META-INF/versions/V/ for V from 8 up, and only on a VM above 8.
constexpr int32_t BASE_FEATURE = 8;
constexpr int32_t MAX_VERSION = 1 << 20;

const char META_INF[] = "META-INF\\";
const char VERSIONS[] = "META-INF\\versions\\";
constexpr int32_t VERSIONS_LENGTH = sizeof VERSIONS - 1;

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

// `name` begins with `prefix`, whose "\" also matches "/".
bool startsWith(const char* name, int32_t length, const char* prefix, int32_t prefixLength) {
    if (length < prefixLength)
        return false;
    for (int32_t i = 0; i < prefixLength; ++i)
        if (name[i] != prefix[i] && !(prefix[i] == '\\' && isSeparator(name[i])))
            return false;
    return true;
}

} // namespace

int32_t runtimeFeatureVersion() {
    return feature.load(std::memory_order_relaxed);
}

void setRuntimeFeatureVersion(int32_t value) {
    feature.store(value, std::memory_order_relaxed);
}

int32_t featureVersionOf(const ByteString& text) {
    const char* p = text.c_str();
    // Java 8 and earlier say "1.8"; later ones say "9", "17".
    if (std::strncmp(p, "1.", 2) == 0)
        p += 2;
    int32_t value = 0;
    for (; *p >= '0' && *p <= '9' && value < MAX_VERSION; ++p)
        value = value * 10 + (*p - '0');
    return (*p == '\0' || *p == '.') && value < MAX_VERSION ? value : 0;
}

bool declaresMultiRelease(const char* manifest, int32_t length) {
    static const char ATTRIBUTE[] = "multi-release: true";
    constexpr int32_t ATTRIBUTE_LENGTH = sizeof ATTRIBUTE - 1;
    for (int32_t at = 0; at < length;) {
        int32_t end = at;
        while (end < length && manifest[end] != '\r' && manifest[end] != '\n')
            ++end;
        if (end == at || end == length)
            return false; // the main section ends at the first empty line
        int32_t next =
            end + (manifest[end] == '\r' && end + 1 < length && manifest[end + 1] == '\n' ? 2 : 1);
        bool same = end - at == ATTRIBUTE_LENGTH;
        for (int32_t i = 0; same && i < ATTRIBUTE_LENGTH; ++i)
            same = lowerAscii(manifest[at + i]) == ATTRIBUTE[i];
        if (same)
            return next >= length || manifest[next] != ' ';
        at = next;
    }
    return false;
}

void VersionedIndex::add(const char* name, int32_t length, int32_t number) {
    if (!startsWith(name, length, VERSIONS, VERSIONS_LENGTH))
        return;
    int32_t at = VERSIONS_LENGTH;
    int32_t version = 0;
    // The JDK asks for the directory Integer.toString(V) names: no sign, no leading zero.
    if (at < length && name[at] == '0')
        return;
    for (; at < length && name[at] >= '0' && name[at] <= '9' && version < MAX_VERSION; ++at)
        version = version * 10 + (name[at] - '0');
    if (version < BASE_FEATURE || version >= MAX_VERSION || at >= length || !isSeparator(name[at]))
        return;
    const char* served = name + at + 1;
    int32_t servedLength = length - at - 1;
    if (servedLength == 0 || startsWith(served, servedLength, META_INF, sizeof META_INF - 1))
        return;
    entries.add(Versioned{served, servedLength, version, number});
}

bool VersionedIndex::before(const Versioned& a, const Versioned& b) {
    int d = compareEntryNames(a.name, a.length, b.name, b.length, SORT_LENGTH_FIRST);
    return d ? d < 0 : a.version < b.version;
}

void VersionedIndex::sort() {
    std::sort(entries.data, entries.data + entries.length, before);
}

int32_t VersionedIndex::find(const char* name, int32_t length, int32_t runtime) const {
    if (runtime <= BASE_FEATURE)
        return -1;
    // The entry before the first one after (name, runtime), if it serves `name`, has the
    // highest version the runtime allows.
    const Versioned* after = std::upper_bound(entries.data, entries.data + entries.length,
                                              Versioned{name, length, runtime, -1}, before);
    if (after == entries.data)
        return -1;
    const Versioned& best = after[-1];
    return compareEntryNames(name, length, best.name, best.length, SORT_LENGTH_FIRST) == 0
               ? best.number
               : -1;
}

} // namespace zor
