// Helpers for the zorpack tests: temporary folders, files, and running programs with a
// time limit.
#pragma once

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace zor::packtest {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

inline Bytes readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::string readText(const fs::path& path) {
    Bytes b = readBytes(path);
    return std::string(b.begin(), b.end());
}

inline void writeBytes(const fs::path& path, const Bytes& data) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
}

inline std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// A fresh folder under the build tree, removed when the test ends.
class TempDir : public zor::test::TempFolder {
public:
    TempDir() : TempFolder(fs::path(ZOR_BINARY_DIR) / "tests" / "packer" / "tmp") {}
};

struct RunResult {
    int code;
    std::string out, err;
};

// Runs a shell command with a time limit; standard output and error are captured.
inline RunResult runCommand(const std::string& command, int seconds = 60) {
    TempDir capture;
    std::string full = "timeout -k 5 " + std::to_string(seconds) + " " + command + " >" +
                       quote(capture / "out") + " 2>" + quote(capture / "err") + " </dev/null";
    int status = std::system(("bash -c " + quote(full)).c_str());
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return {code, readText(capture / "out"), readText(capture / "err")};
}

// Without the warm start that zorpack adds by default, unless `withDefaults`: most tests
// compare the configuration it writes.
inline std::string zorpack(bool withDefaults = false) {
    return quote(ZORPACK) + (withDefaults ? "" : " --no-warm-start");
}

inline Bytes bytesOf(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// A small uncompressed .bmp file: 14-byte file header, 40-byte info header, pixels.
inline Bytes makeBitmap(int width, int height) {
    size_t pixels = size_t((width * 3 + 3) / 4 * 4 * height);
    Bytes file(14 + 40 + pixels, 0x5a);
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i)
            file[at + i] = uint8_t(v >> (8 * i));
    };
    file[0] = 'B';
    file[1] = 'M';
    put(2, uint32_t(file.size()), 4);
    put(6, 0, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, uint32_t(width), 4);
    put(22, uint32_t(height), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    for (size_t at = 30; at < 54; ++at)
        file[at] = 0;
    put(34, uint32_t(pixels), 4);
    return file;
}

// Every byte value, a few times over, so that scrambling mistakes cannot hide.
inline Bytes patternBytes(size_t size) {
    Bytes b(size);
    for (size_t i = 0; i < size; ++i)
        b[i] = uint8_t(i * 7 + i / 256);
    return b;
}

// A ZIP archive made with zip(1) from the given files in `dir`.
inline fs::path makeZip(const TempDir& dir, const std::string& name,
                        const std::vector<std::pair<std::string, Bytes>>& files) {
    fs::path folder = dir / (name + ".d");
    fs::create_directories(folder);
    std::string list;
    for (const auto& [file, data] : files) {
        fs::create_directories((folder / file).parent_path());
        writeBytes(folder / file, data);
        list += " " + quote(file);
    }
    fs::path zip = dir / name;
    RunResult r = runCommand("sh -c " + quote("cd " + quote(folder.string()) + " && zip -q -X " +
                                              quote(zip.string()) + list));
    EXPECT_EQ(r.code, 0) << r.err;
    return zip;
}

} // namespace zor::packtest
