// The search for a runtime's VM library (ConfigStore::runtimeLibraryPath and its methods).
#pragma once

#include "common/config_syntax.h"
#include "common/text.h"

namespace zor {

// Runtime search methods: c = "jvmdll", e = JRE_HOME/JAVA_HOME, s = JavaSoft registry key (on
// Linux: the system's default runtime), i = IBM registry key; then the runtimes of today's
// installers: j = the Java 9+ JavaSoft keys, v = the OpenJDK vendors' own keys, p = the java
// command on PATH. The last three run after the others, so an order that found a runtime with
// the first four still finds the same one. r = the runtime the executable carries, named only
// by the configuration zorpack writes for it.
constexpr const char* JRE_ORDER_LETTERS = "csiejvpr";
constexpr const char* JAVASOFT_RUNTIME_KEY = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
constexpr const char* IBM_RUNTIME_KEY = "SOFTWARE\\IBM\\Java2 Runtime Environment";

ByteString findRuntimeFromEnvironment();
ByteString findRuntimeFromRegistry(const char* vendorKey);
// The VM library in a runtime home: in each candidate folder, then one folder level below it.
ByteString findRuntimeBelow(const char* home);

} // namespace zor
