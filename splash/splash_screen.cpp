#include "splash/splash_screen.h"

namespace zor {

namespace {

// Never destroyed: a splash thread may still run while the process's static objects go away.
platform::Mutex& splashLock() {
    static platform::Mutex* lock = new platform::Mutex;
    return *lock;
}

// The running controller; null when there is none. Written by the splash thread, read by any,
// always under splashLock.
SplashScreenThread* currentSplash = nullptr;

} // namespace

SplashScreenThread::SplashScreenThread(void* bitmap, const char* title)
    : ready(std::make_shared<platform::Event>()), bitmap(bitmap), title(title) {}

SplashScreenThread::~SplashScreenThread() {
    platform::freeSplashBitmap(bitmap);
}

bool SplashScreenThread::run() {
    {
        platform::MutexLock hold(splashLock());
        currentSplash = this;
    }
    platform::SplashWindow* created = platform::createSplashWindow(bitmap, title);
    {
        platform::MutexLock hold(splashLock());
        window = created;
    }
    // Also when creation failed, so that the launcher does not wait out its time limit.
    ready->set();
    platform::lowerThreadPriority();
    return created != nullptr;
}

void splashThreadMain(void* controller) {
    SplashScreenThread* splash = static_cast<SplashScreenThread*>(controller);
    if (splash->run())
        platform::runSplashWindow(splash->window);
    platform::SplashWindow* window;
    {
        // From here on no other thread can reach the controller or its window.
        platform::MutexLock hold(splashLock());
        if (currentSplash == splash)
            currentSplash = nullptr;
        window = splash->window;
        splash->window = nullptr;
    }
    platform::yieldThread();
    if (window)
        platform::freeSplashWindow(window);
    delete splash;
}

void SplashScreenThread::autoClose(int32_t milliseconds) {
    platform::MutexLock hold(splashLock());
    if (!currentSplash || !currentSplash->window)
        return;
    currentSplash->autoCloseRequested = 1;
    platform::requestSplashTimer(currentSplash->window, milliseconds);
}

void SplashScreenThread::autoCloseUnlessRequested(int32_t milliseconds) {
    platform::MutexLock hold(splashLock());
    if (!currentSplash || !currentSplash->window || currentSplash->autoCloseRequested)
        return;
    currentSplash->autoCloseRequested = 1;
    platform::requestSplashTimer(currentSplash->window, milliseconds);
}

void SplashScreenThread::close() {
    platform::MutexLock hold(splashLock());
    if (currentSplash && currentSplash->window)
        platform::requestSplashClose(currentSplash->window);
}

void* SplashScreenThread::windowHandle() {
    platform::MutexLock hold(splashLock());
    return currentSplash && currentSplash->window
               ? platform::splashWindowHandle(currentSplash->window)
               : nullptr;
}

void* SplashScreenThread::ownerForMessageBox() {
    platform::MutexLock hold(splashLock());
    void* owner = currentSplash && currentSplash->window
                      ? platform::splashWindowHandle(currentSplash->window)
                      : nullptr;
    if (owner) {
        currentSplash->autoCloseRequested = 1;
        platform::requestSplashTimer(currentSplash->window, -1);
    }
    return owner;
}

bool SplashScreenThread::isShown() {
    return windowHandle() != nullptr;
}

bool startSplashScreen(void* bitmap, const char* title) {
    SplashScreenThread* splash = new SplashScreenThread(bitmap, title);
    // The launcher may stop waiting before the thread signals, and the thread may end before
    // the launcher has returned from the wait: both keep the event alive while they use it.
    std::shared_ptr<platform::Event> ready = splash->ready;
    if (!platform::startThread(splashThreadMain, splash)) {
        delete splash;
        return false;
    }
    ready->wait(SPLASH_READY_TIMEOUT_MS);
    return true;
}

void startSplashFromResources() {
    if (void* bitmap = platform::loadSplashBitmap())
        startSplashScreen(bitmap, "Please wait ...");
}

} // namespace zor
