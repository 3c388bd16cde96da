// Resources written into Windows stand-in stubs: read back by wrestool, objdump, our own
// reader and by the program itself under wine.
#include "packed_reader.h"
#include "packer/packing.h"
#include "packer/pe_resources.h"
#include "test_support.h"

#include <cstring>
#include <regex>
#include <sstream>

using namespace zor::packtest;
using zor::pack::PeImage;
using zor::pack::PeKind;
using zor::pack::ResourceTree;

namespace {

struct Stand {
    const char* target;
    const char* stub;
    PeKind kind;
};

void PrintTo(const Stand& stand, std::ostream* os) {
    *os << stand.target;
}

class PeResources : public ::testing::TestWithParam<Stand> {
protected:
    TempDir dir;
    fs::path support, appZip, bitmap;
    Bytes app, bmp;

    void SetUp() override {
        support = makeZip(dir, "support.jar", {{"Support.class", patternBytes(2000)}});
        appZip = makeZip(dir, "app.jar", {{"com/example/Main.class", patternBytes(70000)}});
        app = readBytes(appZip);
        bmp = makeBitmap(13, 7);
        bitmap = dir / "splash.bmp";
        writeBytes(bitmap, bmp);
    }

    RunResult pack(const fs::path& stub, const fs::path& application, const fs::path& out,
                   const std::string& extra = "") {
        return runCommand(zorpack() + " --target " + GetParam().target + " --stub " +
                          quote(stub.string()) + " --support " + quote(support.string()) +
                          " --main-class com.example.Main --set option=-Xss2m --app " +
                          quote(application.string()) + " " + extra + " -o " + quote(out.string()));
    }

    // (type, name, language) -> size, as wrestool -l lists them.
    std::map<std::string, long> wrestoolList(const fs::path& file) {
        RunResult r = runCommand("wrestool -l " + quote(file.string()));
        EXPECT_EQ(r.code, 0) << r.err;
        std::map<std::string, long> found;
        std::regex line(R"(--type='?(\w+)'? --name='?(\w+)'? --language=(\d+) \[.* size=(\d+)\])");
        std::istringstream in(r.out);
        for (std::string l; std::getline(in, l);) {
            std::smatch m;
            if (std::regex_search(l, m, line))
                found[m[1].str() + "/" + m[2].str() + "/" + m[3].str()] = std::stol(m[4]);
        }
        return found;
    }

    Bytes wrestoolExtract(const fs::path& file, int type, int name) {
        fs::path to = dir / "extracted";
        RunResult r = runCommand("wrestool -x --raw --type=" + std::to_string(type) +
                                 " --name=" + std::to_string(name) + " " + quote(file.string()) +
                                 " -o " + quote(to.string()));
        EXPECT_EQ(r.code, 0) << r.err;
        return readBytes(to);
    }
};

TEST_P(PeResources, AddedResourcesSitBesideTheStringTablesAndReadBack) {
    fs::path out = dir / "packed.exe";
    RunResult r = pack(GetParam().stub, appZip, out, "--splash " + quote(bitmap.string()));
    ASSERT_EQ(r.code, 0) << r.err;

    auto listed = wrestoolList(out);
    EXPECT_EQ(listed.size(), 7u);
    for (const char* table : {"6/1/1033", "6/1/1028", "6/1/2052", "16/1/1033"})
        EXPECT_TRUE(listed.count(table)) << table;
    // wrestool shows the type's name in place of a named entry's own name.
    EXPECT_EQ(std::count_if(listed.begin(), listed.end(),
                            [](const auto& e) { return e.first.rfind("ZORDATA/", 0) == 0; }),
              1);
    EXPECT_EQ(listed["10/128/0"], long(app.size()));
    EXPECT_EQ(listed["2/100/0"], long(bmp.size() - 14));
    EXPECT_EQ(unscramble(wrestoolExtract(out, 10, 128)), app);
    EXPECT_EQ(wrestoolExtract(out, 2, 100), Bytes(bmp.begin() + 14, bmp.end()));

    // Our own reader sees the stub's tree unchanged beside the two new entries.
    Bytes stubBytes = readBytes(GetParam().stub), packed = readBytes(out);
    ResourceTree before = PeImage(stubBytes, GetParam().kind).readResources();
    ResourceTree after = PeImage(packed, GetParam().kind).readResources();
    for (uint32_t language : {1033u, 1028u, 2052u}) {
        ASSERT_TRUE(after.find(6, 1, language));
        EXPECT_EQ(after.find(6, 1, language)->bytes, before.find(6, 1, language)->bytes);
    }
    EXPECT_EQ(after.leafCount(), before.leafCount() + 2);
    // Every resource of the stub stays as it was, but for the version information, which
    // zorpack writes for the packed program.
    for (const auto& [type, names] : before.types)
        for (const auto& [name, languages] : names)
            for (const auto& [language, data] : languages) {
                if (!(type == zor::pack::ResourceKey::ofId(16))) {
                    EXPECT_EQ(after.types.at(type).at(name).at(language).bytes, data.bytes);
                }
            }

    // objdump accepts the headers, and the fields it prints agree with the sections.
    RunResult dump = runCommand("objdump -p -h " + quote(out.string()));
    ASSERT_EQ(dump.code, 0) << dump.err;
    EXPECT_EQ(dump.err, "");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(
        dump.out, m,
        std::regex(R"(Entry 2 ([0-9a-f]+) ([0-9a-f]+) Resource Directory \[\.rsrc\])")));
    uint64_t resourceRva = std::stoull(m[1], nullptr, 16);
    ASSERT_TRUE(std::regex_search(dump.out, m, std::regex(R"(ImageBase\s+([0-9a-f]+))")));
    uint64_t imageBase = std::stoull(m[1], nullptr, 16);
    ASSERT_TRUE(std::regex_search(dump.out, m, std::regex(R"(SizeOfImage\s+([0-9a-f]+))")));
    uint64_t sizeOfImage = std::stoull(m[1], nullptr, 16);
    uint64_t imageEnd = 0;
    bool resourceSectionSeen = false;
    std::regex section(R"(\s\d+ (\S+)\s+([0-9a-f]{8})\s+([0-9a-f]+)\s+[0-9a-f]+\s+([0-9a-f]{8}))");
    for (std::sregex_iterator it(dump.out.begin(), dump.out.end(), section), end; it != end; ++it) {
        uint64_t size = std::stoull((*it)[2], nullptr, 16);
        uint64_t rva = std::stoull((*it)[3], nullptr, 16) - imageBase;
        imageEnd = std::max(imageEnd, rva + size);
        if ((*it)[1] == ".rsrc") {
            resourceSectionSeen = true;
            EXPECT_EQ(rva, resourceRva);
        }
    }
    EXPECT_TRUE(resourceSectionSeen);
    EXPECT_GE(sizeOfImage, imageEnd);
    EXPECT_LT(sizeOfImage - imageEnd, 0x1000u);

    // The appended archive is intact, with the configuration as its comment.
    auto archive = findAppendedArchive(packed);
    ASSERT_TRUE(archive);
    EXPECT_EQ(archive->comment, "mainclass com.example.Main\r\noption -Xss2m\r\n");
    EXPECT_NE(runCommand("unzip -tq " + quote(out.string())).out.find("No errors detected"),
              std::string::npos);
}

TEST_P(PeResources, RepackingReplacesTheApplicationInsteadOfAddingOne) {
    fs::path first = dir / "first.exe", second = dir / "second.exe";
    ASSERT_EQ(pack(GetParam().stub, appZip, first).code, 0);
    // A packed program whose archive has been stripped serves as a stub again: its resource
    // section is now the last one and is rewritten in place.
    Bytes firstBytes = readBytes(first);
    auto archive = findAppendedArchive(firstBytes);
    ASSERT_TRUE(archive);
    fs::path restub = dir / "restub.exe";
    writeBytes(restub, Bytes(firstBytes.begin(), firstBytes.begin() + archive->start));

    fs::path other = makeZip(dir, "other.jar", {{"com/example/Main.class", patternBytes(1234)}});
    ASSERT_EQ(pack(restub, other, second).code, 0);
    auto listed = wrestoolList(second);
    EXPECT_EQ(listed.size(), 6u);
    EXPECT_EQ(listed["10/128/0"], long(readBytes(other).size()));
    EXPECT_EQ(unscramble(wrestoolExtract(second, 10, 128)), readBytes(other));

    RunResult a = runCommand("objdump -h " + quote(first.string()));
    RunResult b = runCommand("objdump -h " + quote(second.string()));
    auto sections = [](const std::string& s) {
        static const std::regex header(R"(\n\s+\d+ \.)");
        return std::distance(std::sregex_iterator(s.begin(), s.end(), header),
                             std::sregex_iterator());
    };
    EXPECT_EQ(sections(a.out), sections(b.out));
    // The old resource section ended the file, so the repacked one is no larger than needed.
    EXPECT_LE(readBytes(second).size(), firstBytes.size());
}

TEST_P(PeResources, DataBehindTheSectionsMovesBehindTheNewResources) {
    // The stand-in's symbol table already follows its sections; add an overlay large enough
    // that data placed after it would lie beyond the image's extent.
    Bytes stub = readBytes(GetParam().stub), overlay = patternBytes(600000);
    stub.insert(stub.end(), overlay.begin(), overlay.end());
    fs::path withOverlay = dir / "overlay.exe", out = dir / "packed.exe";
    writeBytes(withOverlay, stub);
    ASSERT_EQ(pack(withOverlay, appZip, out).code, 0);

    EXPECT_EQ(unscramble(wrestoolExtract(out, 10, 128)), app);
    RunResult before = runCommand("objdump -t " + quote(withOverlay.string()));
    RunResult after = runCommand("objdump -t " + quote(out.string()));
    ASSERT_EQ(after.code, 0) << after.err;
    EXPECT_GT(after.out.size(), 1000u);
    EXPECT_EQ(after.out.substr(after.out.find("SYMBOL TABLE")),
              before.out.substr(before.out.find("SYMBOL TABLE")));
    Bytes packed = readBytes(out);
    auto at = std::search(packed.begin(), packed.end(), overlay.begin(), overlay.end());
    ASSERT_NE(at, packed.end());
    auto archive = findAppendedArchive(packed);
    ASSERT_TRUE(archive);
    EXPECT_EQ(size_t(at - packed.begin()) + overlay.size(), archive->start);
}

TEST_P(PeResources, ConsoleAndManifestChangeOnlyWhatTheyName) {
    const std::string manifest =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\"/>\n";
    writeBytes(dir / "app.manifest", bytesOf(manifest));
    // The same file name for both: the version information names the output file.
    fs::create_directories(dir / "plain");
    fs::create_directories(dir / "console");
    fs::path plain = dir / "plain/app.exe", console = dir / "console/app.exe",
             both = dir / "both.exe";
    ASSERT_EQ(pack(GetParam().stub, appZip, plain).code, 0);
    RunResult r = pack(GetParam().stub, appZip, console, "--console");
    ASSERT_EQ(r.code, 0) << r.err;

    // --console: the subsystem field (and so the checksum) and nothing else.
    Bytes a = readBytes(plain), b = readBytes(console);
    ASSERT_EQ(a.size(), b.size());
    size_t optional = le32(a.data() + 0x3c) + 24;
    std::vector<size_t> differing;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i])
            differing.push_back(i);
    EXPECT_EQ(a[optional + 68], 2); // GUI
    EXPECT_EQ(b[optional + 68], 3); // console
    for (size_t at : differing)
        EXPECT_TRUE(at == optional + 68 || (at >= optional + 64 && at < optional + 68)) << at;
    RunResult dump = runCommand("objdump -p " + quote(console.string()));
    EXPECT_NE(dump.out.find("(Windows CUI)"), std::string::npos) << dump.out;

    // --manifest: one language-neutral RT_MANIFEST 1 with the file's bytes, beside the rest.
    r = pack(GetParam().stub, appZip, both, "--console --manifest " + quote(dir / "app.manifest"));
    ASSERT_EQ(r.code, 0) << r.err;
    ResourceTree plainTree = PeImage(a, GetParam().kind).readResources();
    ResourceTree tree = PeImage(readBytes(both), GetParam().kind).readResources();
    ASSERT_TRUE(tree.find(24, 1, 0));
    EXPECT_EQ(tree.find(24, 1, 0)->bytes, bytesOf(manifest));
    EXPECT_EQ(tree.leafCount(), plainTree.leafCount() + 1);
    EXPECT_EQ(wrestoolList(both)["24/1/0"], long(manifest.size()));

    // Refused, with no output: a manifest that is not well-formed, or not a manifest at all.
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\"><unclosed></assembly>",
         "not well-formed XML: mismatched tag at line 1"},
        {"", "not well-formed XML"},
        {"<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\"/><second/>", "not well-formed"},
        {"<assembly/>", "its root is <assembly>"},
        {"<html xmlns=\"urn:schemas-microsoft-com:asm.v1\"/>", "not an application manifest"},
    };
    for (const auto& [text, message] : refused) {
        writeBytes(dir / "bad.manifest", bytesOf(text));
        fs::path out = dir / "refused.exe";
        r = pack(GetParam().stub, appZip, out, "--manifest " + quote(dir / "bad.manifest"));
        EXPECT_EQ(r.code, 1) << text;
        EXPECT_NE(r.err.find(message), std::string::npos) << text << "\n" << r.err;
        EXPECT_FALSE(fs::exists(out)) << text;
    }
}

TEST(ResourceDirectory, IsSortedAtEveryLevel) {
    // A tree with named and numbered entries, put in out of order.
    ResourceTree tree;
    auto named = [](const std::u16string& n) {
        zor::pack::ResourceKey k;
        k.named = true;
        k.name = n;
        return k;
    };
    using zor::pack::ResourceKey;
    tree.types[ResourceKey::ofId(24)][ResourceKey::ofId(1)][ResourceKey::ofId(1033)] = {{1}, 0};
    tree.types[named(u"ZED")][named(u"B")][ResourceKey::ofId(0)] = {{2}, 0};
    tree.types[named(u"ZED")][named(u"AB")][ResourceKey::ofId(0)] = {{3}, 0};
    tree.types[named(u"ALPHA")][ResourceKey::ofId(300)][ResourceKey::ofId(0)] = {{4}, 0};
    tree.types[ResourceKey::ofId(6)][ResourceKey::ofId(1)][ResourceKey::ofId(2052)] = {{5}, 0};
    tree.types[ResourceKey::ofId(6)][ResourceKey::ofId(1)][ResourceKey::ofId(1028)] = {{6}, 0};
    tree.put(10, 128, {7, 8, 9});
    Bytes image = tree.build(0x5000);

    // Walk the directory as the loader does and collect each table's keys in stored order.
    std::vector<std::vector<std::string>> tables;
    std::function<void(uint32_t, int)> walk = [&](uint32_t offset, int depth) {
        const uint8_t* t = image.data() + offset;
        uint32_t namedCount = t[12] | (t[13] << 8), ids = t[14] | (t[15] << 8);
        std::vector<std::string> keys;
        for (uint32_t i = 0; i < namedCount + ids; ++i) {
            uint32_t key = le32(t + 16 + 8 * i), target = le32(t + 20 + 8 * i);
            EXPECT_EQ(bool(key & 0x80000000u), i < namedCount);
            if (key & 0x80000000u) {
                const uint8_t* s = image.data() + (key & 0x7fffffff);
                std::string name;
                for (int c = 0; c < (s[0] | (s[1] << 8)); ++c)
                    name += char(s[2 + 2 * c]);
                keys.push_back(name);
            } else {
                keys.push_back(std::to_string(key));
            }
            if (depth < 2) {
                ASSERT_TRUE(target & 0x80000000u);
                walk(target & 0x7fffffff, depth + 1);
            } else {
                ASSERT_FALSE(target & 0x80000000u);
                uint32_t rva = le32(image.data() + target);
                EXPECT_EQ(rva % 8, 0u);
                EXPECT_LT(rva - 0x5000 + le32(image.data() + target + 4), image.size() + 1);
            }
        }
        tables.push_back(keys);
    };
    walk(0, 0);
    const std::vector<std::string> root = {"ALPHA", "ZED", "6", "10", "24"};
    EXPECT_EQ(tables.back(), root);
    EXPECT_NE(std::find(tables.begin(), tables.end(), std::vector<std::string>{"AB", "B"}),
              tables.end());
    EXPECT_NE(std::find(tables.begin(), tables.end(), std::vector<std::string>{"1028", "2052"}),
              tables.end());
}

TEST(ResourceDirectory, ResourcesBeyondTheAddressSpaceAreRefused) {
    // A section near the top of the 32-bit address space leaves no room for the data.
    ResourceTree tree;
    tree.put(10, 128, patternBytes(0x3000));
    EXPECT_NO_THROW(tree.build(0xFFFF0000u));
    EXPECT_THROW(tree.build(0xFFFFE000u), zor::pack::PackError);

    // A stub whose last section ends just below the top: the new resource section would
    // wrap around to low addresses.
    Bytes stub = readBytes(WIN64_STANDIN);
    size_t pe = le32(stub.data() + 0x3c);
    size_t table = pe + 24 + (stub[pe + 20] | (stub[pe + 21] << 8));
    size_t count = stub[pe + 6] | (stub[pe + 7] << 8), last = table;
    for (size_t i = 0; i < count; ++i)
        if (le32(stub.data() + table + 40 * i + 12) > le32(stub.data() + last + 12))
            last = table + 40 * i;
    zor::write32(stub.data() + last + 8, 0x1000);
    zor::write32(stub.data() + last + 12, 0xFFFF0000u);
    zor::write32(stub.data() + last + 16, 0);
    zor::pack::PackInput input;
    input.target = zor::pack::Target::Win64;
    input.stub = stub;
    TempDir dir;
    input.support = readBytes(makeZip(dir, "s.jar", {{"A.class", patternBytes(100)}}));
    input.configText = "mainclass a.Main\r\n";
    input.resources.push_back({10, 128, patternBytes(0x20000)});
    EXPECT_THROW(zor::pack::packExecutable(input), zor::pack::PackError);
    // The same stub with small resources still packs.
    input.resources.back().data = patternBytes(100);
    EXPECT_NO_THROW(zor::pack::packExecutable(input));
}

// A crafted stub whose entries share their tables would make the reader's work multiply (each
// level by its entry count): a table reached twice is refused, distinct tables still read.
TEST(ResourceDirectory, TablesReachedTwiceAreRefused) {
    Bytes stub = readBytes(WIN64_STANDIN);
    size_t pe = le32(stub.data() + 0x3c);
    size_t table = pe + 24 + (stub[pe + 20] | (stub[pe + 21] << 8));
    size_t count = stub[pe + 6] | (stub[pe + 7] << 8), rsrc = 0;
    for (size_t i = 0; i < count; ++i)
        if (std::memcmp(stub.data() + table + 40 * i, ".rsrc\0\0\0", 8) == 0)
            rsrc = table + 40 * i;
    ASSERT_NE(rsrc, 0u);
    uint32_t rva = le32(stub.data() + rsrc + 12);
    size_t raw = le32(stub.data() + rsrc + 20);
    ASSERT_GE(le32(stub.data() + rsrc + 16), 0x100u);
    ASSERT_EQ(le32(stub.data() + pe + 24 + 112 + 8 * 2), rva); // the directory starts the section
    // Root: two types; each type table: one name; each name table: one language; one data
    // entry per language table, all of them pointing at the same four bytes.
    auto craft = [&](uint32_t secondType) {
        Bytes damaged = stub;
        uint8_t* r = damaged.data() + raw;
        std::fill(r, r + 0x100, 0);
        auto tableAt = [&](uint32_t at, uint32_t id, uint32_t target) {
            zor::write16(r + at + 14, 1);
            zor::write32(r + at + 16, id);
            zor::write32(r + at + 20, target);
        };
        zor::write16(r + 14, 2);
        zor::write32(r + 16, 10);
        zor::write32(r + 20, 0x80000000u | 0x20);
        zor::write32(r + 24, 11);
        zor::write32(r + 28, 0x80000000u | secondType);
        tableAt(0x20, 128, 0x80000000u | 0x40);
        tableAt(0x40, 0, 0x60);
        tableAt(0x80, 128, 0x80000000u | 0xA0);
        tableAt(0xA0, 0, 0x60 + 0x60);
        for (uint32_t entry : {0x60u, 0xC0u}) {
            zor::write32(r + entry, rva + 0xF0);
            zor::write32(r + entry + 4, 4);
        }
        std::memcpy(r + 0xF0, "abcd", 4);
        return damaged;
    };
    ResourceTree distinct = PeImage(craft(0x80), PeKind::Pe32Plus).readResources();
    EXPECT_EQ(distinct.leafCount(), 2u);
    EXPECT_THROW(PeImage(craft(0x20), PeKind::Pe32Plus).readResources(), zor::pack::PackError);
}

// Found by fuzzing: a section table whose last entry (by address) is empty at address 0 put
// the new resources at address 0, which reads as "no resources".
TEST(ResourceDirectory, NewSectionGoesAboveHeadersAndEverySection) {
    Bytes stub = readBytes(WIN64_STANDIN);
    size_t pe = le32(stub.data() + 0x3c);
    size_t table = pe + 24 + (stub[pe + 20] | (stub[pe + 21] << 8));
    size_t count = stub[pe + 6] | (stub[pe + 7] << 8);
    for (size_t i = 0; i < count; ++i)
        std::fill(stub.begin() + table + 40 * i + 8, stub.begin() + table + 40 * i + 24, 0);
    zor::write32(stub.data() + pe + 24 + 112 + 8 * 2, 0); // no resources yet
    PeImage image(stub, PeKind::Pe32Plus);
    ResourceTree tree;
    tree.put(10, 128, patternBytes(300));
    Bytes written = image.withResources(tree);
    ResourceTree back = PeImage(written, PeKind::Pe32Plus).readResources();
    ASSERT_NE(back.find(10, 128, 0), nullptr);
    EXPECT_EQ(back.find(10, 128, 0)->bytes, patternBytes(300));
}

// The stand-in, packed, reads its own resources and configuration under wine: wine-run picks
// the 32-bit loader for the PE32 program and wine64 for the PE32+ one.
TEST_P(PeResources, PackedProgramReadsItsApplicationAndConfigurationUnderWine) {
    if (GetParam().kind == PeKind::Pe32 && runCommand("/usr/lib/wine/wine --version").code != 0)
        GTEST_SKIP() << "the 32-bit wine cannot start on this machine";
    fs::path smallApp =
        makeZip(dir, "small.jar", {{"com/example/Main.class", patternBytes(40000)}});
    Bytes small = makeBitmap(5, 5);
    fs::path smallBitmap = dir / "small.bmp";
    writeBytes(smallBitmap, small);
    fs::path out = dir / "packed.exe";
    RunResult r = runCommand(zorpack() + " --target " + GetParam().target + " --stub " +
                             quote(GetParam().stub) + " --support " + quote(support.string()) +
                             " --main-class com.example.Main --set 'property=x=1' --app " +
                             quote(smallApp.string()) + " --splash " + quote(smallBitmap.string()) +
                             " -o " + quote(out.string()));
    ASSERT_EQ(r.code, 0) << r.err;

    fs::path appOut = dir / "app-out", report = dir / "report";
    RunResult run = runCommand(quote(fs::path(ZOR_SOURCE_DIR) / "scripts" / "wine-run") + " " +
                                   quote(out.string()) + " " + quote(appOut.string()) + " " +
                                   quote(report.string()),
                               300);
    ASSERT_EQ(run.code, 0) << run.out << run.err;
    EXPECT_EQ(readBytes(appOut), readBytes(smallApp));
    std::string text = readText(report);
    EXPECT_NE(text.find("rcdata " + std::to_string(readBytes(smallApp).size()) + "\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("bitmap " + std::to_string(small.size() - 14) + "\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("named 31\n"), std::string::npos) << text;
    EXPECT_TRUE(std::regex_search(text, std::regex("string (english|traditional|simplified)\n")))
        << text;
    std::string config = "mainclass com.example.Main\r\nproperty x=1\r\n";
    std::string comment =
        "comment " + std::to_string(config.size()) + " " + std::to_string(config.size()) + "\n";
    EXPECT_NE(text.find(comment), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Stubs, PeResources,
                         ::testing::Values(Stand{"win32", WIN32_STANDIN, PeKind::Pe32},
                                           Stand{"win64", WIN64_STANDIN, PeKind::Pe32Plus}),
                         [](const auto& info) { return std::string(info.param.target); });

} // namespace
