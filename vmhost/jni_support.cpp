#include "vmhost/jni_support.h"

#include <atomic>
#include <memory>

namespace zor {

bool clearException(JNIEnv* env, bool print) {
    if (!env->ExceptionCheck())
        return false;
    if (print)
        env->ExceptionDescribe();
    env->ExceptionClear();
    return true;
}

bool pendingIsA(JNIEnv* env, const char* className, bool otherwise) {
    LocalRef<jthrowable> pending(env, env->ExceptionOccurred());
    if (!pending)
        return otherwise;
    env->ExceptionClear();
    LocalRef<jclass> type(env, env->FindClass(className));
    env->ExceptionClear();
    bool is = type ? env->IsInstanceOf(pending, type) == JNI_TRUE : otherwise;
    env->Throw(pending);
    return is;
}

ByteString javaStringToBytes(JNIEnv* env, jstring text) {
    ByteString result;
    if (!text)
        return result;
    const jchar* units = env->GetStringChars(text, nullptr);
    if (!units)
        return result;
    jsize count = env->GetStringLength(text);
    result.assignFromWide(reinterpret_cast<const uint16_t*>(units), count);
    env->ReleaseStringChars(text, units);
    return result;
}

bool systemProperty(JNIEnv* env, const char* name, ByteString& value) {
    LocalRef<jclass> system(env, env->FindClass("java/lang/System"));
    jmethodID getProperty = system
                                ? env->GetStaticMethodID(system, "getProperty",
                                                         "(Ljava/lang/String;)Ljava/lang/String;")
                                : nullptr;
    LocalRef<jstring> key(env, getProperty ? env->NewStringUTF(name) : nullptr);
    LocalRef<jstring> text(
        env, key ? static_cast<jstring>(env->CallStaticObjectMethod(system, getProperty, key.get()))
                 : nullptr);
    value = javaStringToBytes(env, text);
    clearException(env, false);
    return getProperty != nullptr;
}

jstring bytesToJavaString(JNIEnv* env, const ByteString& text) {
    WideString wide;
    wide.assignFromNarrow(text.data, text.length);
    return wideToJavaString(env, wide);
}

jstring wideToJavaString(JNIEnv* env, const WideBuffer& text) {
    return env->NewString(reinterpret_cast<const jchar*>(text.data), text.length);
}

const ClassCache::Ids* ClassCache::get(JNIEnv* env) {
    if (const Ids* ids = known.load(std::memory_order_acquire))
        return ids;
    // Allocated first, so that a failing allocation leaves no global reference behind.
    auto found = std::make_unique<Ids>();
    LocalRef<jclass> type(env, env->FindClass(className));
    for (int i = 0; type && i < 3 && wanted[i].name; ++i) {
        found->methods[i] = env->GetMethodID(type, wanted[i].name, wanted[i].signature);
        if (!found->methods[i])
            return nullptr;
    }
    found->type = type ? static_cast<jclass>(env->NewGlobalRef(type)) : nullptr;
    if (!found->type)
        return nullptr;
    // Threads may look the class up at once: the first one published serves all.
    Ids* earlier = nullptr;
    if (known.compare_exchange_strong(earlier, found.get(), std::memory_order_acq_rel))
        return found.release();
    env->DeleteGlobalRef(found->type);
    return earlier;
}

namespace {

std::atomic<bool> linking{false};
// Asking for a class's declared fields links it first: the cheapest public way there is to
// link a class without initialising it (declared constructors would leave out interfaces,
// which Class answers itself).
ClassCache classCalls("java/lang/Class", {"getDeclaredFields", "()[Ljava/lang/reflect/Field;"});

} // namespace

void setLinkingDefinedClasses(bool link) {
    linking.store(link, std::memory_order_relaxed);
}

bool linkingDefinedClasses() {
    return linking.load(std::memory_order_relaxed);
}

void linkClass(JNIEnv* env, jclass type) {
    const ClassCache::Ids* calls = classCalls.get(env);
    if (calls)
        env->DeleteLocalRef(env->CallObjectMethod(type, calls->methods[0]));
    clearException(env, false);
}

} // namespace zor
