// zorpack as a user runs it: the configuration it writes, its refusals, where it looks for
// the stub and the support archive.
#include "packed_reader.h"
#include "test_support.h"

#include "packer/packing.h"

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
    };
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
    };
    for (const Case& c : cases) {
        RunResult r =
            runCommand(zorpack() + " --target linux " + c.arguments + " -o " + quote(out.string()));
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
