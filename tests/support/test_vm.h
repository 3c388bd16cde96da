// A Java VM created inside a test program (one per process), from the runtime a user's machine
// offers: JAVA_HOME, else Debian's JDK 17 package.
#pragma once

#include <jni.h>

#include <dlfcn.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace zor::test {

// The new VM's environment, or null with `problem` saying why.
inline JNIEnv* createTestVm(const std::vector<std::string>& options, std::string& problem) {
    const char* javaHome = std::getenv("JAVA_HOME");
    std::string home = javaHome && *javaHome ? javaHome : "/usr/lib/jvm/java-17-openjdk-amd64";
    std::string library = home + "/lib/server/libjvm.so";
    void* jvm = dlopen(library.c_str(), RTLD_NOW);
    if (!jvm) {
        problem = "no Java VM library at " + library + ": " + dlerror();
        return nullptr;
    }
    using Create = jint(JNICALL*)(JavaVM**, void**, void*);
    auto create = reinterpret_cast<Create>(dlsym(jvm, "JNI_CreateJavaVM"));
    if (!create) {
        problem = library + " exports no JNI_CreateJavaVM";
        return nullptr;
    }
    std::vector<JavaVMOption> vmOptions;
    for (const std::string& option : options)
        vmOptions.push_back({const_cast<char*>(option.c_str()), nullptr});
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_8;
    args.nOptions = static_cast<jint>(vmOptions.size());
    args.options = vmOptions.data();
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    if (create(&vm, reinterpret_cast<void**>(&env), &args) != JNI_OK) {
        problem = "JNI_CreateJavaVM failed";
        return nullptr;
    }
    return env;
}

} // namespace zor::test
