// The launcher's one link to the Java runtime: the VM options, the runtime's VM library, the
// VM itself and the main thread's JNI environment, and the calls that run the application.
#pragma once

#include "common/native_method.h"
#include "common/text.h"
#include "vmhost/launch_error.h"

#include <jni.h>

namespace zor {

class VmHost {
public:
    // Option texts in the order added; pointers to them are formed only at creation because
    // the buffer moves as it grows.
    StringList options;
    void* runtimeLibrary = nullptr;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;

    VmHost() = default;
    VmHost(const VmHost&) = delete;
    VmHost& operator=(const VmHost&) = delete;
    ~VmHost();

    void addOption(const char* text);
    // Natives bound right after creation where the platform needs it; a class that the VM
    // cannot find is skipped. The table must outlive createVm.
    void addNatives(const NativeMethodEntry* methods, int32_t count);

    // Loads the library (retrying once with its parent folder on PATH), creates the VM and
    // consumes the option list. 0, RuntimeNotFound, RuntimeInvalid or VmCreateFailed.
    LaunchError createVm(const char* libraryPath);
    // Detaches, destroys the VM (waiting for its last non-daemon thread) and unloads the
    // library; safe in every state and more than once.
    void destroyVm();
    JNIEnv* environment() const { return env; }

    // "java.vm.version" in the narrow code page (empty when unset); false without a VM or
    // when java.lang.System cannot be asked.
    bool getVmVersion(ByteString& version);
    // Puts the launcher's package first in "java.protocol.handler.pkgs".
    void registerHandlerPackage();
    // Runs the static main of `mainClass` with the arguments (program name excluded) on this
    // thread. 0 once main was called, whatever it did, or once the class's initialisation
    // failed (then mainThrew()); MainClassNotFound; MainMethodMissing.
    LaunchError runMain(const char* mainClass, int argc, char** argv);
    // True when the last runMain's main ended with an uncaught exception.
    bool mainThrew() const { return threw; }

private:
    Array<NativeMethodEntry> natives;
    bool threw = false;

    void bindNatives();
    jclass loadThroughClassLoader(const char* name);
    jclass findClassDirect(const char* name);
    void setContextLoader(jobject loader);
    jobjectArray buildArgs(int argc, char** argv);
};

// The entry's VmHost while the launch runs; null before and after.
extern VmHost* currentVmHost;

} // namespace zor
