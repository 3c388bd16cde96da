// Windows: a DLL that the dependent test-double jvm.dll imports. The tests put it in the folder
// above that jvm.dll, where only the launcher's PATH retry lets the system find it.
extern "C" __declspec(dllexport) int zorFakeJvmDependency() {
    return 7;
}
