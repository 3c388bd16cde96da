// What the VM host and the natives share in talking to the VM through JNI.
#pragma once

#include "common/text.h"

#include <jni.h>

#include <atomic>
#include <new>

namespace zor {

// The launcher's Java support classes, and the package prefix under which the VM's URL
// machinery finds the handler.
inline constexpr char LOADER_CLASS_NAME[] = "com/tarnwick/zor/LumbrixClassLoader";
inline constexpr char HANDLER_CLASS_NAME[] = "com/tarnwick/zor/Handler";
inline constexpr char SPLASH_CLASS_NAME[] = "com/tarnwick/zor/SplashScreen";
inline constexpr char SPLASH_GETTER_SIGNATURE[] = "()Lcom/tarnwick/zor/SplashScreen;";
inline constexpr char16_t HANDLER_PACKAGE[] = u"com.tarnwick";

// A local reference deleted when the scope ends, on every exit.
template <typename T> class LocalRef {
public:
    LocalRef(JNIEnv* env, T ref) noexcept : env(env), ref(ref) {}
    LocalRef(const LocalRef&) = delete;
    LocalRef& operator=(const LocalRef&) = delete;
    ~LocalRef() { reset(nullptr); }

    void reset(T other) noexcept {
        if (ref)
            env->DeleteLocalRef(ref);
        ref = other;
    }
    // Variadic JNI calls need the plain reference: pass get().
    T get() const noexcept { return ref; }
    operator T() const noexcept { return ref; }

private:
    JNIEnv* env;
    T ref;
};

// Clears the exception pending on this thread, printing it first to the VM's error stream when
// `print`; true when there was one.
bool clearException(JNIEnv* env, bool print);

// A Java string as narrow text, cut at a NUL; empty for null or when the VM cannot give its
// characters.
ByteString javaStringToBytes(JNIEnv* env, jstring text);
// System.getProperty(name) as narrow text, empty when unset; false when System.getProperty
// cannot be found. No exception is left pending.
bool systemProperty(JNIEnv* env, const char* name, ByteString& value);
// Narrow or UTF-16 text as a new Java string (local reference); null when the VM cannot make one.
jstring bytesToJavaString(JNIEnv* env, const ByteString& text);
jstring wideToJavaString(JNIEnv* env, const WideBuffer& text);

// A class and up to three of its instance methods, looked up on first use and kept for the
// life of the process, since the natives run once per class or resource, on many threads. The
// global reference keeps the ids valid. A failed lookup is not kept: the next call tries again.
class ClassCache {
public:
    struct Method {
        const char* name;
        const char* signature;
    };
    struct Ids {
        jclass type; // global reference
        jmethodID methods[3];
    };

    constexpr ClassCache(const char* className, Method first, Method second = {}, Method third = {})
        : className(className), wanted{first, second, third} {}

    // Null with the VM's exception pending when the class or a method is missing.
    const Ids* get(JNIEnv* env);

private:
    const char* className;
    Method wanted[3];
    std::atomic<Ids*> known{nullptr};
};

// Whether the exception pending on this thread is a `className` (JNI form); `otherwise` when
// there is none or that class cannot be found. The exception stays pending.
bool pendingIsA(JNIEnv* env, const char* className, bool otherwise);

inline void throwJavaError(JNIEnv* env, const char* className, const char* message) noexcept {
    // Under memory pressure even this may fail; the VM then has its own error pending.
    LocalRef<jclass> type(env, env->FindClass(className));
    if (type)
        env->ThrowNew(type, message);
}

// While a run writes a class-data archive of the dynamic kind, the support loader links each
// class it defines: such an archive leaves out classes that are loaded but not linked (those
// the verifier only loaded to check types), and the runtime links only its own loaders'
// classes before writing it.
void setLinkingDefinedClasses(bool link);
bool linkingDefinedClasses();

// Links (verifies) `type` without initialising it; a failure is cleared, since the class
// would fail alike where the application first uses it.
void linkClass(JNIEnv* env, jclass type);

// Natives run C++ that can throw (an allocation that fails while the archives open); unwound
// into the VM, that would end the process in std::terminate. Runs `body` and returns its result,
// or on a C++ exception a zero result with a Java OutOfMemoryError or InternalError pending.
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
