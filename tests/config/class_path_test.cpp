#include "config_fixture.h"

#include "config/config_store.h"
#include "platform/files.h"
#include "platform/system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using zor::ConfigStore;
using zortest::EnvironmentOverride;
using zortest::sep;
using zortest::TempFolder;

namespace {

// Splits a class path at the separator the VM expects.
std::vector<std::string> elements(const std::string& text) {
    std::vector<std::string> out;
    size_t from = 0;
    for (;;) {
        size_t at = text.find(zor::platform::CLASS_PATH_SEPARATOR, from);
        out.push_back(text.substr(from, at - from));
        if (at == std::string::npos)
            return out;
        from = at + 1;
    }
}

class ClassPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.set("CLASSPATH", nullptr);
        env.set("CLASS_PATH", nullptr);
        exe = tmp.writeFile("app/app.exe", zortest::executableWithComment(""));
        home = tmp / "app" + sep();
        start = tmp.makeFolder("start") + sep();
    }
    void TearDown() override {
        zor::applicationHome.clear();
        zor::startDirectory.clear();
    }
    // Loads the executable with `file` as its configuration file and `embedded` as comment.
    std::string classPathTextOf(const std::string& embedded, const std::string& file = "") {
        tmp.writeFile("app/app.exe", zortest::executableWithComment(embedded));
        if (file.empty())
            std::filesystem::remove(tmp / "app/app.cfg");
        else
            tmp.writeFile("app/app.cfg", file);
        ConfigStore store;
        store.loadFor(exe.c_str(), start.c_str());
        return store.classPath().c_str();
    }
    std::vector<std::string> classPathOf(const std::string& embedded,
                                         const std::string& file = "") {
        return elements(classPathTextOf(embedded, file));
    }

    EnvironmentOverride env;
    TempFolder tmp;
    std::string exe;
    std::string home;
    std::string start;
};

using Paths = std::vector<std::string>;

TEST_F(ClassPathTest, ExecutableAloneWithoutConfiguration) {
    EXPECT_EQ(classPathOf("mainclass a.Main\r\n"), Paths{exe});
}

TEST_F(ClassPathTest, ConfiguredElements) {
    tmp.writeFile("start/only-start.jar");
    tmp.writeFile("app/both.jar");
    tmp.writeFile("start/both.jar");
    std::string absolute = tmp / "abs.jar";
    EXPECT_EQ(classPathOf("classpath ;a.jar;;only-start.jar;both.jar;" + absolute + ";\r\n"),
              (Paths{exe, home + "a.jar", start + "only-start.jar", home + "both.jar", absolute}));
    // Spaces stay part of an element.
    EXPECT_EQ(classPathOf("classpath  x.jar ; y.jar\r\n"),
              (Paths{exe, home + "x.jar ", home + " y.jar"}));
}

TEST_F(ClassPathTest, FileLineBeforeEmbeddedLineAndSplittingBeforeExpansion) {
    EnvironmentOverride vars;
    vars.set("ZOR_TWO", "two;parts");
    const char separator = zor::platform::CLASS_PATH_SEPARATOR;
    EXPECT_EQ(classPathTextOf("classpath embedded.jar\r\n", "classpath file.jar;%ZOR_TWO%"),
              exe + separator + home + "file.jar" + separator + home + "two;parts" + separator +
                  home + "embedded.jar");
}

TEST_F(ClassPathTest, EnvironmentVariablesAreAppendedUnchanged) {
    std::string several = std::string("rel.jar") + zor::platform::CLASS_PATH_SEPARATOR + "%X%.jar";
    env.set("CLASSPATH", several.c_str());
    env.set("CLASS_PATH", "alias.jar");
    EXPECT_EQ(classPathOf("classpath c.jar\r\n"),
              (Paths{exe, home + "c.jar", "rel.jar", "%X%.jar", "alias.jar"}));
    env.set("CLASSPATH", nullptr);
    EXPECT_EQ(classPathOf(""), (Paths{exe, "alias.jar"}));
}

TEST_F(ClassPathTest, LibraryFoldersAreScannedDepthFirstInDirectoryOrder) {
    tmp.writeFile("app/lib/A.JAR");
    tmp.writeFile("app/lib/b.zip");
    tmp.writeFile("app/lib/c.jar.bak");
    tmp.writeFile("app/lib/jar");
    tmp.writeFile("app/lib/.jar");
    tmp.writeFile("app/lib/d.Jar");
    tmp.writeFile("app/lib/sub/e.jar");
    tmp.writeFile("app/lib/sub/deeper/f.zip");
    tmp.writeFile("app/lib/sub/deeper/g.txt");
    tmp.makeFolder("app/lib/empty");
    tmp.writeFile("app/lib/folder.jar/h.jar"); // a folder named like an archive

    // What the scan must produce, given the order in which the system lists each folder.
    std::function<void(const std::string&, Paths&)> expect = [&](const std::string& folder,
                                                                 Paths& out) {
        zor::platform::DirectorySearch search;
        ASSERT_TRUE(search.first((folder + "*").c_str()));
        do {
            std::string name = search.name();
            if (name == "." || name == "..")
                continue;
            if (search.isFolder())
                expect(folder + name + sep(), out);
            else if (name == "A.JAR" || name == "b.zip" || name == "d.Jar" || name == "e.jar" ||
                     name == "f.zip" || name == ".jar" || name == "h.jar")
                out.push_back(folder + name);
        } while (search.next());
    };
    Paths expected{exe};
    expect(home + "lib" + sep(), expected);
    ASSERT_EQ(expected.size(), 8u);

    EXPECT_EQ(classPathOf("libs lib\r\n"), expected);
    // Listed twice, scanned twice.
    Paths twice = expected;
    twice.insert(twice.end(), expected.begin() + 1, expected.end());
    EXPECT_EQ(classPathOf("libs lib\r\n", "libs " + home + "lib"), twice);
}

// Two links back to a parent made the walk exponential; a link to a sibling reached it twice.
// Each real folder is listed once now, whichever way the walk reaches it first.
TEST_F(ClassPathTest, FolderLinksLeadToEachFolderOnce) {
    tmp.writeFile("app/lib/x.jar");
    tmp.writeFile("app/lib/a/y.jar");
    tmp.writeFile("app/lib/b/z.jar");
    std::error_code failed;
    for (const char* link : {"app/lib/a/up1", "app/lib/a/up2", "app/lib/a/b-again"}) {
        std::string target =
            std::strcmp(link, "app/lib/a/b-again") == 0 ? tmp / "app/lib/b" : tmp / "app/lib";
        std::filesystem::create_directory_symlink(target, tmp / link, failed);
        if (failed)
            GTEST_SKIP() << "no folder links here: " << failed.message();
    }
    Paths found = classPathOf("libs lib\r\n");
    ASSERT_EQ(found.size(), 4u);
    std::vector<std::string> names;
    for (size_t i = 1; i < found.size(); ++i)
        names.push_back(std::filesystem::path(found[i]).filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"x.jar", "y.jar", "z.jar"}));
}

TEST_F(ClassPathTest, LibraryFolderValues) {
    tmp.writeFile("app/lib/a.jar");
    tmp.writeFile("start/other/b.jar");
    tmp.writeFile("app/file.jar");
    EnvironmentOverride vars;
    vars.set("ZOR_LIB", "lib");
    // A trailing slash gets no separator added; the paths then hold the slash.
    EXPECT_EQ(classPathOf("libs lib/\r\n"), (Paths{exe, home + "lib/a.jar"}));
    EXPECT_EQ(classPathOf("libs %ZOR_LIB%\r\n"), (Paths{exe, home + "lib" + sep() + "a.jar"}));
    EXPECT_EQ(classPathOf("libs other\r\n"), (Paths{exe, start + "other" + sep() + "b.jar"}));
    // A file, a missing folder, and a value holding ";" (one folder per line) add nothing.
    EXPECT_EQ(classPathOf("libs file.jar\r\nlibs missing\r\nlibs lib;other\r\n"), Paths{exe});
}

TEST_F(ClassPathTest, OrderOfTheParts) {
    tmp.writeFile("app/lib/z.jar");
    env.set("CLASSPATH", "env.jar");
    env.set("CLASS_PATH", "alias.jar");
    EXPECT_EQ(classPathOf("libs lib\r\nclasspath c.jar\r\n"),
              (Paths{exe, home + "c.jar", "env.jar", "alias.jar", home + "lib" + sep() + "z.jar"}));
}

} // namespace
