// Text crossing between Java and the launcher: UTF-16 in the VM, the narrow code page here.
#pragma once

#include "common/text.h"

#include <jni.h>

namespace zor {

// A Java string as narrow text, cut at a NUL; empty for null or when the VM cannot give its
// characters.
ByteString javaStringToBytes(JNIEnv* env, jstring text);
// Narrow text as a new Java string (local reference); null when the VM cannot make one.
jstring bytesToJavaString(JNIEnv* env, const ByteString& text);

} // namespace zor
