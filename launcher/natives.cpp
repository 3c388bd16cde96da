#include "launcher/natives.h"

#include "archive/natives.h"
#include "splash/splash_natives.h"

namespace zor {

namespace {

void addEntries(VmHost& host, const NativeMethodEntry* entries, int count) {
    for (int i = 0; i < count; ++i) {
        NativeMethod method{entries[i].className, entries[i].name, entries[i].signature,
                            entries[i].function};
        host.addNatives(&method, 1);
    }
}

} // namespace

// Each library of natives (class loader, resource handler, splash screen) contributes its table.
void addLauncherNatives(VmHost& host) {
    int count = 0;
    const NativeMethodEntry* archive = archiveNativeMethods(&count);
    addEntries(host, archive, count);
    const NativeMethodEntry* splash = splashNativeMethods(&count);
    addEntries(host, splash, count);
}

} // namespace zor
