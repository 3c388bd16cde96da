// The natives of the launcher's Java support classes, for platforms where the VM cannot find
// them in the running program by itself.
#pragma once

#include "vmhost/vm_host.h"

namespace zor {

extern const NativeMethod LAUNCHER_NATIVES[];
extern const int32_t LAUNCHER_NATIVE_COUNT;

} // namespace zor
