// Threads that ask the splash to close while it closes: every caller must find either the
// running splash or none, never one that is being torn down. Built with AddressSanitizer where
// the target has it, so that a use after free fails the test instead of passing by luck.
#include "platform/dib_image.h"
#include "platform/splash_window.h"
#include "splash/splash_natives.h"
#include "splash/splash_screen.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#ifndef SPLASH_STRESS_ROUNDS
#define SPLASH_STRESS_ROUNDS 25
#endif

namespace {

// A 32 x 16 bitmap of one colour, 24 bits per pixel, without file header.
std::vector<unsigned char> smallDib() {
    const int width = 32, height = 16;
    std::vector<unsigned char> dib(40 + width * 3 * height, 0x5a);
    unsigned char header[40] = {40, 0, 0, 0, width, 0, 0, 0, height, 0, 0, 0, 1, 0, 24, 0};
    std::copy(header, header + 40, dib.begin());
    return dib;
}

bool waitFor(bool shown, int milliseconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (zor::SplashScreenThread::isShown() != shown) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

#ifdef _WIN32
// A destroyed window, not yet freed by its thread, is no longer handed out as an error box's
// owner: a box with a destroyed owner is never shown.
TEST(SplashStress, DestroyedWindowOwnsNoBox) {
    std::vector<unsigned char> dib = smallDib();
    void* bitmap = zor::platform::splashBitmapFromDib(dib.data(), uint32_t(dib.size()));
    zor::platform::SplashWindow* window = zor::platform::createSplashWindow(bitmap, "t");
    ASSERT_NE(window, nullptr);
    EXPECT_NE(zor::platform::splashWindowHandle(window), nullptr);
    zor::platform::requestSplashClose(window);
    zor::platform::runSplashWindow(window);
    EXPECT_EQ(zor::platform::splashWindowHandle(window), nullptr);
    zor::platform::freeSplashWindow(window);
    zor::platform::freeSplashBitmap(bitmap);
}
#endif

TEST(SplashStress, CallersOnOtherThreadsWhileTheSplashCloses) {
    std::vector<unsigned char> dib = smallDib();
    for (int round = 0; round < SPLASH_STRESS_ROUNDS; ++round) {
        void* bitmap = zor::platform::splashBitmapFromDib(dib.data(), uint32_t(dib.size()));
        ASSERT_NE(bitmap, nullptr);
        ASSERT_TRUE(zor::startSplashScreen(bitmap, "Please wait ..."));
        ASSERT_TRUE(zor::SplashScreenThread::isShown())
            << "no splash window (round " << round << "): is a display reachable?";

        std::atomic<bool> stop{false};
        std::vector<std::thread> callers;
        for (int t = 0; t < 6; ++t)
            callers.emplace_back([t, round, &stop] {
                for (int i = 0; !stop; ++i) {
                    // The natives the Java threads call (they use neither argument), and the
                    // launcher's own requests.
                    switch ((i + t) % 5) {
                    case 0:
                        Java_com_tarnwick_zor_SplashScreen_nativeAutoClose(nullptr, nullptr,
                                                                           (i % 3) - 1);
                        break;
                    case 1:
                        if (i % 50 == round % 50)
                            Java_com_tarnwick_zor_SplashScreen_nativeClose(nullptr, nullptr);
                        break;
                    case 2:
                        zor::SplashScreenThread::autoCloseUnlessRequested(2);
                        break;
                    case 3:
                        zor::SplashScreenThread::windowHandle();
                        break;
                    default:
                        zor::SplashScreenThread::autoClose(round % 4);
                    }
                }
            });
        // The splash closes through one of the requests; keep calling while it tears down.
        bool closed = waitFor(false, 10000);
        std::this_thread::sleep_for(std::chrono::milliseconds(5 + round % 7));
        stop = true;
        for (std::thread& caller : callers)
            caller.join();
        ASSERT_TRUE(closed) << "the splash did not close (round " << round << ")";
    }
    // Nothing of the last splash answers any more.
    zor::SplashScreenThread::autoClose(0);
    zor::SplashScreenThread::close();
    EXPECT_EQ(zor::SplashScreenThread::windowHandle(), nullptr);
}

} // namespace
