#include "launcher/natives.h"

#include "archive/natives.h"
#include "splash/splash_natives.h"

namespace zor {

// Each library of natives (class loader, resource handler, splash screen) contributes its table.
void addLauncherNatives(VmHost& host) {
    int count = 0;
    const NativeMethodEntry* archive = archiveNativeMethods(&count);
    host.addNatives(archive, count);
    const NativeMethodEntry* splash = splashNativeMethods(&count);
    host.addNatives(splash, count);
}

} // namespace zor
