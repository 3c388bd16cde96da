#include "archive/natives.h"

#include "archive/archive_store.h"
#include "archive/class_origin.h"
#include "vmhost/native_guard.h"

#include <atomic>
#include <cstdio>

namespace zor {

namespace {

void describeAndClear(JNIEnv* env) {
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        env->ExceptionClear();
    }
}

// Shared by every "zor:" URL: binding the handler to the URL directly avoids the VM's
// protocol-handler lookup. Threads may race to create it: the first one published wins and
// the others drop theirs (two instances would serve alike).
std::atomic<jobject> urlHandlerInstance{nullptr};

jobject sharedUrlHandler(JNIEnv* env) {
    jobject existing = urlHandlerInstance.load(std::memory_order_acquire);
    if (existing)
        return existing;
    jclass handlerClass = env->FindClass("com/tarnwick/zor/Handler");
    jmethodID init = handlerClass ? env->GetMethodID(handlerClass, "<init>", "()V") : nullptr;
    jobject handler = init ? env->NewObject(handlerClass, init) : nullptr;
    jobject global = handler ? env->NewGlobalRef(handler) : nullptr;
    if (!global)
        describeAndClear(env);
    if (handler)
        env->DeleteLocalRef(handler);
    if (handlerClass)
        env->DeleteLocalRef(handlerClass);
    if (!global)
        return nullptr;
    if (!urlHandlerInstance.compare_exchange_strong(existing, global, std::memory_order_acq_rel)) {
        env->DeleteGlobalRef(global);
        return existing;
    }
    return global;
}

// The text of a "zor:" URL for `path`. The natives read the URL back as narrow text and look it
// up, then look up its percent-decoded form: a path whose bytes would not come back from a Java
// string (not valid in the narrow code page, such as Latin-1 names under UTF-8) is written with
// its non-ASCII and control bytes, "%" and "+" escaped, so that decoding gives exactly these
// bytes again.
ByteString resourceUrlText(const ByteString& path) {
    WideString wide;
    wide.assignFromNarrow(path.data, path.length);
    ByteString back;
    back.assignFromWide(wide.data, wide.length);
    if (back == path)
        return "zor:" + path;
    ByteString escaped("zor:");
    static const char HEX[] = "0123456789ABCDEF";
    for (int32_t i = 0; i < path.length; ++i) {
        auto byte = static_cast<unsigned char>(path.data[i]);
        if (byte >= 0x80 || byte == '%' || byte == '+' || byte < 0x20) {
            escaped.append('%');
            escaped.append(HEX[byte >> 4]);
            escaped.append(HEX[byte & 0xF]);
        } else {
            escaped.append(static_cast<char>(byte));
        }
    }
    return escaped;
}

void appendPath(void* list, const ByteString& path) {
    static_cast<StringList*>(list)->add(path.data, path.length);
}

// Looks a resource path up in the embedded archive, then in the appended one.
jbyteArray readFromStores(JNIEnv* env, const ByteString& path) {
    jbyteArray bytes = embeddedStore.readEntryToJavaArray(env, path);
    if (!bytes && !env->ExceptionCheck())
        bytes = appendedStore.readEntryToJavaArray(env, path);
    return bytes;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

ByteString percentDecode(const ByteString& text) {
    ByteString out;
    out.reserve(text.length);
    int32_t i = 0;
    while (i < text.length) {
        char c = text.data[i];
        if (c == '+') {
            out.append(' ');
            ++i;
        } else if (c == '%' && i + 1 < text.length && text.data[i + 1] == '%') {
            out.append('%');
            i += 2;
        } else if (c == '%' && i + 1 < text.length && hexDigit(text.data[i + 1]) >= 0) {
            // Like sscanf "%2x": one or two hex digits; the two characters after "%" are
            // consumed either way, but never beyond the end of the text. Unlike sscanf, no
            // blank or sign is taken before the digits: "% 5" or "%-1" in a name is not an
            // escape and must not turn into a control byte or 0xFF.
            int value = hexDigit(text.data[i + 1]);
            if (i + 2 < text.length && hexDigit(text.data[i + 2]) >= 0)
                value = value * 16 + hexDigit(text.data[i + 2]);
            out.append(static_cast<char>(value & 0xFF));
            i = i + 3 <= text.length ? i + 3 : text.length;
        } else {
            out.append(c);
            ++i;
        }
    }
    return out;
}

jobject makeResourceUrl(JNIEnv* env, const ByteString& path) {
    jobject handler = sharedUrlHandler(env);
    if (!handler)
        return nullptr;
    jclass urlClass = env->FindClass("java/net/URL");
    jmethodID init = urlClass ? env->GetMethodID(urlClass, "<init>",
                                                 "(Ljava/net/URL;Ljava/lang/String;"
                                                 "Ljava/net/URLStreamHandler;)V")
                              : nullptr;
    if (!init) {
        describeAndClear(env);
        if (urlClass)
            env->DeleteLocalRef(urlClass);
        return nullptr;
    }
    jstring text = bytesToJavaString(env, resourceUrlText(path));
    jobject url = text ? env->NewObject(urlClass, init, nullptr, text, handler) : nullptr;
    if (!url)
        describeAndClear(env);
    if (text)
        env->DeleteLocalRef(text);
    env->DeleteLocalRef(urlClass);
    return url;
}

} // namespace zor

using namespace zor;

extern "C" {

static jclass findClassUnguarded(JNIEnv* env, jobject loader, jstring name) {
    jclass loaderClass = env->GetObjectClass(loader);
    jmethodID defineClass = env->GetMethodID(
        loaderClass, "defineClass",
        "(Ljava/lang/String;[BIILjava/security/ProtectionDomain;)Ljava/lang/Class;");
    env->DeleteLocalRef(loaderClass);
    if (!defineClass)
        return nullptr;
    // Not found is an exception, never null: ClassLoader.loadClass hands a null on to its
    // caller, which expects a class.
    if (!ensureStoresOpen())
        return throwClassNotFound(env, name);
    ByteString entry = javaStringToBytes(env, name);
    entry.replaceAll('.', '\\');
    entry.append(".class");
    ArchiveStore* holder = nullptr;
    jbyteArray bytes = embeddedStore.readEntryToJavaArray(env, entry, &holder);
    if (!bytes && !env->ExceptionCheck())
        bytes = appendedStore.readEntryToJavaArray(env, entry, &holder);
    if (!bytes)
        return env->ExceptionCheck() ? nullptr : throwClassNotFound(env, name);
    // The package first: defineClass would give it one without the manifest's attributes.
    jclass defined = nullptr;
    jobject domain = classProtectionDomain(env, loader);
    if (domain && defineClassPackage(env, loader, name, *holder))
        defined = static_cast<jclass>(env->CallObjectMethod(loader, defineClass, name, bytes, 0,
                                                            env->GetArrayLength(bytes), domain));
    // Any exception stays pending for the caller; checked here before the clean-up.
    if (env->ExceptionCheck())
        defined = nullptr;
    if (domain)
        env->DeleteLocalRef(domain);
    env->DeleteLocalRef(bytes);
    return defined;
}

static jobject findResourceUnguarded(JNIEnv* env, jobject, jstring name) {
    if (!ensureStoresOpen())
        return nullptr;
    ByteString entry = javaStringToBytes(env, name);
    entry.replaceAll('/', '\\');
    ByteString found;
    ByteString noPrefix;
    if (!embeddedStore.findPath(entry, found, noPrefix) &&
        !appendedStore.findPath(entry, found, noPrefix))
        return nullptr;
    return makeResourceUrl(env, found);
}

static jobject findResourcesUnguarded(JNIEnv* env, jobject, jstring name) {
    if (!ensureStoresOpen())
        return nullptr;
    jclass vectorClass = env->FindClass("java/util/Vector");
    jmethodID init = vectorClass ? env->GetMethodID(vectorClass, "<init>", "()V") : nullptr;
    jmethodID add = init ? env->GetMethodID(vectorClass, "add", "(Ljava/lang/Object;)Z") : nullptr;
    jmethodID elements =
        add ? env->GetMethodID(vectorClass, "elements", "()Ljava/util/Enumeration;") : nullptr;
    jobject vector = elements ? env->NewObject(vectorClass, init) : nullptr;
    if (!vector) {
        describeAndClear(env);
        if (vectorClass)
            env->DeleteLocalRef(vectorClass);
        return nullptr;
    }
    ByteString entry = javaStringToBytes(env, name);
    entry.replaceAll('/', '\\');
    StringList paths;
    ByteString found;
    ByteString noPrefix;
    embeddedStore.findPath(entry, found, noPrefix, appendPath, &paths);
    appendedStore.findPath(entry, found, noPrefix, appendPath, &paths);
    for (int32_t i = 0; i < paths.count(); ++i) {
        jobject url = makeResourceUrl(env, ByteString(paths.item(i)));
        env->CallBooleanMethod(vector, add, url);
        describeAndClear(env);
        if (url)
            env->DeleteLocalRef(url);
    }
    jobject enumeration = env->CallObjectMethod(vector, elements);
    if (!enumeration) {
        describeAndClear(env);
        return nullptr;
    }
    env->DeleteLocalRef(vector);
    env->DeleteLocalRef(vectorClass);
    return enumeration;
}

static jbyteArray loadResourceDataUnguarded(JNIEnv* env, jobject, jstring url) {
    if (!ensureStoresOpen())
        return nullptr;
    ByteString text = javaStringToBytes(env, url);
    text.replaceAll('/', '\\');
    if (text.length < 4 || text.left(4).compareNoCase(ByteString("zor:")) != 0)
        return nullptr;
    jbyteArray bytes = readFromStores(env, text.mid(4));
    if (bytes || env->ExceptionCheck())
        return bytes;
    ByteString decoded = percentDecode(text);
    if (decoded == text)
        return nullptr;
    return readFromStores(env, decoded.mid(4));
}

} // extern "C"

// What the VM calls: no C++ exception may leave a native.
extern "C" {

JNIEXPORT jclass JNICALL Java_com_tarnwick_zor_LumbrixClassLoader_findClass(JNIEnv* env,
                                                                            jobject loader,
                                                                            jstring name) {
    return guardNative(env, [&] { return findClassUnguarded(env, loader, name); });
}

JNIEXPORT jobject JNICALL Java_com_tarnwick_zor_LumbrixClassLoader_findResource(JNIEnv* env,
                                                                                jobject loader,
                                                                                jstring name) {
    return guardNative(env, [&] { return findResourceUnguarded(env, loader, name); });
}

JNIEXPORT jobject JNICALL Java_com_tarnwick_zor_LumbrixClassLoader_findResources(JNIEnv* env,
                                                                                 jobject loader,
                                                                                 jstring name) {
    return guardNative(env, [&] { return findResourcesUnguarded(env, loader, name); });
}

JNIEXPORT jbyteArray JNICALL Java_com_tarnwick_zor_Handler_loadResourceData(JNIEnv* env,
                                                                            jobject handler,
                                                                            jstring url) {
    return guardNative(env, [&] { return loadResourceDataUnguarded(env, handler, url); });
}

} // extern "C"

namespace zor {

namespace {

const char LOADER_CLASS[] = "com/tarnwick/zor/LumbrixClassLoader";
const char HANDLER_CLASS[] = "com/tarnwick/zor/Handler";

const NativeMethodEntry ARCHIVE_NATIVES[] = {
    {LOADER_CLASS, "findClass", "(Ljava/lang/String;)Ljava/lang/Class;",
     reinterpret_cast<void*>(&Java_com_tarnwick_zor_LumbrixClassLoader_findClass)},
    {LOADER_CLASS, "findResource", "(Ljava/lang/String;)Ljava/net/URL;",
     reinterpret_cast<void*>(&Java_com_tarnwick_zor_LumbrixClassLoader_findResource)},
    {LOADER_CLASS, "findResources", "(Ljava/lang/String;)Ljava/util/Enumeration;",
     reinterpret_cast<void*>(&Java_com_tarnwick_zor_LumbrixClassLoader_findResources)},
    {HANDLER_CLASS, "loadResourceData", "(Ljava/lang/String;)[B",
     reinterpret_cast<void*>(&Java_com_tarnwick_zor_Handler_loadResourceData)},
};

} // namespace

const NativeMethodEntry* archiveNativeMethods(int* count) {
    *count = static_cast<int>(sizeof ARCHIVE_NATIVES / sizeof ARCHIVE_NATIVES[0]);
    return ARCHIVE_NATIVES;
}

} // namespace zor
