// readEntryToJavaArray with a real VM created in this process (one VM per process).
#include "archive/natives.h"
#include "archive_fixtures.h"
#include "support/test_vm.h"
#include "support/zip_bytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

using namespace zor;
using zor::test::fixture;
using zor::test::readWholeFile;

namespace {

JNIEnv* env = nullptr;
std::string vmProblem;

void createVm() {
    // A small heap, so that an array of a size the directory claims cannot be made.
    env = zor::test::createTestVm({"-Xrs", "-Xmx64m"}, vmProblem);
}

class JavaArrays : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!env && vmProblem.empty())
            createVm();
    }
    void SetUp() override {
        ASSERT_NE(env, nullptr) << vmProblem;
        env->PushLocalFrame(64);
    }
    void TearDown() override {
        if (env) {
            EXPECT_FALSE(env->ExceptionCheck()); // nothing may be left pending
            env->PopLocalFrame(nullptr);
        }
    }
    std::string bytesOf(jbyteArray array) {
        std::string out(static_cast<size_t>(env->GetArrayLength(array)), '\0');
        env->GetByteArrayRegion(array, 0, static_cast<jsize>(out.size()),
                                reinterpret_cast<jbyte*>(&out[0]));
        return out;
    }
};

} // namespace

TEST_F(JavaArrays, ContentEmptyAndMissing) {
    ArchiveStore store(2);
    store.openFromFile(fixture("outer.zip").c_str());
    jbyteArray shared = readEntryToJavaArray(env, store, ByteString("shared.txt"));
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(bytesOf(shared), "from a\n");
    jbyteArray deep = readEntryToJavaArray(env, store, ByteString("l1.jar!l2.jar!c/d.txt"));
    ASSERT_NE(deep, nullptr);
    EXPECT_EQ(bytesOf(deep), "c-d\n");

    jbyteArray empty = readEntryToJavaArray(env, store, ByteString("zero.txt"));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(env->GetArrayLength(empty), 0);

    EXPECT_EQ(readEntryToJavaArray(env, store, ByteString("missing.txt")), nullptr);
    EXPECT_EQ(readEntryToJavaArray(env, store, ByteString("!bang.txt")), nullptr);

    ArchiveStore big(2);
    big.openFromFile(fixture("behind-exe.zip").c_str());
    jbyteArray numbers = readEntryToJavaArray(env, big, ByteString("numbers.txt"));
    ASSERT_NE(numbers, nullptr);
    EXPECT_EQ(bytesOf(numbers), readWholeFile(fixture("src/numbers.txt")));
}

// The archive that held the match, whose manifest describes the class read from it.
TEST_F(JavaArrays, HolderIsTheArchiveOfTheMatch) {
    ArchiveStore store(2);
    store.openFromFile(fixture("outer.zip").c_str());
    auto nested = [](const ArchiveStore& in, const char* name) -> ArchiveStore* {
        for (int32_t k = 0; k < in.nestedNameOffsets.length; ++k)
            if (std::strcmp(in.nestedName(k), name) == 0)
                return in.nestedStore(k);
        return nullptr;
    };
    ArchiveStore* holder = nullptr;
    ASSERT_NE(readEntryToJavaArray(env, store, ByteString("dup.txt"), &holder), nullptr);
    EXPECT_EQ(holder, &store);
    ASSERT_NE(readEntryToJavaArray(env, store, ByteString("shared.txt"), &holder), nullptr);
    EXPECT_EQ(holder, nested(store, "a.jar"));
    ASSERT_NE(readEntryToJavaArray(env, store, ByteString("bb.jar!shared.txt"), &holder), nullptr);
    EXPECT_EQ(holder, nested(store, "bb.jar"));
    ASSERT_NE(readEntryToJavaArray(env, store, ByteString("c/d.txt"), &holder), nullptr);
    ASSERT_NE(nested(store, "l1.jar"), nullptr);
    EXPECT_EQ(holder, nested(*nested(store, "l1.jar"), "l2.jar"));
    holder = nullptr;
    EXPECT_EQ(readEntryToJavaArray(env, store, ByteString("missing.txt"), &holder), nullptr);
    EXPECT_EQ(holder, nullptr);
}

TEST_F(JavaArrays, UnreadableEntriesGiveNullAndNoPendingException) {
    ArchiveStore encrypted(2);
    encrypted.openFromFile(fixture("encrypted.zip").c_str());
    EXPECT_EQ(readEntryToJavaArray(env, encrypted, ByteString("numbers.txt")), nullptr);
    EXPECT_FALSE(env->ExceptionCheck());
    // The store's lock was left: the next read of the same store succeeds.
    jbyteArray plain = readEntryToJavaArray(env, encrypted, ByteString("dir\\sub\\file.txt"));
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(bytesOf(plain), "in a folder\n");

    // A wrong CRC: the bytes are never handed out.
    std::string image = readWholeFile(fixture("data.jar"));
    size_t name = image.rfind("numbers.txt"); // in the central directory, which comes last
    ASSERT_NE(name, std::string::npos);
    image[name - 46 + 16] ^= 1;
    char* copy = static_cast<char*>(std::malloc(image.size()));
    std::memcpy(copy, image.data(), image.size());
    ArchiveStore damaged(2);
    damaged.openFromMemory(copy, static_cast<int32_t>(image.size()));
    EXPECT_EQ(readEntryToJavaArray(env, damaged, ByteString("numbers.txt")), nullptr);
    jbyteArray other = readEntryToJavaArray(env, damaged, ByteString("dir/sub/file.txt"));
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(bytesOf(other), "in a folder\n");
}

// The top-level "dup.txt" claims nearly 2 GB, which the VM cannot give as an array: the search
// must stop there with the OutOfMemoryError pending, not hand out bb.jar's copy of the name.
TEST_F(JavaArrays, ArrayTheVmCannotMakeEndsTheSearch) {
    // A size that the archive could hold (deflated from 100000 bytes, behind as many other
    // bytes) but the VM's heap cannot.
    std::string image = std::string(100000, 'x') + readWholeFile(fixture("outer.zip"));
    size_t name = image.rfind("dup.txt"); // the top-level entry's name in the directory
    ASSERT_NE(name, std::string::npos);
    size_t header = name - 46;
    ASSERT_EQ(image.compare(header, 4, "PK\x01\x02"), 0);
    image[header + 10] = 8;
    zor::test::put32(image, header + 20, 100000);
    zor::test::put32(image, header + 24, 100000000);
    char* copy = static_cast<char*>(std::malloc(image.size()));
    std::memcpy(copy, image.data(), image.size());
    ArchiveStore store(2);
    store.openFromMemory(copy, static_cast<int32_t>(image.size()));

    EXPECT_EQ(readEntryToJavaArray(env, store, ByteString("dup.txt")), nullptr);
    jthrowable pending = env->ExceptionOccurred();
    ASSERT_NE(pending, nullptr);
    env->ExceptionClear();
    EXPECT_TRUE(env->IsInstanceOf(pending, env->FindClass("java/lang/OutOfMemoryError")));

    jbyteArray nested = readEntryToJavaArray(env, store, ByteString("bb.jar!dup.txt"));
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(bytesOf(nested), "nested dup\n");
}
