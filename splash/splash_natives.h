// The natives of com.tarnwick.zor.SplashScreen, which the launcher executable exports.
//
// Windows VMs find them by their exported names (32-bit: the stdcall-decorated names listed in
// splash_natives_win32.def). On Linux the executable cannot be loaded as a library of its own
// process, so the launcher binds them with RegisterNatives from splashNativeMethods().
#pragma once

#include "common/native_method.h"

#include <jni.h>

namespace zor {

// The three SplashScreen natives; *count receives their number.
const NativeMethodEntry* splashNativeMethods(int* count);

} // namespace zor

extern "C" {
// A new SplashScreen while the splash window is shown, otherwise null.
JNIEXPORT jobject JNICALL Java_com_tarnwick_zor_SplashScreen_nativeGetSplashScreen(JNIEnv* env,
                                                                                   jclass type);
// Closes the splash after `milliseconds`, or cancels a pending close when negative.
JNIEXPORT void JNICALL Java_com_tarnwick_zor_SplashScreen_nativeAutoClose(JNIEnv* env, jobject self,
                                                                          jint milliseconds);
// Closes the splash at once.
JNIEXPORT void JNICALL Java_com_tarnwick_zor_SplashScreen_nativeClose(JNIEnv* env, jobject self);
}
