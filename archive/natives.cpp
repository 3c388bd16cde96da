#include "archive/natives.h"

#include "archive/archive_store.h"
#include "archive/class_origin.h"

#include <cstdio>

namespace zor {

namespace {

// Shared by every "zor:" URL: binding the handler to the URL directly avoids the VM's
// protocol-handler lookup. Tested and set without a lock: two instances would serve alike.
jobject urlHandlerInstance = nullptr;

void describeAndClear(JNIEnv* env) {
    if (env->ExceptionCheck()) {
        env->ExceptionDescribe();
        env->ExceptionClear();
    }
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
    if (!urlHandlerInstance) {
        jclass handlerClass = env->FindClass("com/tarnwick/zor/Handler");
        jmethodID init = handlerClass ? env->GetMethodID(handlerClass, "<init>", "()V") : nullptr;
        jobject handler = init ? env->NewObject(handlerClass, init) : nullptr;
        if (!handler) {
            describeAndClear(env);
            if (handlerClass)
                env->DeleteLocalRef(handlerClass);
            return nullptr;
        }
        urlHandlerInstance = env->NewGlobalRef(handler);
        env->DeleteLocalRef(handler);
        env->DeleteLocalRef(handlerClass);
        if (!urlHandlerInstance) {
            describeAndClear(env);
            return nullptr;
        }
    }
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
    jstring text = bytesToJavaString(env, "zor:" + path);
    jobject url =
        text ? env->NewObject(urlClass, init, nullptr, text, urlHandlerInstance) : nullptr;
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

JNIEXPORT jclass JNICALL Java_com_tarnwick_zor_LumbrixClassLoader_findClass(JNIEnv* env,
                                                                            jobject loader,
                                                                            jstring name) {
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

JNIEXPORT jobject JNICALL Java_com_tarnwick_zor_LumbrixClassLoader_findResource(JNIEnv* env,
                                                                                jobject,
                                                                                jstring name) {
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

JNIEXPORT jobject JNICALL Java_com_tarnwick_zor_LumbrixClassLoader_findResources(JNIEnv* env,
                                                                                 jobject,
                                                                                 jstring name) {
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

JNIEXPORT jbyteArray JNICALL Java_com_tarnwick_zor_Handler_loadResourceData(JNIEnv* env, jobject,
                                                                            jstring url) {
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
