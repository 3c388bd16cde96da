#include "splash/splash_natives.h"

// There is no splash window yet: the natives answer as in a process without one, where
// getSplashScreen gives null and autoClose and close have nothing to act on.

extern "C" {

JNIEXPORT jobject JNICALL Java_com_tarnwick_zor_SplashScreen_nativeGetSplashScreen(JNIEnv*,
                                                                                   jclass) {
    return nullptr;
}

JNIEXPORT void JNICALL Java_com_tarnwick_zor_SplashScreen_nativeAutoClose(JNIEnv*, jobject, jint) {}

JNIEXPORT void JNICALL Java_com_tarnwick_zor_SplashScreen_nativeClose(JNIEnv*, jobject) {}
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
