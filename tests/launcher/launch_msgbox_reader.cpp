// Windows test helper for message boxes (window class "#32770"): reads each box's caption and
// text, prints them as UTF-8 ("caption=...", "text=...") and presses OK.
// Usage: launch_msgbox_reader [TIMEOUT_MS]: waits for one box of any program. Exit code 2 when
//        no box appeared in time.
//        launch_msgbox_reader --run TIMEOUT_MS PROGRAM [ARG...]: runs PROGRAM, answers every box
//        it shows until it ends, then prints "exit CODE"; an exception that PROGRAM leaves
//        unhandled is printed ("unhandled exception 0x...") and ends it with that code. Exit
//        code 0 when PROGRAM ended, 2 when it was still running after TIMEOUT_MS (it is then
//        ended), 3 when it could not be started (the system's reason is printed).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

namespace {

std::string utf8(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n - 1 : 0, '\0');
    if (n > 1)
        WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

void print(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fflush(stdout);
}

// Asked with a time limit: a reader that debugs the box's program would wait forever on a
// thread that is itself stopped at a debug event, waiting for the reader.
bool textOf(HWND window, std::wstring& text) {
    wchar_t buffer[4096] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 1000, &copied))
        return false;
    text = buffer;
    return true;
}

// False when the box did not answer in time: it is then left for another try.
bool answer(HWND box) {
    std::wstring caption, text;
    if (!textOf(box, caption) || !textOf(GetDlgItem(box, 0xFFFF), text))
        return false;
    print("caption=" + utf8(caption.c_str()) + "\ntext=" + utf8(text.c_str()) + "\n");
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return true;
}

bool isBox(HWND window) {
    wchar_t name[16] = {};
    return IsWindowVisible(window) && GetClassNameW(window, name, 16) &&
           std::wstring(name) == L"#32770";
}

// One argument as the child's command line parser reads it back.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    size_t slashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
        } else {
            // Backslashes before a quote are doubled, and the quote escaped.
            if (c == L'"')
                out.append(slashes + 1, L'\\');
            slashes = 0;
        }
        out += c;
    }
    out.append(slashes, L'\\'); // before the closing quote
    return out + L"\"";
}

struct Child {
    DWORD id;
    std::set<HWND>* answered;
};

BOOL CALLBACK answerBoxOf(HWND window, LPARAM raw) {
    auto* child = reinterpret_cast<Child*>(raw);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    // A box stays visible for a moment after its OK: it is answered once.
    if (owner == child->id && isBox(window) && !child->answered->count(window) && answer(window))
        child->answered->insert(window);
    return TRUE;
}

// The runner debugs its child: an exception the child leaves unhandled comes back here instead
// of starting the system's debugger, whose crash dialog would keep the child alive.
int run(DWORD timeout, int argc, wchar_t** argv) {
    std::wstring line;
    for (int i = 0; i < argc; ++i)
        line += (i ? L" " : L"") + quoted(argv[i]);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, nullptr, &startup, &process)) {
        std::printf("not started: system error %lu\n", static_cast<unsigned long>(GetLastError()));
        return 3;
    }
    CloseHandle(process.hThread);
    std::set<HWND> answered;
    Child child{process.dwProcessId, &answered};
    DWORD start = GetTickCount();
    for (;;) {
        DEBUG_EVENT event = {};
        if (WaitForDebugEvent(&event, 50)) {
            DWORD status = DBG_CONTINUE;
            switch (event.dwDebugEventCode) {
            case CREATE_PROCESS_DEBUG_EVENT:
                CloseHandle(event.u.CreateProcessInfo.hFile);
                break;
            case LOAD_DLL_DEBUG_EVENT:
                CloseHandle(event.u.LoadDll.hFile);
                break;
            case EXCEPTION_DEBUG_EVENT: {
                const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
                // The breakpoint at attach is ours; every other exception goes to the
                // child's own handlers first.
                if (record.ExceptionCode != EXCEPTION_BREAKPOINT)
                    status = DBG_EXCEPTION_NOT_HANDLED;
                if (!event.u.Exception.dwFirstChance) {
                    std::printf("unhandled exception 0x%08lx at %p\n",
                                static_cast<unsigned long>(record.ExceptionCode),
                                record.ExceptionAddress);
                    TerminateProcess(process.hProcess, record.ExceptionCode);
                }
                break;
            }
            case EXIT_PROCESS_DEBUG_EVENT:
                std::printf("exit %lu\n",
                            static_cast<unsigned long>(event.u.ExitProcess.dwExitCode));
                ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
                CloseHandle(process.hProcess);
                return 0;
            default:
                break;
            }
            ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
        }
        EnumWindows(answerBoxOf, reinterpret_cast<LPARAM>(&child));
        if (GetTickCount() - start > timeout) {
            TerminateProcess(process.hProcess, 1);
            std::printf("still running after %lu ms\n", static_cast<unsigned long>(timeout));
            return 2;
        }
    }
}

} // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc > 3 && std::wstring(argv[1]) == L"--run")
        return run(static_cast<DWORD>(_wtoi(argv[2])), argc - 3, argv + 3);
    DWORD timeout = argc > 1 ? static_cast<DWORD>(_wtoi(argv[1])) : 30000;
    DWORD start = GetTickCount();
    do {
        HWND box = FindWindowW(L"#32770", nullptr);
        if (box && IsWindowVisible(box) && answer(box))
            return 0;
        Sleep(50);
    } while (GetTickCount() - start <= timeout);
    std::printf("no message box within %lu ms\n", static_cast<unsigned long>(timeout));
    return 2;
}
