// The localized message box that ends every failed launch.
#pragma once

#include "common/text.h"
#include "vmhost/launch_error.h"

namespace zor {

// String-table entry `id` in the user's language, in the narrow code page; empty when the
// table or the entry is missing.
ByteString loadMessage(int id);
// The text shown for `code`; VersionTooLow is filled with the VM's and the required numbers,
// RuntimeUnpackFailed with `folder`.
ByteString launchErrorText(LaunchError code, int32_t vmMajor, int32_t vmMinor,
                           int32_t requiredMajor, int32_t requiredMinor, const char* folder = "");
// Shows the warning box for `code` and returns once the user has closed it.
void showLaunchError(LaunchError code, int32_t vmMajor, int32_t vmMinor, int32_t requiredMajor,
                     int32_t requiredMinor, const char* folder = "");

} // namespace zor
