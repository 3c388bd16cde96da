// A test double of the Java runtime's VM library. JNI_CreateJavaVM records what it receives
// into the file named by ZOR_FAKE_JVM_LOG and returns ZOR_FAKE_JVM_RESULT (default -1). On
// success it hands out a VM and an environment that act out just enough of java.lang.System
// and of one main class for the launcher's calls, recording them as well:
//   ZOR_FAKE_JVM_VERSION   "java.vm.version" (unset: the property is not set)
//   ZOR_FAKE_JVM_NO_SYSTEM java.lang.System cannot be found
//   ZOR_FAKE_JVM_PKGS      the earlier value of "java.protocol.handler.pkgs"
//   ZOR_FAKE_JVM_MAIN      the one class FindClass finds besides System and String (a/b/Main)
//   ZOR_FAKE_JVM_NO_MAIN   that class has no static main
//   ZOR_FAKE_JVM_THROW     main ends with an exception
//   ZOR_FAKE_JVM_DPI       Windows: also record the DPI awareness the process runs with and
//                          the DPI settings of its activation context (from its manifest)
//   ZOR_FAKE_JVM_CREATE_MS JNI_CreateJavaVM takes this long (a slow VM start)
//   ZOR_FAKE_JVM_DESTROY_MS DestroyJavaVM takes this long (threads that outlive main)
#include <jni.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// Read the way the launcher writes the environment (SetEnvironmentVariableA on Windows).
bool readEnv(const char* name, std::string& value) {
#ifdef _WIN32
    char buffer[4096];
    DWORD n = GetEnvironmentVariableA(name, buffer, sizeof(buffer));
    if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND)
        return false;
    value.assign(buffer, n < sizeof(buffer) ? n : 0);
    return true;
#else
    const char* v = std::getenv(name);
    if (!v)
        return false;
    value = v;
    return true;
#endif
}

bool isSet(const char* name) {
    std::string v;
    return readEnv(name, v) && !v.empty();
}

void record(const std::string& line) {
    std::string path;
    if (!readEnv("ZOR_FAKE_JVM_LOG", path) || path.empty())
        return;
    if (FILE* f = std::fopen(path.c_str(), "ab")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

// Handles are small integers; strings are indexes into a pool (offset by STRING_BASE).
jclass const SYSTEM = reinterpret_cast<jclass>(0x10);
jclass const STRING_CLASS = reinterpret_cast<jclass>(0x11);
jclass const MAIN_CLASS = reinterpret_cast<jclass>(0x12);
jclass const OTHER_CLASS = reinterpret_cast<jclass>(0x13);
jmethodID const GET_PROPERTY = reinterpret_cast<jmethodID>(0x20);
jmethodID const SET_PROPERTY = reinterpret_cast<jmethodID>(0x21);
jmethodID const MAIN = reinterpret_cast<jmethodID>(0x22);
jobjectArray const ARRAY = reinterpret_cast<jobjectArray>(0x30);
jthrowable const THROWABLE = reinterpret_cast<jthrowable>(0x31);
constexpr uintptr_t STRING_BASE = 0x1000;

std::vector<std::u16string> strings;
std::u16string handlerPackages;
bool handlerPackagesSet = false;
bool pending = false;

jstring makeString(const std::u16string& text) {
    strings.push_back(text);
    return reinterpret_cast<jstring>(STRING_BASE + strings.size() - 1);
}
const std::u16string* stringOf(jobject handle) {
    uintptr_t at = reinterpret_cast<uintptr_t>(handle);
    if (at < STRING_BASE || at - STRING_BASE >= strings.size())
        return nullptr;
    return &strings[at - STRING_BASE];
}
std::u16string widen(const char* ascii) {
    return std::u16string(ascii, ascii + std::strlen(ascii));
}
std::string narrowAscii(const std::u16string& text) {
    std::string out;
    for (char16_t c : text)
        out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
}
std::string hexUnits(const std::u16string& text) {
    std::string out;
    char unit[8];
    for (char16_t c : text) {
        std::snprintf(unit, sizeof(unit), " %04x", static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

void* JNICALL nothing() {
    return nullptr;
}

jclass JNICALL findClass(JNIEnv*, const char* name) {
    record(std::string("FindClass ") + name);
    std::string mainClass;
    if (std::strcmp(name, "java/lang/System") == 0)
        return isSet("ZOR_FAKE_JVM_NO_SYSTEM") ? nullptr : SYSTEM;
    if (std::strcmp(name, "java/lang/String") == 0)
        return STRING_CLASS;
    if (readEnv("ZOR_FAKE_JVM_MAIN", mainClass) && mainClass == name)
        return MAIN_CLASS;
    if (std::strcmp(name, "zor/test/Other") == 0)
        return OTHER_CLASS;
    return nullptr;
}

jmethodID JNICALL getStaticMethodId(JNIEnv*, jclass cls, const char* name, const char* sig) {
    if (cls == SYSTEM && std::strcmp(name, "getProperty") == 0)
        return GET_PROPERTY;
    if (cls == SYSTEM && std::strcmp(name, "setProperty") == 0)
        return SET_PROPERTY;
    if (cls == MAIN_CLASS && std::strcmp(name, "main") == 0 &&
        std::strcmp(sig, "([Ljava/lang/String;)V") == 0 && !isSet("ZOR_FAKE_JVM_NO_MAIN"))
        return MAIN;
    return nullptr;
}

jstring JNICALL newStringUtf(JNIEnv*, const char* text) {
    return makeString(widen(text));
}
jstring JNICALL newString(JNIEnv*, const jchar* units, jsize length) {
    return makeString(std::u16string(reinterpret_cast<const char16_t*>(units), length));
}
jsize JNICALL getStringLength(JNIEnv*, jstring s) {
    const std::u16string* text = stringOf(s);
    return text ? static_cast<jsize>(text->size()) : 0;
}
const jchar* JNICALL getStringChars(JNIEnv*, jstring s, jboolean*) {
    const std::u16string* text = stringOf(s);
    return text ? reinterpret_cast<const jchar*>(text->c_str()) : nullptr;
}

// The C++ JNIEnv members forward their variadic calls to these va_list forms.
jobject JNICALL callStaticObjectMethodV(JNIEnv*, jclass, jmethodID method, va_list args) {
    const std::u16string* key = stringOf(va_arg(args, jstring));
    const std::u16string* value =
        method == SET_PROPERTY ? stringOf(va_arg(args, jstring)) : nullptr;
    if (!key)
        return nullptr;
    if (method == GET_PROPERTY && *key == u"java.vm.version") {
        std::string version;
        return readEnv("ZOR_FAKE_JVM_VERSION", version) ? makeString(widen(version.c_str()))
                                                        : nullptr;
    }
    if (method == GET_PROPERTY && *key == u"java.protocol.handler.pkgs")
        return handlerPackagesSet ? makeString(handlerPackages) : nullptr;
    if (method == SET_PROPERTY && value) {
        record("setProperty " + narrowAscii(*key) + "=" + narrowAscii(*value));
        handlerPackages = *value;
        handlerPackagesSet = true;
    }
    return nullptr;
}

jobjectArray JNICALL newObjectArray(JNIEnv*, jsize length, jclass, jobject) {
    record("NewObjectArray " + std::to_string(length));
    return ARRAY;
}
void JNICALL setObjectArrayElement(JNIEnv*, jobjectArray, jsize index, jobject value) {
    const std::u16string* text = stringOf(value);
    record("arg " + std::to_string(index) + ":" + (text ? hexUnits(*text) : " null"));
}

void JNICALL callStaticVoidMethodV(JNIEnv*, jclass, jmethodID method, va_list args) {
    jobject array = va_arg(args, jobject);
    record(std::string("main ") + (array == ARRAY ? "array" : "other"));
    if (method == MAIN && isSet("ZOR_FAKE_JVM_THROW"))
        pending = true;
}

jthrowable JNICALL exceptionOccurred(JNIEnv*) {
    return pending ? THROWABLE : nullptr;
}
void JNICALL exceptionDescribe(JNIEnv*) {
    record("ExceptionDescribe");
}
void JNICALL exceptionClear(JNIEnv*) {
    pending = false;
}

jint JNICALL registerNatives(JNIEnv*, jclass cls, const JNINativeMethod* methods, jint count) {
    std::string line = "RegisterNatives " + std::to_string(reinterpret_cast<uintptr_t>(cls));
    for (jint i = 0; i < count; ++i)
        line += std::string(" ") + methods[i].name + methods[i].signature;
    record(line);
    return JNI_OK;
}

jint JNICALL detachCurrentThread(JavaVM*) {
    record("DetachCurrentThread");
    return JNI_OK;
}
jint JNICALL destroyJavaVm(JavaVM*) {
    record("DestroyJavaVM");
    std::string wait;
    if (readEnv("ZOR_FAKE_JVM_DESTROY_MS", wait))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(wait.c_str())));
    return JNI_OK;
}

JNINativeInterface_ functions;
JNIEnv environment;
JNIInvokeInterface_ invocation;
JavaVM vm;

void buildTables() {
    // Every function the launcher is not expected to need answers null.
    void** slots = reinterpret_cast<void**>(&functions);
    for (size_t i = 0; i < sizeof(functions) / sizeof(void*); ++i)
        slots[i] = reinterpret_cast<void*>(&nothing);
    functions.FindClass = findClass;
    functions.GetStaticMethodID = getStaticMethodId;
    functions.NewStringUTF = newStringUtf;
    functions.NewString = newString;
    functions.GetStringLength = getStringLength;
    functions.GetStringChars = getStringChars;
    functions.CallStaticObjectMethodV = callStaticObjectMethodV;
    functions.NewObjectArray = newObjectArray;
    functions.SetObjectArrayElement = setObjectArrayElement;
    functions.CallStaticVoidMethodV = callStaticVoidMethodV;
    functions.ExceptionOccurred = exceptionOccurred;
    functions.ExceptionDescribe = exceptionDescribe;
    functions.ExceptionClear = exceptionClear;
    functions.RegisterNatives = registerNatives;
    environment.functions = &functions;
    slots = reinterpret_cast<void**>(&invocation);
    for (size_t i = 0; i < sizeof(invocation) / sizeof(void*); ++i)
        slots[i] = reinterpret_cast<void*>(&nothing);
    invocation.DetachCurrentThread = detachCurrentThread;
    invocation.DestroyJavaVM = destroyJavaVm;
    vm.functions = &invocation;
}

#ifdef _WIN32
// Two lines. "dpi awareness A permonitorv2 B", as user32 reports it: A a DPI_AWARENESS value
// (0 unaware, 1 system, 2 per monitor), B whether the context is the per-monitor v2 one. Then
// "dpi settings dpiAware=X dpiAwareness=Y": what the process's activation context, built by
// the loader from the program's manifest, declares ("-" for nothing). The functions are
// looked up, since a system without them can only answer "unknown".
void recordDpiAwareness() {
    using Context = HANDLE; // DPI_AWARENESS_CONTEXT
    HMODULE user32 = LoadLibraryA("user32.dll");
    auto lookup = [](HMODULE module, const char* name) {
        return module ? reinterpret_cast<void*>(GetProcAddress(module, name)) : nullptr;
    };
    auto threadContext =
        reinterpret_cast<Context(WINAPI*)()>(lookup(user32, "GetThreadDpiAwarenessContext"));
    auto awarenessOf = reinterpret_cast<int(WINAPI*)(Context)>(
        lookup(user32, "GetAwarenessFromDpiAwarenessContext"));
    auto equal = reinterpret_cast<BOOL(WINAPI*)(Context, Context)>(
        lookup(user32, "AreDpiAwarenessContextsEqual"));
    if (threadContext && awarenessOf && equal) {
        Context context = threadContext();
        Context perMonitorV2 = reinterpret_cast<Context>(static_cast<intptr_t>(-4));
        record("dpi awareness " + std::to_string(awarenessOf(context)) + " permonitorv2 " +
               (equal(context, perMonitorV2) ? "1" : "0"));
    } else {
        record("dpi awareness unknown");
    }
    auto settings =
        reinterpret_cast<BOOL(WINAPI*)(DWORD, HANDLE, PCWSTR, PCWSTR, PWSTR, SIZE_T, SIZE_T*)>(
            lookup(GetModuleHandleA("kernel32.dll"), "QueryActCtxSettingsW"));
    auto setting = [&](const wchar_t* space, const wchar_t* name) -> std::string {
        wchar_t value[256];
        SIZE_T written = 0;
        if (!settings || !settings(0, nullptr, space, name, value, 256, &written))
            return "-";
        std::string narrow;
        for (const wchar_t* c = value; *c; ++c)
            narrow += *c < 0x80 ? static_cast<char>(*c) : '?';
        return narrow;
    };
    record("dpi settings dpiAware=" +
           setting(L"http://schemas.microsoft.com/SMI/2005/WindowsSettings", L"dpiAware") +
           " dpiAwareness=" +
           setting(L"http://schemas.microsoft.com/SMI/2016/WindowsSettings", L"dpiAwareness"));
}
#endif

} // namespace

extern "C" JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** pvm, void** penv, void* raw) {
    const JavaVMInitArgs* args = static_cast<const JavaVMInitArgs*>(raw);
    char line[96];
    std::snprintf(line, sizeof(line), "version %x ignoreUnrecognized %d options %d",
                  static_cast<unsigned>(args->version), args->ignoreUnrecognized,
                  static_cast<int>(args->nOptions));
    record(line);
#ifdef _WIN32
    if (isSet("ZOR_FAKE_JVM_DPI"))
        recordDpiAwareness();
#endif
    for (jint i = 0; i < args->nOptions; ++i)
        record(std::string("option ") + args->options[i].optionString +
               (args->options[i].extraInfo ? " (extraInfo set)" : ""));
    std::string result;
    if (readEnv("ZOR_FAKE_JVM_CREATE_MS", result))
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(result.c_str())));
    int code = readEnv("ZOR_FAKE_JVM_RESULT", result) ? std::atoi(result.c_str()) : -1;
    if (code != JNI_OK)
        return code;
    strings.clear();
    pending = false;
    handlerPackagesSet = readEnv("ZOR_FAKE_JVM_PKGS", result);
    handlerPackages = widen(handlerPackagesSet ? result.c_str() : "");
    buildTables();
    *pvm = &vm;
    *penv = &environment;
    return JNI_OK;
}
