// Failures of the launch. Each code is also the id of its message in the string table.
#pragma once

#include <cstdint>

namespace zor {

enum LaunchError : int32_t {
    LaunchOk = 0,
    RuntimeNotFound = 1,
    RuntimeInvalid = 2,
    VmInitFailed = 3,
    VmCreateFailed = 4,
    VersionUnknown = 5,
    VersionTooLow = 6,
    MainClassNotFound = 7,
    MainMethodMissing = 8,
    RuntimeUnpackFailed = 9,
};

constexpr int ERROR_CAPTION_ID = 10;

} // namespace zor
