#include "platform/message_box.h"
#include "platform/trace.h"

#include <windows.h>

#include <string>

namespace zor::platform {

namespace {

// zorpack --console changes the subsystem in the packed program's header and nothing else, so
// the header is what tells a console program from a GUI one. Standard handles do not: a GUI
// program started with redirected output has them too.
bool isConsoleProgram() {
    const auto* image = reinterpret_cast<const BYTE*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(image + dos->e_lfanew);
    return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

void writeStandardError(const std::string& line) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    if (err == nullptr || err == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0, mode = 0;
    // The text is in the ANSI code page; a console shows its own (OEM) code page, so it gets
    // UTF-16. A file or pipe gets the bytes as they are, as other Windows programs write.
    if (GetConsoleMode(err, &mode)) {
        int count = MultiByteToWideChar(CP_ACP, 0, line.data(), int(line.size()), nullptr, 0);
        std::wstring wide(size_t(count > 0 ? count : 0), L'\0');
        if (count > 0 &&
            MultiByteToWideChar(CP_ACP, 0, line.data(), int(line.size()), wide.data(), count) > 0)
            WriteConsoleW(err, wide.data(), DWORD(count), &written, nullptr);
    } else {
        WriteFile(err, line.data(), DWORD(line.size()), &written, nullptr);
    }
}

// A GUI program's trace file: beside the executable, else in %TEMP%; named in its first line.
HANDLE openTraceFile() {
    char module[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string name(module, length < MAX_PATH ? length : 0);
    if (name.size() > 4 && name[name.size() - 4] == '.')
        name.resize(name.size() - 4);
    name += "-zor-trace.txt";
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    char temp[MAX_PATH];
    DWORD tempLength = GetTempPathA(MAX_PATH, temp);
    if (file == INVALID_HANDLE_VALUE && tempLength > 0 && tempLength < MAX_PATH) {
        name = temp + name.substr(name.find_last_of('\\') + 1);
        file = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    std::string first = "zor: trace file " + name + "\r\n";
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE)
        WriteFile(file, first.data(), DWORD(first.size()), &written, nullptr);
    OutputDebugStringA(first.c_str());
    return file;
}

} // namespace

void writeTraceLine(const char* line) {
    std::string text = std::string(line) + "\r\n";
    if (isConsoleProgram())
        return writeStandardError(text);
    static HANDLE file = openTraceFile();
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE)
        WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr);
    OutputDebugStringA(text.c_str());
}

void writeWarning(const char* text) {
    writeStandardError(std::string(text ? text : "") + "\r\n");
}

void showMessageBox(void* owner, const char* text, const char* caption) {
    if (isConsoleProgram())
        writeStandardError(std::string(caption ? caption : "") + ": " + (text ? text : "") +
                           "\r\n");
    // An owner destroyed since it was chosen makes the call fail: the box is shown unowned.
    if (!MessageBoxA(static_cast<HWND>(owner), text, caption, MB_OK | MB_ICONWARNING) && owner)
        MessageBoxA(nullptr, text, caption, MB_OK | MB_ICONWARNING);
}

} // namespace zor::platform
