// A library that loads but is no Java runtime: it lacks JNI_CreateJavaVM.
extern "C" int zorNotAJavaRuntime() {
    return 1;
}
