#include "platform/trace.h"

#include "platform/environment.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace zor::platform {

namespace {

std::atomic<int> traceState{-1}; // not yet read, off, on

} // namespace

bool tracing() {
    int state = traceState.load(std::memory_order_relaxed);
    if (state < 0) {
        ByteString value;
        state = getEnvironment("ZOR_DEBUG", value) && !value.isEmpty() && value != "0";
        traceState.store(state, std::memory_order_relaxed);
    }
    return state != 0;
}

void trace(const char* format, ...) {
    if (!tracing())
        return;
    char buffer[1024];
    va_list args;
    va_start(args, format);
    int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    ByteString line("zor: ");
    if (length < static_cast<int>(sizeof buffer)) {
        line.append(buffer);
    } else {
        ByteString longer;
        longer.resize(length);
        va_start(args, format);
        std::vsnprintf(longer.data, static_cast<size_t>(length) + 1, format, args);
        va_end(args);
        line.append(longer);
    }
    writeTraceLine(line.c_str());
}

} // namespace zor::platform
