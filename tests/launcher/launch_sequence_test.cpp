// The launch sequence in-process, over a configuration beside a stand-in executable and the
// test-double VM library.
#include "launcher/launch.h"

#include "launcher/warm_start.h"
#include "platform/files.h"

#include "config/config_store.h"
#include "platform/system.h"
#include "vmhost/fake_jvm_support.h"

#include <gmock/gmock.h>

#include <climits>

namespace fs = std::filesystem;
using testing::ElementsAre;
using zor::ByteString;
using zor::ConfigStore;
using zor::LaunchOutcome;
using zor::VmHost;
using zor::test::nativePath;

namespace {

class LaunchSequence : public zor::test::FakeJvmTest {
protected:
    fs::path exe;
    fs::path startFolder;

    void SetUp() override {
        FakeJvmTest::SetUp();
        fs::create_directories(temp.directory() / "bin");
        exe = temp.directory() / "bin" / (zor::test::onWindows() ? "app.exe" : "app");
        startFolder = fs::current_path();
    }
    void TearDown() override {
        fs::current_path(startFolder);
        FakeJvmTest::TearDown();
    }

    // The stand-in executable: some bytes, then an empty archive whose comment is the embedded
    // configuration; the configuration file beside it when `file` is not null.
    void writeApp(const std::string& file, const std::string& embedded) {
        std::ofstream out(exe, std::ios::binary | std::ios::trunc);
        out << "not really a program";
        const char end[20] = {'P', 'K', 5, 6};
        out.write(end, sizeof(end));
        out.put(static_cast<char>(embedded.size() & 0xFF));
        out.put(static_cast<char>(embedded.size() >> 8));
        out << embedded;
        out.close();
        std::ofstream cfg(temp.directory() / "bin" / "app.cfg", std::ios::binary | std::ios::trunc);
        cfg << file;
    }
    std::string runtime() const { return "jre_order c\r\njvmdll " + fakeJvm() + "\r\n"; }

    // One whole launch with its own store and host, as the entry does it.
    LaunchOutcome launch(std::vector<std::string> args = {}, int* exitCode = nullptr) {
        ConfigStore config;
        config.loadFor(nativePath(exe.string()).c_str(), nativePath(startFolder.string()).c_str());
        VmHost host;
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        LaunchOutcome outcome;
        if (exitCode)
            *exitCode = zor::launch(config, host, static_cast<int>(argv.size()), argv.data());
        else
            outcome =
                zor::runLaunchSequence(config, host, static_cast<int>(argv.size()), argv.data());
        host.destroyVm();
        zor::finishWarmStart();
        lastClassPath = config.classPath().c_str();
        lastAppPath = config.applicationPath().c_str();
        lastHome = config.applicationHome().c_str();
        return outcome;
    }
    std::string lastClassPath, lastAppPath, lastHome;

    std::vector<std::string> logged(const std::string& prefix) const {
        std::vector<std::string> found;
        for (const std::string& line : logLines())
            if (line.rfind(prefix, 0) == 0)
                found.push_back(line.substr(prefix.size()));
        return found;
    }
};

TEST_F(LaunchSequence, OptionsThenPropertiesThenTheLaunchersOwnFromBothSources) {
    zor::test::setEnv("ZOR_LAUNCH_VALUE", "expanded");
    writeApp(runtime() + "option -Xmx256m\r\nproperty a=b\r\noption -Djava.class.path=mine\r\n"
                         "property x=%ZOR_LAUNCH_VALUE%\r\n",
             "option -Xss1m\r\nproperty c=d\r\noption\r\n");
    EXPECT_EQ(launch().error, zor::VmCreateFailed);
    EXPECT_THAT(logged("option "),
                ElementsAre("-Xmx256m", "-Djava.class.path=mine", "-Xss1m", "", "-Da=b",
                            "-Dx=expanded", "-Dc=d", "-Djava.class.path=" + lastClassPath,
                            "-Dzor.app.path=" + lastAppPath, "-Dapplication.home=" + lastHome));
    EXPECT_EQ(lastAppPath, nativePath(exe.string()));
    EXPECT_EQ(lastHome,
              nativePath((temp.directory() / "bin").string()) + zor::platform::DIR_SEPARATOR);
    zor::test::unsetEnv("ZOR_LAUNCH_VALUE");
}

TEST_F(LaunchSequence, CreationFailuresEndTheSequence) {
    zor::test::setEnv("ZOR_FAKE_JVM_MAIN", "a/Main");
    // Refused creation: neither the version nor the main class is asked for.
    writeApp(runtime() + "minjre 1.5\r\n", "mainclass a.Main\r\n");
    EXPECT_EQ(launch().error, zor::VmCreateFailed);
    EXPECT_TRUE(logged("FindClass").empty());

    writeApp("jre_order c\r\njvmdll " + nativePath((temp.directory() / "none").string()) + "\r\n",
             "mainclass a.Main\r\n");
    EXPECT_EQ(launch().error, zor::RuntimeNotFound);
    writeApp("jre_order c\r\n", "mainclass a.Main\r\n");
    EXPECT_EQ(launch().error, zor::RuntimeNotFound) << "no runtime found at all";
    writeApp("jre_order c\r\njvmdll " + nativePath(ZOR_NO_CREATE_EXPORT) + "\r\n", "");
    EXPECT_EQ(launch().error, zor::RuntimeInvalid);
}

TEST_F(LaunchSequence, MinimumVersionComparesMajorThenMinorAsNumbers) {
    zor::test::setEnv("ZOR_FAKE_JVM_RESULT", "0");
    zor::test::setEnv("ZOR_FAKE_JVM_MAIN", "a/Main");
    struct Case {
        const char* vm; // null: property not set
        const char* required;
        zor::LaunchError error;
        int numbers[4]; // VM major, minor, required major, minor for VersionTooLow
    };
    const Case cases[] = {
        {"1.6.0_22-b04", "1.5", zor::LaunchOk, {}},
        {"1.6.0_22-b04", "1.6", zor::LaunchOk, {}},
        {"1.6.0_22-b04", "1.7", zor::VersionTooLow, {1, 6, 1, 7}},
        {"1.9.0", "1.10", zor::VersionTooLow, {1, 9, 1, 10}},
        {"1.4.2", "1.5", zor::VersionTooLow, {1, 4, 1, 5}},
        {"2.0", "1.9", zor::LaunchOk, {}},
        // One number only: the missing minor counts as 0.
        {"25+36-LTS", "25.1", zor::VersionTooLow, {25, 0, 25, 1}},
        {"17.0.15+6-Debian", "17", zor::LaunchOk, {}},
        {"17.0.15+6-Debian", "21", zor::VersionTooLow, {17, 0, 21, 0}},
        {nullptr, "1.1", zor::VersionTooLow, {0, 0, 1, 1}},
        {"1.6", " 1.5", zor::LaunchOk, {}},
    };
    for (const Case& c : cases) {
        if (c.vm)
            zor::test::setEnv("ZOR_FAKE_JVM_VERSION", c.vm);
        else
            zor::test::unsetEnv("ZOR_FAKE_JVM_VERSION");
        writeApp(runtime() + "minjre " + c.required + "\r\n", "mainclass a.Main\r\n");
        std::filesystem::remove(log);
        LaunchOutcome outcome = launch();
        SCOPED_TRACE(std::string(c.vm ? c.vm : "(unset)") + " against " + c.required);
        EXPECT_EQ(outcome.error, c.error);
        if (c.error == zor::VersionTooLow) {
            EXPECT_EQ(outcome.vmMajor, c.numbers[0]);
            EXPECT_EQ(outcome.vmMinor, c.numbers[1]);
            EXPECT_EQ(outcome.requiredMajor, c.numbers[2]);
            EXPECT_EQ(outcome.requiredMinor, c.numbers[3]);
            EXPECT_TRUE(logged("main").empty()) << "main must not run";
        } else {
            EXPECT_EQ(logged("main").size(), 1u);
        }
    }
}

TEST_F(LaunchSequence, VersionIsAskedForOnlyWithMinjre) {
    zor::test::setEnv("ZOR_FAKE_JVM_RESULT", "0");
    zor::test::setEnv("ZOR_FAKE_JVM_MAIN", "a/Main");
    zor::test::setEnv("ZOR_FAKE_JVM_NO_SYSTEM", "1");
    writeApp(runtime() + "minjre 1.5\r\n", "mainclass a.Main\r\n");
    EXPECT_EQ(launch().error, zor::VersionUnknown);
    writeApp(runtime() + "minjre\r\n", "mainclass a.Main\r\n");
    EXPECT_EQ(launch().error, zor::LaunchOk);
    writeApp(runtime(), "mainclass a.Main\r\n");
    EXPECT_EQ(launch().error, zor::LaunchOk);
}

TEST_F(LaunchSequence, MainClassComesFromTheEmbeddedConfigurationOnly) {
    zor::test::setEnv("ZOR_FAKE_JVM_RESULT", "0");
    zor::test::setEnv("ZOR_FAKE_JVM_MAIN", "a/b/Main");
    writeApp(runtime() + "mainclass a.b.Main\r\n", "");
    EXPECT_EQ(launch().error, zor::MainClassNotFound);

    std::filesystem::remove(log);
    writeApp(runtime(), "mainclass a.b.Main\r\n");
    LaunchOutcome outcome = launch({"one", "two"});
    EXPECT_EQ(outcome.error, zor::LaunchOk);
    EXPECT_FALSE(outcome.mainThrew);
    std::vector<std::string> lines = logLines();
    auto registered = std::find(lines.begin(), lines.end(),
                                "setProperty java.protocol.handler.pkgs=com.tarnwick");
    auto main = std::find(lines.begin(), lines.end(), "main array");
    EXPECT_TRUE(registered < main) << "the handler package is registered before main runs";
    EXPECT_THAT(logged("arg "), ElementsAre("0: 006f 006e 0065", "1: 0074 0077 006f"));
}

TEST_F(LaunchSequence, ExitCodeReportsAnExceptionOutOfMain) {
    zor::test::setEnv("ZOR_FAKE_JVM_RESULT", "0");
    zor::test::setEnv("ZOR_FAKE_JVM_MAIN", "Main");
    writeApp(runtime(), "mainclass Main\r\n");
    int exitCode = -1;
    launch({}, &exitCode);
    EXPECT_EQ(exitCode, 0);
    zor::test::setEnv("ZOR_FAKE_JVM_THROW", "1");
    launch({}, &exitCode);
    EXPECT_EQ(exitCode, 1);
    EXPECT_EQ(logLines().back(), "DestroyJavaVM") << "the VM is torn down after the exception";
}

// ---- Options chosen from the runtime's release file ----

class RuntimeOptions : public LaunchSequence {
protected:
    const char* cacheVariable = zor::test::onWindows() ? "LOCALAPPDATA" : "XDG_CACHE_HOME";
    zor::ByteString savedCache, savedHome;
    bool hadCache = false, hadHome = false;
    std::string lastEmbedded = "(none)";
    fs::path cache;

    void SetUp() override {
        LaunchSequence::SetUp();
        hadCache = zor::platform::getEnvironment(cacheVariable, savedCache);
        hadHome = zor::platform::getEnvironment("HOME", savedHome);
        cache = temp.directory() / "cache";
        zor::test::setEnv(cacheVariable, nativePath(cache.string()));
        zor::test::setEnv("ZOR_FAKE_JVM_RESULT", "0");
        zor::test::setEnv("ZOR_FAKE_JVM_MAIN", "a/Main");
    }
    void TearDown() override {
        if (hadCache)
            zor::test::setEnv(cacheVariable, savedCache.c_str());
        else
            zor::test::unsetEnv(cacheVariable);
        if (hadHome)
            zor::test::setEnv("HOME", savedHome.c_str());
        LaunchSequence::TearDown();
    }

    // A runtime home named `name` with the test double as its VM library and a release file
    // saying `version` (none when empty); the library's path.
    std::string runtimeSaying(const std::string& name, const std::string& version) {
        fs::path home = temp.directory() / name;
        fs::path folder = home / (zor::test::onWindows() ? "bin" : "lib") / "server";
        fs::create_directories(folder);
        fs::path library = folder / zor::platform::VM_LIBRARY_NAME;
        // A new file rather than new bytes in the old one, which may still be mapped.
        fs::remove(library);
        fs::copy_file(nativePath(ZOR_FAKE_JVM), library);
        std::ofstream(folder / "classes.jsa", std::ios::binary) << "the runtime's own archive";
        if (!version.empty())
            std::ofstream(home / "release", std::ios::binary)
                << "IMPLEMENTOR=\"Test\"\nJAVA_VERSION=\"" << version << "\"\nLIBC=\"gnu\"\n";
        return nativePath(library.string());
    }
    // The options the VM received, from the configuration file's runtime and the embedded
    // configuration `embedded` after the main class.
    std::vector<std::string> optionsWith(const std::string& library, const std::string& embedded) {
        // The executable is rewritten only when its configuration changes: a new executable
        // is a reason to write a new archive.
        std::string runtime = "jre_order c\r\njvmdll " + library + "\r\n";
        if (embedded != lastEmbedded || !fs::exists(exe))
            writeApp(runtime, "mainclass a.Main\r\n" + embedded);
        else
            std::ofstream(temp.directory() / "bin" / "app.cfg", std::ios::binary | std::ios::trunc)
                << runtime;
        lastEmbedded = embedded;
        std::filesystem::remove(log);
        EXPECT_EQ(launch().error, zor::LaunchOk);
        std::vector<std::string> options = logged("option ");
        // The launcher's own three come last in every case.
        EXPECT_GE(options.size(), 3u);
        return std::vector<std::string>(options.begin(),
                                        options.end() - std::min<size_t>(3, options.size()));
    }
};

TEST_F(RuntimeOptions, NativeAccessOnlyForRuntimesThatKnowTheOption) {
    const std::vector<std::string> none;
    EXPECT_EQ(optionsWith(runtimeSaying("unknown", ""), ""), none);
    EXPECT_EQ(optionsWith(runtimeSaying("jdk8", "1.8.0_392"), ""), none);
    EXPECT_EQ(optionsWith(runtimeSaying("jdk11", "11.0.2"), "classdatacache app.jsa\r\n"), none)
        << "nor a warm start before 13";
    // Before 24 the option only costs start-up time.
    EXPECT_EQ(optionsWith(runtimeSaying("jdk17", "17.0.15"), "option -Xmx64m\r\n"),
              std::vector<std::string>{"-Xmx64m"});
    EXPECT_EQ(optionsWith(runtimeSaying("jdk23", "23.0.2"), ""), none);
    EXPECT_EQ(optionsWith(runtimeSaying("jdk24", "24"), "option -Xmx64m\r\n"),
              (std::vector<std::string>{"--enable-native-access=ALL-UNNAMED", "-Xmx64m"}));
    EXPECT_EQ(optionsWith(runtimeSaying("jdk25", "25.0.3"), ""),
              std::vector<std::string>{"--enable-native-access=ALL-UNNAMED"});
    EXPECT_FALSE(fs::exists(cache)) << "nothing is written without the key or before 13";
}

// The first run has the archive written to a new file, published once the VM is gone, and
// the archives of other builds of the program removed; the next uses it; a damaged archive,
// another runtime or a copy already writing get no archive handed over.
TEST_F(RuntimeOptions, WarmStartWritesOnceThenUsesTheArchive) {
    const std::string native = "--enable-native-access=ALL-UNNAMED", cds = "-Xlog:cds*=off";
    const std::vector<std::string> autoCreate{"-XX:+AutoCreateSharedArchive",
                                              "-XX:SharedArchiveFile={new}"};
    struct Case {
        const char* version;
        std::vector<std::string> first;   // native access, the runtime's messages switched off
        const char* use;                  // the option that hands over the published archive
        std::vector<std::string> writing; // with {new} for the new file
    };
    const Case cases[] = {
        {"17.0.15", {cds}, "-XX:SharedArchiveFile=", {"-XX:ArchiveClassesAtExit={new}"}},
        {"21.0.2", {cds}, "-XX:SharedArchiveFile=", autoCreate},
        {"24.0.1", {native, cds}, "-XX:SharedArchiveFile=", autoCreate},
        {"25.0.3",
         {native, cds, "-Xlog:aot*=off"},
         "-XX:AOTCache=",
         {"-XX:AOTCacheOutput={new}", "-XX:+UnlockDiagnosticVMOptions", "-XX:-DisplayVMOutput"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        fs::remove_all(cache);
        std::string library = runtimeSaying(std::string("jdk-") + c.version, c.version);
        fs::path archive = cache / "zor" / "app-0123456789abcdef.jsa";
        std::string published = nativePath(archive.string());
        // An older build's archive goes; those of programs that only share the name or its
        // beginning stay.
        const fs::path older = cache / "zor" / "app-fedcba9876543210.jsa";
        const fs::path elsewhere = cache / "zor" / "app-0000000000000001.jsa";
        const fs::path another = cache / "zor" / "app-x-fedcba9876543210.jsa";
        fs::create_directories(cache / "zor");
        for (const fs::path& file : {older, elsewhere, another}) {
            std::ofstream(file, std::ios::binary) << "archive";
            std::ofstream(file.string() + ".id", std::ios::binary)
                << "zor class-data archive 1\napplication 1 2 "
                << (file == elsewhere ? "/elsewhere/app" : nativePath(exe.string())) << "\n";
        }
        auto expected = [&](bool writing) {
            std::vector<std::string> options = c.first;
            if (!writing)
                options.push_back(c.use + published);
            for (std::string option : writing ? c.writing : std::vector<std::string>{}) {
                size_t at = option.find("{new}");
                if (at != std::string::npos)
                    option.replace(at, 5, published + ".new");
                options.push_back(option);
            }
            return options;
        };
        const std::string key = "classdatacache app-0123456789abcdef.jsa\r\n";

        EXPECT_EQ(optionsWith(library, key), expected(true)) << "the folder is created";
        EXPECT_TRUE(fs::is_regular_file(archive));
        EXPECT_FALSE(fs::exists(older) || fs::exists(older.string() + ".id"));
        EXPECT_TRUE(fs::exists(elsewhere) && fs::exists(another));
        EXPECT_FALSE(fs::exists(published + ".new"));
        EXPECT_EQ(optionsWith(library, key), expected(false));
        EXPECT_EQ(optionsWith(library, key), expected(false)) << "using it does not rewrite it";

        // One byte changed: written anew, then used again.
        {
            std::fstream f(archive, std::ios::in | std::ios::out | std::ios::binary);
            f.seekp(3);
            f.put('#');
        }
        EXPECT_EQ(optionsWith(library, key), expected(true));
        EXPECT_EQ(optionsWith(library, key), expected(false));

        // An archive of another runtime is not handed to this one.
        std::string other = runtimeSaying(std::string("other-") + c.version, c.version);
        std::vector<std::string> otherOptions = optionsWith(other, key);
        EXPECT_EQ(otherOptions, expected(true));

        // While another copy holds the lock, a copy that needs a new archive starts without.
        fs::remove(archive);
        zor::platform::FileLock writer;
        ASSERT_TRUE(writer.tryLock((published + ".lock").c_str()));
        EXPECT_EQ(optionsWith(library, key), c.first);
        EXPECT_FALSE(fs::exists(archive));
        writer.release();
    }
}

TEST_F(RuntimeOptions, ArchivePathsAndUnusableFolders) {
    std::string library = runtimeSaying("jdk17", "17");
    // A rooted value, expanded, with its missing folders created.
    zor::test::setEnv("ZOR_CDS_PLACE", nativePath((temp.directory() / "mine").string()));
    std::string sep(1, zor::platform::DIR_SEPARATOR);
    std::vector<std::string> options =
        optionsWith(library, "classdatacache %ZOR_CDS_PLACE%" + sep + "a" + sep + "x.jsa\r\n");
    std::string expectedArchive = nativePath((temp.directory() / "mine" / "a" / "x.jsa").string());
    EXPECT_EQ(options.back(), "-XX:ArchiveClassesAtExit=" + expectedArchive + ".new");
    EXPECT_TRUE(fs::is_regular_file(temp.directory() / "mine" / "a" / "x.jsa"));
    zor::test::unsetEnv("ZOR_CDS_PLACE");

    // A runtime without its own archive gets no archive options at all.
    fs::remove(fs::path(library).parent_path() / "classes.jsa");
    EXPECT_EQ(optionsWith(library, "classdatacache app.jsa\r\n"), std::vector<std::string>{});
    library = runtimeSaying("jdk17", "17");

    // A file where the cache folder should be: nothing to write, and the launch goes on.
    std::ofstream(cache, std::ios::binary) << "not a folder";
    EXPECT_EQ(optionsWith(library, "classdatacache app.jsa\r\n"),
              std::vector<std::string>{"-Xlog:cds*=off"});
    // No cache folder at all: no archive options.
    zor::test::unsetEnv(cacheVariable);
    if (!zor::test::onWindows())
        zor::test::unsetEnv("HOME");
    EXPECT_EQ(optionsWith(library, "classdatacache app.jsa\r\n"), std::vector<std::string>{});
}

// ---- Forced working directory ----

class ForcedDirectory : public LaunchSequence {
protected:
    // The directory the launch leaves current for a "forcecwd" value.
    fs::path afterLaunchWith(const std::string& value) {
        fs::current_path(temp.directory());
        writeApp(runtime() + "forcecwd " + value + "\r\n", "");
        launch();
        return fs::current_path();
    }
};

TEST_F(ForcedDirectory, ResolvedAgainstTheExecutablesFolder) {
    fs::create_directories(temp.directory() / "bin" / "data");
    fs::create_directories(temp.directory() / "elsewhere");
    EXPECT_TRUE(fs::equivalent(afterLaunchWith("."), temp.directory() / "bin"));
    EXPECT_TRUE(fs::equivalent(afterLaunchWith("data"), temp.directory() / "bin" / "data"));
    EXPECT_TRUE(fs::equivalent(
        afterLaunchWith(".." + std::string(1, zor::platform::DIR_SEPARATOR) + "elsewhere"),
        temp.directory() / "elsewhere"));
    EXPECT_TRUE(
        fs::equivalent(afterLaunchWith(nativePath((temp.directory() / "elsewhere").string())),
                       temp.directory() / "elsewhere"));
    zor::test::setEnv("ZOR_LAUNCH_DIR", nativePath((temp.directory() / "elsewhere").string()));
    EXPECT_TRUE(
        fs::equivalent(afterLaunchWith("%ZOR_LAUNCH_DIR%"), temp.directory() / "elsewhere"));
    zor::test::unsetEnv("ZOR_LAUNCH_DIR");
}

TEST_F(ForcedDirectory, UnusableValuesLeaveTheDirectoryAlone) {
    EXPECT_TRUE(fs::equivalent(afterLaunchWith(""), temp.directory()));
    EXPECT_TRUE(fs::equivalent(afterLaunchWith("no-such-folder"), temp.directory()));
    // Longer than a path buffer holds: ignored rather than cut short.
    fs::path deep = temp.directory() / "bin";
    std::string relative;
    while (nativePath(deep.string()).size() < 300) {
        deep /= "abcdefghijklmnopqrstuvwxyz";
        relative +=
            std::string(relative.empty() ? "" : std::string(1, zor::platform::DIR_SEPARATOR)) +
            "abcdefghijklmnopqrstuvwxyz";
    }
    std::error_code ignored;
    fs::create_directories(deep, ignored);
    EXPECT_TRUE(fs::equivalent(afterLaunchWith(relative), temp.directory()));
}

TEST(ResolveFullPath, JoinsLikeTheForcedDirectoryNeeds) {
    char buffer[zor::platform::MAX_PATH_BYTES];
    auto resolve = [&](const char* base, const char* path) {
        int32_t n = zor::resolveFullPath(base, path, buffer, sizeof(buffer));
        return n > 0 && n < static_cast<int32_t>(sizeof(buffer)) ? std::string(buffer)
                                                                 : "(" + std::to_string(n) + ")";
    };
    if (zor::test::onWindows()) {
        EXPECT_EQ(resolve("C:\\apps\\x", "."), "C:\\apps\\x");
        EXPECT_EQ(resolve("C:\\apps\\x\\", "..\\y"), "C:\\apps\\y");
        EXPECT_EQ(resolve("C:\\apps\\x", "\\work"), "C:\\work") << "the base's drive";
        EXPECT_EQ(resolve("C:\\apps\\x", "/work"), "C:\\work");
        EXPECT_EQ(resolve("C:\\apps\\x", "E:\\data"), "E:\\data");
        std::string driveRelative = resolve("C:\\apps\\x", "D:data");
        EXPECT_EQ(driveRelative.substr(0, 3), "D:\\");
        EXPECT_EQ(driveRelative.substr(driveRelative.size() - 4), "data");
    } else {
        EXPECT_EQ(resolve("/apps/x", "."), "/apps/x");
        EXPECT_EQ(resolve("/apps/x/", "../y"), "/apps/y");
        EXPECT_EQ(resolve("/apps/x", "/work"), "/work");
        EXPECT_EQ(resolve("/apps/x", "a//b/./c"), "/apps/x/a/b/c");
    }
    // Too small a buffer: the size needed comes back.
    char small[4];
    EXPECT_GT(zor::resolveFullPath(zor::test::onWindows() ? "C:\\apps" : "/apps", "longer-name",
                                   small, sizeof(small)),
              4);
}

TEST(ReadVersion, FollowsTheScanfReading) {
    struct Case {
        const char* text;
        int major, minor;
    };
    for (Case c : {Case{"1.6.0_24-b07", 1, 6}, Case{" 1.5", 1, 5}, Case{"25+36-LTS", 25, 0},
                   Case{"17.0.15+6", 17, 0}, Case{"21", 21, 0}, Case{"", 0, 0}, Case{"abc", 0, 0},
                   Case{"1.x", 1, 0}, Case{"-1.2", -1, 2}, Case{"11.0.2", 11, 0}}) {
        int32_t major = -99, minor = -99;
        zor::readVersion(c.text, major, minor);
        EXPECT_EQ(major, c.major) << c.text;
        EXPECT_EQ(minor, c.minor) << c.text;
    }
}

} // namespace
