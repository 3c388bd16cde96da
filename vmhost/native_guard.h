// Natives run C++ that can throw (an allocation that fails while the archives open). An
// exception that unwound into the VM would end the process in std::terminate; the guard turns
// it into a Java error pending on the calling thread instead.
#pragma once

#include <jni.h>

#include <new>

namespace zor {

inline void throwJavaError(JNIEnv* env, const char* className, const char* message) noexcept {
    // Under memory pressure even this may fail; the VM then has its own error pending.
    jclass type = env->FindClass(className);
    if (type) {
        env->ThrowNew(type, message);
        env->DeleteLocalRef(type);
    }
}

// Runs `body` and returns its result; on a C++ exception returns a zero result with a Java
// OutOfMemoryError (allocation failure) or InternalError pending.
template <typename Body> auto guardNative(JNIEnv* env, Body body) noexcept -> decltype(body()) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        throwJavaError(env, "java/lang/OutOfMemoryError", "out of native memory in the launcher");
    } catch (...) {
        throwJavaError(env, "java/lang/InternalError", "unexpected failure in the launcher");
    }
    return decltype(body())();
}

} // namespace zor
