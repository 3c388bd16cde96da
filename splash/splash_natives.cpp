#include "splash/splash_natives.h"

#include "splash/splash_screen.h"

// Each native acts on the splash of the process, if there is one; the splash lock keeps the
// controller alive while it is used (see splash_screen.h).

extern "C" {

JNIEXPORT jobject JNICALL Java_com_tarnwick_zor_SplashScreen_nativeGetSplashScreen(JNIEnv* env,
                                                                                   jclass type) {
    if (!zor::SplashScreenThread::isShown())
        return nullptr;
    jmethodID init = env->GetMethodID(type, "<init>", "()V");
    jobject screen = init ? env->NewObject(type, init) : nullptr;
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        env->ExceptionClear();
        return nullptr;
    }
    return screen;
}

JNIEXPORT void JNICALL Java_com_tarnwick_zor_SplashScreen_nativeAutoClose(JNIEnv*, jobject,
                                                                          jint milliseconds) {
    zor::SplashScreenThread::autoClose(milliseconds);
}

JNIEXPORT void JNICALL Java_com_tarnwick_zor_SplashScreen_nativeClose(JNIEnv*, jobject) {
    zor::SplashScreenThread::close();
}
}

namespace zor {

namespace {

const char SPLASH_CLASS[] = "com/tarnwick/zor/SplashScreen";

const NativeMethodEntry SPLASH_NATIVES[] = {
    {SPLASH_CLASS, "nativeGetSplashScreen", "()Lcom/tarnwick/zor/SplashScreen;",
     reinterpret_cast<void*>(&Java_com_tarnwick_zor_SplashScreen_nativeGetSplashScreen)},
    {SPLASH_CLASS, "nativeAutoClose", "(I)V",
     reinterpret_cast<void*>(&Java_com_tarnwick_zor_SplashScreen_nativeAutoClose)},
    {SPLASH_CLASS, "nativeClose", "()V",
     reinterpret_cast<void*>(&Java_com_tarnwick_zor_SplashScreen_nativeClose)},
};

} // namespace

const NativeMethodEntry* splashNativeMethods(int* count) {
    *count = static_cast<int>(sizeof SPLASH_NATIVES / sizeof SPLASH_NATIVES[0]);
    return SPLASH_NATIVES;
}

} // namespace zor
