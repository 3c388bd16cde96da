// The launch trace: with the environment variable ZOR_DEBUG set (to anything but "" or "0"),
// the launcher writes each decision it takes as one line, so that a user whose program does not
// start can learn why. Linux and console programs write to standard error; a GUI Windows
// program writes a file beside the executable (else in %TEMP%), named in its first line, and
// hands every line to OutputDebugStringA. Without the variable nothing is done.
#pragma once

namespace zor::platform {

bool tracing();
// One line, printf-formatted, behind "zor: ".
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Where the lines go; the message box's platform file knows the program's kind.
void writeTraceLine(const char* line);

} // namespace zor::platform
