// The application zorpack embeds: its jar, the libraries that jar's manifest and the command
// line name, and the checks that catch at packing time what would fail on the user's machine.
#pragma once

#include "packer/app_archive.h"

#include <functional>
#include <string>
#include <vector>

namespace zor::pack {

// The whole file; throws PackError naming `what` and the path when it cannot be read.
Bytes readFile(const std::string& path, const std::string& what);

struct ApplicationRequest {
    std::string app;               // the application jar; empty when none is packed
    std::vector<std::string> libs; // --lib, in order
    bool manifestClassPath = true; // follow the manifests' Class-Path
    std::string mainClass;         // --main-class; empty: the manifest's Main-Class
    // The configuration names a class path of its own, outside the executable: the main
    // class may come from there.
    bool externalClassPath = false;
};

struct Application {
    Bytes archive;                         // what becomes resource 128; empty when none
    std::string mainClass;                 // never empty
    std::vector<std::string> libraryNames; // the entries added, "lib/NAME.jar"
    std::vector<std::string> libraryFiles; // where they were read from, in the same order
    std::string implementationTitle, implementationVersion, implementationVendor;
};

// Throws PackError when the application cannot be packed as asked; `warn` hears the rest.
Application assembleApplication(const ApplicationRequest& request,
                                const std::function<void(const std::string&)>& warn);

} // namespace zor::pack
