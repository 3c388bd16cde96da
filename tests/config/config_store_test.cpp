#include "config_fixture.h"

#include "config/config_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using zor::ByteString;
using zor::ConfigStore;
using zortest::EnvironmentOverride;
using zortest::sep;
using zortest::storeOf;
using zortest::TempFolder;

namespace {

std::string value(const ConfigStore& store, const char* key, bool embeddedOnly = false) {
    return store.getValue(key, embeddedOnly).c_str();
}

std::vector<std::string> allValues(const ConfigStore& store, const char* key) {
    std::vector<std::string> values;
    store.forEachValue(
        key,
        [](void* list, const char* v) {
            static_cast<std::vector<std::string>*>(list)->push_back(v);
        },
        &values);
    return values;
}

std::string expand(const char* text) {
    return zor::expandEnvironment(text).c_str();
}

} // namespace

// ---- the text format ----

TEST(ConfigText, KeyAndValueSeparators) {
    ConfigStore store = storeOf("", "a value\r\n"
                                    "b=value\r\n"
                                    "c =  value\r\n"
                                    "dvalue\r\n"
                                    "e==value\r\n"
                                    "f\tvalue\r\n"
                                    "g value  \r\n"
                                    "   h value\r\n"
                                    "i = \r\n"
                                    "j\r\n"
                                    "k  value\r\n");
    EXPECT_EQ(value(store, "a"), "value");
    EXPECT_EQ(value(store, "b"), "value");
    EXPECT_EQ(value(store, "c"), "value");
    EXPECT_EQ(value(store, "d"), "value");   // nothing between key and value
    EXPECT_EQ(value(store, "e"), "=value");  // only one equals sign is a separator
    EXPECT_EQ(value(store, "f"), "\tvalue"); // tabs are not separators
    EXPECT_EQ(value(store, "g"), "value  "); // trailing spaces are kept
    EXPECT_EQ(value(store, "h"), "value");
    EXPECT_EQ(value(store, "i"), "");
    EXPECT_EQ(value(store, "j"), "");
    EXPECT_EQ(value(store, "k"), "value"); // every blank after the key goes
    EXPECT_EQ(value(store, "z"), "");
}

TEST(ConfigText, KeysIgnoreLetterCaseAndMatchLongerWords) {
    ConfigStore store = storeOf("", "  OPTION=-Xmx64m\r\n"
                                    "optional stuff\r\n"
                                    "#option commented\r\n"
                                    "Option_\xC4 x\r\n");
    EXPECT_EQ(allValues(store, "option"),
              (std::vector<std::string>{"-Xmx64m", "al stuff", "_\xC4 x"}));
    // Only A-Z fold; other bytes must be equal.
    EXPECT_EQ(value(store, "option_\xE4"), "");
    EXPECT_EQ(value(store, "OPTION_\xC4"), "x");
    // A line shorter than the key does not match.
    EXPECT_EQ(value(storeOf("", "opt"), "option"), "");
}

TEST(ConfigText, LineEnds) {
    ConfigStore store = storeOf("", "a 1\rb 2\nc 3\r\nd 4\n\re 5\r\rf 6\n\ng 7");
    std::vector<std::string> seen;
    for (const char* key : {"a", "b", "c", "d", "e", "f", "g"})
        seen.push_back(value(store, key));
    EXPECT_EQ(seen, (std::vector<std::string>{"1", "2", "3", "4", "5", "6", "7"}));
    // A pair is one line end: nothing of the next line leaks into a value.
    EXPECT_EQ(allValues(storeOf("", "x 1\r\n\r\nx 2\n\r\n\rx 3"), "x"),
              (std::vector<std::string>{"1", "2", "3"}));
}

TEST(ConfigText, NulInFilePartHidesTheRestFromWholeTextLookups) {
    ConfigStore store =
        storeOf(std::string("option 1\0option 2", 17), "option 3\r\nmainclass M\r\n");
    EXPECT_EQ(allValues(store, "option"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(value(store, "mainclass"), "");
    EXPECT_EQ(value(store, "mainclass", true), "M");
    EXPECT_EQ(value(store, "option", true), "3");
}

TEST(ConfigText, EmbeddedOnlyLookupsOfAnEmptyEmbeddedPart) {
    ConfigStore store = storeOf("mainclass file.Main", "");
    EXPECT_EQ(value(store, "mainclass", true), "");
    EXPECT_EQ(value(store, "mainclass"), "file.Main");
    ConfigStore empty = storeOf("", "");
    EXPECT_EQ(value(empty, "mainclass"), "");
    EXPECT_TRUE(allValues(empty, "option").empty());
}

TEST(ConfigText, ForcedWorkingDirectoryAndOptionListsAreExpanded) {
    EnvironmentOverride env;
    env.set("ZOR_TEST_DIR", "somewhere");
    ConfigStore store = storeOf("", "forcecwd %ZOR_TEST_DIR%\\x\r\n"
                                    "property a=%ZOR_TEST_DIR%\r\n"
                                    "property b=%ZOR_TEST_UNDEFINED%\r\n");
    EXPECT_STREQ(store.forcedWorkingDirectory().c_str(), "somewhere\\x");
    zor::StringList list;
    store.forEachValue("property", zor::appendExpandedValue, &list);
    ASSERT_EQ(list.count(), 2);
    EXPECT_STREQ(list.item(0), "a=somewhere");
    EXPECT_STREQ(list.item(1), "b=%ZOR_TEST_UNDEFINED%");
}

// ---- %NAME% expansion ----

TEST(ExpandEnvironment, DefinedUndefinedAndAdjacentPercentSigns) {
    EnvironmentOverride env;
    env.set("ZOR_A", nullptr);
    env.set("ZOR_B", "bee");
    env.set("ZOR_NESTED", "%ZOR_B%");
    EXPECT_EQ(expand("x%ZOR_B%y"), "xbeey");
    EXPECT_EQ(expand("%ZOR_B%%ZOR_B%"), "beebee");
    EXPECT_EQ(expand("%ZOR_A%"), "%ZOR_A%");
    // The closing sign of an undefined name opens the next one.
    EXPECT_EQ(expand("%ZOR_A%ZOR_B%"), "%ZOR_Abee");
    EXPECT_EQ(expand("100%% sure"), "100%% sure");
    EXPECT_EQ(expand("%%ZOR_B%"), "%bee");
    EXPECT_EQ(expand("50% off"), "50% off");
    EXPECT_EQ(expand("%"), "%");
    EXPECT_EQ(expand(""), "");
    // A value is not expanded a second time.
    EXPECT_EQ(expand("%ZOR_NESTED%"), "%ZOR_B%");
    // Names ignore letter case.
    EXPECT_EQ(expand("%zor_b%"), "bee");
}

TEST(ExpandEnvironment, EmptyValueReplacesTheName) {
    EnvironmentOverride env;
    env.set("ZOR_EMPTY", "");
    EXPECT_EQ(expand("a%ZOR_EMPTY%b"), "ab");
}

// ---- paths ----

class PathTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = tmp.makeFolder("home") + sep();
        start = tmp.makeFolder("start") + sep();
        zor::applicationHome = home.c_str();
        zor::startDirectory = start.c_str();
    }
    void TearDown() override {
        zor::applicationHome.clear();
        zor::startDirectory.clear();
    }
    TempFolder tmp;
    std::string home;
    std::string start;
};

TEST_F(PathTest, ResolveTriesTheApplicationHomeThenTheStartFolder) {
    tmp.writeFile("home/both.jar");
    tmp.writeFile("start/both.jar");
    tmp.writeFile("start/only-start.jar");
    tmp.makeFolder("start/folder");
    EXPECT_EQ(std::string(zor::resolvePath("both.jar").c_str()), home + "both.jar");
    EXPECT_EQ(std::string(zor::resolvePath("only-start.jar").c_str()), start + "only-start.jar");
    EXPECT_EQ(std::string(zor::resolvePath("folder").c_str()), start + "folder");
    EXPECT_EQ(std::string(zor::resolvePath("missing.jar").c_str()), home + "missing.jar");
    // No normalisation.
    EXPECT_EQ(std::string(zor::resolvePath("../x").c_str()), home + "../x");
    EXPECT_EQ(std::string(zor::resolvePath("").c_str()), home);
    std::string rooted = tmp / "elsewhere.jar";
    EXPECT_EQ(std::string(zor::resolvePath(rooted.c_str()).c_str()), rooted);
}

TEST_F(PathTest, PathExistsForFilesFoldersAndPatterns) {
    std::string file = tmp.writeFile("home/lib.jar");
    EXPECT_TRUE(zor::pathExists(file.c_str()));
    EXPECT_TRUE(zor::pathExists((tmp / "home").c_str()));
    EXPECT_TRUE(zor::pathExists((home + "*.jar").c_str()));
    EXPECT_FALSE(zor::pathExists((home + "*.zip").c_str()));
    EXPECT_FALSE(zor::pathExists((home + "nothing").c_str()));
    EXPECT_FALSE(zor::pathExists(""));
}

// ---- loading real files ----

class LoadTest : public ::testing::Test {
protected:
    std::string writeExecutable(const std::string& name, const std::string& comment) {
        return tmp.writeFile(name, zortest::executableWithComment(comment));
    }
    TempFolder tmp;
    ConfigStore store;
};

TEST_F(LoadTest, ReadsTheArchiveCommentAndRecordsThePlaces) {
    std::string exe = writeExecutable("app/app.exe", "mainclass app.Main\r\noption -Xss1m\r\n");
    std::string start = tmp.makeFolder("start");
    store.loadFor(exe.c_str(), start.c_str());
    EXPECT_STREQ(store.c_str(), "mainclass app.Main\r\noption -Xss1m\r\n");
    EXPECT_EQ(store.embeddedOffset, 0);
    EXPECT_EQ(value(store, "mainclass", true), "app.Main");
    EXPECT_EQ(std::string(store.applicationPath().c_str()), exe);
    EXPECT_EQ(std::string(store.applicationHome().c_str()), tmp / "app" + sep());
    EXPECT_EQ(std::string(zor::applicationHome.c_str()), tmp / "app" + sep());
    EXPECT_EQ(std::string(zor::startDirectory.c_str()), start + sep());

    // A start folder that already ends in a separator gets no second one.
    store.loadFor(exe.c_str(), (start + sep()).c_str());
    EXPECT_EQ(std::string(zor::startDirectory.c_str()), start + sep());
}

TEST_F(LoadTest, ConfigurationFileComesBeforeTheCommentAndEmbeddedOnlyLookupsSkipIt) {
    std::string exe =
        writeExecutable("app.exe", "mainclass app.Main\r\nminjre 1.8\r\noption -Dembedded\r\n");
    // No final line end: the file's last line still ends before the embedded part starts.
    tmp.writeFile("app.cfg", "minjre 11.0\r\nmainclass other.Main\r\noption -Dfile");
    tmp.writeFile("app.config", "minjre 17.0\r\n");
    store.loadFor(exe.c_str(), tmp.root.c_str());
    const std::string filePart = "minjre 11.0\r\nmainclass other.Main\r\noption -Dfile\r\n";
    EXPECT_EQ(std::string(store.c_str()),
              filePart + "mainclass app.Main\r\nminjre 1.8\r\noption -Dembedded\r\n");
    EXPECT_EQ(store.embeddedOffset, static_cast<int32_t>(filePart.size()));
    EXPECT_EQ(value(store, "minjre"), "11.0");
    EXPECT_EQ(value(store, "minjre", true), "1.8");
    EXPECT_EQ(value(store, "mainclass", true), "app.Main");
    EXPECT_EQ(allValues(store, "option"), (std::vector<std::string>{"-Dfile", "-Dembedded"}));
}

TEST_F(LoadTest, FolderNamedLikeTheConfigurationFileIsPassedOver) {
    std::string exe = writeExecutable("app.exe", "minjre 1.8\r\n");
    tmp.makeFolder("app.cfg");
    tmp.writeFile("app.config", "minjre 17.0");
    store.loadFor(exe.c_str(), tmp.root.c_str());
    EXPECT_STREQ(store.c_str(), "minjre 17.0\r\nminjre 1.8\r\n");
}

TEST_F(LoadTest, EmptyConfigurationFileAddsNoLineEnd) {
    std::string exe = writeExecutable("app.exe", "minjre 1.8\r\n");
    tmp.writeFile("app.cfg", "");
    tmp.writeFile("app.config", "minjre 17.0");
    store.loadFor(exe.c_str(), tmp.root.c_str());
    EXPECT_STREQ(store.c_str(), "minjre 1.8\r\n");
    EXPECT_EQ(store.embeddedOffset, 0);
}

TEST_F(LoadTest, NameWithoutExtensionGetsTheConfigurationSuffixAppended) {
    std::string exe = writeExecutable("bin/myapp", "minjre 1.8\r\n");
    tmp.writeFile("bin/myapp.cfg", "minjre 17.0");
    tmp.writeFile("bin/m.cfg", "minjre 99.0");
    store.loadFor(exe.c_str(), tmp.root.c_str());
    EXPECT_EQ(value(store, "minjre"), "17.0");
}

TEST_F(LoadTest, NoAppendedArchive) {
    std::string exe = tmp.writeFile("app.exe", std::string(5000, 'M'));
    tmp.writeFile("app.cfg", "mainclass file.Main\r\n");
    store.loadFor(exe.c_str(), tmp.root.c_str());
    EXPECT_STREQ(store.c_str(), "mainclass file.Main\r\n\r\n");
    EXPECT_EQ(value(store, "mainclass", true), "");
    EXPECT_EQ(value(store, "mainclass"), "file.Main");

    std::string tiny = tmp.writeFile("tiny.exe", "PK");
    store.loadFor(tiny.c_str(), tmp.root.c_str());
    EXPECT_STREQ(store.c_str(), "");
    std::string missing = tmp / "missing.exe";
    store.loadFor(missing.c_str(), tmp.root.c_str());
    EXPECT_STREQ(store.c_str(), "");
    EXPECT_EQ(std::string(zor::applicationHome.c_str()), tmp.withSeparator());
}

TEST_F(LoadTest, SignatureNearestTheEndWinsAndTheCommentEndsAtNul) {
    std::string exe = writeExecutable("a.exe", std::string("mainclass hidden\r\nPK\x05\x06", 22) +
                                                   std::string(18, 'z') /* rest of that record */ +
                                                   "mainclass shown\r\n");
    EXPECT_STREQ(zor::readArchiveComment(exe.c_str()).c_str(), "mainclass shown\r\n");

    const char commentWithNul[] = "mainclass app.Main\r\n\0option -Xhidden\r\n";
    std::string withNul =
        writeExecutable("b.exe", std::string(commentWithNul, sizeof commentWithNul - 1));
    store.loadFor(withNul.c_str(), tmp.root.c_str());
    EXPECT_STREQ(store.c_str(), "mainclass app.Main\r\n");
    EXPECT_EQ(store.length, 20);
}

TEST_F(LoadTest, SignatureOutsideTheCommentWindowIsNotFound) {
    std::string comment = "mainclass far.Main\r\n" + std::string(60000, '#');
    std::string exe = writeExecutable("far.exe", comment);
    EXPECT_STREQ(zor::readArchiveComment(exe.c_str()).c_str(), "");
    // The largest comment that fits the window is still found.
    std::string fits = "x" + std::string(zor::ARCHIVE_COMMENT_WINDOW - 22 - 1, 'y');
    std::string near = writeExecutable("near.exe", fits);
    EXPECT_EQ(zor::readArchiveComment(near.c_str()).length, zor::ARCHIVE_COMMENT_WINDOW - 22);
}

TEST_F(LoadTest, OverlongPathsAreHeldWithoutOverflow) {
    std::string longFolder = tmp.root;
    while (longFolder.size() < 600)
        longFolder += sep() + "folder-with-a-long-name";
    std::string exe = longFolder + sep() + "app.exe";
    store.loadFor(exe.c_str(), longFolder.c_str());
    EXPECT_STREQ(store.c_str(), "");
    EXPECT_EQ(std::string(store.applicationPath().c_str()), exe);
    EXPECT_EQ(std::string(zor::applicationHome.c_str()), longFolder + sep());
    EXPECT_EQ(std::string(zor::startDirectory.c_str()), longFolder + sep());
}

TEST_F(LoadTest, UnknownPlacesStayEmpty) {
    store.loadFor("", "");
    EXPECT_STREQ(store.c_str(), "");
    EXPECT_TRUE(zor::applicationHome.isEmpty());
    // Not the root folder: relative paths then stay relative to the working directory.
    EXPECT_TRUE(zor::startDirectory.isEmpty());
    store.loadFor("app.exe", "");
    EXPECT_TRUE(zor::applicationHome.isEmpty());
}
