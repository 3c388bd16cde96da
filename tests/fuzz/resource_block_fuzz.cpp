// The Linux resource block reader on arbitrary executable bytes: what it finds lies inside them.
#include "platform/resource_block.h"

#include <cstddef>
#include <initializer_list>

using namespace zor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (uint32_t type : {10u, 2u}) {
        for (uint32_t id : {128u, 100u, 0u}) {
            const unsigned char* found = nullptr;
            uint32_t length = 0;
            if (findResourceInImage(data, size, type, id, &found, &length) &&
                (found < data || static_cast<size_t>(found - data) + length > size))
                __builtin_trap();
        }
    }
    return 0;
}
