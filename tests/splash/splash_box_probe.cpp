// Windows test helper for the splash under wine.
//
//   splash_box_probe splash TIMEOUT_MS  waits for a visible "ZORSPLASH" window and prints its
//                                       rectangle ("splash=LEFT,TOP,WIDTH,HEIGHT")
//   splash_box_probe box TIMEOUT_MS [HOLD_MS]
//                                       waits for a message box, prints the class of its owner
//                                       ("owner=ZORSPLASH" or "owner=none"); after HOLD_MS
//                                       prints whether box and splash are still there
//                                       ("held=BOX,SPLASH" as 0 or 1); presses OK and
//                                       prints how long the splash outlived the box ("gone=MS", or
//                                       "gone=never" after 5 s; "gone=none" when there was none)
// Exit code 2 when nothing appeared in time.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

HWND visibleSplash() {
    HWND splash = FindWindowA("ZORSPLASH", nullptr);
    return splash && IsWindowVisible(splash) ? splash : nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4)
        return 2;
    DWORD timeout = static_cast<DWORD>(std::atoi(argv[2]));
    DWORD start = GetTickCount();
    bool wantBox = std::strcmp(argv[1], "box") == 0;
    HWND found = nullptr;
    while (!(found = wantBox ? FindWindowA("#32770", nullptr) : visibleSplash()) ||
           !IsWindowVisible(found)) {
        if (GetTickCount() - start > timeout) {
            std::printf("nothing within %lu ms\n", static_cast<unsigned long>(timeout));
            return 2;
        }
        Sleep(20);
    }
    if (!wantBox) {
        RECT r;
        GetWindowRect(found, &r);
        std::printf("splash=%ld,%ld,%ld,%ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        return 0;
    }
    HWND owner = GetWindow(found, GW_OWNER);
    char name[64] = "none";
    if (owner)
        GetClassNameA(owner, name, sizeof name);
    std::printf("owner=%s\n", name);
    if (argc == 4) {
        Sleep(static_cast<DWORD>(std::atoi(argv[3])));
        std::printf("held=%d,%d\n", IsWindowVisible(found) ? 1 : 0, visibleSplash() ? 1 : 0);
    }
    bool hadSplash = visibleSplash() != nullptr;
    PostMessageA(found, WM_COMMAND, IDOK, 0);
    DWORD dismissed = GetTickCount();
    if (!hadSplash) {
        std::printf("gone=none\n");
        return 0;
    }
    // Wine takes a while to close a box that another process presses OK on: count from the
    // moment the box has gone.
    while (IsWindow(found) && GetTickCount() - dismissed < 10000)
        Sleep(5);
    dismissed = GetTickCount();
    while (visibleSplash()) {
        if (GetTickCount() - dismissed > 5000) {
            std::printf("gone=never\n");
            return 0;
        }
        Sleep(10);
    }
    std::printf("gone=%lu\n", static_cast<unsigned long>(GetTickCount() - dismissed));
    return 0;
}
