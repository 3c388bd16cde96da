#include "platform/message_box.h"

#include <windows.h>

namespace zor::platform {

void showMessageBox(void* owner, const char* text, const char* caption) {
    MessageBoxA(static_cast<HWND>(owner), text, caption, MB_OK | MB_ICONWARNING);
}

} // namespace zor::platform
