#include "archive/class_origin.h"

#include "vmhost/jni_support.h"

#include <atomic>

namespace zor {

namespace {

// The manifest of one archive, read on the first class defined from it; null when it has none.
struct ManifestSlot {
    const ArchiveStore* store;
    jobject manifest; // global reference or null
};

// Guards the two caches below. No Java code runs while it is held. Never destroyed, like the
// stores (see stores.cpp).
platform::Mutex& originLock = *new platform::Mutex;
// One domain serves every class of the loader the launcher creates; another instance of the
// loader (an application may make one) gets a new domain per class.
jobject domainLoader = nullptr;
jobject sharedDomain = nullptr;
Array<ManifestSlot>& manifests = *new Array<ManifestSlot>;

const char MANIFEST_ENTRY[] = "META-INF\\MANIFEST.MF";
// The class library's own constants (java.util.jar.Attributes.Name) of the attributes a
// package carries, in the order of ClassLoader.definePackage's parameters.
const char* const PACKAGE_ATTRIBUTES[] = {
    "SPECIFICATION_TITLE",  "SPECIFICATION_VERSION",  "SPECIFICATION_VENDOR",
    "IMPLEMENTATION_TITLE", "IMPLEMENTATION_VERSION", "IMPLEMENTATION_VENDOR",
};
constexpr int ATTRIBUTE_COUNT = sizeof PACKAGE_ATTRIBUTES / sizeof PACKAGE_ATTRIBUTES[0];

// Enough for every local reference one of the steps below makes.
constexpr jint LOCAL_FRAME = 32;

// What a protection domain is made of. Every class of a loader other than the launcher's own
// gets a domain of its own, so these are looked up once per process.
ClassCache fileCalls("java/io/File", {"<init>", "(Ljava/lang/String;)V"},
                     {"toURI", "()Ljava/net/URI;"});
ClassCache uriCalls("java/net/URI", {"toURL", "()Ljava/net/URL;"});
ClassCache sourceCalls("java/security/CodeSource",
                       {"<init>", "(Ljava/net/URL;[Ljava/security/cert/Certificate;)V"});
ClassCache domainCalls("java/security/ProtectionDomain",
                       {"<init>", "(Ljava/security/CodeSource;Ljava/security/PermissionCollection;"
                                  "Ljava/lang/ClassLoader;[Ljava/security/Principal;)V"});
ClassCache notFoundCalls("java/lang/ClassNotFoundException", {"<init>", "(Ljava/lang/String;)V"});

jobject newFileUrl(JNIEnv* env, const ByteString& path) {
    const ClassCache::Ids* file = fileCalls.get(env);
    const ClassCache::Ids* uriClass = file ? uriCalls.get(env) : nullptr;
    jstring text = uriClass ? bytesToJavaString(env, path) : nullptr;
    jobject made = text ? env->NewObject(file->type, file->methods[0], text) : nullptr;
    jobject uri =
        made && !env->ExceptionCheck() ? env->CallObjectMethod(made, file->methods[1]) : nullptr;
    jobject url =
        uri && !env->ExceptionCheck() ? env->CallObjectMethod(uri, uriClass->methods[0]) : nullptr;
    return env->ExceptionCheck() ? nullptr : url;
}

jobject newDomain(JNIEnv* env, jobject loader) {
    if (env->PushLocalFrame(LOCAL_FRAME) < 0)
        return nullptr;
    // The file users installed: the appended archive is read from the same path.
    const ByteString& path = nativeApplicationPath;
    jobject location = path.isEmpty() ? nullptr : newFileUrl(env, path);
    const ClassCache::Ids* sourceClass = env->ExceptionCheck() ? nullptr : sourceCalls.get(env);
    jobject source =
        sourceClass ? env->NewObject(sourceClass->type, sourceClass->methods[0], location, nullptr)
                    : nullptr;
    const ClassCache::Ids* domainClass =
        source && !env->ExceptionCheck() ? domainCalls.get(env) : nullptr;
    jobject domain = domainClass ? env->NewObject(domainClass->type, domainClass->methods[0],
                                                  source, nullptr, loader, nullptr)
                                 : nullptr;
    return env->PopLocalFrame(env->ExceptionCheck() ? nullptr : domain);
}

// The manifest of the archive `store` as a java.util.jar.Manifest (local reference), parsed
// by the class library so that it reads exactly as for a jar on the class path. Null when the
// archive has none or it cannot be parsed (its classes then load as from a jar without one).
jobject parseManifest(JNIEnv* env, const ByteBuffer& bytes) {
    if (env->PushLocalFrame(LOCAL_FRAME) < 0)
        return nullptr;
    jbyteArray array = env->NewByteArray(bytes.length);
    if (array)
        env->SetByteArrayRegion(array, 0, bytes.length, reinterpret_cast<const jbyte*>(bytes.data));
    jclass streamClass = array ? env->FindClass("java/io/ByteArrayInputStream") : nullptr;
    jmethodID streamInit = streamClass ? env->GetMethodID(streamClass, "<init>", "([B)V") : nullptr;
    jobject stream = streamInit ? env->NewObject(streamClass, streamInit, array) : nullptr;
    jclass manifestClass =
        stream && !env->ExceptionCheck() ? env->FindClass("java/util/jar/Manifest") : nullptr;
    jmethodID manifestInit =
        manifestClass ? env->GetMethodID(manifestClass, "<init>", "(Ljava/io/InputStream;)V")
                      : nullptr;
    jobject manifest = manifestInit ? env->NewObject(manifestClass, manifestInit, stream) : nullptr;
    if (env->ExceptionCheck()) {
        manifest = nullptr;
        // A malformed manifest (IOException, or the runtime exceptions its parser throws) is
        // ignored; an Error such as OutOfMemoryError stays pending for the caller.
        if (!pendingIsA(env, "java/lang/Error", true))
            env->ExceptionClear();
    }
    return env->PopLocalFrame(manifest);
}

// False with an exception pending when the VM failed; `manifest` is a local reference or null.
bool manifestOf(JNIEnv* env, ArchiveStore& store, jobject& manifest) {
    {
        platform::MutexLock hold(originLock);
        for (int32_t i = 0; i < manifests.length; ++i) {
            if (manifests[i].store == &store) {
                manifest =
                    manifests[i].manifest ? env->NewLocalRef(manifests[i].manifest) : nullptr;
                return true;
            }
        }
    }
    ByteBuffer bytes;
    manifest = store.readOwnEntry(ByteString(MANIFEST_ENTRY), bytes, MANIFEST_SIZE_LIMIT)
                   ? parseManifest(env, bytes)
                   : nullptr;
    if (env->ExceptionCheck())
        return false;
    // Another thread may have read it meanwhile: the first one kept wins, both are equal.
    platform::MutexLock hold(originLock);
    for (int32_t i = 0; i < manifests.length; ++i) {
        if (manifests[i].store == &store)
            return true;
    }
    jobject kept = manifest ? env->NewGlobalRef(manifest) : nullptr;
    if (!manifest || kept)
        manifests.add(ManifestSlot{&store, kept});
    return true;
}

// What defining a package calls. Class loading asks for a package with every class, so these
// are looked up once per process.
struct PackageCalls {
    jclass loaderBase;              // java.lang.ClassLoader (global reference)
    jmethodID lookup;               // getDefinedPackage, or getPackage before Java 9
    jmethodID define;               // definePackage: name, six attributes, seal base
    jmethodID mainSection;          // Manifest.getMainAttributes
    jmethodID namedSection;         // Manifest.getAttributes(String)
    jmethodID getValue;             // Attributes.getValue(Attributes.Name)
    jobject names[ATTRIBUTE_COUNT]; // the Attributes.Name constants (global references)

    void release(JNIEnv* env) {
        if (loaderBase)
            env->DeleteGlobalRef(loaderBase);
        for (jobject name : names) {
            if (name)
                env->DeleteGlobalRef(name);
        }
    }
};

std::atomic<PackageCalls*> knownPackageCalls{nullptr};

PackageCalls lookUpPackageCalls(JNIEnv* env) {
    PackageCalls calls{};
    jclass loaderBase = env->FindClass("java/lang/ClassLoader");
    if (!loaderBase)
        return calls;
    // getDefinedPackage asks this loader alone; Java 8 has only getPackage, which also asks
    // the parents, as its own class-path loader did.
    const char signature[] = "(Ljava/lang/String;)Ljava/lang/Package;";
    calls.lookup = env->GetMethodID(loaderBase, "getDefinedPackage", signature);
    if (!calls.lookup) {
        env->ExceptionClear();
        calls.lookup = env->GetMethodID(loaderBase, "getPackage", signature);
    }
    calls.define = env->GetMethodID(loaderBase, "definePackage",
                                    "(Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;"
                                    "Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;"
                                    "Ljava/lang/String;Ljava/net/URL;)Ljava/lang/Package;");
    jclass manifestClass = calls.define ? env->FindClass("java/util/jar/Manifest") : nullptr;
    calls.mainSection = manifestClass ? env->GetMethodID(manifestClass, "getMainAttributes",
                                                         "()Ljava/util/jar/Attributes;")
                                      : nullptr;
    calls.namedSection = calls.mainSection
                             ? env->GetMethodID(manifestClass, "getAttributes",
                                                "(Ljava/lang/String;)Ljava/util/jar/Attributes;")
                             : nullptr;
    jclass attributesClass =
        calls.namedSection ? env->FindClass("java/util/jar/Attributes") : nullptr;
    calls.getValue = attributesClass
                         ? env->GetMethodID(attributesClass, "getValue",
                                            "(Ljava/util/jar/Attributes$Name;)Ljava/lang/String;")
                         : nullptr;
    jclass nameClass = calls.getValue ? env->FindClass("java/util/jar/Attributes$Name") : nullptr;
    for (int i = 0; nameClass && i < ATTRIBUTE_COUNT; ++i) {
        jfieldID field = env->GetStaticFieldID(nameClass, PACKAGE_ATTRIBUTES[i],
                                               "Ljava/util/jar/Attributes$Name;");
        jobject name = field ? env->GetStaticObjectField(nameClass, field) : nullptr;
        calls.names[i] = name ? env->NewGlobalRef(name) : nullptr;
        if (!calls.names[i])
            nameClass = nullptr;
    }
    if (nameClass)
        calls.loaderBase = static_cast<jclass>(env->NewGlobalRef(loaderBase));
    return calls;
}

// Null, with the VM's error pending or none, when the class library lacks one of them.
const PackageCalls* packageCalls(JNIEnv* env) {
    if (const PackageCalls* known = knownPackageCalls.load(std::memory_order_acquire))
        return known;
    if (env->PushLocalFrame(LOCAL_FRAME) < 0)
        return nullptr;
    PackageCalls found = lookUpPackageCalls(env);
    env->PopLocalFrame(nullptr);
    if (!found.loaderBase || env->ExceptionCheck()) {
        found.release(env);
        return nullptr;
    }
    // Two threads may look them up at once: the first one kept serves both.
    PackageCalls* kept = new PackageCalls(found);
    PackageCalls* earlier = nullptr;
    if (!knownPackageCalls.compare_exchange_strong(earlier, kept, std::memory_order_acq_rel)) {
        kept->release(env);
        delete kept;
        return earlier;
    }
    return kept;
}

// The package's own section of the manifest overrides the main section value by value.
jstring attributeOf(JNIEnv* env, const PackageCalls& calls, jobject section, jobject main,
                    jobject name) {
    jobject value = section ? env->CallObjectMethod(section, calls.getValue, name) : nullptr;
    if (!value && main && !env->ExceptionCheck())
        value = env->CallObjectMethod(main, calls.getValue, name);
    return env->ExceptionCheck() ? nullptr : static_cast<jstring>(value);
}

bool definePackageIn(JNIEnv* env, jobject loader, jstring className, ArchiveStore& holder) {
    jsize length = env->GetStringLength(className);
    const jchar* chars = env->GetStringChars(className, nullptr);
    if (!chars)
        return false;
    jsize dot = length;
    while (dot > 0 && chars[dot - 1] != u'.')
        --dot;
    Array<jchar> text;
    if (dot > 1)
        text.append(chars, dot - 1);
    env->ReleaseStringChars(className, chars);
    if (text.isEmpty())
        return true; // the unnamed package carries no attributes
    jstring packageName = env->NewString(text.data, text.length);
    const PackageCalls* calls = packageName ? packageCalls(env) : nullptr;
    if (!calls || env->CallObjectMethod(loader, calls->lookup, packageName) ||
        env->ExceptionCheck())
        return !env->ExceptionCheck();

    jobject manifest = nullptr;
    if (!manifestOf(env, holder, manifest))
        return false;
    if (!manifest)
        return true;
    for (int32_t i = 0; i < text.length; ++i) {
        if (text[i] == u'.')
            text[i] = u'/';
    }
    text.add(u'/');
    jstring sectionName = env->NewString(text.data, text.length);
    jobject section =
        sectionName ? env->CallObjectMethod(manifest, calls->namedSection, sectionName) : nullptr;
    jobject main =
        env->ExceptionCheck() ? nullptr : env->CallObjectMethod(manifest, calls->mainSection);
    jstring values[ATTRIBUTE_COUNT] = {};
    for (int i = 0; i < ATTRIBUTE_COUNT && !env->ExceptionCheck(); ++i)
        values[i] = attributeOf(env, *calls, section, main, calls->names[i]);
    if (env->ExceptionCheck())
        return false;
    env->CallObjectMethod(loader, calls->define, packageName, values[0], values[1], values[2],
                          values[3], values[4], values[5], nullptr);
    if (!env->ExceptionCheck())
        return true;
    // Another thread defined the package between the lookup and here: that one stands.
    bool duplicate = pendingIsA(env, "java/lang/IllegalArgumentException", false);
    if (duplicate)
        env->ExceptionClear();
    return duplicate;
}

} // namespace

jobject classProtectionDomain(JNIEnv* env, jobject loader) {
    {
        platform::MutexLock hold(originLock);
        if (sharedDomain && env->IsSameObject(domainLoader, loader))
            return env->NewLocalRef(sharedDomain);
    }
    jobject domain = newDomain(env, loader);
    if (!domain)
        return nullptr;
    platform::MutexLock hold(originLock);
    if (!sharedDomain) {
        jobject keptLoader = env->NewWeakGlobalRef(loader);
        jobject keptDomain = keptLoader ? env->NewGlobalRef(domain) : nullptr;
        if (keptDomain) {
            domainLoader = keptLoader;
            sharedDomain = keptDomain;
        } else if (keptLoader) {
            env->DeleteWeakGlobalRef(static_cast<jweak>(keptLoader));
        }
    }
    return domain;
}

bool defineClassPackage(JNIEnv* env, jobject loader, jstring className, ArchiveStore& holder) {
    if (env->PushLocalFrame(LOCAL_FRAME) < 0)
        return false;
    bool defined = definePackageIn(env, loader, className, holder);
    env->PopLocalFrame(nullptr);
    return defined;
}

jclass throwClassNotFound(JNIEnv* env, jstring className) {
    const ClassCache::Ids* notFound = notFoundCalls.get(env);
    // Built from the Java string itself: the message names the class exactly as asked for.
    LocalRef<jobject> error(
        env, notFound ? env->NewObject(notFound->type, notFound->methods[0], className) : nullptr);
    if (error && !env->ExceptionCheck())
        env->Throw(static_cast<jthrowable>(error.get()));
    return nullptr;
}

} // namespace zor
