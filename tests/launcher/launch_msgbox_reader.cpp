// Windows test helper: waits for a message box (window class "#32770"), prints its caption and
// text as UTF-8 ("caption=...", "text=..."), and presses OK.
// Usage: launch_msgbox_reader [TIMEOUT_MS]. Exit code 2 when no box appeared in time.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string utf8(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

} // namespace

int main(int argc, char** argv) {
    DWORD timeout = argc > 1 ? static_cast<DWORD>(std::atoi(argv[1])) : 30000;
    DWORD start = GetTickCount();
    HWND box = nullptr;
    while (!(box = FindWindowW(L"#32770", nullptr)) || !IsWindowVisible(box)) {
        if (GetTickCount() - start > timeout) {
            std::printf("no message box within %lu ms\n", static_cast<unsigned long>(timeout));
            return 2;
        }
        Sleep(50);
    }
    wchar_t caption[512] = {};
    wchar_t text[4096] = {};
    GetWindowTextW(box, caption, 512);
    GetDlgItemTextW(box, 0xFFFF, text, 4096);
    std::string line = "caption=" + utf8(caption) + "\ntext=" + utf8(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return 0;
}
