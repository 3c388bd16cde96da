#include "platform/codepage.h"

#include <windows.h>

namespace zor::platform {

int32_t wideToNarrow(const uint16_t* src, int32_t count, char* dst, int32_t dstSize) {
    return WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<const wchar_t*>(src), count, dst,
                               dstSize, nullptr, nullptr);
}

int32_t narrowToWide(const char* src, int32_t count, uint16_t* dst, int32_t dstSize) {
    return MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, src, count, reinterpret_cast<wchar_t*>(dst),
                               dstSize);
}

} // namespace zor::platform
