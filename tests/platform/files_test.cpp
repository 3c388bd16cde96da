#include "platform/files.h"
#include "support/temp_folder.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>

using namespace zor;
using namespace zor::platform;
using zor::test::TempFolder;

namespace {

// Every entry a search yields, name -> folder attribute; fails on a repeated name.
std::map<std::string, bool> listAll(const std::string& pattern) {
    std::map<std::string, bool> found;
    DirectorySearch search;
    for (bool more = search.first(pattern.c_str()); more; more = search.next())
        EXPECT_TRUE(found.emplace(search.name(), search.isFolder()).second) << search.name();
    return found;
}

} // namespace

TEST(File, ReadsSeeksAndReportsSize) {
    TempFolder temp;
    std::string content = "0123456789abcdefghij";
    temp.writeFile("data.bin", content);

    File file;
    ASSERT_TRUE(file.openRead((temp / "data.bin").c_str()));
    EXPECT_EQ(file.size(), 20);
    char buffer[32] = {};
    EXPECT_EQ(file.read(buffer, 4), 4);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    EXPECT_EQ(file.tell(), 4);

    EXPECT_TRUE(file.seek(6, SeekOrigin::Current));
    EXPECT_EQ(file.read(buffer, 3), 3);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_TRUE(file.seek(-2, SeekOrigin::End));
    EXPECT_EQ(file.tell(), 18);
    // A read past the end returns what is there, then nothing.
    EXPECT_EQ(file.read(buffer, 10), 2);
    EXPECT_EQ(std::string(buffer, 2), "ij");
    EXPECT_EQ(file.read(buffer, 10), 0);
    EXPECT_TRUE(file.seek(0, SeekOrigin::Begin));
    EXPECT_EQ(file.read(buffer, 32), 20);
    EXPECT_EQ(std::string(buffer, 20), content);

    file.close();
    EXPECT_FALSE(file.isOpen());
    EXPECT_EQ(file.read(buffer, 4), 0);
    EXPECT_EQ(file.size(), -1);
}

TEST(File, OpensOnlyExistingFilesNotFolders) {
    TempFolder temp;
    temp.makeFolder("sub");
    File file;
    EXPECT_FALSE(file.openRead((temp / "missing").c_str()));
    EXPECT_FALSE(file.openRead((temp / "sub").c_str()));
    EXPECT_FALSE(file.openRead(""));
    EXPECT_FALSE(file.isOpen());
}

TEST(File, OthersMayWriteWhileItIsOpen) {
    TempFolder temp;
    temp.writeFile("shared.txt", "before");
    File file;
    ASSERT_TRUE(file.openRead((temp / "shared.txt").c_str()));
    FILE* writer = std::fopen((temp / "shared.txt").c_str(), "r+b");
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(std::fwrite("AFTER", 1, 5, writer), 5u);
    std::fclose(writer);
    char buffer[8] = {};
    EXPECT_EQ(file.read(buffer, 6), 6);
    EXPECT_EQ(std::string(buffer, 6), "AFTERe");
}

TEST(FileMapping, MapsWholeFileReadOnly) {
    TempFolder temp;
    std::string content(70000, '\0');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7);
    temp.writeFile("big.bin", content);
    temp.writeFile("small.bin", "xyz");
    temp.writeFile("empty.bin", "");
    temp.makeFolder("sub");

    FileMapping mapping;
    ASSERT_TRUE(mapping.map((temp / "big.bin").c_str()));
    ASSERT_EQ(mapping.size(), 70000);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapping.data()), 70000), content);
    // Released pages come back from the file, whatever the range's alignment.
    releaseMappedPages(mapping.data() + 123, 40000);
    releaseMappedPages(mapping.data(), 70000);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapping.data()), 70000), content);

    // Mapping again replaces the first view.
    ASSERT_TRUE(mapping.map((temp / "small.bin").c_str()));
    EXPECT_EQ(mapping.size(), 3);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(mapping.data()), 3), "xyz");

    for (const char* bad : {"missing.bin", "empty.bin", "sub"}) {
        EXPECT_FALSE(mapping.map((temp / bad).c_str())) << bad;
        EXPECT_EQ(mapping.data(), nullptr);
        EXPECT_EQ(mapping.size(), 0);
    }
}

TEST(DirectorySearch, ListsEveryEntryWithFolderAttribute) {
    TempFolder temp;
    temp.writeFile("a.jar", "a");
    temp.writeFile("B.ZIP", "b");
    temp.writeFile("noext", "c");
    temp.writeFile("two.dots.txt", "d");
    temp.makeFolder("sub");
    temp.writeFile("sub/inner.jar", "e");

    auto all = listAll((temp / "*.*"));
    std::map<std::string, bool> expected = {
        {".", true},      {"..", true},  {"a.jar", false},       {"B.ZIP", false},
        {"noext", false}, {"sub", true}, {"two.dots.txt", false}};
    EXPECT_EQ(all, expected);
    EXPECT_EQ(listAll((temp / "*")), expected);
}

TEST(DirectorySearch, MatchesWildcardsInLastComponent) {
    TempFolder temp;
    for (const char* name : {"a.jar", "ab.jar", "b.txt", "a.jar.bak", "x1.txt", "x22.txt"})
        temp.writeFile(name, "-");

    auto names = [](const std::map<std::string, bool>& found) {
        std::set<std::string> result;
        for (const auto& entry : found)
            result.insert(entry.first);
        return result;
    };
    EXPECT_EQ(names(listAll((temp / "*.jar"))), (std::set<std::string>{"a.jar", "ab.jar"}));
    EXPECT_EQ(names(listAll((temp / "x?.txt"))), (std::set<std::string>{"x1.txt"}));
    EXPECT_EQ(names(listAll((temp / "a*"))),
              (std::set<std::string>{"a.jar", "a.jar.bak", "ab.jar"}));
    EXPECT_TRUE(listAll((temp / "*.none")).empty());
}

TEST(DirectorySearch, PlainNameFindsThatOneEntry) {
    TempFolder temp;
    temp.writeFile("file.txt", "-");
    temp.makeFolder("folder");

    DirectorySearch search;
    ASSERT_TRUE(search.first((temp / "file.txt").c_str()));
    EXPECT_STREQ(search.name(), "file.txt");
    EXPECT_FALSE(search.isFolder());
    EXPECT_FALSE(search.next());

    ASSERT_TRUE(search.first((temp / "folder").c_str()));
    EXPECT_STREQ(search.name(), "folder");
    EXPECT_TRUE(search.isFolder());
    EXPECT_FALSE(search.next());

    EXPECT_FALSE(search.first((temp / "absent.txt").c_str()));
}

TEST(DirectorySearch, FindsNothingForMissingFolderOrTrailingSeparator) {
    TempFolder temp;
    temp.makeFolder("folder");
    temp.writeFile("folder/x.jar", "-");

    DirectorySearch search;
    EXPECT_FALSE(search.first((temp / "nowhere/*.*").c_str()));
    EXPECT_FALSE(search.first((temp / "folder/").c_str()));
    EXPECT_FALSE(search.first(temp.withSeparator().c_str()));
    EXPECT_FALSE(search.first(""));
    EXPECT_FALSE(search.next());
    // The search still works after failures.
    ASSERT_TRUE(search.first((temp / "folder/*.jar").c_str()));
    EXPECT_STREQ(search.name(), "x.jar");
}

// The class-path scan tells folders apart by identity, so that links cannot make it list one
// folder twice: two paths to one folder agree, two folders differ, files and gaps have none.
TEST(FolderIdentity, SameFolderWhateverThePath) {
    TempFolder tmp;
    tmp.makeFolder("a/b");
    tmp.makeFolder("c");
    tmp.writeFile("a/file.txt", "x");
    FolderIdentity a, aAgain, c;
    ASSERT_TRUE(identifyFolder((tmp / "a").c_str(), &a));
    ASSERT_TRUE(identifyFolder((tmp / "a/b/..").c_str(), &aAgain));
    ASSERT_TRUE(identifyFolder((tmp / "c").c_str(), &c));
    EXPECT_TRUE(a == aAgain);
    EXPECT_FALSE(a == c);
    FolderIdentity none;
    EXPECT_FALSE(identifyFolder((tmp / "a/file.txt").c_str(), &none));
    EXPECT_FALSE(identifyFolder((tmp / "missing").c_str(), &none));
}
