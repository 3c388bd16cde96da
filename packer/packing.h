// Assembling a packed executable: configuration text, appended archive, resources.
#pragma once

#include "common/config_syntax.h"
#include "packer/bytes.h"

#include <string>
#include <vector>

namespace zor::pack {

enum class Target { Linux, Win32, Win64 };

constexpr uint32_t TYPE_MANIFEST = 24;
constexpr uint32_t MANIFEST_ID = 1;

struct Setting {
    std::string key;
    std::string value;
};

struct Resource {
    uint32_t type;
    uint32_t id;
    Bytes data;
    uint16_t language = 0; // neutral; the Linux resource block has no languages
};

struct PackInput {
    Target target = Target::Linux;
    Bytes stub;
    Bytes support;
    std::string configText;
    std::vector<Resource> resources;
    bool console = false; // Windows: the console subsystem instead of the stub's GUI one
};

// "mainclass NAME" then "KEY VALUE" per setting, each line ended by CR LF. Throws PackError
// for text the launcher would read back differently.
std::string buildConfigText(const std::string& mainClass, const std::vector<Setting>& settings);

// The support archive must be a plain ZIP that starts at its first byte and ends with an end
// record without comment, so that the comment can be set without moving anything.
void checkSupportArchive(const Bytes& zip);
Bytes withComment(const Bytes& zip, const std::string& comment);

// The application archive as resource 128 holds it (see scrambleArchive).
Bytes scramble(const Bytes& data);
// A .bmp file minus its file header: the form of a bitmap resource.
Bytes bitmapResource(const Bytes& bmpFile);

// Linux executables keep their resources in a block between the image and the archive.
void checkElfStub(const Bytes& stub);
Bytes buildResourceBlock(const std::vector<Resource>& resources);

// The whole output file.
Bytes packExecutable(const PackInput& input);

// The class-data archive file of a warm start: the program's name (`outName` without a
// trailing ".exe", characters other than letters, digits, '.', '-' and '_' as '_'), a dash,
// 16 hex digits of a hash of `packed`, and ".jsa". A new build of the program gets a new file.
std::string warmStartFileName(const std::string& outName, const Bytes& packed);

} // namespace zor::pack
