// The executable's string tables (messages in English, Traditional and Simplified Chinese).
#pragma once

#include <cstdint>

namespace zor::platform {

// String-table block `blockId` (strings id/16+1) in the language the system selects for the
// user: 16 entries, each a 16-bit count followed by that many UTF-16 units.
bool findStringBlock(int blockId, const uint16_t** units, uint32_t* unitCount);

} // namespace zor::platform
