// Damaged stubs and support archives are refused, never read out of bounds. Built with the
// address and undefined-behaviour sanitizers.
#include "packed_reader.h"
#include "packer/app_archive.h"
#include "packer/packing.h"
#include "packer/win_resources.h"
#include "test_support.h"

#include <cstring>

using namespace zor::packtest;
using namespace zor::pack;

namespace {

// Packs and reports whether it worked; anything but a clean result or a PackError fails.
bool packs(Target target, const Bytes& stub, const Bytes& support) {
    PackInput input;
    input.target = target;
    input.stub = stub;
    input.support = support;
    input.configText = "mainclass a.Main\r\n";
    input.resources.push_back({zor::RESOURCE_TYPE_RCDATA, zor::APP_ARCHIVE_ID, patternBytes(300)});
    try {
        Bytes out = packExecutable(input);
        return !out.empty();
    } catch (const PackError&) {
        return false;
    }
}

TEST(DamagedInput, TruncatedAndCorruptedStubsAreRefusedOrPackedSafely) {
    TempDir dir;
    Bytes support = readBytes(makeZip(dir, "s.jar", {{"A.class", patternBytes(100)}}));
    for (auto [target, path] :
         {std::pair{Target::Win32, WIN32_STANDIN}, std::pair{Target::Win64, WIN64_STANDIN}}) {
        Bytes stub = readBytes(path);
        ASSERT_TRUE(packs(target, stub, support));
        size_t resources = 0, resourcesEnd = 0;
        for (size_t at = 0; at + 40 < 0x400; ++at)
            if (std::memcmp(stub.data() + at, ".rsrc\0\0\0", 8) == 0) {
                resources = le32(stub.data() + at + 20);
                resourcesEnd = resources + le32(stub.data() + at + 16);
            }
        ASSERT_NE(resources, 0u);
        // Cut anywhere before the end of the resources, the stub is refused.
        for (size_t length = 0; length < resourcesEnd; length += 1 + length / 4)
            EXPECT_FALSE(packs(target, Bytes(stub.begin(), stub.begin() + length), support))
                << length;
        // Overwrite 32-bit fields of the headers and of the resource section in turn: each
        // result is a refusal or a program, never a read out of bounds.
        size_t pe = le32(stub.data() + 0x3c);
        size_t optional = pe + 24;
        size_t headersEnd = optional + (stub[pe + 20] | (stub[pe + 21] << 8)) +
                            40 * size_t(stub[pe + 6] | (stub[pe + 7] << 8));
        std::vector<size_t> fields;
        for (size_t at = pe; at < headersEnd; at += 4)
            fields.push_back(at);
        for (size_t at = resources; at < resources + 0x140 && at + 4 <= stub.size(); at += 4)
            fields.push_back(at);
        for (size_t at : fields) {
            for (uint32_t value : {0xffffffffu, 0x80000010u}) {
                Bytes damaged = stub;
                for (int i = 0; i < 4; ++i)
                    damaged[at + i] = uint8_t(value >> (8 * i));
                packs(target, damaged, support);
            }
        }
        // Absurd alignments would pad the output to gigabytes.
        for (size_t field : {optional + 32, optional + 36}) {
            Bytes damaged = stub;
            zor::write32(damaged.data() + field, 0x7ffffff0u);
            EXPECT_FALSE(packs(target, damaged, support));
        }
    }
}

TEST(DamagedInput, SupportArchivesThatAreNotPlainZipsAreRefused) {
    TempDir dir;
    Bytes stub = readBytes(ELF_STANDIN);
    Bytes support = readBytes(makeZip(dir, "s.jar", {{"A.class", patternBytes(100)}}));
    ASSERT_TRUE(packs(Target::Linux, stub, support));
    for (size_t length = 0; length < support.size(); ++length)
        EXPECT_FALSE(packs(Target::Linux, stub, Bytes(support.begin(), support.begin() + length)))
            << length;
    // Every field of the end record: the offsets, sizes and counts must agree.
    size_t end = support.size() - 22;
    for (size_t at = end + 4; at < support.size(); at += 2) {
        Bytes damaged = support;
        damaged[at] ^= 0x41;
        EXPECT_FALSE(packs(Target::Linux, stub, damaged)) << at - end;
    }
}

// Icons, jars and manifests come from the user: every cut and every flipped byte of a good
// one is refused or read within bounds.
TEST(DamagedInput, CutAndCorruptedIconsJarsAndManifestsStayInBounds) {
    TempDir dir;
    Bytes jar = readBytes(makeZip(
        dir, "a.jar",
        {{"META-INF/MANIFEST.MF", bytesOf("Main-Class: a.Main\r\nClass-Path: x.jar\r\n y.jar\r\n")},
         {"a/Main.class", patternBytes(300)},
         {"lib/n.jar", readBytes(makeZip(dir, "n.jar", {{"b/B.class", patternBytes(50)}}))}}));
    Bytes icon = {0, 0, 1, 0, 1, 0, 2, 2, 0, 0, 1, 0, 32, 0, 72, 0, 0, 0, 22, 0, 0, 0};
    Bytes image(72, 0);
    image[0] = 40;
    icon.insert(icon.end(), image.begin(), image.end());
    ASSERT_EQ(iconResources(icon, "i.ico").size(), 2u);
    ASSERT_TRUE(listZip(jar, "a.jar").holds("b/B.class"));

    auto tryAll = [&](const Bytes& ico, const Bytes& zip) {
        try {
            iconResources(ico, "i.ico");
        } catch (const PackError&) {
        }
        try {
            ZipListing listing = listZip(zip, "a.jar");
            Manifest manifest(listing.manifest.value_or(""));
            std::vector<std::string> skipped;
            classPathEntries(manifest.get("Class-Path"), "/d", skipped);
            withLibraries(zip, {{"lib/new.jar", patternBytes(20)}});
        } catch (const PackError&) {
        }
    };
    for (size_t cut = 0; cut < std::max(icon.size(), jar.size()); ++cut)
        tryAll(Bytes(icon.begin(), icon.begin() + std::min(cut, icon.size())),
               Bytes(jar.begin(), jar.begin() + std::min(cut, jar.size())));
    for (size_t at = 0; at < std::max(icon.size(), jar.size()); ++at) {
        Bytes i = icon, j = jar;
        if (at < i.size())
            i[at] ^= 0xa5;
        if (at < j.size())
            j[at] ^= 0xa5;
        tryAll(i, j);
    }
    std::vector<std::string> skipped;
    for (const char* text : {"", "%", "%4", "a%zz b%41", "file:", "file://", "http://x/y.jar"})
        classPathEntries(text, "/d", skipped);
}

} // namespace
