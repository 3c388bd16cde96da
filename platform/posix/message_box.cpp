#include "platform/message_box.h"
#include "platform/trace.h"

#include <cstdio>

namespace zor::platform {

void showMessageBox(void*, const char* text, const char* caption) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
}

void writeWarning(const char* text) {
    std::fprintf(stderr, "%s\n", text ? text : "");
    std::fflush(stderr);
}

void writeTraceLine(const char* line) {
    std::fprintf(stderr, "%s\n", line);
}

} // namespace zor::platform
