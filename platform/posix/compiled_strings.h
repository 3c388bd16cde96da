// The string tables compiled into the Linux program, which has no resources. The build
// generates the table from the launcher's message file.
#pragma once

#include <cstdint>

namespace zor::platform {

struct CompiledStringBlock {
    uint16_t language; // Windows language id: 1033, 1028, 2052
    uint16_t blockId;  // strings id / 16 + 1
    const char16_t* entries[16];
};

extern const CompiledStringBlock COMPILED_STRING_BLOCKS[];
extern const int COMPILED_STRING_BLOCK_COUNT;

// The language the user's locale asks for (LC_ALL, then LC_MESSAGES, then LANG): zh_TW and
// zh_HK give 1028, any other zh 2052, everything else 1033.
uint16_t userLanguage();

} // namespace zor::platform
