#include "vmhost/java_text.h"

namespace zor {

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

jstring bytesToJavaString(JNIEnv* env, const ByteString& text) {
    WideString wide;
    wide.assignFromNarrow(text.data, text.length);
    return env->NewString(reinterpret_cast<const jchar*>(wide.data), wide.length);
}

} // namespace zor
