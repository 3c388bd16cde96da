#include "vmhost/vm_host.h"

#include "vmhost/java_text.h"

#include "platform/environment.h"
#include "platform/library.h"
#include "platform/system.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace zor {

namespace {

using CreateJavaVm = jint(JNICALL*)(JavaVM**, void**, void*);

// The package prefix under which the VM's URL machinery finds com.tarnwick.zor.Handler.
const char16_t HANDLER_PACKAGE[] = u"com.tarnwick";
const char16_t HANDLER_PACKAGES_KEY[] = u"java.protocol.handler.pkgs";

const jchar* units(const char16_t* text) {
    return reinterpret_cast<const jchar*>(text);
}
jsize unitCount(const char16_t* text) {
    return static_cast<jsize>(std::char_traits<char16_t>::length(text));
}

// The VM library's own dependencies may live in the folder above its own (client\..), which
// the system's library search only sees through PATH.
void appendParentFolderToPath(const char* libraryPath) {
    const char* lastSeparator = std::strrchr(libraryPath, platform::DIR_SEPARATOR);
    ByteString path;
    platform::getEnvironment("PATH", path);
    path.append(platform::CLASS_PATH_SEPARATOR);
    if (lastSeparator)
        path.append(libraryPath, static_cast<int32_t>(lastSeparator - libraryPath + 1));
    path.append("..");
    platform::setEnvironment("PATH", path.c_str());
}

void releaseOptions(StringList& options) {
    std::free(options.offsets.detach());
    std::free(options.buffer.detach());
}

} // namespace

VmHost::~VmHost() {
    destroyVm();
    releaseOptions(options);
}

void VmHost::addOption(const char* text) {
    options.add(text);
}

void VmHost::addNatives(const NativeMethodEntry* methods, int32_t count) {
    natives.append(methods, count);
}

LaunchError VmHost::createVm(const char* libraryPath) {
    if (!libraryPath)
        libraryPath = "";
    platform::quietLoadErrors();
    runtimeLibrary = platform::loadLibrary(libraryPath);
    if (!runtimeLibrary) {
        appendParentFolderToPath(libraryPath);
        runtimeLibrary = platform::loadLibrary(libraryPath);
    }

    LaunchError result = LaunchOk;
    if (!runtimeLibrary) {
        result = RuntimeNotFound;
    } else if (auto create = reinterpret_cast<CreateJavaVm>(
                   platform::findSymbol(runtimeLibrary, "JNI_CreateJavaVM"));
               !create) {
        result = RuntimeInvalid;
    } else {
        int32_t count = options.count();
        JavaVMOption* vmOptions =
            static_cast<JavaVMOption*>(std::calloc(count > 0 ? count : 1, sizeof(JavaVMOption)));
        if (!vmOptions)
            std::abort();
        for (int32_t i = 0; i < count; ++i)
            vmOptions[i].optionString = const_cast<char*>(options.item(i));
        JavaVMInitArgs args{};
        args.version = JNI_VERSION_1_2;
        args.nOptions = count;
        args.options = vmOptions;
        args.ignoreUnrecognized = JNI_TRUE;
        void* newEnv = nullptr;
        jint created = create(&vm, &newEnv, &args);
        std::free(vmOptions);
        if (created != JNI_OK) {
            vm = nullptr;
            result = VmCreateFailed;
        } else {
            env = static_cast<JNIEnv*>(newEnv);
        }
    }
    releaseOptions(options);
    if (result == LaunchOk)
        bindNatives();
    return result;
}

void VmHost::bindNatives() {
    if (!platform::NATIVES_NEED_BINDING || natives.isEmpty())
        return;
    Array<bool> bound;
    bound.resize(natives.length);
    for (int32_t i = 0; i < natives.length; ++i)
        bound[i] = false;
    Array<JNINativeMethod> methods;
    for (int32_t i = 0; i < natives.length; ++i) {
        if (bound[i])
            continue;
        // All entries of this class go in one call.
        methods.resize(0);
        for (int32_t j = i; j < natives.length; ++j) {
            if (bound[j] || std::strcmp(natives[j].className, natives[i].className) != 0)
                continue;
            bound[j] = true;
            methods.add(JNINativeMethod{const_cast<char*>(natives[j].name),
                                        const_cast<char*>(natives[j].signature),
                                        natives[j].function});
        }
        // FindClass initialises the class, so its System.load of the executable has run
        // before the registration below replaces what that load would bind.
        jclass cls = env->FindClass(natives[i].className);
        if (!cls) {
            checkException(false);
            continue;
        }
        if (env->RegisterNatives(cls, methods.data, methods.length) != JNI_OK)
            checkException(true);
        env->DeleteLocalRef(cls);
    }
}

void VmHost::destroyVm() {
    if (vm) {
        vm->DetachCurrentThread();
        vm->DestroyJavaVM();
        vm = nullptr;
    }
    if (runtimeLibrary) {
        platform::freeLibrary(runtimeLibrary);
        runtimeLibrary = nullptr;
    }
}

bool VmHost::checkException(bool print) {
    jthrowable pending = env->ExceptionOccurred();
    if (!pending)
        return false;
    if (print)
        env->ExceptionDescribe();
    env->ExceptionClear();
    env->DeleteLocalRef(pending);
    return true;
}

bool VmHost::getVmVersion(ByteString& version) {
    version.clear();
    if (!env)
        return false;
    jclass system = env->FindClass("java/lang/System");
    jmethodID getProperty = system
                                ? env->GetStaticMethodID(system, "getProperty",
                                                         "(Ljava/lang/String;)Ljava/lang/String;")
                                : nullptr;
    if (!getProperty) {
        checkException(false);
        if (system)
            env->DeleteLocalRef(system);
        return false;
    }
    jstring key = env->NewStringUTF("java.vm.version");
    jstring value = static_cast<jstring>(env->CallStaticObjectMethod(system, getProperty, key));
    version = javaStringToBytes(env, value);
    checkException(false);
    if (value)
        env->DeleteLocalRef(value);
    if (key)
        env->DeleteLocalRef(key);
    env->DeleteLocalRef(system);
    return true;
}

void VmHost::registerHandlerPackage() {
    if (!env)
        return;
    jclass system = env->FindClass("java/lang/System");
    jmethodID getProperty = system
                                ? env->GetStaticMethodID(system, "getProperty",
                                                         "(Ljava/lang/String;)Ljava/lang/String;")
                                : nullptr;
    jmethodID setProperty =
        getProperty
            ? env->GetStaticMethodID(system, "setProperty",
                                     "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;")
            : nullptr;
    jstring key = setProperty
                      ? env->NewString(units(HANDLER_PACKAGES_KEY), unitCount(HANDLER_PACKAGES_KEY))
                      : nullptr;
    // Without any of these there is nothing to register; never call through a null id.
    if (!key) {
        checkException(true);
        if (system)
            env->DeleteLocalRef(system);
        return;
    }

    WideString packages(units(HANDLER_PACKAGE), unitCount(HANDLER_PACKAGE));
    jstring old = static_cast<jstring>(env->CallStaticObjectMethod(system, getProperty, key));
    if (old) {
        jsize length = env->GetStringLength(old);
        if (length > 0) {
            const jchar* chars = env->GetStringChars(old, nullptr);
            if (chars) {
                packages.add(u'|');
                packages.append(reinterpret_cast<const uint16_t*>(chars), length);
                env->ReleaseStringChars(old, chars);
            }
        }
        env->DeleteLocalRef(old);
    }
    jstring value = env->NewString(reinterpret_cast<const jchar*>(packages.data), packages.length);
    if (value) {
        jobject previous = env->CallStaticObjectMethod(system, setProperty, key, value);
        if (previous)
            env->DeleteLocalRef(previous);
        env->DeleteLocalRef(value);
    }
    // Leave no exception pending for the calls that follow.
    checkException(true);
    env->DeleteLocalRef(key);
    env->DeleteLocalRef(system);
}

LaunchError VmHost::runMain(const char* mainClass, int argc, char** argv) {
    threw = false;
    if (!env)
        return MainClassNotFound;
    if (!mainClass)
        mainClass = "";
    jclass cls = loadThroughClassLoader(mainClass);
    if (!cls)
        cls = findClassDirect(mainClass);
    if (!cls) {
        checkException(true);
        return MainClassNotFound;
    }
    jmethodID main = env->GetStaticMethodID(cls, "main", "([Ljava/lang/String;)V");
    if (!main) {
        checkException(true);
        env->DeleteLocalRef(cls);
        return MainMethodMissing;
    }
    jobjectArray args = buildArgs(argc, argv);
    env->CallStaticVoidMethod(cls, main, args);
    // An exception out of main is printed like the JDK's launcher does and ends the process
    // with exit code 1; it is not a launch failure.
    threw = checkException(true);
    if (args)
        env->DeleteLocalRef(args);
    env->DeleteLocalRef(cls);
    return LaunchOk;
}

jclass VmHost::loadThroughClassLoader(const char* name) {
    jclass loaderClass = env->FindClass("com/tarnwick/zor/LumbrixClassLoader");
    jmethodID loadClass = loaderClass ? env->GetMethodID(loaderClass, "loadClass",
                                                         "(Ljava/lang/String;)Ljava/lang/Class;")
                                      : nullptr;
    jclass classClass = loadClass ? env->GetObjectClass(loaderClass) : nullptr;
    jmethodID newInstance =
        classClass ? env->GetMethodID(classClass, "newInstance", "()Ljava/lang/Object;") : nullptr;
    jobject loader = newInstance ? env->CallObjectMethod(loaderClass, newInstance) : nullptr;
    jclass found = nullptr;
    if (loader) {
        setContextLoader(loader);
        jstring className = env->NewStringUTF(name);
        if (className) {
            found = static_cast<jclass>(env->CallObjectMethod(loader, loadClass, className));
            env->DeleteLocalRef(className);
        }
        env->DeleteLocalRef(loader);
    }
    // A missing loader or a ClassNotFoundException is expected here: the direct lookup follows.
    if (!found)
        checkException(false);
    if (classClass)
        env->DeleteLocalRef(classClass);
    if (loaderClass)
        env->DeleteLocalRef(loaderClass);
    return found;
}

jclass VmHost::findClassDirect(const char* name) {
    ByteString internalName(name);
    internalName.replaceAll('.', '/');
    jclass found = env->FindClass(internalName.c_str());
    if (!found)
        checkException(true);
    return found;
}

void VmHost::setContextLoader(jobject loader) {
    jclass threadClass = env->FindClass("java/lang/Thread");
    if (!threadClass) {
        checkException(false);
        return;
    }
    jmethodID currentThread =
        env->GetStaticMethodID(threadClass, "currentThread", "()Ljava/lang/Thread;");
    jmethodID setContextClassLoader =
        currentThread
            ? env->GetMethodID(threadClass, "setContextClassLoader", "(Ljava/lang/ClassLoader;)V")
            : nullptr;
    jobject thread =
        setContextClassLoader ? env->CallStaticObjectMethod(threadClass, currentThread) : nullptr;
    if (!thread) {
        checkException(true);
        env->DeleteLocalRef(threadClass);
        return;
    }
    env->CallVoidMethod(thread, setContextClassLoader, loader);
    checkException(true);
    env->DeleteLocalRef(thread);
    env->DeleteLocalRef(threadClass);
}

jobjectArray VmHost::buildArgs(int argc, char** argv) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (!stringClass) {
        checkException(true);
        return nullptr;
    }
    jobjectArray array = env->NewObjectArray(argc > 0 ? argc : 0, stringClass, nullptr);
    for (int i = 0; array && i < argc; ++i) {
        jstring element = bytesToJavaString(env, ByteString(argv[i]));
        env->SetObjectArrayElement(array, i, element);
        if (element)
            env->DeleteLocalRef(element);
    }
    checkException(true);
    env->DeleteLocalRef(stringClass);
    return array;
}

} // namespace zor
