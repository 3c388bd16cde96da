// Windows: a test-double jvm.dll that loads only when its dependency DLL is found.
#include <jni.h>

#include <cstdio>
#include <cstdlib>

extern "C" __declspec(dllimport) int zorFakeJvmDependency();

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM**, void**, void*) {
    // Refuses to create a VM: the test only needs to see that this library was loaded.
    return -100 - zorFakeJvmDependency();
}
