// Warm start: the runtime keeps the classes the application loaded in a class-data archive
// and maps them at the next start. Switched on by the configuration key "classdatacache".
#pragma once

#include "config/config_store.h"
#include "vmhost/vm_host.h"

#include <cstdint>

namespace zor {

// Runtimes from this major version on write a class-data archive of an application at exit.
constexpr int32_t FIRST_DYNAMIC_ARCHIVE_VERSION = 13;
// ... and from this one on create and refresh it by themselves.
constexpr int32_t FIRST_AUTOMATIC_ARCHIVE_VERSION = 19;
// From this one on they write an AOT cache in the same run (-XX:AOTCacheOutput), which also
// keeps the classes linked and the module graph.
constexpr int32_t FIRST_AOT_CACHE_VERSION = 25;

// The archive file of a "classdatacache" value (already expanded): a rooted path as it is,
// anything else in zor's folder of the user's cache folder. Creates the folders that are
// missing. Empty when there is no place for it.
ByteString classDataArchivePath(const char* value);

// Whether the runtime's own archive of its classes lies beside its VM library: an application's
// archive builds on it, and without it the runtime only warns on standard error, at every start.
bool hasBaseArchive(const char* libraryPath);

// Adds the options of the archive that `config` names for the runtime whose VM library is
// `libraryPath` (major version `runtimeMajor`, 0 when unknown): the archive is used when it
// is the one this launcher published for the same program and runtime; otherwise the one
// process that gets the archive's lock has it written to a new file. Adds nothing without the
// key, on runtimes that cannot do it (before 13, or without their own archive classes.jsa
// beside the VM library), or where the archive has no place.
void addWarmStartOptions(VmHost& host, const ConfigStore& config, const char* libraryPath,
                         int32_t runtimeMajor);

// Once the VM is gone (also at process exit, for an application that ends the process
// itself): puts a newly written archive in place of the old one, removes the archives of
// other builds of the same program (named like zorpack names them: NAME-HASH.jsa beside it)
// and releases the lock. Safe to call at any time and more than once.
void finishWarmStart();

} // namespace zor
