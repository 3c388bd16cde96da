// Where the launch reaches the splash window.
#pragma once

#include "splash/splash_screen.h"

#include <cstdint>

namespace zor {

// The splash window that owns the error boxes, or null.
inline void* splashOwnerWindow() {
    return SplashScreenThread::windowHandle();
}
// Asks the splash to close after `milliseconds`; `replace` overrides a pending request,
// otherwise a request that Java code already made stands.
inline void requestSplashAutoClose(int32_t milliseconds, bool replace) {
    if (replace)
        SplashScreenThread::autoClose(milliseconds);
    else
        SplashScreenThread::autoCloseUnlessRequested(milliseconds);
}

} // namespace zor
