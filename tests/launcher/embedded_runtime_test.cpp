// Runtime images unpacked into a cache folder of the test's own.
#include "launcher/embedded_runtime.h"

#include "common/packed_file.h"
#include "platform/system.h"

#include "support/temp_folder.h"
#include "support/zip_bytes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using zor::test::TempFolder;
using zor::test::ZipEntry;

namespace {

const std::string HASH = "0123456789abcdef";

// The VM library where the search looks below a home ("lib/server/libjvm.so" on Linux).
std::string libraryName() {
    std::string name = std::string(zor::platform::RUNTIME_CANDIDATE_FOLDERS[1]) + "server/" +
                       zor::platform::VM_LIBRARY_NAME;
    for (char& c : name)
        c = c == '\\' ? '/' : c;
    return name;
}

std::vector<ZipEntry> runtimeFiles() {
    return {{"bin/", "", 040755},
            {"bin/java", "#!/bin/false\n", 0100755},
            {libraryName(), std::string(5000, 'v'), 0100644},
            {"release", "JAVA_VERSION=\"17\"\n", 0100644}};
}

std::string image(const std::vector<ZipEntry>& files = runtimeFiles(),
                  const std::string& hash = HASH) {
    return zor::test::zipArchive(zor::RUNTIME_IMAGE_COMMENT + hash, files);
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> listing(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class EmbeddedRuntime : public ::testing::Test {
protected:
    // The home prepareRuntimeImage returns; `folder` gets where it was to go.
    std::string prepare(const std::string& bytes) {
        zor::ByteString where;
        zor::ByteString home = zor::prepareRuntimeImage(
            bytes.data(), static_cast<uint32_t>(bytes.size()), runtimes.c_str(), where);
        folder = where.c_str();
        return home.c_str();
    }
    void ageLastUse(const std::string& name, std::chrono::hours age) {
        std::string stamp = cache.writeFile("runtimes/" + name + "/" + zor::RUNTIME_LAST_USE_NAME);
        fs::last_write_time(stamp, fs::file_time_type::clock::now() - age);
    }

    TempFolder cache;
    std::string runtimes = cache / "runtimes/";
    std::string home = cache / ("runtimes/" + HASH + "/");
    std::string folder;
};

TEST_F(EmbeddedRuntime, UnpacksOnceReusesWhileCompleteAndReplacesDamage) {
    ASSERT_EQ(prepare(image()), home);
    for (const ZipEntry& file : runtimeFiles())
        EXPECT_EQ(contents(cache / ("runtimes/" + HASH + "/" + file.name)), file.data) << file.name;
    EXPECT_EQ(contents(home + zor::RUNTIME_MARKER_NAME), HASH);
    EXPECT_EQ(listing(runtimes), std::vector<std::string>{HASH}) << "no temporary folder left";
#ifndef _WIN32
    EXPECT_EQ(fs::status(home + "bin/java").permissions() & fs::perms::owner_exec,
              fs::perms::owner_exec);
    EXPECT_EQ(fs::status(home + "release").permissions() & fs::perms::owner_exec, fs::perms::none);
#endif

    // A later start only looks at the sizes: a changed byte goes unnoticed.
    std::string library = cache / ("runtimes/" + HASH + "/" + libraryName());
    cache.writeFile("runtimes/" + HASH + "/" + libraryName(), std::string(5000, 'w'));
    ASSERT_EQ(prepare(image()), home);
    EXPECT_EQ(contents(library), std::string(5000, 'w'));

    // A file cut, a file or the marker missing, a marker of another image: unpacked anew.
    const std::pair<std::string, const char*> damages[] = {
        {libraryName(), "vvv"},
        {"release", nullptr},
        {zor::RUNTIME_MARKER_NAME, nullptr},
        {zor::RUNTIME_MARKER_NAME, "fedcba9876543210"}};
    for (const auto& [name, replacement] : damages) {
        std::string path = cache / ("runtimes/" + HASH + "/" + name);
        if (replacement)
            cache.writeFile("runtimes/" + HASH + "/" + name, replacement);
        else
            fs::remove(path);
        ASSERT_EQ(prepare(image()), home) << name;
        EXPECT_EQ(contents(library), std::string(5000, 'v')) << name;
        EXPECT_EQ(contents(home + zor::RUNTIME_MARKER_NAME), HASH) << name;
        EXPECT_EQ(listing(runtimes), std::vector<std::string>{HASH}) << name;
    }
}

TEST_F(EmbeddedRuntime, RefusesBadImagesAndLeavesNothingBehind) {
    std::string badCrc = image();
    badCrc[badCrc.find("#!")] = '?';
    const std::pair<std::string, std::string> images[] = {
        {"short hash", image(runtimeFiles(), HASH.substr(1))},
        {"upper-case hash", image(runtimeFiles(), "0123456789ABCDEF")},
        {"long hash", image(runtimeFiles(), HASH + "0")},
        {"another comment", zor::test::zipArchive("zor runtime imag " + HASH, runtimeFiles())},
        {"not an archive", "zor runtime image " + HASH},
        {"bad CRC", badCrc},
        {"leaves the home", image({{"bin/../../escaped", "x"}})},
        {"rooted", image({{"/escaped", "x"}})},
        {"drive", image({{"c:escaped", "x"}})},
        {"empty part", image({{"bin//escaped", "x"}})},
    };
    for (const auto& [what, bytes] : images) {
        EXPECT_EQ(prepare(bytes), "") << what;
        EXPECT_EQ(listing(runtimes), std::vector<std::string>{}) << what;
        EXPECT_FALSE(fs::exists(cache / "escaped")) << what;
    }
    EXPECT_EQ(folder, home.substr(0, home.size() - 1)) << "the folder it was to go to";

    // A cache that cannot be written: the folder is named for the message.
    cache.writeFile("file");
    runtimes = cache / "file/runtimes/";
    EXPECT_EQ(prepare(image()), "");
    EXPECT_EQ(folder, runtimes + HASH);
}

TEST_F(EmbeddedRuntime, CleansUnusedFoldersAndStaleTemporaries) {
    using std::chrono::hours;
    const std::string a(16, 'a'), b(16, 'b'), c(16, 'c');
    ageLastUse(a, hours(31 * 24));
    ageLastUse(b, hours(29 * 24));
    ageLastUse(a + ".tmp-1-1", hours(25));
    ageLastUse(c + ".old-2-1", hours(23));
    ageLastUse("not-ours", hours(365 * 24));
    cache.makeFolder("runtimes/" + c); // no last use recorded: left alone
    ASSERT_EQ(prepare(image()), home);
    EXPECT_EQ(listing(runtimes),
              (std::vector<std::string>{HASH, b, c, c + ".old-2-1", "not-ours"}));
}

} // namespace
