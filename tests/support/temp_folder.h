// A fresh folder for one test, removed with everything in it afterwards. Paths are text in the
// system's form ("a/b" is "a\b" on Windows), ready for the launcher's functions.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

namespace zor::test {

class TempFolder {
public:
    // Below `base`, by default the system's temporary folder.
    explicit TempFolder(std::filesystem::path base = std::filesystem::temp_directory_path()) {
        std::filesystem::create_directories(base);
        std::string prefix = base.string();
        while (!prefix.empty() && (prefix.back() == '/' || prefix.back() == '\\'))
            prefix.pop_back();
        std::random_device random;
        for (;;) {
            root = prefix + separator() + "zor-test-" + std::to_string(random());
            std::error_code error;
            if (std::filesystem::create_directory(root, error))
                break;
            if (error)
                throw std::runtime_error("cannot create " + root);
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    static char separator() {
        return static_cast<char>(std::filesystem::path::preferred_separator);
    }

    // The path of `relative`, whose folders are separated by '/'.
    std::string operator/(const std::string& relative) const {
        std::string path = root + separator() + relative;
        for (char& c : path)
            if (c == '/')
                c = separator();
        return path;
    }
    std::string withSeparator() const { return root + separator(); }
    std::filesystem::path directory() const { return root; }

    std::string makeFolder(const std::string& relative) const {
        std::string path = *this / relative;
        std::filesystem::create_directories(path);
        return path;
    }
    std::string writeFile(const std::string& relative, const std::string& bytes = "x") const {
        std::string path = *this / relative;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream out(path, std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + path);
        return path;
    }

    std::string root; // without a separator at the end
};

} // namespace zor::test
