// A temporary folder for one test, removed with everything in it afterwards.
#pragma once

#include "platform/system.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

namespace zor::test {

class TempFolder {
public:
    TempFolder() {
        static int serial = 0;
        auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        root = std::filesystem::temp_directory_path() /
               ("zor-platform-" + std::to_string(stamp) + "-" + std::to_string(++serial));
        std::filesystem::create_directories(root);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    // The folder's path in the system's form, ending in the separator.
    std::string path() const { return root.string() + platform::DIR_SEPARATOR; }
    // `relative` uses '/' between folders.
    std::string path(const std::string& relative) const {
        std::string joined = path() + relative;
        for (char& c : joined)
            if (c == '/')
                c = platform::DIR_SEPARATOR;
        return joined;
    }
    void write(const std::string& relative, const std::string& bytes) const {
        std::ofstream(path(relative), std::ios::binary) << bytes;
    }
    void folder(const std::string& relative) const {
        std::filesystem::create_directories(path(relative));
    }

private:
    std::filesystem::path root;
};

} // namespace zor::test
