// Configuration text as a file and an embedded comment could hold it: every lookup, the
// expansion of %NAME% against a few variables (one refers to another, one is long) and the
// resolution of the values as paths.
#include "config/config_store.h"

#include <cstdlib>
#include <string>

using namespace zor;

namespace {

const char* const KEYS[] = {"mainclass", "option",   "property",  "classpath", "libs",
                            "jre_order", "forcecwd", "jvmdll",    "jre_home",  "java_home",
                            "",          "m",        "mainclass "};

void touch(void* count, const char* value) {
    *static_cast<size_t*>(count) += std::char_traits<char>::length(value);
    ByteString expanded = expandEnvironment(value);
    ByteString resolved = resolvePath(expanded.c_str());
    (void)resolved;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool prepared = [] {
        setenv("ZOR_FUZZ_A", "%ZOR_FUZZ_B%", 1);
        setenv("ZOR_FUZZ_B", "b;%", 1);
        setenv("ZOR_FUZZ_LONG", std::string(5000, 'l').c_str(), 1);
        applicationHome = ByteString("/nonexistent/zor-fuzz/home/");
        startDirectory = ByteString("/nonexistent/zor-fuzz/start/");
        return true;
    }();
    (void)prepared;
    if (size < 1)
        return 0;
    ConfigStore store;
    store.append(reinterpret_cast<const char*>(data) + 1, static_cast<int32_t>(size - 1));
    // Where the embedded part begins: anywhere in the text, up to its end (as load() sets it).
    store.embeddedOffset = static_cast<int32_t>((data[0] * (size - 1)) / 255);
    size_t total = 0;
    for (const char* key : KEYS) {
        ByteString value = store.getValue(key);
        ByteString embedded = store.getValue(key, true);
        touch(&total, value.c_str());
        store.forEachValue(key, touch, &total);
    }
    ByteString expanded = expandEnvironment(store.c_str());
    ByteString forced = store.forcedWorkingDirectory();
    return 0;
}
