// The pieces of the class path (ConfigStore::classPath).
#pragma once

#include "common/text.h"

namespace zor {

// Class path elements are joined by platform::CLASS_PATH_SEPARATOR; configuration values
// separate them by ";" on every target.
void appendClassPathElements(void* classPath, const char* value);
// Appends separator + path of every ".jar" / ".zip" below folder, depth-first in directory order;
// each real folder is listed once, where the walk first reaches it (links may lead back up).
void scanArchives(const char* folder, ByteString& classPath);

} // namespace zor
