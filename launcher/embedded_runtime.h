// The Java runtime an executable may carry (resource RUNTIME_IMAGE_ID): unpacked once per user
// into a cache folder named by the image's content hash, then found there as an installed
// runtime is. The search method EMBEDDED_RUNTIME_METHOD.
#pragma once

#include "common/text.h"

#include <cstdint>

namespace zor {

// A runtime folder that no start has used for this long is removed by a later start; a
// temporary one (a crashed unpack, a damaged folder moved aside) after a day.
constexpr int64_t UNUSED_RUNTIME_SECONDS = 30 * 24 * 3600;
constexpr int64_t STALE_TEMPORARY_SECONDS = 24 * 3600;

// Files of zor's own inside each runtime folder, beside the image's files: the image's hash,
// written when everything else is in place, and the file every start rewrites, whose time is
// the folder's last use.
constexpr char RUNTIME_MARKER_NAME[] = ".zor-complete";
constexpr char RUNTIME_LAST_USE_NAME[] = ".zor-last-use";

// The user's folder of unpacked runtimes, ending in the separator: <cache>zor/runtimes/, below
// the folder the warm start uses. Empty where the user has no cache folder.
ByteString runtimeCacheFolder();

// Makes the runtime image of `size` bytes at `image` usable below `runtimes` (a folder ending
// in the separator, created when missing) and returns the runtime's home, ending in the
// separator. Empty when that cannot be done; `folder` then names where it was to go.
ByteString prepareRuntimeImage(const void* image, uint32_t size, const ByteString& runtimes,
                               ByteString& folder);

// Method r: the VM library of the runtime this executable carries; empty when it carries none
// or it cannot be made usable. Such a failure is reported on standard error when
// `othersFollow`, else recorded for embeddedRuntimeFailure().
ByteString findEmbeddedRuntime(bool othersFollow);
// The folder the executable's runtime could not be unpacked into, when method r was the last
// hope; empty otherwise.
const ByteString& embeddedRuntimeFailure();

} // namespace zor
