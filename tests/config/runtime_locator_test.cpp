#include "config_fixture.h"

#include "config/config_store.h"
#include "config/runtime_locator.h"
#include "platform/files.h"
#include "platform/system.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

using zor::ConfigStore;
using zortest::EnvironmentOverride;
using zortest::sep;
using zortest::storeOf;
using zortest::TempFolder;

namespace {

const std::string LIBRARY = zor::platform::VM_LIBRARY_NAME;

// "bin\" on Windows, "lib/" on Linux: the candidate folder that holds the variant folders.
std::string libraryFolder() {
    return zor::platform::RUNTIME_CANDIDATE_FOLDERS[1];
}

std::string text(const zor::ByteString& s) {
    return s.c_str();
}

// The launcher's finder for method r as the search sees it: what it was asked, what it found.
std::string embeddedAsked, embeddedFinds;
zor::ByteString fakeEmbedded(bool othersFollow) {
    embeddedAsked += othersFollow ? "+" : "-";
    return embeddedFinds.c_str();
}

class RuntimeTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.set("JRE_HOME", nullptr);
        env.set("JAVA_HOME", nullptr);
        home = tmp.makeFolder("app") + sep();
        start = tmp.makeFolder("start") + sep();
        zor::applicationHome = home.c_str();
        zor::startDirectory = start.c_str();
    }
    void TearDown() override {
        zor::applicationHome.clear();
        zor::startDirectory.clear();
    }
    // A runtime home holding the VM library at `relative` below it.
    std::string runtime(const std::string& name, const std::string& relative) {
        tmp.writeFile(name + "/" + relative, "library");
        return tmp / name;
    }
    std::string locate(const std::string& configuration) {
        return text(storeOf("", configuration).runtimeLibraryPath());
    }

    EnvironmentOverride env;
    TempFolder tmp;
    std::string home;
    std::string start;
};

TEST_F(RuntimeTest, EnvironmentSearchCandidateFoldersAndVariants) {
    // Only in a variant folder of the library folder; an earlier variant without it and a
    // plain file are passed over.
    std::string jdk = runtime("jdk", libraryFolder() + "server/" + LIBRARY);
    tmp.makeFolder("jdk/" + libraryFolder() + "aaa-empty");
    tmp.writeFile("jdk/" + libraryFolder() + "client", "not a folder");
    env.set("JAVA_HOME", jdk.c_str()); // no trailing separator
    EXPECT_EQ(text(zor::findRuntimeFromEnvironment()),
              jdk + sep() + libraryFolder() + "server" + sep() + LIBRARY);

    // Directly in a candidate folder wins over a variant folder of the same candidate.
    tmp.writeFile("jdk/" + libraryFolder() + LIBRARY);
    EXPECT_EQ(text(zor::findRuntimeFromEnvironment()), jdk + sep() + libraryFolder() + LIBRARY);
    // An earlier candidate folder (the home itself) wins over a later one.
    tmp.writeFile("jdk/" + LIBRARY);
    EXPECT_EQ(text(zor::findRuntimeFromEnvironment()), jdk + sep() + LIBRARY);

    // The candidate folder beside the home ("..\jre\bin\" on Windows).
    std::string other = tmp.makeFolder("other/jdk");
    tmp.writeFile("other/" + std::string(zor::platform::RUNTIME_CANDIDATE_FOLDERS[3]).substr(3) +
                  "x/" + LIBRARY);
    env.set("JAVA_HOME", (other + sep()).c_str());
    EXPECT_EQ(text(zor::findRuntimeFromEnvironment()),
              other + sep() + zor::platform::RUNTIME_CANDIDATE_FOLDERS[3] + "x" + sep() + LIBRARY);
}

TEST_F(RuntimeTest, FirstVariantInDirectoryOrderWins) {
    std::string jdk = tmp.makeFolder("jdk");
    for (const char* variant : {"one", "two", "three"})
        tmp.writeFile("jdk/" + libraryFolder() + variant + "/" + LIBRARY);
    // The order the system lists them in.
    zor::platform::DirectorySearch search;
    ASSERT_TRUE(search.first((jdk + sep() + libraryFolder() + "*").c_str()));
    std::string first;
    do {
        if (search.isFolder() && std::strcmp(search.name(), ".") != 0 &&
            std::strcmp(search.name(), "..") != 0) {
            first = search.name();
            break;
        }
    } while (search.next());
    env.set("JAVA_HOME", jdk.c_str());
    EXPECT_EQ(text(zor::findRuntimeFromEnvironment()),
              jdk + sep() + libraryFolder() + first + sep() + LIBRARY);
}

TEST_F(RuntimeTest, JreHomeBeforeJavaHomeAndEmptyOrUselessValuesSkipped) {
    std::string jre = runtime("jre", LIBRARY);
    std::string jdk = runtime("jdk", libraryFolder() + LIBRARY);
    env.set("JRE_HOME", jre.c_str());
    env.set("JAVA_HOME", jdk.c_str());
    EXPECT_EQ(text(zor::findRuntimeFromEnvironment()), jre + sep() + LIBRARY);
    env.set("JRE_HOME", "");
    EXPECT_EQ(text(zor::findRuntimeFromEnvironment()), jdk + sep() + libraryFolder() + LIBRARY);
    env.set("JRE_HOME", tmp.makeFolder("no-runtime").c_str());
    EXPECT_EQ(text(zor::findRuntimeFromEnvironment()), jdk + sep() + libraryFolder() + LIBRARY);
    env.set("JAVA_HOME", (tmp / "missing").c_str());
    EXPECT_EQ(text(zor::findRuntimeFromEnvironment()), "");
}

TEST_F(RuntimeTest, ConfiguredLibraryIsResolvedBesideTheExecutableThenTheStartFolder) {
    std::string jdk = runtime("jdk", LIBRARY);
    env.set("JAVA_HOME", jdk.c_str());
    std::string fromEnvironment = jdk + sep() + LIBRARY;

    tmp.writeFile("start/rt/" + LIBRARY);
    std::string relative = "rt" + sep() + LIBRARY;
    EXPECT_EQ(locate("jvmdll " + relative + "\r\n"), start + relative);
    tmp.writeFile("app/rt/" + LIBRARY);
    EXPECT_EQ(locate("jvmdll " + relative + "\r\n"), home + relative);

    // Expanded before it is resolved.
    env.set("ZOR_RT", "rt");
    EXPECT_EQ(locate("jvmdll %ZOR_RT%" + sep() + LIBRARY + "\r\n"), home + relative);
    std::string absolute = tmp.writeFile("abs/" + LIBRARY);
    EXPECT_EQ(locate("jvmdll " + absolute + "\r\n"), absolute);

    // A missing file is passed over for the next method; an empty value too.
    EXPECT_EQ(locate("jvmdll missing" + sep() + LIBRARY + "\r\njre_order ce\r\n"), fromEnvironment);
    EXPECT_EQ(locate("jvmdll\r\njre_order ce\r\n"), fromEnvironment);
    EXPECT_EQ(locate("jvmdll missing\r\njre_order c\r\n"), "");
}

TEST_F(RuntimeTest, SearchOrder) {
    std::string jdk = runtime("jdk", LIBRARY);
    env.set("JAVA_HOME", jdk.c_str());
    std::string fromEnvironment = jdk + sep() + LIBRARY;
    std::string configured = tmp.writeFile("app/" + LIBRARY);
    std::string both = "jvmdll " + LIBRARY + "\r\n";

    EXPECT_EQ(locate(both), configured); // default order begins with c
    EXPECT_EQ(locate(both + "jre_order ec\r\n"), fromEnvironment);
    EXPECT_EQ(locate(both + "jre_order EC\r\n"), fromEnvironment);
    EXPECT_EQ(locate(both + "jre_order = Ce\r\n"), configured);
    // No valid letter at all: the default order.
    EXPECT_EQ(locate(both + "jre_order xyz\r\n"), configured);
    EXPECT_EQ(locate(both + "jre_order\r\n"), configured);
    // One valid letter among invalid ones: only that method runs.
    EXPECT_EQ(locate(both + "jre_order x-e!\r\n"), fromEnvironment);
    EXPECT_EQ(locate("jvmdll missing\r\njre_order xcx\r\n"), "");
    // Repeating a method that found nothing does not find anything later.
    EXPECT_EQ(locate("jvmdll missing\r\njre_order cc\r\n"), "");
    EXPECT_EQ(locate("jre_order eec\r\n"), fromEnvironment);
    // A method the order does not name never runs.
    EXPECT_EQ(locate("jre_order i\r\n"), "");
    // The configuration file's order overrides the embedded one.
    EXPECT_EQ(text(storeOf("jre_order e", both + "jre_order c\r\n").runtimeLibraryPath()),
              fromEnvironment);

    // Method r runs only where the order names it, and is told whether any method follows.
    for (auto [order, finds, found, asked] : {std::tuple{"", "rt", configured, ""},
                                              {"jre_order r", "rt", "rt", "-"},
                                              {"jre_order rxr", "", "", "--"},
                                              {"jre_order Rce", "rt", "rt", "+"},
                                              {"jre_order re", "", fromEnvironment, "+"}}) {
        embeddedAsked.clear();
        embeddedFinds = finds;
        EXPECT_EQ(text(storeOf("", both + order + "\r\n").runtimeLibraryPath(fakeEmbedded)), found);
        EXPECT_EQ(embeddedAsked, asked) << order;
    }
}

// Method p: each PATH folder with the java command leads to its runtime's home; among those
// this program can load, the highest version wins, preferring one that satisfies "minjre".
TEST_F(RuntimeTest, PathMethodPrefersTheHighestLoadableRuntime) {
    using zortest::fakeRuntime;
    using zortest::fakeRuntimeLibrary;
    std::string other = fakeRuntime(tmp, "other", "25.0.1", true);
    std::string jdk17 = fakeRuntime(tmp, "jdk17", "17.0.9");
    std::string jdk21 = fakeRuntime(tmp, "jdk21", "21.0.1");
    tmp.writeFile("nolib/bin/java.exe");
    tmp.writeFile("nolib/bin/java");
    const std::string list(1, zor::platform::PATH_LIST_SEPARATOR);
    auto bin = [](const std::string& home) { return home + sep() + "bin"; };
    // A file-system path may reach the runtime through a symbolic link: compare real paths.
    auto real = [](const std::string& path) {
        return std::filesystem::weakly_canonical(path).string();
    };
    auto locateReal = [&](const std::string& configuration) {
        std::string found = locate(configuration);
        return found.empty() ? found : real(found);
    };

    env.set("PATH", (bin(other) + list + bin(tmp / "nolib") + list + bin(jdk17) + list +
                     bin(jdk21) + list + tmp.root)
                        .c_str());
    // The 25 is of the other architecture: passed over despite its version.
    EXPECT_EQ(locateReal("jre_order p\r\n"), real(fakeRuntimeLibrary(jdk21)));
    EXPECT_EQ(locateReal("jre_order p\r\nminjre 17.0\r\n"), real(fakeRuntimeLibrary(jdk21)));

    // Nothing on PATH satisfies "minjre": a later method that does wins; when none does, the
    // highest runtime found stands, so that the launch can say the version is too low.
    std::string configured = tmp.writeFile("app/" + LIBRARY);
    EXPECT_EQ(locate("jvmdll " + LIBRARY + "\r\njre_order pc\r\nminjre 22.0\r\n"), configured);
    EXPECT_EQ(locateReal("jvmdll " + LIBRARY + "\r\njre_order pc\r\n"),
              real(fakeRuntimeLibrary(jdk21)));
    EXPECT_EQ(locateReal("jre_order p\r\nminjre 22.0\r\n"), real(fakeRuntimeLibrary(jdk21)));

    // The other architecture alone finds nothing.
    env.set("PATH", bin(other).c_str());
    EXPECT_EQ(locate("jre_order P\r\n"), "");
}

} // namespace
