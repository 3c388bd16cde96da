// Making the runtime a program carries with the JDK's own tools: jdeps names the modules the
// application needs, jlink links them into a runtime folder.
#pragma once

#include "packer/bytes.h"
#include "packer/packing.h"

#include <functional>
#include <string>
#include <vector>

namespace zor::pack {

struct JlinkRequest {
    Target target = Target::Linux;
    std::string jdk;                // the JDK whose jdeps and jlink run
    std::string jmods;              // the target's jmods; empty: the JDK's own modules
    std::vector<std::string> jars;  // the application and its libraries, as files
    std::vector<std::string> extra; // --add-modules, each possibly a comma list
};

struct ToolRun {
    int status = -1;    // the exit code, or -1 when the tool could not run or was killed
    std::string output; // standard output and error together
};

// Runs `program` with `arguments` without a shell and waits for it.
ToolRun runTool(const std::string& program, const std::vector<std::string>& arguments);

// The feature version of the JDK in `jdk` (17 for "17.0.9"), from its release file; throws
// PackError when it has none or it is older than 9 (no jlink).
int jdkFeatureVersion(const std::string& jdk);

// The modules jdeps finds for the jars, then the extra ones, each once, in that order; only
// "java.base" without jars.
std::vector<std::string> requiredModules(const JlinkRequest& request, int feature);

// "a,b,c", as jlink takes a module list.
std::string commaList(const std::vector<std::string>& items);

// Links `modules` into the folder `output`, which must not exist. The class-data archive is
// made where the JDK can run the image: a Linux target with a JDK from 17 on.
void linkRuntime(const JlinkRequest& request, int feature, const std::vector<std::string>& modules,
                 const std::string& output);

} // namespace zor::pack
