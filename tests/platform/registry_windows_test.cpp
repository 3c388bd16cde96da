// Registry reads against keys this test writes under HKEY_LOCAL_MACHINE (wine allows it).
#include "platform/registry.h"

#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

using namespace zor::platform;

namespace {

const char* const TEST_KEY = "SOFTWARE\\ZorPlatformTest";

class Registry : public ::testing::Test {
protected:
    void SetUp() override {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, TEST_KEY, 0, nullptr, 0, KEY_WRITE, nullptr,
                                  &key, nullptr),
                  ERROR_SUCCESS);
        setValue(key, "CurrentVersion", REG_SZ, std::string("1.8") + '\0');
        setValue(key, "Long", REG_SZ, std::string(300, 'L') + '\0');
        setValue(key, "Exact", REG_SZ, std::string(259, 'E') + '\0');
        setValue(key, "Unterminated", REG_SZ, "abc");
        setValue(key, "FullUnterminated", REG_BINARY, std::string(260, 'B'));
        RegCloseKey(key);
    }
    void TearDown() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, TEST_KEY); }

    static void setValue(HKEY key, const char* name, DWORD type, const std::string& bytes) {
        ASSERT_EQ(RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())),
                  ERROR_SUCCESS);
    }

    // Reads through a 260-byte buffer, as the runtime search does.
    static std::string read(const char* key, const char* name) {
        char buffer[260];
        std::memset(buffer, 'Q', sizeof(buffer));
        uint32_t size = sizeof(buffer);
        if (!readLocalMachineValue(key, name, buffer, &size))
            return "<fail>";
        EXPECT_LE(size, sizeof(buffer));
        EXPECT_NE(std::memchr(buffer, 0, sizeof(buffer)), nullptr) << "no terminator";
        return std::string(buffer, strnlen(buffer, sizeof(buffer)));
    }
};

} // namespace

TEST_F(Registry, ReadsValuesThatFit) {
    EXPECT_EQ(read(TEST_KEY, "CurrentVersion"), "1.8");
    EXPECT_EQ(read(TEST_KEY, "Exact"), std::string(259, 'E'));
    // A value stored without its terminator still reads as text.
    EXPECT_EQ(read(TEST_KEY, "Unterminated"), "abc");
}

TEST_F(Registry, FailsCleanlyOnLongOrMissingValues) {
    EXPECT_EQ(read(TEST_KEY, "Long"), "<fail>");
    EXPECT_EQ(read(TEST_KEY, "FullUnterminated"), "<fail>");
    EXPECT_EQ(read(TEST_KEY, "Missing"), "<fail>");
    EXPECT_EQ(read("SOFTWARE\\ZorPlatformTest\\Absent", "CurrentVersion"), "<fail>");
    EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, TEST_KEY), ERROR_SUCCESS);
    EXPECT_EQ(read(TEST_KEY, "CurrentVersion"), "<fail>");
}

// Installations are found by listing a vendor key's subkeys; only the direct ones count.
TEST(RegistryList, ListsDirectSubkeys) {
    const std::string key = "SOFTWARE\\ZorPlatformListTest";
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
    for (const char* sub : {"\\17.0.9.9\\hotspot\\MSI", "\\Zulu 32-bit"}) {
        HKEY created;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, (key + sub).c_str(), 0, nullptr, 0, KEY_WRITE,
                                  nullptr, &created, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(created);
    }
    zor::StringList names;
    names.add("kept");
    EXPECT_TRUE(listLocalMachineSubkeys(key.c_str(), names));
    std::vector<std::string> listed;
    for (int32_t i = 0; i < names.count(); ++i)
        listed.push_back(names.item(i));
    std::sort(listed.begin() + 1, listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"kept", "17.0.9.9", "Zulu 32-bit"}));

    EXPECT_FALSE(listLocalMachineSubkeys((key + "\\Absent").c_str(), names));
    EXPECT_EQ(names.count(), 3);
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, key.c_str());
}
