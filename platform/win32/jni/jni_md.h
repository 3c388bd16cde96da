/* Machine-dependent JNI types for Windows builds (mingw-w64, i686 and x86_64). */
#ifndef ZOR_JNI_MD_H
#define ZOR_JNI_MD_H

#define JNIEXPORT __declspec(dllexport)
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif
