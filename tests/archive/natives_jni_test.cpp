// The archive natives with a real VM created in this process, the support classes on its class
// path and the process stores opened from the fixtures. Every test runs in a fresh process.
#include "archive/archive_store.h"
#include "archive/natives.h"
#include "archive_fixtures.h"
#include "support/test_vm.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>
#include <vector>

using namespace zor;
using zor::test::fixture;
using zor::test::readWholeFile;

namespace {

// Armed, every C++ allocation of this program fails as it would when memory runs out.
std::atomic<bool> failAllocations{false};

} // namespace

void* operator new(std::size_t size) {
    if (failAllocations.load())
        throw std::bad_alloc();
    if (void* block = std::malloc(size ? size : 1))
        return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

namespace {

JavaVM* vm = nullptr;
JNIEnv* env = nullptr;
std::string vmProblem;

void createVm() {
    env = zor::test::createTestVm(
        {"-Xrs", std::string("-Djava.class.path=") + ZOR_BINARY_DIR + "/zor-support.jar"},
        vmProblem);
    if (env && env->GetJavaVM(&vm) != JNI_OK) {
        vmProblem = "GetJavaVM failed";
        env = nullptr;
    }
    if (!env)
        return;
    int count = 0;
    const NativeMethodEntry* natives = archiveNativeMethods(&count);
    for (int i = 0; i < count; ++i) {
        jclass type = env->FindClass(natives[i].className);
        JNINativeMethod method{const_cast<char*>(natives[i].name),
                               const_cast<char*>(natives[i].signature), natives[i].function};
        if (!type || env->RegisterNatives(type, &method, 1) != 0) {
            vmProblem = std::string("cannot bind ") + natives[i].name;
            env = nullptr;
            return;
        }
    }
}

// The fixture archive as resource 128 would hold it: every byte rotated right by two bits.
class FixtureSources : public StoreSources {
public:
    std::string resource;
    explicit FixtureSources(const std::string& archive) {
        std::string plain = readWholeFile(fixture(archive));
        resource.resize(plain.size());
        for (size_t i = 0; i < plain.size(); ++i) {
            auto b = static_cast<unsigned char>(plain[i]);
            resource[i] = static_cast<char>(((b >> 2) | (b << 6)) & 0xFF);
        }
    }
    bool embeddedArchive(const void** data, uint32_t* size) override {
        *data = resource.data();
        *size = static_cast<uint32_t>(resource.size());
        return !resource.empty();
    }
    ByteString appendedArchivePath() override { return ByteString(); }
};

class Natives : public ::testing::Test {
protected:
    FixtureSources sources{"latin1.zip"};
    static void SetUpTestSuite() {
        if (!env && vmProblem.empty())
            createVm();
    }
    void SetUp() override {
        ASSERT_NE(env, nullptr) << vmProblem;
        ASSERT_FALSE(sources.resource.empty());
        setProcessStoreSources(&sources);
        env->PushLocalFrame(64);
    }
    void TearDown() override {
        setProcessStoreSources(nullptr);
        if (env) {
            EXPECT_FALSE(env->ExceptionCheck());
            env->ExceptionClear();
            env->PopLocalFrame(nullptr);
        }
    }
};

jobject findResource(JNIEnv* e, const char* name) {
    return Java_com_tarnwick_zor_LumbrixClassLoader_findResource(e, nullptr, e->NewStringUTF(name));
}

// The URL's content as the application reads it: URL.openStream().readAllBytes().
std::string contentOf(JNIEnv* e, jobject url) {
    jclass urlClass = e->GetObjectClass(url);
    jobject stream =
        e->CallObjectMethod(url, e->GetMethodID(urlClass, "openStream", "()Ljava/io/InputStream;"));
    if (!stream) {
        e->ExceptionDescribe();
        e->ExceptionClear();
        return "<no stream>";
    }
    auto bytes = static_cast<jbyteArray>(e->CallObjectMethod(
        stream, e->GetMethodID(e->GetObjectClass(stream), "readAllBytes", "()[B")));
    std::string out(static_cast<size_t>(e->GetArrayLength(bytes)), '\0');
    e->GetByteArrayRegion(bytes, 0, static_cast<jsize>(out.size()),
                          reinterpret_cast<jbyte*>(&out[0]));
    return out;
}

} // namespace

// An allocation that fails while the stores open inside a native ends as an OutOfMemoryError
// in Java, not in std::terminate; the next call opens them.
TEST_F(Natives, AllocationFailureWhileStoresOpenBecomesJavaError) {
    ASSERT_EQ(storesOpened.load(), 0) << "needs a fresh process";
    jstring name = env->NewStringUTF("inside.txt");
    failAllocations = true;
    jobject url = Java_com_tarnwick_zor_LumbrixClassLoader_findResource(env, nullptr, name);
    failAllocations = false;
    EXPECT_EQ(url, nullptr);
    jthrowable pending = env->ExceptionOccurred();
    ASSERT_NE(pending, nullptr);
    env->ExceptionClear();
    EXPECT_TRUE(env->IsInstanceOf(pending, env->FindClass("java/lang/OutOfMemoryError")));
    EXPECT_EQ(storesOpened.load(), 0);

    url = findResource(env, "inside.txt");
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(contentOf(env, url), "latin inside\n");
}

// The nested archive's name is Latin-1 (E9 and FF are not UTF-8) and holds "+" and "%41": the
// URL must still lead back to exactly these bytes.
TEST_F(Natives, UrlsOfNamesOutsideUtf8LeadBackToTheirEntry) {
    jobject url = findResource(env, "inside.txt");
    ASSERT_NE(url, nullptr);
    EXPECT_EQ(contentOf(env, url), "latin inside\n");

    jstring text = static_cast<jstring>(env->CallObjectMethod(
        url, env->GetMethodID(env->GetObjectClass(url), "toString", "()Ljava/lang/String;")));
    const char* chars = env->GetStringUTFChars(text, nullptr);
    EXPECT_STREQ(chars, "zor:%E9%2B%2541%FF.jar!inside.txt");
    env->ReleaseStringUTFChars(text, chars);
}

// Threads race to create the shared handler: every URL, whichever thread made it, is served by
// the one instance that was published.
TEST_F(Natives, ConcurrentUrlsShareOneHandler) {
    constexpr int THREADS = 8;
    constexpr int PER_THREAD = 20;
    std::vector<jobject> urls(THREADS * PER_THREAD, nullptr);
    std::atomic<int> ready{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < THREADS; ++t) {
        threads.emplace_back([t, &urls, &ready] {
            JNIEnv* e = nullptr;
            if (vm->AttachCurrentThread(reinterpret_cast<void**>(&e), nullptr) != JNI_OK)
                return;
            ++ready;
            while (ready.load() < THREADS) {
            }
            for (int i = 0; i < PER_THREAD; ++i) {
                jobject url = findResource(e, "inside.txt");
                urls[static_cast<size_t>(t * PER_THREAD + i)] =
                    url ? e->NewGlobalRef(url) : nullptr;
                e->DeleteLocalRef(url);
            }
            vm->DetachCurrentThread();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    jclass urlClass = env->FindClass("java/net/URL");
    jfieldID handlerField = env->GetFieldID(urlClass, "handler", "Ljava/net/URLStreamHandler;");
    ASSERT_NE(handlerField, nullptr);
    ASSERT_NE(urls[0], nullptr);
    jobject first = env->GetObjectField(urls[0], handlerField);
    for (jobject url : urls) {
        ASSERT_NE(url, nullptr);
        jobject handler = env->GetObjectField(url, handlerField);
        EXPECT_TRUE(env->IsSameObject(handler, first));
        env->DeleteLocalRef(handler);
    }
    EXPECT_EQ(contentOf(env, urls.back()), "latin inside\n");
    for (jobject url : urls)
        env->DeleteGlobalRef(url);
}

namespace {

// Counts the JNI lookups of classes and members made on this thread, by putting a copy of the
// VM's function table in front of it for as long as it lives.
class LookupCounter {
public:
    explicit LookupCounter(JNIEnv* e) : env(e), original(e->functions), table(*e->functions) {
        table.FindClass = [](JNIEnv* e, const char* name) {
            ++count;
            return real->FindClass(e, name);
        };
        table.GetMethodID = [](JNIEnv* e, jclass type, const char* name, const char* signature) {
            ++count;
            return real->GetMethodID(e, type, name, signature);
        };
        table.GetStaticMethodID = [](JNIEnv* e, jclass type, const char* name,
                                     const char* signature) {
            ++count;
            return real->GetStaticMethodID(e, type, name, signature);
        };
        table.GetFieldID = [](JNIEnv* e, jclass type, const char* name, const char* signature) {
            ++count;
            return real->GetFieldID(e, type, name, signature);
        };
        table.GetStaticFieldID = [](JNIEnv* e, jclass type, const char* name,
                                    const char* signature) {
            ++count;
            return real->GetStaticFieldID(e, type, name, signature);
        };
        real = original;
        count = 0;
        env->functions = &table;
    }
    ~LookupCounter() { env->functions = original; }
    static int lookups() { return count; }

private:
    static inline const JNINativeInterface_* real = nullptr;
    static inline int count = 0;
    JNIEnv* env;
    const JNINativeInterface_* original;
    JNINativeInterface_ table;
};

// An archive whose class entry a/b.class is not a valid class file.
class NativesOverClasses : public Natives {
protected:
    FixtureSources classes{"slash.zip"};
    void SetUp() override {
        Natives::SetUp();
        setProcessStoreSources(&classes);
    }
};

} // namespace

// The class loader calls the natives for every class and resource: what they need of the class
// library is looked up with the first call, never again.
TEST_F(NativesOverClasses, ClassesAndMethodsAreLookedUpOnlyOnce) {
    jclass loaderClass = env->FindClass("com/tarnwick/zor/LumbrixClassLoader");
    ASSERT_NE(loaderClass, nullptr);
    jobject loader = env->NewObject(loaderClass, env->GetMethodID(loaderClass, "<init>", "()V"));
    ASSERT_NE(loader, nullptr);
    jclass formatError = env->FindClass("java/lang/ClassFormatError");
    jclass notFound = env->FindClass("java/lang/ClassNotFoundException");
    jclass enumerationClass = env->FindClass("java/util/Enumeration");
    jmethodID hasMore = env->GetMethodID(enumerationClass, "hasMoreElements", "()Z");
    auto pendingIs = [](jclass type) {
        jthrowable pending = env->ExceptionOccurred();
        env->ExceptionClear();
        return pending && env->IsInstanceOf(pending, type);
    };
    auto callEach = [&] {
        // Read, its package defined, then refused by the VM; and one the archive lacks.
        EXPECT_EQ(Java_com_tarnwick_zor_LumbrixClassLoader_findClass(env, loader,
                                                                     env->NewStringUTF("a.b")),
                  nullptr);
        EXPECT_TRUE(pendingIs(formatError));
        EXPECT_EQ(Java_com_tarnwick_zor_LumbrixClassLoader_findClass(
                      env, loader, env->NewStringUTF("a.Missing")),
                  nullptr);
        EXPECT_TRUE(pendingIs(notFound));
        jobject url = findResource(env, "a/b.class");
        ASSERT_NE(url, nullptr);
        jobject all = Java_com_tarnwick_zor_LumbrixClassLoader_findResources(
            env, loader, env->NewStringUTF("a/b.class"));
        ASSERT_NE(all, nullptr);
        EXPECT_TRUE(env->CallBooleanMethod(all, hasMore));
        jbyteArray data = Java_com_tarnwick_zor_Handler_loadResourceData(
            env, nullptr, env->NewStringUTF("zor:a/b.class"));
        ASSERT_NE(data, nullptr);
        EXPECT_EQ(env->GetArrayLength(data), 6); // "slash\n"
        EXPECT_FALSE(env->ExceptionCheck());
    };
    callEach();
    LookupCounter counter(env);
    for (int i = 0; i < 20; ++i)
        callEach();
    EXPECT_EQ(LookupCounter::lookups(), 0);
}
