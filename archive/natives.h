// The natives of com.tarnwick.zor.LumbrixClassLoader and com.tarnwick.zor.Handler, which the
// launcher executable exports: they serve the packed application's classes and resources from
// the archive stores.
#pragma once

#include "archive/archive_store.h"
#include "common/native_method.h"
#include "common/text.h"
#include "vmhost/jni_support.h"

#include <jni.h>

namespace zor {

// One pass of URL unescaping: "+" to space, "%%" to "%", "%hh" to its byte; a "%" that no hex
// digit follows stays as it is. Never longer than the input.
ByteString percentDecode(const ByteString& text);

// The first match of `name` in `store` (see ArchiveStore::findPath) as a new Java byte array, or
// null; null with the VM's error pending when it cannot make the array.
jbyteArray readEntryToJavaArray(JNIEnv* env, ArchiveStore& store, const ByteString& name,
                                ArchiveStore** holder = nullptr);

// A "zor:" URL for a resource path, built on the shared handler instance; null on failure
// (the pending exception is printed and cleared).
jobject makeResourceUrl(JNIEnv* env, const ByteString& path);

// The four natives, for binding them explicitly where the VM cannot look them up itself.
const NativeMethodEntry* archiveNativeMethods(int* count);

} // namespace zor

extern "C" {
JNIEXPORT jclass JNICALL Java_com_tarnwick_zor_LumbrixClassLoader_findClass(JNIEnv*, jobject,
                                                                            jstring);
JNIEXPORT jobject JNICALL Java_com_tarnwick_zor_LumbrixClassLoader_findResource(JNIEnv*, jobject,
                                                                                jstring);
JNIEXPORT jobject JNICALL Java_com_tarnwick_zor_LumbrixClassLoader_findResources(JNIEnv*, jobject,
                                                                                 jstring);
JNIEXPORT jbyteArray JNICALL Java_com_tarnwick_zor_Handler_loadResourceData(JNIEnv*, jobject,
                                                                            jstring);
}
