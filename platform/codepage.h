// Conversion between the system's narrow code page and UTF-16 (the ANSI code page on
// Windows, UTF-8 on Linux).
#pragma once

#include <cstdint>

namespace zor::platform {

// WideCharToMultiByte semantics: converts `count` units (-1: up to and including the NUL).
// With dstSize 0 returns the bytes needed; otherwise the bytes written, 0 on failure.
// Units that do not convert become the system's default character.
int32_t wideToNarrow(const uint16_t* src, int32_t count, char* dst, int32_t dstSize);

// MultiByteToWideChar semantics (precomposed): converts `count` bytes (-1: up to and including
// the NUL). With dstSize 0 returns the units needed; otherwise the units written.
int32_t narrowToWide(const char* src, int32_t count, uint16_t* dst, int32_t dstSize);

} // namespace zor::platform
