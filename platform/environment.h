// The process environment. Names compare without regard to letter case.
#pragma once

#include "common/text.h"

namespace zor::platform {

// True when the variable is defined (its value may be empty).
bool getEnvironment(const char* name, ByteString& value);
bool setEnvironment(const char* name, const char* value);

} // namespace zor::platform
