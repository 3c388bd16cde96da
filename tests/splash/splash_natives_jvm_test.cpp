// Binds the SplashScreen natives to the support archive's class in a real VM, the way the
// Linux launcher does, and calls them through the Java methods. A wrong name or signature in
// the table makes RegisterNatives fail.
#include "splash/splash_natives.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

using CreateJavaVm = jint(JNICALL*)(JavaVM**, void**, void*);

bool isFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The runtime a user's launcher would find: JAVA_HOME, the system default, then the JDK the
// project was built with.
std::string findLibjvm() {
    std::string homes[3];
    if (const char* home = std::getenv("JAVA_HOME")) {
        homes[0] = home;
    }
    homes[1] = "/usr/lib/jvm/default-java";
    homes[2] = ZOR_BUILD_JDK;
    for (const std::string& home : homes) {
        if (!home.empty() && isFile(home + "/lib/server/libjvm.so")) {
            return home + "/lib/server/libjvm.so";
        }
    }
    return std::string();
}

std::string describePending(JNIEnv* env) {
    if (!env->ExceptionCheck()) {
        return "no exception";
    }
    env->ExceptionDescribe(); // prints to the VM's error stream, and clears it
    return "a Java exception (printed above)";
}

TEST(SplashNatives, BindToSplashScreenAndAnswerAsWithoutSplash) {
    std::string libjvm = findLibjvm();
    ASSERT_FALSE(libjvm.empty()) << "no Java runtime: set JAVA_HOME to a JDK 17 or later";
    void* library = dlopen(libjvm.c_str(), RTLD_NOW | RTLD_GLOBAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto create = reinterpret_cast<CreateJavaVm>(dlsym(library, "JNI_CreateJavaVM"));
    ASSERT_NE(create, nullptr);

    std::string classPath = std::string("-Djava.class.path=") + ZOR_BINARY_DIR "/zor-support.jar";
    JavaVMOption options[] = {{const_cast<char*>(classPath.c_str()), nullptr},
                              {const_cast<char*>("-Xverify:all"), nullptr}};
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_8;
    args.nOptions = 2;
    args.options = options;
    JavaVM* vm = nullptr;
    JNIEnv* env = nullptr;
    ASSERT_EQ(create(&vm, reinterpret_cast<void**>(&env), &args), JNI_OK);

    int count = 0;
    const zor::NativeMethodEntry* entries = zor::splashNativeMethods(&count);
    ASSERT_EQ(count, 3);
    jclass splash = env->FindClass("com/tarnwick/zor/SplashScreen");
    ASSERT_NE(splash, nullptr) << describePending(env);
    for (int i = 0; i < count; i++) {
        jclass owner = env->FindClass(entries[i].className);
        ASSERT_TRUE(owner != nullptr && env->IsSameObject(owner, splash)) << entries[i].className;
        JNINativeMethod method{const_cast<char*>(entries[i].name),
                               const_cast<char*>(entries[i].signature), entries[i].function};
        EXPECT_EQ(env->RegisterNatives(owner, &method, 1), JNI_OK)
            << entries[i].name << entries[i].signature << ": " << describePending(env);
    }

    // Through the public Java methods, which call the natives.
    jmethodID get =
        env->GetStaticMethodID(splash, "getSplashScreen", "()Lcom/tarnwick/zor/SplashScreen;");
    jmethodID init = env->GetMethodID(splash, "<init>", "()V");
    jmethodID autoClose = env->GetMethodID(splash, "autoClose", "(I)V");
    jmethodID close = env->GetMethodID(splash, "close", "()V");
    ASSERT_TRUE(get && init && autoClose && close) << describePending(env);

    EXPECT_EQ(env->CallStaticObjectMethod(splash, get), nullptr);
    EXPECT_FALSE(env->ExceptionCheck()) << describePending(env);
    jobject screen = env->NewObject(splash, init);
    ASSERT_NE(screen, nullptr) << describePending(env);
    env->CallVoidMethod(screen, autoClose, jint(-1));
    EXPECT_FALSE(env->ExceptionCheck()) << describePending(env);
    env->CallVoidMethod(screen, autoClose, jint(0));
    EXPECT_FALSE(env->ExceptionCheck()) << describePending(env);
    env->CallVoidMethod(screen, close);
    EXPECT_FALSE(env->ExceptionCheck()) << describePending(env);

    EXPECT_EQ(vm->DestroyJavaVM(), JNI_OK);
}

} // namespace
