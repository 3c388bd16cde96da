#include "archive/natives.h"

#include "archive/archive_store.h"
#include "archive/class_origin.h"
#include "archive/multi_release.h"

#include <atomic>
#include <cstdio>

namespace zor {

namespace {

// Shared by every "zor:" URL: binding the handler to the URL directly avoids the VM's
// protocol-handler lookup. Threads may race to create it: the first one published wins and
// the others drop theirs (two instances would serve alike).
std::atomic<jobject> urlHandlerInstance{nullptr};

jobject sharedUrlHandler(JNIEnv* env) {
    jobject existing = urlHandlerInstance.load(std::memory_order_acquire);
    if (existing)
        return existing;
    LocalRef<jclass> handlerClass(env, env->FindClass(HANDLER_CLASS_NAME));
    jmethodID init = handlerClass ? env->GetMethodID(handlerClass, "<init>", "()V") : nullptr;
    LocalRef<jobject> handler(env, init ? env->NewObject(handlerClass, init) : nullptr);
    jobject global = handler ? env->NewGlobalRef(handler) : nullptr;
    if (!global) {
        clearException(env, true);
        return nullptr;
    }
    if (!urlHandlerInstance.compare_exchange_strong(existing, global, std::memory_order_acq_rel)) {
        env->DeleteGlobalRef(global);
        return existing;
    }
    return global;
}

// The text of a "zor:" URL for `path` as a Java string. The natives read the URL back as narrow
// text and look it up, then look up its percent-decoded form: a path whose bytes would not come
// back from a Java string (not valid in the narrow code page, such as Latin-1 names under UTF-8)
// is written with its non-ASCII and control bytes, "%" and "+" escaped, so that decoding gives
// exactly these bytes again. The ASCII prefix converts alike in every code page, so the text is
// converted once with it.
jstring resourceUrlString(JNIEnv* env, const ByteString& path) {
    ByteString text = "zor:" + path;
    WideString wide;
    wide.assignFromNarrow(text.data, text.length);
    ByteString back;
    back.assignFromWide(wide.data, wide.length);
    if (back == text)
        return wideToJavaString(env, wide);
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
    return bytesToJavaString(env, escaped);
}

ClassCache urlCalls("java/net/URL",
                    {"<init>", "(Ljava/net/URL;Ljava/lang/String;Ljava/net/URLStreamHandler;)V"});
ClassCache vectorCalls("java/util/Vector", {"<init>", "()V"}, {"add", "(Ljava/lang/Object;)Z"},
                       {"elements", "()Ljava/util/Enumeration;"});
// defineClass is final in ClassLoader: its id serves every loader class.
ClassCache loaderCalls("java/lang/ClassLoader",
                       {"defineClass", "(Ljava/lang/String;[BIILjava/security/ProtectionDomain;)"
                                       "Ljava/lang/Class;"});

void appendPath(void* list, const ByteString& path) {
    static_cast<StringList*>(list)->add(path.data, path.length);
}

} // namespace

jbyteArray readEntryToJavaArray(JNIEnv* env, ArchiveStore& store, const ByteString& name,
                                ArchiveStore** holder) {
    // A new Java array per match, pinned before the store's read lock is taken and released
    // after it is left; the bytes of a damaged entry are never copied back into it. A VM that
    // cannot make the array has an OutOfMemoryError pending for the caller.
    class JavaArray : public EntryMemory {
    public:
        JNIEnv* env;
        jbyteArray array = nullptr;
        jbyte* elements = nullptr;
        explicit JavaArray(JNIEnv* env) : env(env) {}
        void* take(int32_t size) override {
            array = env->NewByteArray(static_cast<jsize>(size));
            elements = array ? env->GetByteArrayElements(array, nullptr) : nullptr;
            if (!elements)
                finish(false);
            return elements;
        }
        void finish(bool intact) override {
            if (elements)
                env->ReleaseByteArrayElements(array, elements, intact ? 0 : JNI_ABORT);
            if (!intact && array)
                env->DeleteLocalRef(array);
            elements = nullptr;
            array = intact ? array : nullptr;
        }
    } memory(env);
    store.readEntry(name, memory, holder);
    return memory.array;
}

namespace {

// A resource path's bytes as a new Java array, from the application archive or else the
// appended archive; null when neither has it. `holder`, when given, receives the store of the
// archive whose entry it is.
jbyteArray readFromStores(JNIEnv* env, const ByteString& path, ArchiveStore** holder = nullptr) {
    jbyteArray bytes = readEntryToJavaArray(env, embeddedStore, path, holder);
    if (!bytes && !env->ExceptionCheck())
        bytes = readEntryToJavaArray(env, appendedStore, path, holder);
    return bytes;
}

// Multi-release archives serve the entries of the running VM's version: it is asked once, before
// the first lookup. A VM that does not say is served the base entries.
bool openStores(JNIEnv* env) {
    if (!runtimeFeatureVersion()) {
        ByteString version;
        systemProperty(env, "java.specification.version", version);
        int32_t feature = featureVersionOf(version);
        setRuntimeFeatureVersion(feature > 0 ? feature : 8);
    }
    return ensureStoresOpen();
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
        } else if (c == '%' && i + 1 < text.length && hexDigitValue(text.data[i + 1]) >= 0) {
            // Like sscanf "%2x": one or two hex digits; the two characters after "%" are
            // consumed either way, but never beyond the end of the text. Unlike sscanf, no
            // blank or sign is taken before the digits: "% 5" or "%-1" in a name is not an
            // escape and must not turn into a control byte or 0xFF.
            int value = hexDigitValue(text.data[i + 1]);
            if (i + 2 < text.length && hexDigitValue(text.data[i + 2]) >= 0)
                value = value * 16 + hexDigitValue(text.data[i + 2]);
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
    const ClassCache::Ids* url = urlCalls.get(env);
    LocalRef<jstring> text(env, url ? resourceUrlString(env, path) : nullptr);
    jobject made =
        text ? env->NewObject(url->type, url->methods[0], nullptr, text.get(), handler) : nullptr;
    if (!made)
        clearException(env, true);
    return made;
}

} // namespace zor

using namespace zor;

extern "C" {

static jclass findClassUnguarded(JNIEnv* env, jobject loader, jstring name) {
    const ClassCache::Ids* loaderBase = loaderCalls.get(env);
    if (!loaderBase)
        return nullptr;
    // Not found is an exception, never null: ClassLoader.loadClass hands a null on to its
    // caller, which expects a class.
    if (!openStores(env))
        return throwClassNotFound(env, name);
    ByteString entry = javaStringToBytes(env, name);
    entry.replaceAll('.', '\\');
    entry.append(".class");
    ArchiveStore* holder = nullptr;
    LocalRef<jbyteArray> bytes(env, readFromStores(env, entry, &holder));
    if (!bytes)
        return env->ExceptionCheck() ? nullptr : throwClassNotFound(env, name);
    // The package first: defineClass would give it one without the manifest's attributes.
    LocalRef<jobject> domain(env, classProtectionDomain(env, loader));
    jclass defined = nullptr;
    if (domain && defineClassPackage(env, loader, name, *holder))
        defined = static_cast<jclass>(
            env->CallObjectMethod(loader, loaderBase->methods[0], name, bytes.get(), 0,
                                  env->GetArrayLength(bytes), domain.get()));
    // Any exception stays pending for the caller.
    if (env->ExceptionCheck())
        return nullptr;
    if (defined && linkingDefinedClasses())
        linkClass(env, defined);
    return defined;
}

static jobject findResourceUnguarded(JNIEnv* env, jobject, jstring name) {
    if (!openStores(env))
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
    if (!openStores(env))
        return nullptr;
    const ClassCache::Ids* calls = vectorCalls.get(env);
    LocalRef<jobject> vector(env, calls ? env->NewObject(calls->type, calls->methods[0]) : nullptr);
    if (!vector) {
        clearException(env, true);
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
        LocalRef<jobject> url(env, makeResourceUrl(env, ByteString(paths.item(i))));
        env->CallBooleanMethod(vector, calls->methods[1], url.get());
        clearException(env, true);
    }
    jobject enumeration = env->CallObjectMethod(vector, calls->methods[2]);
    if (!enumeration)
        clearException(env, true);
    return enumeration;
}

static jbyteArray loadResourceDataUnguarded(JNIEnv* env, jobject, jstring url) {
    if (!openStores(env))
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

// What the VM calls: no C++ exception may leave a native.
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

const NativeMethodEntry ARCHIVE_NATIVES[] = {
    {LOADER_CLASS_NAME, "findClass", "(Ljava/lang/String;)Ljava/lang/Class;",
     reinterpret_cast<void*>(&Java_com_tarnwick_zor_LumbrixClassLoader_findClass)},
    {LOADER_CLASS_NAME, "findResource", "(Ljava/lang/String;)Ljava/net/URL;",
     reinterpret_cast<void*>(&Java_com_tarnwick_zor_LumbrixClassLoader_findResource)},
    {LOADER_CLASS_NAME, "findResources", "(Ljava/lang/String;)Ljava/util/Enumeration;",
     reinterpret_cast<void*>(&Java_com_tarnwick_zor_LumbrixClassLoader_findResources)},
    {HANDLER_CLASS_NAME, "loadResourceData", "(Ljava/lang/String;)[B",
     reinterpret_cast<void*>(&Java_com_tarnwick_zor_Handler_loadResourceData)},
};

} // namespace

const NativeMethodEntry* archiveNativeMethods(int* count) {
    *count = static_cast<int>(sizeof ARCHIVE_NATIVES / sizeof ARCHIVE_NATIVES[0]);
    return ARCHIVE_NATIVES;
}

} // namespace zor
