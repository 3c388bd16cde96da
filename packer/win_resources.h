// Resources that make a Windows program look finished in Explorer: its icon and its version
// information.
#pragma once

#include "packer/packing.h"

#include <string>
#include <vector>

namespace zor::pack {

constexpr uint32_t TYPE_ICON = 3;
constexpr uint32_t TYPE_GROUP_ICON = 14;
constexpr uint32_t TYPE_VERSION = 16;
constexpr uint32_t ICON_GROUP_ID = 1;
constexpr uint32_t VERSION_INFO_ID = 1;
constexpr uint16_t VERSION_LANGUAGE = 0x0409; // US English, as its string table says

// Every image of a .ico file as an icon resource (ids 1, 2, ...) and the group that lists them.
// Throws PackError naming `path` when the file is not an icon.
std::vector<Resource> iconResources(const Bytes& ico, const std::string& path);

// Texts in UTF-8; empty ones are left out.
struct VersionText {
    std::string productName, version, description, company, copyright;
    std::string originalFilename, internalName;

    bool empty() const {
        return productName.empty() && version.empty() && description.empty() && company.empty() &&
               copyright.empty();
    }
};

// Up to four numbers from the start of `version` ("1.2.3-beta" -> 1, 2, 3, 0); false when it
// does not begin with one or a number exceeds 65535.
bool versionNumbers(const std::string& version, uint16_t (&numbers)[4]);

// A VS_VERSIONINFO block in US English, Unicode.
Bytes versionResource(const VersionText& text);

} // namespace zor::pack
