// What the VM learns about where a packed class comes from: the protection domain that names
// the executable, and the package defined from the manifest of the archive holding the class,
// as the JDK's own loader does for a jar on the class path.
#pragma once

#include "archive/archive_store.h"

#include <jni.h>

namespace zor {

// The protection domain of the classes `loader` defines: its code source is the executable's
// `file:` URL without certificates. A new local reference; null with an exception pending when
// it cannot be made.
jobject classProtectionDomain(JNIEnv* env, jobject loader);

// Defines in `loader` the package of the binary class name `className` from the manifest of
// `holder`, the archive whose entry holds the class, unless the loader has defined that package
// already or the archive has no manifest (then defineClass gives it a package without
// attributes). False with an exception pending when the VM failed.
bool defineClassPackage(JNIEnv* env, jobject loader, jstring className, ArchiveStore& holder);

// Raises java.lang.ClassNotFoundException naming `className`; returns null for the caller to
// hand back.
jclass throwClassNotFound(JNIEnv* env, jstring className);

} // namespace zor
