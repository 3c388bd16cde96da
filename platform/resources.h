// Resources of the running executable: string tables, the splash bitmap and the packed
// application archive.
#pragma once

#include "common/packed_file.h"

#include <cstdint>

namespace zor::platform {

using zor::RESOURCE_TYPE_BITMAP;
using zor::RESOURCE_TYPE_RCDATA;
constexpr int RESOURCE_TYPE_STRING = 6;

// Finds resource `id` of `type` in the executable's own module, in the language the system
// chooses. The bytes stay valid for the life of the process.
bool findOwnResource(int type, int id, const void** data, uint32_t* size);

} // namespace zor::platform
