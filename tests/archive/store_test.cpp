// ArchiveStore: index order, lookups, nested archives and resource paths.
#include "archive/archive_store.h"
#include "archive_fixtures.h"
#include "support/zip_bytes.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

using namespace zor;
using zor::test::fixture;
using zor::test::readWholeFile;
using zor::test::scramble;

namespace {

char* copyToMalloc(const std::string& bytes) {
    char* image = static_cast<char*>(std::malloc(bytes.size() ? bytes.size() : 1));
    std::memcpy(image, bytes.data(), bytes.size());
    return image;
}

void openImage(ArchiveStore& store, const std::string& bytes) {
    store.openFromMemory(copyToMalloc(bytes), static_cast<int32_t>(bytes.size()));
}

std::string read(ArchiveStore& store, const char* name) {
    ByteBuffer content;
    if (!store.readEntry(ByteString(name), content))
        return "<absent>";
    return std::string(content.data, content.length);
}

std::string pathOf(const ArchiveStore& store, const char* name) {
    ByteString found;
    if (!store.findPath(ByteString(name), found, ByteString()))
        return "<absent>";
    return found.c_str();
}

std::vector<std::string> names(const ArchiveStore& store) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < store.index.entries.length; ++i)
        out.emplace_back(store.index.entries[i].name, store.index.entries[i].length);
    return out;
}

int32_t candidate(const ArchiveStore& store, const char* name) {
    for (int32_t k = 0; k < store.nestedNameOffsets.length; ++k)
        if (std::strcmp(store.nestedName(k), name) == 0)
            return k;
    return -1;
}

class OuterArchive : public ::testing::Test {
protected:
    ArchiveStore store{2};
    void SetUp() override { store.openFromFile(fixture("outer.zip").c_str()); }
};

} // namespace

TEST(EntryOrder, LengthFirstThenSignedBytesWithOneSeparator) {
    auto cmp = [](const char* a, const char* b, int32_t mode = SORT_LENGTH_FIRST) {
        int d = compareEntryNames(a, static_cast<int32_t>(std::strlen(a)), b,
                                  static_cast<int32_t>(std::strlen(b)), mode);
        return d < 0 ? -1 : d > 0 ? 1 : 0;
    };
    EXPECT_EQ(cmp("zz", "aaa"), -1);
    EXPECT_EQ(cmp("B", "a"), -1);    // case-sensitive, 'B' < 'a'
    EXPECT_EQ(cmp("\xe9", "a"), -1); // signed: bytes above 0x7F sort first
    EXPECT_EQ(cmp("a/b", "a\\b"), 0);
    EXPECT_EQ(cmp("aAb", "a/b"), cmp("aAb", "a\\b")); // one separator value, one order
    EXPECT_EQ(cmp("zz", "aaa", SORT_PLAIN), 1);
    EXPECT_EQ(cmp("ab", "abc", SORT_PLAIN), -1);
    EXPECT_EQ(cmp("a/b", "a\\b", SORT_PLAIN), 0);

    EXPECT_TRUE(isNestedArchiveName("a.jar", 5));
    EXPECT_TRUE(isNestedArchiveName("LIB.JAR", 7));
    EXPECT_TRUE(isNestedArchiveName("x.Zip", 5));
    EXPECT_FALSE(isNestedArchiveName(".jar", 4));
    EXPECT_FALSE(isNestedArchiveName("a.jar.txt", 9));
}

TEST(ArchiveStoreIndex, OneEntryIsFoundWithoutSorting) {
    ArchiveStore store(2);
    store.openFromFile(fixture("one.zip").c_str());
    ASSERT_EQ(store.index.entries.length, 1);
    EXPECT_EQ(store.index.sortMode, SORT_PLAIN);
    EXPECT_EQ(read(store, "numbers.txt"), readWholeFile(fixture("src/numbers.txt")));
    EXPECT_EQ(read(store, "numbers.tx"), "<absent>");
}

TEST_F(OuterArchive, IndexIsInLengthFirstOrder) {
    EXPECT_EQ(store.index.sortMode, SORT_LENGTH_FIRST);
    std::vector<std::string> order = names(store);
    ASSERT_EQ(order.size(), 15u);
    for (size_t i = 1; i < order.size(); ++i)
        EXPECT_LT(compareEntryNames(order[i - 1].data(), static_cast<int32_t>(order[i - 1].size()),
                                    order[i].data(), static_cast<int32_t>(order[i].size()),
                                    SORT_LENGTH_FIRST),
                  0)
            << order[i - 1] << " / " << order[i];
    EXPECT_EQ(order.front(), ".jar");
    EXPECT_EQ(order.back(), "lib\\in-folder.jar");
    // Candidates in index order; the four-byte ".jar" is none.
    std::vector<std::string> nested;
    for (int32_t k = 0; k < store.nestedNameOffsets.length; ++k)
        nested.emplace_back(store.nestedName(k));
    // Upper case sorts before lower case.
    EXPECT_EQ(nested,
              (std::vector<std::string>{"a.jar", "x.Zip", "bb.jar", "l1.jar", "LIB.JAR", "bad.jar",
                                        "empty.jar", "patch.jar", "lib\\in-folder.jar"}));
}

TEST_F(OuterArchive, PlainLookups) {
    EXPECT_EQ(read(store, "Case.txt"), "upper case\n");
    EXPECT_EQ(read(store, "case.txt"), "lower case\n");
    EXPECT_EQ(read(store, "CASE.txt"), "<absent>");
    EXPECT_EQ(read(store, "zero.txt"), ""); // found, empty
    EXPECT_EQ(pathOf(store, "zero.txt"), "zero.txt");
    EXPECT_EQ(read(store, "!bang.txt"), "<absent>"); // a leading "!" never matches
    EXPECT_EQ(pathOf(store, "!bang.txt"), "<absent>");
    EXPECT_EQ(read(store, "lib/in-folder.jar!folder.txt"), "in folder\n");
    EXPECT_EQ(read(store, "lib\\in-folder.jar!folder.txt"), "in folder\n");
    EXPECT_EQ(pathOf(store, "folder.txt"), "lib\\in-folder.jar!folder.txt");
    EXPECT_EQ(read(store, "dotjar.txt"), "<absent>"); // ".jar" is not opened
    EXPECT_EQ(read(store, "nothing"), "<absent>");
}

TEST_F(OuterArchive, NestedArchivesAnyCase) {
    EXPECT_EQ(read(store, "upper.txt"), "upper\n");
    EXPECT_EQ(read(store, "LIB.JAR!upper.txt"), "upper\n");
    EXPECT_EQ(read(store, "lib.jar!upper.txt"), "<absent>"); // heads are case-sensitive
    EXPECT_EQ(read(store, "mixed.txt"), "mixed\n");
    EXPECT_EQ(pathOf(store, "mixed.txt"), "x.Zip!mixed.txt");
}

TEST_F(OuterArchive, TopWinsThenFirstNestedInIndexOrder) {
    EXPECT_EQ(read(store, "dup.txt"), "top dup\n");
    EXPECT_EQ(pathOf(store, "dup.txt"), "dup.txt");
    EXPECT_EQ(read(store, "bb.jar!dup.txt"), "nested dup\n");
    EXPECT_EQ(read(store, "a.jar!dup.txt"), "<absent>"); // a head restricts to one archive
    // a.jar and bb.jar both hold shared.txt: the shorter name comes first.
    EXPECT_EQ(read(store, "shared.txt"), "from a\n");
    EXPECT_EQ(pathOf(store, "shared.txt"), "a.jar!shared.txt");
    EXPECT_EQ(read(store, "bb.jar!shared.txt"), "from bb\n");
}

TEST_F(OuterArchive, ThreeLevelsAndNoFourth) {
    EXPECT_EQ(read(store, "l1.jar!l2.jar!c\\d.txt"), "c-d\n");
    EXPECT_EQ(read(store, "l1.jar!l2.jar!c/d.txt"), "c-d\n");
    EXPECT_EQ(pathOf(store, "c/d.txt"), "l1.jar!l2.jar!c/d.txt");
    EXPECT_EQ(pathOf(store, "c\\d.txt"), "l1.jar!l2.jar!c\\d.txt");
    EXPECT_EQ(read(store, "l1.jar!l1.txt"), "l1\n");
    // l2.jar lists l3.jar but, at the third level, opens no archive of its own.
    ArchiveStore* l1 = store.nestedStore(candidate(store, "l1.jar"));
    ASSERT_NE(l1, nullptr);
    ArchiveStore* l2 = l1->nestedStore(candidate(*l1, "l2.jar"));
    ASSERT_NE(l2, nullptr);
    EXPECT_EQ(l2->nestingDepth, 0);
    EXPECT_EQ(l2->nestedStores.length, 0);
    EXPECT_NE(read(*l2, "l3.jar"), "<absent>"); // the entry itself is there
    EXPECT_EQ(read(store, "deep.txt"), "<absent>");
    EXPECT_EQ(read(store, "l1.jar!l2.jar!l3.jar!deep.txt"), "<absent>");
}

TEST_F(OuterArchive, SizeZeroAndInvalidNestedArchives) {
    int32_t empty = candidate(store, "empty.jar");
    ASSERT_GE(empty, 0); // recorded by name
    EXPECT_EQ(store.nestedStore(empty), nullptr);
    EXPECT_EQ(read(store, "empty.jar"), "");
    int32_t bad = candidate(store, "bad.jar");
    ASSERT_GE(bad, 0);
    ASSERT_NE(store.nestedStore(bad), nullptr); // opened, but lists nothing
    EXPECT_EQ(store.nestedStore(bad)->index.entries.length, 0);
    EXPECT_EQ(read(store, "bad.jar!anything"), "<absent>");
}

TEST_F(OuterArchive, FindPathWithCallbackReportsEveryMatchDepthFirst) {
    std::vector<std::string> reported;
    auto collect = [](void* context, const ByteString& path) {
        static_cast<std::vector<std::string>*>(context)->push_back(path.c_str());
    };
    ByteString found;
    EXPECT_FALSE(store.findPath(ByteString("shared.txt"), found, ByteString(), collect, &reported));
    EXPECT_EQ(reported, (std::vector<std::string>{"a.jar!shared.txt", "bb.jar!shared.txt"}));
    reported.clear();
    EXPECT_FALSE(store.findPath(ByteString("dup.txt"), found, ByteString(), collect, &reported));
    EXPECT_EQ(reported, (std::vector<std::string>{"dup.txt", "bb.jar!dup.txt"}));
    reported.clear();
    EXPECT_FALSE(store.findPath(ByteString("d.txt"), found, ByteString("top"), collect, &reported));
    EXPECT_TRUE(reported.empty());
    // A prefix is put in front of every path found below this store.
    EXPECT_TRUE(store.findPath(ByteString("c\\d.txt"), found, ByteString("outer.jar")));
    EXPECT_STREQ(found.c_str(), "outer.jar!l1.jar!l2.jar!c\\d.txt");
}

// The manifest of an archive is its own entry: one nested below must never stand in for it.
TEST_F(OuterArchive, OwnEntriesComeFromThisArchiveAlone) {
    ByteBuffer content;
    EXPECT_TRUE(store.readOwnEntry(ByteString("dup.txt"), content));
    EXPECT_EQ(std::string(content.data, content.length), "top dup\n");
    EXPECT_FALSE(store.readOwnEntry(ByteString("shared.txt"), content)); // only in a.jar, bb.jar
    EXPECT_EQ(content.length, 0);
    EXPECT_FALSE(store.readOwnEntry(ByteString("a.jar!shared.txt"), content));
    ArchiveStore* a = store.nestedStore(candidate(store, "a.jar"));
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->readOwnEntry(ByteString("shared.txt"), content));
    EXPECT_EQ(std::string(content.data, content.length), "from a\n");
}

TEST(ArchiveStoreFailures, DamagedNestedArchiveIsAbsentOthersStay) {
    std::string outer = readWholeFile(fixture("outer.zip"));
    // patch.jar is stored: damage one byte of its content, so extraction fails its CRC check.
    size_t at = outer.find("patched.txt");
    ASSERT_NE(at, std::string::npos);
    outer[at] = 'P';
    ArchiveStore store(2);
    openImage(store, outer);
    int32_t patch = candidate(store, "patch.jar");
    ASSERT_GE(patch, 0);
    EXPECT_EQ(store.nestedStore(patch), nullptr);
    EXPECT_EQ(read(store, "patched.txt"), "<absent>");
    EXPECT_EQ(read(store, "patch.jar"), "<absent>"); // its bytes are not handed out either
    EXPECT_EQ(read(store, "shared.txt"), "from a\n");
    // The read lock was left: another read from the same store goes through.
    EXPECT_EQ(read(store, "case.txt"), "lower case\n");
}

// A stored nested archive read where it lies in the scrambled image is checked as a copy was:
// one damaged byte leaves it without a child store, its names and its own bytes absent.
TEST(ArchiveStoreFailures, DamagedStoredArchiveInsideTheScrambledImage) {
    std::string plain = readWholeFile(fixture("in-place.zip"));
    std::string random = readWholeFile(fixture("src/random.bin"));
    // The middle of random.bin inside basic.zip, stored in the image: only basic.zip's CRC-32
    // can tell.
    size_t at = plain.find(random.substr(100000, 64));
    ASSERT_NE(at, std::string::npos);
    plain[at] = static_cast<char>(plain[at] ^ 0x20);
    const std::string scrambled = scramble(plain);
    ArchiveStore store(2);
    store.openInPlace(scrambled.data(), static_cast<int32_t>(scrambled.size()), unscrambleArchive);

    int32_t basic = candidate(store, "basic.zip");
    ASSERT_GE(basic, 0);
    EXPECT_EQ(store.nestedStore(basic), nullptr);
    EXPECT_EQ(read(store, "basic.zip!dir/sub/file.txt"), "<absent>");
    EXPECT_EQ(read(store, "random.bin"), "<absent>");
    EXPECT_EQ(pathOf(store, "random.bin"), "<absent>");
    EXPECT_EQ(read(store, "basic.zip"), "<absent>");
    EXPECT_EQ(pathOf(store, "basic.zip"), "basic.zip"); // listed all the same
    EXPECT_EQ(read(store, "outer.zip!patch.jar!patched.txt"), "patched\n");
    EXPECT_EQ(read(store, "src/numbers.txt"), readWholeFile(fixture("src/numbers.txt")));
}

TEST(ArchiveStoreFailures, UnreadableArchivesGiveEmptyStores) {
    ArchiveStore missing(2);
    missing.openFromFile(fixture("no-such.zip").c_str());
    EXPECT_EQ(missing.index.entries.length, 0);
    EXPECT_EQ(read(missing, "numbers.txt"), "<absent>");

    ArchiveStore garbage(2);
    openImage(garbage, std::string(1000, 'g'));
    EXPECT_EQ(garbage.length, 1000); // the image is kept
    EXPECT_EQ(garbage.index.entries.length, 0);
    EXPECT_EQ(pathOf(garbage, "x"), "<absent>");

    // Reopening replaces everything that was there.
    openImage(garbage, readWholeFile(fixture("outer.zip")));
    EXPECT_EQ(read(garbage, "l1.jar!l1.txt"), "l1\n");
    openImage(garbage, readWholeFile(fixture("one.zip")));
    EXPECT_EQ(garbage.nestedStores.length, 0);
    EXPECT_EQ(read(garbage, "l1.jar!l1.txt"), "<absent>");
}

TEST(ArchiveStoreFailures, EncryptedEntryIsAbsent) {
    ArchiveStore store(2);
    store.openFromFile(fixture("encrypted.zip").c_str());
    EXPECT_EQ(read(store, "numbers.txt"), "<absent>");
    EXPECT_EQ(pathOf(store, "numbers.txt"), "numbers.txt"); // listed all the same
    EXPECT_EQ(read(store, "dir/sub/file.txt"), "in a folder\n");
}

// A damaged or forged archive may claim any size for an entry: nothing is reserved for more than
// the archive can hold, so the claim costs neither memory nor, where that runs out, the process.
TEST(ArchiveStoreFailures, ClaimedSizesBeyondTheArchiveReserveNothing) {
    struct Case {
        const char* what;
        uint32_t method, compressed, uncompressed;
    };
    const Case cases[] = {
        {"stored, longer than the archive", 0, 0x7FFFFFF0, 0x7FFFFFF0},
        {"stored, longer than its data", 0, 7, 0x7FFFFFF0},
        {"deflated, more than deflate makes of its data", 8, 7, 0x7FFFFFF0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string zip = zor::test::zipArchive("", "META-INF/MANIFEST.MF");
        size_t central = zip.find("PK\x01\x02");
        for (size_t header : {size_t(0), central + 2}) { // the central fields sit 2 bytes later
            zip[header + 8] = static_cast<char>(c.method);
            zor::test::put32(zip, header + 18, c.compressed);
            zor::test::put32(zip, header + 22, c.uncompressed);
        }
        ArchiveStore store(2);
        openImage(store, zip);
        ASSERT_EQ(names(store), std::vector<std::string>{"META-INF\\MANIFEST.MF"});
        ByteBuffer content;
        EXPECT_FALSE(store.readOwnEntry(ByteString("META-INF\\MANIFEST.MF"), content));
        EXPECT_FALSE(store.readEntry(ByteString("META-INF\\MANIFEST.MF"), content));
        EXPECT_LT(content.capacity, 1 << 20);
    }
}

TEST(ArchiveStoreFiles, ArchiveBehindAnExecutable) {
    ArchiveStore store(2);
    store.openFromFile(fixture("behind-exe.zip").c_str());
    EXPECT_EQ(store.length, 0); // opened from the file: no image held
    EXPECT_EQ(read(store, "random.bin"), readWholeFile(fixture("src/random.bin")));
    EXPECT_EQ(read(store, "dir/sub/file.txt"), "in a folder\n");
}
