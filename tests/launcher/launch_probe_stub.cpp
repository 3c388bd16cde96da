// A launcher stub with one more native, launchtest.Natives.probe, which answers from the
// launcher's own state: the application path of the running launch's configuration. Called
// through a second copy of the program it would find no configuration.
#include "config/config_store.h"
#include "launcher/launch.h"
#include "launcher/natives.h"

namespace {

jstring JNICALL probe(JNIEnv* env, jclass) {
    return env->NewStringUTF(zor::currentConfig ? zor::currentConfig->applicationPath().c_str()
                                                : "no configuration");
}

void addNatives(zor::VmHost& host) {
    zor::addLauncherNatives(host);
    const zor::NativeMethodEntry probeNative{"launchtest/Natives", "probe", "()Ljava/lang/String;",
                                             reinterpret_cast<void*>(&probe)};
    host.addNatives(&probeNative, 1);
}

} // namespace

int main(int argc, char** argv) {
    return zor::launcherMain(argc, argv, addNatives);
}
