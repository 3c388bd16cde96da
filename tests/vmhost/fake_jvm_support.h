// Helpers for tests that drive the test-double VM library (fake_jvm.cpp).
#pragma once

#include "common/text.h"
#include "platform/environment.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace zor::test {

inline bool onWindows() {
    return std::string(ZOR_TARGET_NAME) != "linux";
}

// A path of the build tree as the program under test spells it (wine maps / to drive Z:).
inline std::string nativePath(const std::string& path) {
    if (!onWindows() || path.empty() || path[0] != '/')
        return path;
    std::string converted = "Z:" + path;
    for (char& c : converted)
        if (c == '/')
            c = '\\';
    return converted;
}

inline void setEnv(const char* name, const std::string& value) {
    platform::setEnvironment(name, value.c_str());
}
inline void unsetEnv(const char* name) {
    platform::setEnvironment(name, nullptr);
}

inline std::vector<std::string> readLines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Clears every switch of the test double and points its log at a fresh file.
class FakeJvmTest : public ::testing::Test {
protected:
    TempFolder temp;
    std::filesystem::path log;

    void SetUp() override {
        for (const char* name :
             {"ZOR_FAKE_JVM_RESULT", "ZOR_FAKE_JVM_VERSION", "ZOR_FAKE_JVM_NO_SYSTEM",
              "ZOR_FAKE_JVM_PKGS", "ZOR_FAKE_JVM_MAIN", "ZOR_FAKE_JVM_NO_MAIN",
              "ZOR_FAKE_JVM_THROW", "ZOR_FAKE_JVM_NATIVES"})
            unsetEnv(name);
        log = temp.directory() / "jvm.log";
        setEnv("ZOR_FAKE_JVM_LOG", log.string());
    }
    void TearDown() override { unsetEnv("ZOR_FAKE_JVM_LOG"); }

    std::vector<std::string> logLines() const { return readLines(log); }
    static std::string fakeJvm() { return nativePath(ZOR_FAKE_JVM); }
};

} // namespace zor::test
