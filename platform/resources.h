// Resources of the running executable: string tables, the splash bitmap and the packed
// application archive.
#pragma once

#include <cstdint>

namespace zor::platform {

constexpr int RESOURCE_TYPE_BITMAP = 2;
constexpr int RESOURCE_TYPE_STRING = 6;
constexpr int RESOURCE_TYPE_RCDATA = 10;

// Finds resource `id` of `type` in the executable's own module, in the language the system
// chooses. The bytes stay valid for the life of the process.
bool findOwnResource(int type, int id, const void** data, uint32_t* size);

} // namespace zor::platform
