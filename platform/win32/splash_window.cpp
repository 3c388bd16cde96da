// The splash window: a "ZORSPLASH" popup that paints the splash bitmap and closes on a timer
// tick or a key press.
#include "platform/splash_window.h"

#include "common/packed_file.h"

#include "platform/dib_image.h"

#include <windows.h>

namespace zor::platform {

struct SplashWindow {
    HWND handle = nullptr;
};

namespace {

constexpr UINT_PTR SPLASH_TIMER_ID = 1;
// Timers belong to the thread of their window, so other threads ask that thread to arm them:
// wParam carries the milliseconds, a negative value only kills the timer.
constexpr UINT WM_SPLASH_SET_TIMER = WM_APP + 1;
const char SPLASH_CLASS[] = "ZORSPLASH";

LRESULT CALLBACK splashWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        RECT client;
        GetClientRect(window, &client);
        PAINTSTRUCT paint;
        HDC target = BeginPaint(window, &paint);
        HDC memory = CreateCompatibleDC(target);
        HBITMAP bitmap = reinterpret_cast<HBITMAP>(GetWindowLongPtrA(window, GWLP_USERDATA));
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(target, 0, 0, client.right - client.left, client.bottom - client.top, memory, 0, 0,
               SRCCOPY);
        SelectObject(memory, previous);
        DeleteDC(memory);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_TIMER:
    case WM_KEYDOWN:
        PostMessageA(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_SPLASH_SET_TIMER:
        KillTimer(window, SPLASH_TIMER_ID);
        if (static_cast<int32_t>(wParam) >= 0)
            SetTimer(window, SPLASH_TIMER_ID, static_cast<UINT>(wParam), nullptr);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    // Clicks neither close nor move the splash, and system keys such as Alt+F4 do not close it.
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
    case WM_NCMBUTTONDOWN:
    case WM_SYSKEYDOWN:
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool registerSplashClass(HINSTANCE instance) {
    WNDCLASSA existing;
    if (GetClassInfoA(instance, SPLASH_CLASS, &existing))
        return true;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = splashWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = SPLASH_CLASS;
    return RegisterClassA(&wc) != 0;
}

} // namespace

void* loadSplashBitmap() {
    return LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(SPLASH_BITMAP_ID));
}

void* splashBitmapFromDib(const unsigned char* dib, uint32_t size) {
    DibLayout layout;
    if (checkDib(dib, size, &layout))
        return nullptr;
    const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(dib);
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBitmap(screen, &info->bmiHeader, CBM_INIT, dib + layout.pixelOffset,
                                    info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

void freeSplashBitmap(void* bitmap) {
    if (bitmap)
        DeleteObject(static_cast<HBITMAP>(bitmap));
}

SplashWindow* createSplashWindow(void* bitmap, const char* title) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    BITMAP size;
    if (!bitmap || !GetObjectA(static_cast<HBITMAP>(bitmap), sizeof size, &size) ||
        !registerSplashClass(instance))
        return nullptr;
    int x = (GetSystemMetrics(SM_CXSCREEN) - size.bmWidth) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - size.bmHeight) / 2;
    HWND handle = CreateWindowExA(0, SPLASH_CLASS, title, WS_POPUP | WS_VISIBLE, x, y, size.bmWidth,
                                  size.bmHeight, nullptr, nullptr, instance, nullptr);
    if (!handle)
        return nullptr;
    SetWindowLongPtrA(handle, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bitmap));
    ShowWindow(handle, SW_SHOW);
    UpdateWindow(handle);
    SplashWindow* window = new SplashWindow;
    window->handle = handle;
    return window;
}

void runSplashWindow(SplashWindow*) {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

void freeSplashWindow(SplashWindow* window) {
    delete window;
}

void* splashWindowHandle(SplashWindow* window) {
    // Destroyed but not yet freed while its thread is on the way out.
    return IsWindow(window->handle) ? window->handle : nullptr;
}

void requestSplashTimer(SplashWindow* window, int32_t milliseconds) {
    PostMessageA(window->handle, WM_SPLASH_SET_TIMER,
                 static_cast<WPARAM>(static_cast<uint32_t>(milliseconds)), 0);
}

void requestSplashClose(SplashWindow* window) {
    PostMessageA(window->handle, WM_CLOSE, 0, 0);
}

} // namespace zor::platform
