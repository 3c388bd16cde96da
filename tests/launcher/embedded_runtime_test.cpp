// Runtime images unpacked into a test's own cache; tests/e2e runs real ones, reused and damaged.
#include "launcher/embedded_runtime.h"

#include "common/packed_file.h"
#include "support/temp_folder.h"
#include "support/zip_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

namespace fs = std::filesystem;
using zor::test::ZipEntry;

namespace {

const std::string HASH = "0123456789abcdef";
const std::vector<ZipEntry> FILES = {
    {"bin/", ""}, {"bin/java", "#!"}, {"x.so", std::string(99, 'v')}};

std::string image(const std::vector<ZipEntry>& files = FILES, const std::string& hash = HASH) {
    return zor::test::zipArchive(zor::RUNTIME_IMAGE_COMMENT + hash, files);
}

class EmbeddedRuntime : public ::testing::Test {
protected:
    // The home made usable, empty on failure; `folder` gets where it was to go.
    std::string prepare(const std::string& bytes) {
        zor::ByteString where, made = zor::prepareRuntimeImage(bytes.data(), uint32_t(bytes.size()),
                                                               runtimes.c_str(), where);
        folder = where.c_str();
        return made.c_str();
    }
    std::set<std::string> names() {
        std::set<std::string> found;
        std::error_code missing;
        for (const auto& entry : fs::directory_iterator(runtimes, missing))
            found.insert(entry.path().filename().string());
        return found;
    }
    zor::test::TempFolder cache;
    std::string runtimes = cache / "runtimes/";
    std::string home = cache / ("runtimes/" + HASH + "/");
    std::string folder;
};

TEST_F(EmbeddedRuntime, RefusesBadImagesAndLeavesNothingBehind) {
    std::string badCrc = image();
    badCrc[badCrc.find("#!")] = '?';
    for (const std::string& bytes :
         {image(FILES, HASH.substr(1)), image(FILES, "0123456789ABCDEF"), image(FILES, HASH + "0"),
          zor::test::zipArchive("zor runtime imag " + HASH, FILES), "zor runtime image " + HASH,
          badCrc, image({{"bin/../../escaped", "x"}}), image({{"/escaped", "x"}}),
          image({{"c:escaped", "x"}}), image({{"bin//escaped", "x"}})}) {
        EXPECT_EQ(prepare(bytes), "");
        EXPECT_EQ(names(), std::set<std::string>{});
        EXPECT_FALSE(fs::exists(cache / "escaped"));
    }
    // A cache that cannot be written: the folder is named for the message.
    cache.writeFile("file");
    runtimes = cache / "file/runtimes/";
    EXPECT_EQ(prepare(image()), "");
    EXPECT_EQ(folder, runtimes + HASH);
}

TEST_F(EmbeddedRuntime, CleansUnusedFoldersAndStaleTemporariesOnly) {
    const std::string a(16, 'a'), b(16, 'b'), c(16, 'c');
    for (auto [name, hours] : std::map<std::string, int>{
             {a, 745}, {b, 695}, {a + ".tmp-1-1", 25}, {c + ".old-2-1", 23}, {"not-ours", 9999}})
        fs::last_write_time(cache.writeFile("runtimes/" + name + "/" + zor::RUNTIME_LAST_USE_NAME),
                            fs::file_time_type::clock::now() - std::chrono::hours(hours));
    cache.makeFolder("runtimes/" + c); // no use recorded
    ASSERT_EQ(prepare(image()), home);
    EXPECT_EQ(names(), (std::set<std::string>{HASH, b, c, c + ".old-2-1", "not-ours"}));
}

} // namespace
