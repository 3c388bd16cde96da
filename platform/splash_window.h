// The splash window: a borderless window centred on the screen that shows the executable's
// splash bitmap. Windows: a "ZORSPLASH" window class. Linux: an X11 window, with libX11 loaded
// at run time, so that a program without a reachable display or without libX11 simply has none.
//
// The window belongs to the thread that creates it, which then runs it until it closes. Other
// threads reach it only through requestSplashTimer and requestSplashClose, which post to that
// thread, and only while the window exists (the caller guarantees this).
#pragma once

#include <cstdint>

namespace zor::platform {

struct SplashWindow;

// The executable's splash bitmap (resource 100) in the form the window draws; null when the
// executable carries none, or where it cannot be shown.
void* loadSplashBitmap();
// The same from a header-less bitmap in memory (tests draw their own); null when it cannot be
// shown.
void* splashBitmapFromDib(const unsigned char* dib, uint32_t size);
void freeSplashBitmap(void* bitmap);

// On the splash thread: creates the window, centred on the screen, shows and paints it, and
// gives it the keyboard focus. Null when it cannot (no display, no libX11, no window class).
SplashWindow* createSplashWindow(void* bitmap, const char* title);
// On the splash thread: handles the window's events until it has been destroyed. A timer tick
// or a key press (not a system key) closes it; clicks do nothing.
void runSplashWindow(SplashWindow* window);
// On the splash thread, after runSplashWindow: releases what is left.
void freeSplashWindow(SplashWindow* window);

// The handle that owns message boxes (HWND on Windows, the X11 window id on Linux); null once
// the window has been destroyed.
void* splashWindowHandle(SplashWindow* window);
// From any thread: (re)arms the one close timer after `milliseconds`; a negative value only
// cancels a pending one.
void requestSplashTimer(SplashWindow* window, int32_t milliseconds);
// From any thread: closes the window as soon as its thread gets to it.
void requestSplashClose(SplashWindow* window);

} // namespace zor::platform
