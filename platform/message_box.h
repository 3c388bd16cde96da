// The launcher's one way of telling the user about a failure.
#pragma once

namespace zor::platform {

// Shows a warning box (OK button) owned by `owner` (may be null) and returns when it has been
// closed. Linux writes "caption: text" and a line end to standard error; a Windows console
// program (zorpack --console) writes that line to standard error too, then shows the box.
void showMessageBox(void* owner, const char* text, const char* caption);
// Writes `text` and a line end to standard error, where the process has one; no box.
void writeWarning(const char* text);

} // namespace zor::platform
