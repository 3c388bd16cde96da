#include "splash/splash_natives.h"

#include "splash/splash_screen.h"
#include "vmhost/jni_support.h"

#include <atomic>

// Each native acts on the splash of the process, if there is one; the splash lock keeps the
// controller alive while it is used (see splash_screen.h).

extern "C" {

JNIEXPORT jobject JNICALL Java_com_tarnwick_zor_SplashScreen_nativeGetSplashScreen(JNIEnv* env,
                                                                                   jclass type) {
    if (!zor::SplashScreenThread::isShown())
        return nullptr;
    // `type` is the support class, which stays loaded for good, and with it the id.
    static std::atomic<jmethodID> init{nullptr};
    if (!init)
        init = env->GetMethodID(type, "<init>", "()V");
    jobject screen = init ? env->NewObject(type, init) : nullptr;
    return zor::clearException(env, true) ? nullptr : screen;
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

const NativeMethodEntry SPLASH_NATIVES[] = {
    {SPLASH_CLASS_NAME, "nativeGetSplashScreen", SPLASH_GETTER_SIGNATURE,
     reinterpret_cast<void*>(&Java_com_tarnwick_zor_SplashScreen_nativeGetSplashScreen)},
    {SPLASH_CLASS_NAME, "nativeAutoClose", "(I)V",
     reinterpret_cast<void*>(&Java_com_tarnwick_zor_SplashScreen_nativeAutoClose)},
    {SPLASH_CLASS_NAME, "nativeClose", "()V",
     reinterpret_cast<void*>(&Java_com_tarnwick_zor_SplashScreen_nativeClose)},
};

} // namespace

const NativeMethodEntry* splashNativeMethods(int* count) {
    *count = static_cast<int>(sizeof SPLASH_NATIVES / sizeof SPLASH_NATIVES[0]);
    return SPLASH_NATIVES;
}

} // namespace zor
