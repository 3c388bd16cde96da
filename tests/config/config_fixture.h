// Helpers for the configuration tests: temporary folders, environment overrides and
// executables with an appended archive.
#pragma once

#include "config/config_store.h"
#include "platform/environment.h"
#include "platform/system.h"
#include "support/temp_folder.h"
#include "support/zip_bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace zortest {

inline std::string sep() {
    return std::string(1, zor::platform::DIR_SEPARATOR);
}

using zor::test::TempFolder;

// Sets (or, with nullptr, removes) environment variables and restores them afterwards.
class EnvironmentOverride {
public:
    EnvironmentOverride() = default;
    EnvironmentOverride(const EnvironmentOverride&) = delete;
    EnvironmentOverride& operator=(const EnvironmentOverride&) = delete;
    ~EnvironmentOverride() {
        for (auto it = saved.rbegin(); it != saved.rend(); ++it)
            zor::platform::setEnvironment(it->name.c_str(),
                                          it->defined ? it->value.c_str() : nullptr);
    }
    void set(const char* name, const char* value) {
        Saved old{name, false, {}};
        zor::ByteString current;
        old.defined = zor::platform::getEnvironment(name, current);
        old.value = current.c_str();
        saved.push_back(old);
        zor::platform::setEnvironment(name, value);
    }

private:
    struct Saved {
        std::string name;
        bool defined;
        std::string value;
    };
    std::vector<Saved> saved;
};

#ifdef ZOR_FAKE_JVM
// The test-double VM library built for this target.
inline std::string fakeVmLibrary() {
    std::ifstream in(ZOR_FAKE_JVM, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 64)
        throw std::runtime_error("cannot read " + std::string(ZOR_FAKE_JVM));
    return bytes;
}

// The same library marked as built for the other architecture of its family (PE: i386 and
// x86-64; ELF: EM_386 and EM_X86_64), which this program cannot load.
inline std::string otherArchitecture(std::string image) {
    size_t at = 18; // ELF e_machine
    if (image.compare(0, 2, "MZ") == 0) {
        uint32_t pe = 0;
        for (int i = 3; i >= 0; --i)
            pe = (pe << 8) | static_cast<unsigned char>(image[0x3C + i]);
        at = pe + 4; // PE machine field
    }
    unsigned machine =
        static_cast<unsigned char>(image[at]) | (static_cast<unsigned char>(image[at + 1]) << 8);
    unsigned other = machine == 0x14C ? 0x8664 : machine == 0x8664 ? 0x14C : machine == 3 ? 62 : 3;
    image[at] = static_cast<char>(other & 0xFF);
    image[at + 1] = static_cast<char>(other >> 8);
    return image;
}

// A runtime home as installers leave it: the VM library in the server folder below "bin\"
// (Linux "lib/"), a release file naming `version`, and the java command in "bin". Returns the
// home, without a trailing separator.
inline std::string fakeRuntime(const TempFolder& tmp, const std::string& name,
                               const std::string& version, bool otherArch = false) {
    std::string library = fakeVmLibrary();
    tmp.writeFile(name + "/" + zor::platform::RUNTIME_CANDIDATE_FOLDERS[1] + "server/" +
                      zor::platform::VM_LIBRARY_NAME,
                  otherArch ? otherArchitecture(library) : library);
    tmp.writeFile(name + "/release", "IMPLEMENTOR=\"test\"\nJAVA_VERSION=\"" + version + "\"\n");
    bool windows = zor::platform::DIR_SEPARATOR == '\\';
    std::string java =
        tmp.writeFile(name + "/bin/" + (windows ? "java.exe" : "java"), "#!/bin/sh\n");
    std::filesystem::permissions(java, std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    return tmp / name;
}

// The library fakeRuntime put below `home`.
inline std::string fakeRuntimeLibrary(const std::string& home) {
    return home + sep() + zor::platform::RUNTIME_CANDIDATE_FOLDERS[1] + "server" + sep() +
           zor::platform::VM_LIBRARY_NAME;
}
#endif

// A ZIP archive with one stored entry and an end record carrying `comment`.
inline std::string zipWithComment(const std::string& comment) {
    return zor::test::zipArchive(comment, "a.txt", "hello");
}

// Program-like bytes followed by an archive whose comment is `comment`.
inline std::string executableWithComment(const std::string& comment) {
    std::string image = "MZ";
    image.append(300, '\x90');
    return image + zipWithComment(comment);
}

// A store holding `filePart` as its configuration file and `embedded` as its archive comment,
// put together the way loading does.
inline zor::ConfigStore storeOf(const std::string& filePart, const std::string& embedded) {
    zor::ConfigStore store;
    store.clear();
    store.append(filePart.data(), static_cast<int32_t>(filePart.size()));
    if (!filePart.empty())
        store.append("\r\n");
    store.embeddedOffset = store.length;
    store.append(embedded.c_str());
    return store;
}

} // namespace zortest
