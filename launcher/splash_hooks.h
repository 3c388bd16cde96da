// Where the launch reaches the splash window. No splash window is built yet: without one the
// error boxes have no owner and nothing is closed.
#pragma once

#include <cstdint>

namespace zor {

// The splash window that owns the error boxes, or null.
inline void* splashOwnerWindow() {
    return nullptr;
}
// Asks the splash to close after `milliseconds`; `replace` overrides a pending request,
// otherwise a request that Java code already made stands.
inline void requestSplashAutoClose(uint32_t milliseconds, bool replace) {
    (void)milliseconds;
    (void)replace;
}

} // namespace zor
