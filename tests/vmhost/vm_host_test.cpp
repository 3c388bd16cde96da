#include "vmhost/vm_host.h"

#include "platform/codepage.h"
#include "platform/library.h"
#include "platform/system.h"
#include "vmhost/fake_jvm_support.h"

#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::HasSubstr;
using zor::ByteString;
using zor::VmHost;
using zor::test::FakeJvmTest;

namespace {

class PathGuard {
public:
    PathGuard() { hadPath = zor::platform::getEnvironment("PATH", saved); }
    ~PathGuard() { zor::platform::setEnvironment("PATH", hadPath ? saved.c_str() : nullptr); }
    static std::string current() {
        ByteString value;
        zor::platform::getEnvironment("PATH", value);
        return value.c_str();
    }

private:
    ByteString saved;
    bool hadPath = false;
};

using VmHostCreate = FakeJvmTest;
using VmHostRun = FakeJvmTest;

TEST_F(VmHostCreate, OptionsReachTheVmInOrderExactlyAsAddedAndAreConsumed) {
    VmHost host;
    for (const char* option : {"-Xmx256m", "", "-Da=b", "-Djava.class.path=x", "-Dz=\xc3\xa9"})
        host.addOption(option);
    EXPECT_EQ(host.createVm(fakeJvm().c_str()), zor::VmCreateFailed);
    EXPECT_THAT(logLines(), ElementsAre("version 10002 ignoreUnrecognized 1 options 5",
                                        "option -Xmx256m", "option ", "option -Da=b",
                                        "option -Djava.class.path=x", "option -Dz=\xc3\xa9"));
    EXPECT_EQ(host.options.count(), 0);
    EXPECT_EQ(host.vm, nullptr);
    // A refused creation keeps the library until destroyVm, which may run more than once.
    EXPECT_NE(host.runtimeLibrary, nullptr);
    host.destroyVm();
    EXPECT_EQ(host.runtimeLibrary, nullptr);
    host.destroyVm();
    EXPECT_THAT(logLines(), testing::SizeIs(6));
}

TEST_F(VmHostCreate, MissingLibraryIsRetriedWithItsParentFolderOnPath) {
    PathGuard guard;
    std::string before = PathGuard::current();
    std::string folder = zor::test::nativePath((temp.directory() / "client").string()) +
                         zor::platform::DIR_SEPARATOR;
    std::string library = folder + zor::platform::VM_LIBRARY_NAME;
    VmHost host;
    host.addOption("-Dunused");
    EXPECT_EQ(host.createVm(library.c_str()), zor::RuntimeNotFound);
    EXPECT_EQ(PathGuard::current(), before + zor::platform::CLASS_PATH_SEPARATOR + folder + "..");
    EXPECT_EQ(host.runtimeLibrary, nullptr);
    EXPECT_EQ(host.options.count(), 0);

    // No folder at all: only the separator and ".." are appended.
    std::string middle = PathGuard::current();
    VmHost second;
    EXPECT_EQ(second.createVm(""), zor::RuntimeNotFound);
    EXPECT_EQ(PathGuard::current(), middle + zor::platform::CLASS_PATH_SEPARATOR + "..");
}

TEST_F(VmHostCreate, LibraryThatLoadsAtOnceLeavesPathAlone) {
    PathGuard guard;
    std::string before = PathGuard::current();
    VmHost host;
    EXPECT_EQ(host.createVm(fakeJvm().c_str()), zor::VmCreateFailed);
    EXPECT_EQ(PathGuard::current(), before);
}

TEST_F(VmHostCreate, LibraryWithoutCreateExportIsNotAValidRuntime) {
    VmHost host;
    host.addOption("-Da=b");
    EXPECT_EQ(host.createVm(zor::test::nativePath(ZOR_NO_CREATE_EXPORT).c_str()),
              zor::RuntimeInvalid);
    EXPECT_NE(host.runtimeLibrary, nullptr);
    EXPECT_EQ(host.options.count(), 0);
    EXPECT_TRUE(logLines().empty());
    host.destroyVm();
    EXPECT_EQ(host.runtimeLibrary, nullptr);
}

TEST_F(VmHostCreate, TeardownDetachesThenDestroysOnce) {
    zor::test::setEnv("ZOR_FAKE_JVM_RESULT", "0");
    {
        VmHost host;
        ASSERT_EQ(host.createVm(fakeJvm().c_str()), zor::LaunchOk);
        EXPECT_NE(host.vm, nullptr);
        EXPECT_NE(host.environment(), nullptr);
        host.destroyVm();
        EXPECT_EQ(host.vm, nullptr);
        EXPECT_EQ(host.runtimeLibrary, nullptr);
    } // the destructor's destroyVm finds nothing left to do
    std::vector<std::string> lines = logLines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "DetachCurrentThread");
    EXPECT_EQ(lines[2], "DestroyJavaVM");
}

TEST_F(VmHostCreate, NativesAreBoundPerClassWhereThePlatformNeedsIt) {
    zor::test::setEnv("ZOR_FAKE_JVM_RESULT", "0");
    void* f = reinterpret_cast<void*>(&zor::platform::loadLibrary);
    const zor::NativeMethodEntry natives[] = {
        {"zor/test/Other", "first", "()V", f},
        {"zor/test/Missing", "lost", "()V", f},
        {"zor/test/Other", "second", "(I)V", f},
    };
    VmHost host;
    host.addNatives(natives, 3);
    ASSERT_EQ(host.createVm(fakeJvm().c_str()), zor::LaunchOk);
    std::vector<std::string> lines = logLines();
    lines.erase(lines.begin()); // the creation line
    if (zor::platform::NATIVES_NEED_BINDING) {
        // One registration per class; a class the VM cannot find is skipped quietly.
        EXPECT_THAT(lines, ElementsAre("FindClass zor/test/Other",
                                       "RegisterNatives 19 first()V second(I)V",
                                       "FindClass zor/test/Missing"));
    } else {
        EXPECT_TRUE(lines.empty());
    }
}

TEST_F(VmHostRun, VersionQueryReadsTheVmProperty) {
    VmHost idle;
    ByteString version("stale");
    EXPECT_FALSE(idle.getVmVersion(version)) << "no VM, no version";

    zor::test::setEnv("ZOR_FAKE_JVM_RESULT", "0");
    zor::test::setEnv("ZOR_FAKE_JVM_VERSION", "1.6.0_22-b04");
    VmHost host;
    ASSERT_EQ(host.createVm(fakeJvm().c_str()), zor::LaunchOk);
    EXPECT_TRUE(host.getVmVersion(version));
    EXPECT_STREQ(version.c_str(), "1.6.0_22-b04");

    zor::test::unsetEnv("ZOR_FAKE_JVM_VERSION");
    version = "stale";
    EXPECT_TRUE(host.getVmVersion(version)) << "an unset property is still an answer";
    EXPECT_STREQ(version.c_str(), "");

    zor::test::setEnv("ZOR_FAKE_JVM_NO_SYSTEM", "1");
    EXPECT_FALSE(host.getVmVersion(version));
}

TEST_F(VmHostRun, HandlerPackageComesBeforeAnyEarlierValue) {
    zor::test::setEnv("ZOR_FAKE_JVM_RESULT", "0");
    struct Case {
        const char* earlier; // null: not set
        const char* expected;
    };
    for (Case c : {Case{nullptr, "com.tarnwick"}, Case{"", "com.tarnwick"},
                   Case{"a.b", "com.tarnwick|a.b"}, Case{"x|y", "com.tarnwick|x|y"}}) {
        if (c.earlier)
            zor::test::setEnv("ZOR_FAKE_JVM_PKGS", c.earlier);
        else
            zor::test::unsetEnv("ZOR_FAKE_JVM_PKGS");
        std::filesystem::remove(log);
        VmHost host;
        ASSERT_EQ(host.createVm(fakeJvm().c_str()), zor::LaunchOk);
        host.registerHandlerPackage();
        EXPECT_THAT(
            logLines(),
            testing::Contains(std::string("setProperty java.protocol.handler.pkgs=") + c.expected))
            << (c.earlier ? c.earlier : "(unset)");
    }
}

TEST_F(VmHostRun, MainGetsTheArgumentsConvertedInOrder) {
    zor::test::setEnv("ZOR_FAKE_JVM_RESULT", "0");
    zor::test::setEnv("ZOR_FAKE_JVM_MAIN", "a/b/Main");
    // U+00E9 in the system's narrow code page, whatever that is.
    const uint16_t eAcute[] = {0xE9, 0};
    char narrow[8] = {};
    ASSERT_GT(zor::platform::wideToNarrow(eAcute, -1, narrow, sizeof(narrow)), 0);
    char x[] = "x";
    char empty[] = "";
    char* argv[] = {x, empty, narrow};

    VmHost host;
    ASSERT_EQ(host.createVm(fakeJvm().c_str()), zor::LaunchOk);
    EXPECT_EQ(host.runMain("a.b.Main", 3, argv), zor::LaunchOk);
    EXPECT_FALSE(host.mainThrew());
    std::vector<std::string> lines = logLines();
    std::vector<std::string> run(std::find(lines.begin(), lines.end(), "FindClass a/b/Main"),
                                 lines.end());
    EXPECT_THAT(run,
                ElementsAre("FindClass a/b/Main", "FindClass java/lang/String", "NewObjectArray 3",
                            "arg 0: 0078", "arg 1:", "arg 2: 00e9", "main array"));
    // The in-memory class loader is asked first.
    EXPECT_THAT(lines, testing::Contains("FindClass com/tarnwick/zor/LumbrixClassLoader"));

    std::filesystem::remove(log);
    EXPECT_EQ(host.runMain("a.b.Main", 0, nullptr), zor::LaunchOk);
    EXPECT_THAT(logLines(), testing::Contains("NewObjectArray 0"));
}

TEST_F(VmHostRun, ExceptionOutOfMainIsPrintedAndReported) {
    zor::test::setEnv("ZOR_FAKE_JVM_RESULT", "0");
    zor::test::setEnv("ZOR_FAKE_JVM_MAIN", "Main");
    zor::test::setEnv("ZOR_FAKE_JVM_THROW", "1");
    VmHost host;
    ASSERT_EQ(host.createVm(fakeJvm().c_str()), zor::LaunchOk);
    EXPECT_EQ(host.runMain("Main", 0, nullptr), zor::LaunchOk);
    EXPECT_TRUE(host.mainThrew());
    EXPECT_EQ(logLines().back(), "ExceptionDescribe");
    // The next run starts clean.
    zor::test::unsetEnv("ZOR_FAKE_JVM_THROW");
    EXPECT_EQ(host.runMain("Main", 0, nullptr), zor::LaunchOk);
    EXPECT_FALSE(host.mainThrew());
}

TEST_F(VmHostRun, MissingClassOrMainMethodAreLaunchErrors) {
    zor::test::setEnv("ZOR_FAKE_JVM_RESULT", "0");
    zor::test::setEnv("ZOR_FAKE_JVM_MAIN", "a/Main");
    VmHost host;
    ASSERT_EQ(host.createVm(fakeJvm().c_str()), zor::LaunchOk);
    EXPECT_EQ(host.runMain("a.Other", 0, nullptr), zor::MainClassNotFound);
    EXPECT_EQ(host.runMain("", 0, nullptr), zor::MainClassNotFound);
    zor::test::setEnv("ZOR_FAKE_JVM_NO_MAIN", "1");
    EXPECT_EQ(host.runMain("a.Main", 0, nullptr), zor::MainMethodMissing);
    EXPECT_THAT(logLines(), testing::Not(testing::Contains(HasSubstr("main array"))));

    VmHost idle;
    EXPECT_EQ(idle.runMain("a.Main", 0, nullptr), zor::MainClassNotFound);
}

} // namespace
