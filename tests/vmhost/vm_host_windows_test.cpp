// Windows: the PATH retry is what lets a VM library find DLLs in the folder above its own.
#include "vmhost/vm_host.h"

#include "vmhost/fake_jvm_support.h"

namespace {

TEST(VmHostWindows, LibraryWhoseDependencyLiesInTheParentFolderLoadsOnRetry) {
    zor::test::TempFolder temp;
    namespace fs = std::filesystem;
    fs::create_directories(temp.directory() / "jre" / "bin" / "client");
    fs::copy_file(zor::test::nativePath(ZOR_FAKE_JVM_DEPENDENT),
                  temp.directory() / "jre" / "bin" / "client" / "jvm.dll");
    fs::copy_file(zor::test::nativePath(ZOR_FAKE_JVM_DEPENDENCY),
                  temp.directory() / "jre" / "bin" / "jvmdep.dll");
    std::string library =
        zor::test::nativePath((temp.directory() / "jre" / "bin" / "client" / "jvm.dll").string());

    zor::ByteString savedPath;
    bool hadPath = zor::platform::getEnvironment("PATH", savedPath);
    {
        zor::VmHost host;
        // The library was loaded (on the second attempt): its creation refusal is code 4.
        EXPECT_EQ(host.createVm(library.c_str()), zor::VmCreateFailed);
        zor::ByteString path;
        zor::platform::getEnvironment("PATH", path);
        EXPECT_STREQ(
            path.c_str(),
            (std::string(savedPath.c_str()) + ";" +
             zor::test::nativePath((temp.directory() / "jre" / "bin" / "client").string()) + "\\..")
                .c_str());
    }
    zor::platform::setEnvironment("PATH", hadPath ? savedPath.c_str() : nullptr);
}

} // namespace
