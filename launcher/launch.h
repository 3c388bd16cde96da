// The process entry and the launch sequence from configuration to the main class.
#pragma once

#include "config/config_store.h"
#include "vmhost/launch_error.h"
#include "vmhost/vm_host.h"

#include <cstdint>

namespace zor {

// The first runtime version that restricts System.load from the class path. Earlier ones know
// the option too, but it costs them every start: with it they leave out their archived module
// graph.
constexpr int32_t FIRST_NATIVE_ACCESS_VERSION = 24;

// What a launch ended with; the version numbers are set for VersionTooLow, the folder for
// RuntimeUnpackFailed.
struct LaunchOutcome {
    LaunchError error = LaunchOk;
    ByteString unpackFolder;
    int32_t vmMajor = 0;
    int32_t vmMinor = 0;
    int32_t requiredMajor = 0;
    int32_t requiredMinor = 0;
    bool mainThrew = false;
};

// Reads "major.minor" the way sscanf's "%d.%d" does (leading blanks skipped, each number ends
// at its first non-digit, the rest ignored). A number that is not there counts as 0, so
// "25+36-LTS" reads as 25.0 and "17.0.15+6" as 17.0.
void readVersion(const char* text, int32_t& major, int32_t& minor);

// GetFullPathNameA of `path` joined to `base`: the length written, the size needed when
// `size` is too small, 0 on failure.
int32_t resolveFullPath(const char* base, const char* path, char* buffer, int32_t size);
// Makes `value`, resolved against the application home, the current directory; a path that
// does not fit or cannot be entered is ignored.
void applyForcedDirectory(const ConfigStore& config, const char* value);

// The launch sequence from `config` into `host`, without any message box.
LaunchOutcome runLaunchSequence(const ConfigStore& config, VmHost& host, int argc, char** argv);
// runLaunchSequence, then the message box of a failure. Returns the process exit code: the
// LaunchError after a failed launch, 1 when main ended with an uncaught exception, else 0.
int launch(const ConfigStore& config, VmHost& host, int argc, char** argv);

// The entry: builds the configuration and the VM host, launches with the arguments after the
// program name and tears down. `addNatives` hands the VM host the natives to bind where the
// platform needs explicit binding.
int launcherMain(int argc, char** argv, void (*addNatives)(VmHost& host));

} // namespace zor
