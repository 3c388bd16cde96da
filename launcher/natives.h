// The natives of the launcher's Java support classes, for platforms where the VM cannot find
// them in the running program by itself.
#pragma once

#include "vmhost/vm_host.h"

namespace zor {

void addLauncherNatives(VmHost& host);

} // namespace zor
