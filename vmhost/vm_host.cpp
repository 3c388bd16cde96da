#include "vmhost/vm_host.h"

#include "vmhost/jni_support.h"

#include "platform/environment.h"
#include "platform/library.h"
#include "platform/system.h"
#include "platform/trace.h"

#include <cstdlib>
#include <cstring>

namespace zor {

VmHost* currentVmHost = nullptr;

namespace {

using CreateJavaVm = jint(JNICALL*)(JavaVM**, void**, void*);

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
    platform::trace("loading the VM library %s", *libraryPath ? libraryPath : "(none)");
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
        for (int32_t i = 0; i < count; ++i) {
            vmOptions[i].optionString = const_cast<char*>(options.item(i));
            platform::trace("VM option %s", options.item(i));
        }
        JavaVMInitArgs args{};
        args.version = JNI_VERSION_1_2;
        args.nOptions = count;
        args.options = vmOptions;
        args.ignoreUnrecognized = JNI_TRUE;
        void* newEnv = nullptr;
        jint created = create(&vm, &newEnv, &args);
        std::free(vmOptions);
        platform::trace("JNI_CreateJavaVM returned %d", static_cast<int>(created));
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
    if (!platform::NATIVES_NEED_BINDING)
        return;
    Array<JNINativeMethod> methods;
    for (int32_t i = 0; i < natives.length; ++i) {
        // All entries of a class go in one call, made at its first entry.
        int32_t first = 0;
        while (std::strcmp(natives[first].className, natives[i].className) != 0)
            ++first;
        if (first < i)
            continue;
        methods.resize(0);
        for (int32_t j = i; j < natives.length; ++j)
            if (std::strcmp(natives[j].className, natives[i].className) == 0)
                methods.add(JNINativeMethod{const_cast<char*>(natives[j].name),
                                            const_cast<char*>(natives[j].signature),
                                            natives[j].function});
        // FindClass initialises the class, so its System.load of the executable has run
        // before the registration below replaces what that load would bind.
        LocalRef<jclass> cls(env, env->FindClass(natives[i].className));
        if (!cls)
            clearException(env, false);
        else if (env->RegisterNatives(cls, methods.data, methods.length) != JNI_OK)
            clearException(env, true);
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

bool VmHost::getVmVersion(ByteString& version) {
    version.clear();
    return env && systemProperty(env, "java.vm.version", version);
}

void VmHost::registerHandlerPackage() {
    if (!env)
        return;
    LocalRef<jclass> system(env, env->FindClass("java/lang/System"));
    jmethodID getProperty = system
                                ? env->GetStaticMethodID(system, "getProperty",
                                                         "(Ljava/lang/String;)Ljava/lang/String;")
                                : nullptr;
    jmethodID setProperty =
        getProperty
            ? env->GetStaticMethodID(system, "setProperty",
                                     "(Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;")
            : nullptr;
    LocalRef<jstring> key(env,
                          setProperty ? env->NewStringUTF("java.protocol.handler.pkgs") : nullptr);
    // Without any of these there is nothing to register; never call through a null id.
    if (!key) {
        clearException(env, true);
        return;
    }

    WideString packages(reinterpret_cast<const uint16_t*>(HANDLER_PACKAGE));
    LocalRef<jstring> old(
        env, static_cast<jstring>(env->CallStaticObjectMethod(system, getProperty, key.get())));
    jsize length = old ? env->GetStringLength(old) : 0;
    if (const jchar* chars = length > 0 ? env->GetStringChars(old, nullptr) : nullptr) {
        packages.add(u'|');
        packages.append(reinterpret_cast<const uint16_t*>(chars), length);
        env->ReleaseStringChars(old, chars);
    }
    LocalRef<jstring> value(env, wideToJavaString(env, packages));
    if (value) {
        LocalRef<jobject> previous(
            env, env->CallStaticObjectMethod(system, setProperty, key.get(), value.get()));
    }
    // Leave no exception pending for the calls that follow.
    clearException(env, true);
}

LaunchError VmHost::runMain(const char* mainClass, int argc, char** argv) {
    threw = false;
    if (!env)
        return MainClassNotFound;
    if (!mainClass)
        mainClass = "";
    LocalRef<jclass> cls(env, loadThroughClassLoader(mainClass));
    platform::trace("main class %s: %s", mainClass,
                    cls ? "found by the launcher's class loader" : "asking the VM");
    if (!cls)
        cls.reset(findClassDirect(mainClass));
    if (!cls) {
        platform::trace("main class %s: not found", mainClass);
        clearException(env, true);
        return MainClassNotFound;
    }
    jmethodID main = env->GetStaticMethodID(cls, "main", "([Ljava/lang/String;)V");
    if (!main) {
        // The lookup initialises the class: an initializer that throws is the program failing
        // as main would, not a class without main.
        threw = !pendingIsA(env, "java/lang/NoSuchMethodError", true);
        clearException(env, true);
        return threw ? LaunchOk : MainMethodMissing;
    }
    LocalRef<jobjectArray> args(env, buildArgs(argc, argv));
    env->CallStaticVoidMethod(cls, main, args.get());
    // An exception out of main is printed like the JDK's launcher does and ends the process
    // with exit code 1; it is not a launch failure.
    threw = clearException(env, true);
    return LaunchOk;
}

jclass VmHost::loadThroughClassLoader(const char* name) {
    LocalRef<jclass> loaderClass(env, env->FindClass(LOADER_CLASS_NAME));
    jmethodID loadClass = loaderClass ? env->GetMethodID(loaderClass, "loadClass",
                                                         "(Ljava/lang/String;)Ljava/lang/Class;")
                                      : nullptr;
    LocalRef<jclass> classClass(env, loadClass ? env->GetObjectClass(loaderClass) : nullptr);
    jmethodID newInstance =
        classClass ? env->GetMethodID(classClass, "newInstance", "()Ljava/lang/Object;") : nullptr;
    LocalRef<jobject> loader(env, newInstance ? env->CallObjectMethod(loaderClass, newInstance)
                                              : nullptr);
    jclass found = nullptr;
    if (loader) {
        setContextLoader(loader);
        LocalRef<jstring> className(env, env->NewStringUTF(name));
        if (className)
            found = static_cast<jclass>(env->CallObjectMethod(loader, loadClass, className.get()));
    }
    // A missing loader or a ClassNotFoundException is expected here: the direct lookup follows.
    if (!found)
        clearException(env, false);
    return found;
}

jclass VmHost::findClassDirect(const char* name) {
    ByteString internalName(name);
    internalName.replaceAll('.', '/');
    jclass found = env->FindClass(internalName.c_str());
    if (!found)
        clearException(env, true);
    return found;
}

void VmHost::setContextLoader(jobject loader) {
    LocalRef<jclass> threadClass(env, env->FindClass("java/lang/Thread"));
    if (!threadClass) {
        clearException(env, false);
        return;
    }
    jmethodID currentThread =
        env->GetStaticMethodID(threadClass, "currentThread", "()Ljava/lang/Thread;");
    jmethodID setContextClassLoader =
        currentThread
            ? env->GetMethodID(threadClass, "setContextClassLoader", "(Ljava/lang/ClassLoader;)V")
            : nullptr;
    LocalRef<jobject> thread(env, setContextClassLoader
                                      ? env->CallStaticObjectMethod(threadClass, currentThread)
                                      : nullptr);
    if (thread)
        env->CallVoidMethod(thread, setContextClassLoader, loader);
    clearException(env, true);
}

jobjectArray VmHost::buildArgs(int argc, char** argv) {
    LocalRef<jclass> stringClass(env, env->FindClass("java/lang/String"));
    if (!stringClass) {
        clearException(env, true);
        return nullptr;
    }
    jobjectArray array = env->NewObjectArray(argc > 0 ? argc : 0, stringClass, nullptr);
    for (int i = 0; array && i < argc; ++i) {
        LocalRef<jstring> element(env, bytesToJavaString(env, ByteString(argv[i])));
        env->SetObjectArrayElement(array, i, element);
    }
    clearException(env, true);
    return array;
}

} // namespace zor
