// The configuration's syntax, which the launcher reads and zorpack writes and checks: the key
// names, the lines and the separator between a key and its value.
#pragma once

#include <cstddef>

namespace zor {

inline constexpr char KEY_MAIN_CLASS[] = "mainclass";
inline constexpr char KEY_MIN_JRE[] = "minjre";
inline constexpr char KEY_FORCE_CWD[] = "forcecwd";
inline constexpr char KEY_OPTION[] = "option";
inline constexpr char KEY_PROPERTY[] = "property";
inline constexpr char KEY_JRE_ORDER[] = "jre_order";
inline constexpr char KEY_JVM_DLL[] = "jvmdll";
inline constexpr char KEY_CLASS_PATH[] = "classpath";
inline constexpr char KEY_LIBS[] = "libs";
inline constexpr char KEY_CLASS_DATA_CACHE[] = "classdatacache";
// Every key the launcher reads.
inline constexpr const char* CONFIG_KEYS[] = {
    KEY_MAIN_CLASS, KEY_MIN_JRE, KEY_FORCE_CWD,  KEY_OPTION, KEY_PROPERTY,
    KEY_JRE_ORDER,  KEY_JVM_DLL, KEY_CLASS_PATH, KEY_LIBS,   KEY_CLASS_DATA_CACHE,
};

// The letter of "jre_order" for the runtime image the executable carries, and the order of the
// installed runtimes' methods when the configuration names none of its letters.
inline constexpr char EMBEDDED_RUNTIME_METHOD = 'r';
inline constexpr char DEFAULT_JRE_ORDER[] = "csiejvp";

// Hands out the lines of the text from `cursor` to `limit`; CR, LF, CR LF and LF CR each end
// one line (the packed text uses CR LF; a configuration file may use any of them).
class ConfigLines {
public:
    ConfigLines(const char* cursor, const char* limit) : cursor(cursor), limit(limit) {}
    bool next(const char*& begin, const char*& end);
    // The next line that begins with `key` in any letter case after spaces (a longer word that
    // begins with it counts too): its value and where the line ends.
    bool nextValue(const char* key, const char*& value, const char*& end);

private:
    const char* cursor;
    const char* limit;
};

// A line taken apart as zorpack reads a configuration file: the key is the word after the
// leading spaces, up to a space or "=". Returns where the key starts; `keyEnd` and `value`
// receive where it ends and where its value starts.
const char* splitConfigLine(const char* begin, const char* end, const char*& keyEnd,
                            const char*& value);
// The key the launcher reads a line as, and its value; null when none.
const char* configKeyOfLine(const char* begin, const char* end, const char*& value);

} // namespace zor
