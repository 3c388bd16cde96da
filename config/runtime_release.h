// What a runtime says about itself in the `release` file of its home, read before its VM
// library is loaded: options that only some runtimes understand are chosen from it.
#pragma once

#include "common/text.h"

#include <cstdint>

namespace zor {

// The value of the JAVA_VERSION line of a release file's text, without its quotes ("17.0.15");
// empty when there is none.
ByteString javaVersionFromRelease(const char* text, int32_t length);

// Reads the `release` file of the runtime home `home` (with or without a trailing separator):
// false when there is none; `text` is left empty when the file is too large to be one.
bool readReleaseFile(const ByteString& home, ByteString& text);

// The major version in the JAVA_VERSION line of a release file's text ("17.0.15" gives 17,
// "1.8.0_392" gives 8); 0 when there is none.
int32_t majorVersionFromRelease(const char* text, int32_t length);

// The major version of the runtime whose VM library is at `libraryPath`, from the first
// `release` file in the library's folder or in one of the four folders above it (the home of
// lib/server/libjvm.so, bin\server\jvm.dll and jre/lib/amd64/server/libjvm.so alike); 0 when
// none is found or it names no version.
int32_t runtimeMajorVersion(const char* libraryPath);

} // namespace zor
