// The splash screen: an optional bitmap shown on a thread of its own while the VM starts.
//
// One controller, SplashScreenThread, exists while the splash runs. Its window thread creates
// the window, runs it, and frees the controller once the window has gone. Every other thread
// (the launcher's main thread, Java threads in the natives) reaches the splash only through the
// static operations below. They hold the splash lock while they look at the current controller
// and post to its window, and the window thread takes the same lock to unpublish the controller
// before it frees anything, so a caller never touches a controller that is being torn down.
#pragma once

#include "platform/splash_window.h"
#include "platform/sync.h"

#include <cstdint>
#include <memory>

namespace zor {

// The launcher closes the splash this long after main has returned, unless Java took charge.
constexpr int32_t SPLASH_CLOSE_AFTER_MAIN_MS = 750;
// ... and this long after an error box was dismissed.
constexpr int32_t SPLASH_CLOSE_AFTER_ERROR_MS = 100;
// The longest the launcher waits for the splash window to appear.
constexpr uint32_t SPLASH_READY_TIMEOUT_MS = 30000;

class SplashScreenThread {
public:
    SplashScreenThread(void* bitmap, const char* title);
    SplashScreenThread(const SplashScreenThread&) = delete;
    SplashScreenThread& operator=(const SplashScreenThread&) = delete;
    virtual ~SplashScreenThread();

    // On the splash thread: publishes the controller, creates the window and signals readiness
    // whether or not that worked. True when the window exists.
    virtual bool run();

    // Each acts on the current splash and does nothing when there is none or it has no window.
    //
    // Closes the splash after `milliseconds` (replacing a pending close), or with a negative
    // value cancels the pending close; either way the launcher no longer closes it by itself.
    static void autoClose(int32_t milliseconds);
    // autoClose, unless autoClose has already been asked for; decided under the lock, so a
    // Java request made at the same moment is never overridden.
    static void autoCloseUnlessRequested(int32_t milliseconds);
    static void close();
    // The window that owns message boxes; null without a splash window.
    static void* windowHandle();
    // windowHandle, with the pending close cancelled under the same lock (a window takes the
    // windows it owns with it when it closes): the owner of an error box.
    static void* ownerForMessageBox();
    static bool isShown();

private:
    friend void splashThreadMain(void* controller);

    std::shared_ptr<platform::Event> ready;
    platform::SplashWindow* window = nullptr;
    void* bitmap;
    const char* title; // not copied: the launcher passes a literal
    int32_t autoCloseRequested = 0;

    friend bool startSplashScreen(void* bitmap, const char* title);
};

// Starts the splash thread on `bitmap` (which it then owns) and waits until its window exists
// or could not be created, at most SPLASH_READY_TIMEOUT_MS. False when no thread could start.
bool startSplashScreen(void* bitmap, const char* title);

// The launcher's start: shows the executable's splash bitmap when it carries one.
void startSplashFromResources();

} // namespace zor
