// zorpack with the inputs of a Java developer: jars with manifests, libraries, configuration
// files, icons; what it refuses and what it writes.
#include "packed_reader.h"
#include "test_support.h"

#include <algorithm>
#include <chrono>
#include <regex>
#include <sstream>

using namespace zor::packtest;

namespace {

class AppPacking : public ::testing::Test {
protected:
    TempDir dir;
    fs::path stub = dir / "stub";
    fs::path support;

    void SetUp() override {
        fs::copy_file(ELF_STANDIN, stub);
        support = makeZip(dir, "support.jar", {{"Support.class", patternBytes(300)}});
    }

    // A jar in `folder` (relative to the test folder) with a manifest of `attributes` lines.
    fs::path jar(const std::string& path, const std::vector<std::string>& classes,
                 const std::string& attributes = "") {
        std::vector<std::pair<std::string, Bytes>> files;
        if (!attributes.empty())
            files.push_back({"META-INF/MANIFEST.MF",
                             bytesOf("Manifest-Version: 1.0\r\n" + attributes + "\r\n")});
        for (const std::string& c : classes)
            files.push_back({c, patternBytes(200 + c.size())});
        fs::path target = dir / path;
        fs::create_directories(target.parent_path());
        std::string unique = path;
        std::replace(unique.begin(), unique.end(), '/', '_');
        fs::path made = makeZip(dir, unique + ".src", files);
        fs::rename(made, target);
        return target;
    }

    // zorpack with the stand-in stub and support archive; no --target: linux is the default.
    RunResult pack(const std::string& arguments, const fs::path& out, bool win64 = false) {
        return runCommand(zorpack() + (win64 ? " --target win64" : "") + " --stub " +
                          quote(win64 ? WIN64_STANDIN : stub.string()) + " --support " +
                          quote(support.string()) + " " + arguments + " -o " + quote(out.string()));
    }

    // The embedded application archive of a packed Linux program, as a file.
    fs::path embeddedArchive(const fs::path& packed) {
        Bytes file = readBytes(packed);
        auto archive = findAppendedArchive(file);
        EXPECT_TRUE(archive);
        auto block = archive ? readResourceBlock(file, archive->start) : std::nullopt;
        EXPECT_TRUE(block);
        fs::path out = dir / "embedded.zip";
        for (const BlockEntry& e : block ? block->entries : std::vector<BlockEntry>{})
            if (e.type == 10 && e.id == 128)
                writeBytes(out, unscramble(e.data));
        return out;
    }
};

TEST_F(AppPacking, BadInputIsRefusedWithItsReasonAndNoOutput) {
    fs::path folder = dir / "out";
    fs::create_directories(folder);
    fs::path out = folder / "app";
    fs::path plain = jar("plain.jar", {"a/Main.class"});
    jar("app.jar", {"a/Main.class"}, "Main-Class: a.Main");
    jar("noclass.jar", {"a/Other.class"}, "Created-By: hand");
    jar("missingcp.jar", {"a/Main.class"},
        "Main-Class: a.Main\r\nClass-Path: lib/one.jar lib/gone.jar");
    jar("lib/one.jar", {"one/One.class"});
    jar("d1/x.jar", {"x/One.class"});
    jar("d2/x.jar", {"x/Two.class"});
    writeBytes(dir / "text.jar", bytesOf("this is not a ZIP archive at all, just text"));
    writeBytes(dir / "lib.txt", readBytes(plain));
    writeBytes(dir / "not.ico", bytesOf("GIF89a and nothing that an icon would hold"));
    Bytes cutIcon = {0, 0, 1, 0, 1, 0, 16, 16, 0, 0, 1, 0, 32, 0, 0x28, 0, 0, 0, 22, 0, 0, 0};
    writeBytes(dir / "cut.ico", cutIcon);
    std::string longLine = "option -D" + std::string(51200, 'x') + "\n";
    writeBytes(dir / "long.cfg", bytesOf("option -Xmx64m\n" + longLine));
    writeBytes(dir / "twice.cfg", bytesOf("mainclass a.Main\n"));
    fs::create_directories(dir / "folder.jar");
    auto at = [&](const std::string& name) { return quote(dir / name); };
    const std::string win64 = "--target=win64 ";

    struct Case {
        std::string arguments, message;
    };
    const std::vector<Case> cases = {
        {"--app " + at("text.jar"), "is not a ZIP archive"},
        {"--app " + at("app.jar") + " --lib " + at("text.jar"), "is not a ZIP archive"},
        {"--app " + at("app.jar") + " --lib " + at("lib.txt"), "is not a jar"},
        {"--app " + at("app.jar") + " --lib " + at("nowhere.jar"), "cannot read the library"},
        {"--app " + at("app.jar") + " --lib " + at("folder.jar"), "it is a folder"},
        {"--app " + at("plain.jar"), "no main class"},
        {"--app " + at("noclass.jar"), "manifest has no Main-Class"},
        {"--app " + at("noclass.jar") + " --main-class a.Main", "the main class a.Main is not in"},
        {"--app " + at("app.jar") + " --main-class a.Mian", "the main class a.Mian is not in"},
        {"--app " + at("app.jar") + " --lib " + at("d1/x.jar") + " --lib " + at("d2/x.jar"),
         "two libraries are named x.jar"},
        {"--lib " + at("d1/x.jar") + " --main-class a.Main", "--lib needs --app"},
        {"--app " + at("app.jar") + " --config-file " + at("long.cfg"), "51200"},
        {"--app " + at("app.jar") + " --config-file " + at("absent.cfg"),
         "cannot read the configuration file"},
        {"--main-class a.Main --config-file " + at("twice.cfg"), "given twice"},
        {"--app " + at("app.jar") + " --icon " + at("not.ico"), "for Windows targets"},
        {win64 + "--app " + at("app.jar") + " --icon " + at("not.ico"), "not a Windows icon"},
        {win64 + "--app " + at("app.jar") + " --icon " + at("cut.ico"), "not a Windows icon"},
        {win64 + "--app " + at("app.jar") + " --icon " + at("none.ico"), "cannot read the icon"},
        {win64 + "--app " + at("app.jar") + " --app-version $'1.0\\xff'", "not UTF-8"},
    };
    for (const Case& c : cases) {
        bool windows = c.arguments.rfind(win64, 0) == 0;
        RunResult r = pack(c.arguments.substr(windows ? win64.size() : 0), out, windows);
        EXPECT_NE(r.code, 0) << c.arguments;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.arguments << "\n" << r.err;
        EXPECT_TRUE(fs::is_empty(folder)) << c.arguments;
    }
    // --no-manifest-class-path leaves the missing jar alone.
    EXPECT_EQ(pack("--no-manifest-class-path --app " + at("missingcp.jar"), out).code, 0);
    // Without it, the missing jar is skipped as the JDK skips it, and the other one is nested.
    RunResult r = pack("--app " + at("missingcp.jar"), out);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("warning: the jar " + (dir / "lib/gone.jar") +
                         " named by the Class-Path of " + (dir / "missingcp.jar") +
                         " does not exist"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(runCommand("zipinfo -1 " + quote(embeddedArchive(out))).out,
              "META-INF/MANIFEST.MF\na/Main.class\nlib/one.jar\n");
}

TEST_F(AppPacking, ManifestNamesTheMainClassAndTheLibrariesItNests) {
    // The usual layout: app.jar beside lib/, its Class-Path naming jars there; one of them
    // names another through its own Class-Path, relative to its own folder, with an escape.
    fs::path app =
        jar("dist/app.jar", {"com/example/App.class", "com/example/data.txt"},
            "Main-Class: com.example.App\r\nClass-Path: lib/first.jar\r\n  lib/sec%20ond.jar");
    fs::path first = jar("dist/lib/first.jar", {"first/A.class"});
    fs::path second =
        jar("dist/lib/sec ond.jar", {"second/B.class"}, "Class-Path: deeper/third.jar");
    fs::path third = jar("dist/lib/deeper/third.jar", {"third/C.class"});
    fs::path extra = jar("elsewhere/extra.zip", {"extra/D.class"});

    fs::path out = dir / "app";
    RunResult r = pack("--app " + quote(app.string()) + " --lib " + quote(extra.string()), out);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    Bytes packed = readBytes(out);
    ASSERT_GT(packed.size(), 4u);
    EXPECT_EQ(std::string(packed.begin(), packed.begin() + 4), "\x7f"
                                                               "ELF");
    EXPECT_EQ(findAppendedArchive(packed)->comment, "mainclass com.example.App\r\n");

    // Every library stored whole under lib/, with the fixed time; the application's own
    // entries as they were.
    fs::path embedded = embeddedArchive(out);
    RunResult listing = runCommand("zipinfo " + quote(embedded.string()));
    ASSERT_EQ(listing.code, 0) << listing.err;
    std::map<std::string, fs::path> expected = {{"lib/first.jar", first},
                                                {"lib/sec ond.jar", second},
                                                {"lib/third.jar", third},
                                                {"lib/extra.zip", extra}};
    for (const auto& [name, source] : expected) {
        std::smatch m;
        ASSERT_TRUE(
            std::regex_search(listing.out, m, std::regex(" (\\w+) 80-Feb-01 00:00 " + name + "\n")))
            << name << "\n"
            << listing.out;
        EXPECT_EQ(m[1], "stor") << name;
        RunResult bytes = runCommand("unzip -p " + quote(embedded.string()) + " " + quote(name));
        EXPECT_EQ(bytes.out, readText(source)) << name;
    }
    EXPECT_NE(listing.out.find("com/example/data.txt"), std::string::npos);
    RunResult test = runCommand("unzip -tq " + quote(embedded.string()));
    EXPECT_NE(test.out.find("No errors detected"), std::string::npos) << test.out << test.err;

    // The same inputs give the same bytes, whatever the libraries' file times.
    fs::last_write_time(first, fs::last_write_time(first) - std::chrono::hours(50));
    ASSERT_EQ(
        pack("--app " + quote(app.string()) + " --lib " + quote(extra.string()), dir / "again")
            .code,
        0);
    EXPECT_EQ(readBytes(dir / "again"), packed);

    // Without the manifest's Class-Path, only --lib is nested, and a main class that only a
    // library holds is found there.
    fs::path libMain =
        jar("solo/app.jar", {"x/y.txt"}, "Main-Class: first.A\r\nClass-Path: gone.jar");
    r = pack("--no-manifest-class-path --app " + quote(libMain.string()) + " --lib " +
                 quote(first.string()),
             dir / "solo-app");
    ASSERT_EQ(r.code, 0) << r.err;
    listing = runCommand("zipinfo -1 " + quote(embeddedArchive(dir / "solo-app")));
    EXPECT_EQ(listing.out, "META-INF/MANIFEST.MF\nx/y.txt\nlib/first.jar\n");
}

TEST_F(AppPacking, ConfigurationFileLinesComeBeforeSetAndUnknownKeysAreNamed) {
    fs::path app = jar("app.jar", {"a/Main.class", "b/Other.class"}, "Main-Class: a.Main");
    writeBytes(dir / "app.cfg", bytesOf("# memory\r\n  option = -Xmx1g\n\nproperty=a=b \r\n"
                                        "optoin -Xss1m\nmainclass b.Other\n"));
    fs::path out = dir / "app";
    RunResult r = pack("--app " + quote(app.string()) + " --config-file " + quote(dir / "app.cfg") +
                           " --set jre_order=s",
                       out);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(findAppendedArchive(readBytes(out))->comment,
              "mainclass b.Other\r\noption -Xmx1g\r\nproperty a=b \r\noptoin -Xss1m\r\n"
              "jre_order s\r\n");
    EXPECT_NE(r.err.find("warning: unknown configuration key 'optoin'"), std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("minjre"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("'option'"), std::string::npos) << r.err;

    // A class path of the configuration may hold a main class that the archives lack.
    r = pack("--app " + quote(app.string()) + " --main-class c.Outside --set 'classpath=ext.jar'",
             out);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.err.find("configured class path"), std::string::npos) << r.err;
}

TEST_F(AppPacking, HelpNamesEveryOptionAndVersionPrintsOne) {
    RunResult help = runCommand(zorpack() + " --help");
    EXPECT_EQ(help.code, 0);
    std::istringstream options(
        "--app --main-class --lib --no-manifest-class-path --target --output --config-file --set "
        "--splash --icon --name --app-version --description --vendor --copyright --stub --support "
        "--help --version --runtime --runtime-fallback --jlink --jdk --jmods --add-modules");
    for (std::string option; options >> option;) {
        // Each is accepted, so each must be explained: one line that begins with it.
        EXPECT_TRUE(std::regex_search(help.out, std::regex("\n  (-\\w, )?" + option + " ")))
            << option;
    }
    RunResult version = runCommand(zorpack() + " --version");
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex("zorpack \\d+\\.\\d+\\.\\d+\n")))
        << version.out;
}

} // namespace
