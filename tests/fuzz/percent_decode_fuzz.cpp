// percentDecode on arbitrary text: never longer than its input.
#include "archive/natives.h"

using namespace zor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1 << 16))
        return 0;
    ByteString text(reinterpret_cast<const char*>(data),
                    reinterpret_cast<const char*>(data) + size);
    ByteString decoded = percentDecode(text);
    if (decoded.length > text.length)
        __builtin_trap();
    return 0;
}
