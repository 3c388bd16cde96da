// zorpack as a user runs it: the configuration it writes, its refusals, where it looks for
// the stub and the support archive.
#include "packed_reader.h"
#include "test_support.h"

#include "archive/archive_reader.h"
#include "packer/packing.h"
#include "packer/pe_resources.h"
#include "packer/runtime_image.h"

#include <regex>
#include <sys/stat.h>

using namespace zor::packtest;

namespace {

class Packing : public ::testing::Test {
protected:
    TempDir dir;
    fs::path stub = dir / "stub";
    fs::path support;
    fs::path app;

    void SetUp() override {
        fs::copy_file(ELF_STANDIN, stub);
        support = makeZip(dir, "support.jar", {{"Support.class", patternBytes(3000)}});
        app = makeZip(dir, "app.jar", {{"com/example/Main.class", patternBytes(500)}});
    }

    // zorpack with the stand-in stub and support archive, for target linux.
    RunResult pack(const std::string& arguments, const fs::path& out, bool withDefaults = false) {
        return runCommand(zorpack(withDefaults) + " --target linux --stub " + quote(stub.string()) +
                          " --support " + quote(support.string()) + " " + arguments + " -o " +
                          quote(out.string()));
    }

    // A runtime folder with `library` as its VM library at `libraryPath`, and a release file.
    fs::path runtime(const std::string& name, const std::string& libraryPath, const Bytes& library,
                     bool release = true) {
        fs::path home = dir / name;
        fs::create_directories((home / libraryPath).parent_path());
        writeBytes(home / libraryPath, library);
        if (release)
            writeBytes(home / "release", bytesOf("JAVA_VERSION=\"17.0.9\"\n"));
        return home;
    }

    std::vector<std::string> filesIn(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(Packing, ConfigurationIsTheArchiveCommentWithItsLengthInTheEndRecord) {
    fs::path out = dir / "packed";
    RunResult r = pack("--main-class com.example.Main --set option=-Xmx64m --set "
                       "'property=a=b = c' --set jre_order=sie --set empty= --app " +
                           quote(app.string()),
                       out);
    ASSERT_EQ(r.code, 0) << r.err;
    Bytes packed = readBytes(out);
    const std::string expected = "mainclass com.example.Main\r\n"
                                 "option -Xmx64m\r\n"
                                 "property a=b = c\r\n"
                                 "jre_order sie\r\n"
                                 "empty \r\n";
    auto archive = findAppendedArchive(packed);
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->comment, expected);
    EXPECT_EQ(archive->commentLength, expected.size());
    // The support archive is there byte for byte up to its comment-length field.
    Bytes original = readBytes(support);
    ASSERT_EQ(archive->start + original.size() + expected.size(), packed.size());
    EXPECT_TRUE(std::equal(original.begin(), original.end() - 2, packed.begin() + archive->start));
    // And the result is still a sound ZIP archive for an ordinary reader.
    RunResult test = runCommand("unzip -tq " + quote(out.string()));
    EXPECT_NE(test.out.find("No errors detected"), std::string::npos) << test.out << test.err;
}

TEST_F(Packing, RefusalsLeaveNoOutputBehind) {
    fs::path folder = dir / "out";
    fs::create_directories(folder);
    fs::path out = folder / "packed";
    fs::create_directories(dir / "a-folder");
    writeBytes(dir / "empty.jar", {});
    writeBytes(dir / "not-a-zip", bytesOf("just some text, long enough to be looked at"));
    fs::path commented = dir / "commented.zip";
    fs::copy_file(support, commented);
    runCommand("sh -c " + quote("echo remark | zip -qz " + quote(commented.string())));
    fs::path prefixed = dir / "prefixed.zip";
    Bytes withPrefix = bytesOf("#!/bin/sh\n");
    Bytes supportBytes = readBytes(support);
    withPrefix.insert(withPrefix.end(), supportBytes.begin(), supportBytes.end());
    writeBytes(prefixed, withPrefix);
    writeBytes(dir / "win.exe", bytesOf("MZ not really a program"));
    // The stand-in with its interpreter's program header blanked looks like a shared library.
    Bytes library = readBytes(stub);
    uint64_t headers = le32(library.data() + 32);
    for (int i = 0; i < (library[56] | (library[57] << 8)); ++i) {
        uint8_t* type = library.data() + headers + size_t(i) * (library[54] | (library[55] << 8));
        if (le32(type) == 3)
            type[0] = 0;
    }
    writeBytes(dir / "library.so", library);

    // 1 for a refusal, 2 for a wrong command line, as packer/README.md lists them.
    struct Case {
        std::string arguments;
        std::string message;
        int code = 1;
        std::string target = "linux";
    };
    // Runtimes that are not for the target: the VM libraries are the stand-in stubs.
    Bytes elf = readBytes(ELF_STANDIN), aarch64 = elf;
    aarch64[18] = 183;
    auto rt = [&](const fs::path& home) { return "--runtime " + quote(home.string()) + " "; };
    const std::string noRelease = rt(runtime("rt-norelease", "lib/server/libjvm.so", elf, false));
    const std::string linuxRt = rt(runtime("rt-linux", "lib/server/libjvm.so", elf));
    const std::string armRt = rt(runtime("rt-arm", "lib/server/libjvm.so", aarch64));
    const std::string win64Rt =
        rt(runtime("rt-win64", "bin/server/jvm.dll", readBytes(WIN64_STANDIN)));
    const std::string win32Rt =
        rt(runtime("rt-win32", "bin/server/jvm.dll", readBytes(WIN32_STANDIN)));
    const std::string bareRt = rt(runtime("rt-bare", "lib/libjava.so", elf));
    const std::string stubArg = "--stub " + quote(stub.string()) + " ";
    const std::string supportArg = "--support " + quote(support.string()) + " ";
    const std::string files = stubArg + supportArg;
    const std::string main = "--main-class a.Main " + files;
    auto path = [&](const std::string& name) { return quote(dir / name) + " "; };
    const std::vector<Case> cases = {
        {files, "no main class"},
        {files + "--main-class ''", "no main class"},
        {files + "--main-class $'a.Main\\n'", "line break"},
        {main + "--set $'option=-Xmx1g\\r'", "line break"},
        {main + "--set $'option=a\\nmainclass b.Evil'", "line break"},
        {main + "--set $'opt\\nion=x'", "line break"},
        {main + "--set 'op tion=x'", "space or '='"},
        {main + "--set =x", "empty key"},
        {main + "--set 'option==x'", "begins with a space or '='"},
        {main + "--set 'option= -Xmx1g'", "begins with a space or '='"},
        {files + "--main-class =a.Main", "begins with a space or '='"},
        {main + "--set novalue", "KEY=VALUE", 2},
        {main + "--set $'option=PK\\x05\\x06'", "end-record signature"},
        {main + "--set option=" + std::string(51200 - 26, 'x'), "51200"},
        {"--main-class a.Main --stub " + path("missing") + supportArg, "cannot read the stub"},
        {"--main-class a.Main --stub " + path("a-folder") + supportArg, "cannot read the stub"},
        {"--main-class a.Main --support " + path("missing") + stubArg, "cannot read the support"},
        {main + "--app " + path("missing"), "cannot read the application"},
        {main + "--app " + path("empty.jar"), "is empty"},
        {"--main-class a.Main --support " + path("not-a-zip") + stubArg, "not a ZIP"},
        {"--main-class a.Main --support " + quote(commented.string()) + " " + stubArg,
         "already has a comment"},
        {"--main-class a.Main --support " + quote(prefixed.string()) + " " + stubArg,
         "does not start at its first byte"},
        {"--main-class a.Main --stub " + path("win.exe") + supportArg, "not an ELF program"},
        {"--main-class a.Main --stub " + path("library.so") + supportArg, "shared library"},
        {main + "--splash " + path("not-a-zip"), "not a .bmp"},
        {main + "--target win64", "given twice", 2},
        {main + "--frobnicate", "unknown argument", 2},
        {main + "--console", "win32 and win64 targets only", 2},
        {main + "--manifest " + path("not-a-zip"), "win32 and win64 targets only", 2},
        {main + noRelease, "has no release file"},
        {main + win64Rt, "is a runtime for Windows x86-64, not linux"},
        {main + armRt, "libjvm.so is an ELF 64-bit library for machine 183"},
        {main + bareRt, "has no lib/server/libjvm.so"},
        {main + linuxRt, "is a runtime for Linux x86-64, not win64", 1, "win64"},
        {main + win32Rt, "is a runtime for Windows x86 (32-bit), not win64", 1, "win64"},
        {main + win64Rt, "is a runtime for Windows x86-64, not win32", 1, "win32"},
        {main + "--runtime " + path("missing"), "is not a folder"},
        {main + "--runtime-fallback", "needs --runtime", 2},
        {main + linuxRt + "--set jre_order=s", "add --runtime-fallback", 2},
        {main + linuxRt + "--jlink", "both name the runtime", 2},
        {main + "--add-modules java.sql", "go with --jlink", 2},
        {main + "--jlink", "needs --jmods DIR", 2, "win64"},
        {main + "--jlink --jdk " + path("a-folder"), "has no release file"},
        {main + "--jlink --jdk " + quote(ZOR_JDK) + " --add-modules no.such.module",
         "jlink failed (exit code 1):\nError: Module no.such.module not found"},
    };
    for (const Case& c : cases) {
        RunResult r = runCommand(zorpack() + " --target " + c.target + " " + c.arguments + " -o " +
                                 quote(out.string()));
        EXPECT_EQ(r.code, c.code) << c.arguments;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << "\n" << r.err;
        EXPECT_TRUE(filesIn(folder).empty()) << c.arguments;
    }
    // The longest configuration the launcher can read is still accepted.
    RunResult fits = pack("--main-class a.Main --set option=" + std::string(51200 - 27, 'x'), out);
    EXPECT_EQ(fits.code, 0) << fits.err;
    EXPECT_EQ(findAppendedArchive(readBytes(out))->comment.size(), 51200u);

    // A stub of another target is refused for Windows targets too, and an earlier output
    // is left as it was.
    Bytes before = readBytes(out);
    RunResult wrong = runCommand(zorpack() + " --target win64 --main-class a.Main --stub " +
                                 quote(stub.string()) + " --support " + quote(support.string()) +
                                 " -o " + quote(out.string()));
    EXPECT_EQ(wrong.code, 1);
    EXPECT_NE(wrong.err.find("not a Windows program"), std::string::npos) << wrong.err;
    EXPECT_EQ(readBytes(out), before);
    EXPECT_EQ(filesIn(folder), std::vector<std::string>{"packed"});
}

TEST_F(Packing, LinuxOutputTakesTheStubsExecutableBits) {
    fs::permissions(stub, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    fs::path out = dir / "packed";
    ASSERT_EQ(pack("--main-class a.Main", out).code, 0);
    fs::perms p = fs::status(out).permissions();
    EXPECT_NE(p & fs::perms::owner_exec, fs::perms::none);
    EXPECT_NE(p & fs::perms::group_exec, fs::perms::none);
    EXPECT_EQ(p & fs::perms::others_exec, fs::perms::none);

    fs::permissions(stub, fs::perms::owner_read | fs::perms::owner_write);
    ASSERT_EQ(pack("--main-class a.Main", dir / "plain").code, 0);
    EXPECT_EQ(fs::status(dir / "plain").permissions() &
                  (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec),
              fs::perms::none);
}

TEST_F(Packing, StubAndSupportAreFoundBesideTheProgramOrInSiblingBuildFolders) {
    // A copy of zorpack in <tree>/linux, as the presets lay the build folders out.
    fs::path tree = dir / "build";
    fs::create_directories(tree / "linux" / "stubs" / "linux");
    fs::create_directories(tree / "win64");
    fs::path tool = tree / "linux" / "zorpack";
    fs::copy_file(ZORPACK, tool);
    std::string base =
        quote(tool.string()) + " --main-class a.Main -o " + quote(dir / "out") + " --target ";

    RunResult none = runCommand(base + "linux");
    EXPECT_EQ(none.code, 1);
    EXPECT_NE(none.err.find("no linux stub found"), std::string::npos) << none.err;
    EXPECT_NE(none.err.find((tree / "linux" / "stubs" / "linux" / "zor-launcher").string()),
              std::string::npos)
        << none.err;
    EXPECT_NE(none.err.find((tree / "linux" / "zor-launcher").string()), std::string::npos)
        << none.err;

    fs::copy_file(stub, tree / "linux" / "stubs" / "linux" / "zor-launcher");
    RunResult noSupport = runCommand(base + "linux");
    EXPECT_EQ(noSupport.code, 1);
    EXPECT_NE(noSupport.err.find((tree / "linux" / "zor-support.jar").string()), std::string::npos)
        << noSupport.err;

    fs::copy_file(support, tree / "linux" / "zor-support.jar");
    RunResult found = runCommand(base + "linux");
    EXPECT_EQ(found.code, 0) << found.err;
    EXPECT_TRUE(findAppendedArchive(readBytes(dir / "out")));

    // The win64 stub of the sibling build folder.
    fs::copy_file(WIN64_STANDIN, tree / "win64" / "zor-launcher.exe");
    RunResult sibling = runCommand(base + "win64");
    EXPECT_EQ(sibling.code, 0) << sibling.err;
    Bytes packed = readBytes(dir / "out");
    ASSERT_GT(packed.size(), 2u);
    EXPECT_EQ(packed[0], 'M');
    EXPECT_EQ(packed[1], 'Z');
}

} // namespace

namespace {

TEST_F(Packing, WarmStartNamesAnArchivePerProgramAndBuild) {
    auto cacheLine = [&](const fs::path& out) {
        auto archive = findAppendedArchive(readBytes(out));
        std::string comment = archive ? archive->comment : "";
        size_t at = comment.find("classdatacache ");
        return at == std::string::npos ? std::string()
                                       : comment.substr(at, comment.find("\r\n", at) - at);
    };
    ASSERT_EQ(pack("--main-class com.example.Main --warm-start --app " + quote(app.string()),
                   dir / "My App", true)
                  .code,
              0);
    std::string first = cacheLine(dir / "My App");
    EXPECT_TRUE(std::regex_match(first, std::regex("classdatacache My_App-[0-9a-f]{16}\\.jsa")))
        << first;
    // The same inputs give the same name; another application gives another.
    ASSERT_EQ(
        pack("--main-class com.example.Main --app " + quote(app.string()), dir / "My App", true)
            .code,
        0);
    EXPECT_EQ(cacheLine(dir / "My App"), first) << "on by default";
    fs::path other = makeZip(dir, "other.jar", {{"com/example/Main.class", patternBytes(501)}});
    ASSERT_EQ(pack("--main-class com.example.Main --warm-start --app " + quote(other.string()),
                   dir / "My App", true)
                  .code,
              0);
    EXPECT_NE(cacheLine(dir / "My App"), first);
    EXPECT_EQ(cacheLine(dir / "My App").size(), first.size());

    EXPECT_EQ(pack("--main-class com.example.Main --no-warm-start --app " + quote(app.string()),
                   dir / "plain", true)
                  .code,
              0);
    EXPECT_EQ(cacheLine(dir / "plain"), "") << "no key with --no-warm-start";
    EXPECT_EQ(pack("--main-class a.Main --set classdatacache=x.jsa", dir / "own", true).code, 0);
    EXPECT_EQ(cacheLine(dir / "own"), "classdatacache x.jsa") << "the caller's own name only";
    EXPECT_EQ(
        pack("--main-class a.Main --warm-start --set classdatacache=x.jsa", dir / "both", true)
            .code,
        2);
    EXPECT_EQ(pack("--main-class a.Main --warm-start --no-warm-start", dir / "twice", true).code,
              2);
    EXPECT_FALSE(fs::exists(dir / "both"));
}

TEST_F(Packing, RuntimeIsTheLastResourceAndSearchedFirst) {
    fs::path home = runtime("rt", "lib/server/libjvm.so", readBytes(ELF_STANDIN));
    std::string withRuntime = "--main-class com.example.Main --runtime " + quote(home.string());
    auto packed = [&](const std::string& arguments) {
        RunResult r = pack(withRuntime + " " + arguments, dir / "out");
        EXPECT_EQ(r.code, 0) << arguments << "\n" << r.err;
        EXPECT_NE(r.out.find("2 files"), std::string::npos) << r.out;
        return readBytes(dir / "out");
    };
    const std::pair<std::string, std::string> orders[] = {
        {"", "jre_order r\r\n"},
        {"--runtime-fallback", "jre_order rcsiejvp\r\n"},
        {"--runtime-fallback --set jre_order=sRe", "jre_order rse\r\n"},
        {"--runtime-fallback --set jre_order=xyz", "jre_order rcsiejvp\r\n"},
    };
    for (const auto& [arguments, line] : orders)
        EXPECT_EQ(findAppendedArchive(packed(arguments))->comment,
                  "mainclass com.example.Main\r\n" + line);

    // After the application archive, so that finding it walks over nothing large.
    Bytes file = packed("--app " + quote(app.string()));
    auto block = readResourceBlock(file, findAppendedArchive(file)->start);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->entries.size(), 2u);
    EXPECT_EQ(block->entries[0].id, zor::APP_ARCHIVE_ID);
    EXPECT_EQ(block->entries[1].id, zor::RUNTIME_IMAGE_ID);
    auto imageOf = [](const fs::path& folder) {
        return zor::pack::buildRuntimeImage(folder.string(), [](const std::string&) {}).zip;
    };
    EXPECT_EQ(block->entries[1].data, imageOf(home));

    // The same image is a PE resource of a Windows program.
    fs::path winHome = runtime("rt-win", "bin/server/jvm.dll", readBytes(WIN64_STANDIN));
    RunResult r = runCommand(zorpack() + " --target win64 --main-class a.Main --stub " +
                             quote(WIN64_STANDIN) + " --support " + quote(support.string()) +
                             " --runtime " + quote(winHome.string()) + " -o " + quote(dir / "w"));
    ASSERT_EQ(r.code, 0) << r.err;
    auto tree =
        zor::pack::PeImage(readBytes(dir / "w"), zor::pack::PeKind::Pe32Plus).readResources();
    const auto* resource = tree.find(zor::RESOURCE_TYPE_RCDATA, zor::RUNTIME_IMAGE_ID, 0);
    ASSERT_TRUE(resource);
    EXPECT_EQ(resource->bytes, imageOf(winHome));
}

TEST_F(Packing, JlinkLinksWhatJdepsFindsAndWhatIsAddedThenRemovesItsFolder) {
    fs::create_directories(dir / "src");
    writeBytes(dir / "src/Main.java",
               bytesOf("public class Main { public static void main(String[] a) throws Exception "
                       "{ java.util.logging.Logger.getGlobal(); } }"));
    ASSERT_EQ(runCommand(quote(fs::path(ZOR_JDK) / "bin" / "javac") + " -d " + quote(dir / "src") +
                         " " + quote(dir / "src/Main.java"))
                  .code,
              0);
    fs::path jar = makeZip(dir, "logs.jar", {{"Main.class", readBytes(dir / "src/Main.class")}});
    fs::create_directories(dir / "tmp");
    RunResult r =
        runCommand("env TMPDIR=" + quote(dir / "tmp") + " JAVA_HOME=" + quote(ZOR_JDK) + " " +
                       zorpack() + " --stub " + quote(stub.string()) + " --support " +
                       quote(support.string()) + " --main-class Main --app " + quote(jar.string()) +
                       " --jlink --add-modules jdk.zipfs -o " + quote(dir / "out"),
                   300);
    ASSERT_EQ(r.code, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("with the modules java.base,java.logging,jdk.zipfs\n"), std::string::npos)
        << r.out;
    EXPECT_TRUE(filesIn(dir / "tmp").empty());
    Bytes file = readBytes(dir / "out");
    EXPECT_NE(findAppendedArchive(file)->comment.find("jre_order r\r\n"), std::string::npos);
    auto block = readResourceBlock(file, findAppendedArchive(file)->start);
    ASSERT_TRUE(block);
    writeBytes(dir / "image.zip", block->entries.back().data);
    RunResult release = runCommand("unzip -p " + quote(dir / "image.zip") + " release");
    EXPECT_TRUE(std::regex_search(release.out, std::regex("MODULES=\"java.base java.logging "
                                                          ".*jdk.zipfs\"")))
        << release.out;
    // The class-data archive that --generate-cds-archive dumps.
    RunResult list = runCommand("zipinfo -1 " + quote(dir / "image.zip"));
    EXPECT_NE(list.out.find("lib/server/classes.jsa\n"), std::string::npos) << list.out;
}

TEST(RuntimeImage, ReadsBackThroughTheLaunchersReaderWithModesAndAHashOfTheBytes) {
    TempDir dir;
    fs::path home = dir / "home";
    fs::create_directories(home / "bin");
    fs::create_directories(home / "lib" / "server");
    const std::vector<std::pair<std::string, Bytes>> files = {
        {"bin/java", bytesOf("#!launcher")},
        {"lib/linked", patternBytes(70000)},
        {"lib/server/libjvm.so", patternBytes(5000)},
        {"release", bytesOf("JAVA_VERSION=\"17\"\n")},
    };
    for (const auto& [name, data] : files)
        if (name != "lib/linked")
            writeBytes(home / name, data);
    fs::permissions(home / "bin" / "java",
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    // Followed: a link out of the folder, as a packaged JDK links into /etc; a link that
    // leads nowhere is left out with a warning.
    writeBytes(dir / "outside", files[1].second);
    fs::create_symlink(dir / "outside", home / "lib" / "linked");
    fs::create_symlink(dir / "nowhere", home / "lib" / "src.zip");
    std::string warnings;
    auto warn = [&](const std::string& w) { warnings += w + "\n"; };
    zor::pack::RuntimeImage image = zor::pack::buildRuntimeImage(home.string(), warn);
    EXPECT_NE(warnings.find("src.zip"), std::string::npos) << warnings;
    EXPECT_EQ(image.files, files.size());

    zor::MemoryFile memory;
    memory.attach(image.zip.data(), int64_t(image.zip.size()));
    zor::ArchiveReader reader;
    reader.openMemory(&memory);
    ASSERT_EQ(reader.entryCount(), int32_t(files.size()));
    std::string comment(reader.endRecord().comment.data, size_t(reader.endRecord().comment.length));
    EXPECT_EQ(comment, "zor runtime image " + image.hash);
    zor::pack::RuntimeHash hash;
    for (int32_t i = 0; i < reader.entryCount(); ++i) {
        const zor::ArchiveEntryHeader& h = reader.header(i);
        std::string name(h.name.data, size_t(h.name.length));
        std::replace(name.begin(), name.end(), '\\', '/');
        EXPECT_EQ(name, files[size_t(i)].first) << "sorted by name";
        EXPECT_EQ(h.versionMadeBy >> 8, 3) << name;
        EXPECT_EQ(h.method, 8) << name;
        EXPECT_EQ(h.externalAttributes >> 16, name == "bin/java" ? 0100750u : 0100644u) << name;
        Bytes data(h.uncompressedSize + 1);
        ASSERT_TRUE(reader.openEntry(i));
        data.resize(size_t(reader.read(data.data(), int32_t(data.size()))));
        EXPECT_EQ(reader.closeEntry(), 1) << name << ": read whole, CRC checked";
        EXPECT_EQ(data, files[size_t(i)].second) << name;
        hash.beginFile(name, data.size());
        hash.add(data.data(), data.size());
    }
    EXPECT_EQ(hash.hex(), image.hash) << "the hash depends on the bytes, not the compression";

    // The same files give the same bytes whatever their times; other bytes another hash.
    fs::last_write_time(home / "release", fs::file_time_type::clock::now() - std::chrono::hours(5));
    EXPECT_EQ(zor::pack::buildRuntimeImage(home.string(), warn).zip, image.zip);
    writeBytes(home / "release", bytesOf("JAVA_VERSION=\"18\"\n"));
    EXPECT_NE(zor::pack::buildRuntimeImage(home.string(), warn).hash, image.hash);
    // A file's end cannot pass for the next name's beginning.
    zor::pack::RuntimeHash joined, split;
    joined.beginFile("ab", 1);
    joined.add("c", 1);
    split.beginFile("a", 2);
    split.add("bc", 2);
    EXPECT_NE(joined.hex(), split.hex());
}

TEST(WarmStartFileName, DropsExeAndReplacesCharactersTheConfigurationWouldChange) {
    using zor::pack::warmStartFileName;
    const Bytes bytes = {1, 2, 3};
    std::string name = warmStartFileName("Tool.exe", bytes);
    EXPECT_EQ(name.substr(0, 5), "Tool-");
    EXPECT_EQ(warmStartFileName("50%off é.app", bytes).substr(0, 14), "50_off___.app-")
        << "no %NAME% expansion, no bytes outside ASCII";
    EXPECT_NE(warmStartFileName("Tool.exe", Bytes{1, 2, 4}), name);
}

} // namespace
