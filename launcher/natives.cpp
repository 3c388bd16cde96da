#include "launcher/natives.h"

namespace zor {

// The support classes' natives (class loader, resource handler, splash screen) join this
// table as their libraries provide them. The null entry only keeps the array non-empty.
const NativeMethod LAUNCHER_NATIVES[] = {
    {nullptr, nullptr, nullptr, nullptr},
};
const int32_t LAUNCHER_NATIVE_COUNT = 0;

} // namespace zor
