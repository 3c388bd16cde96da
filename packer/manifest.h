// Application manifests that replace the stub's own (zorpack --manifest).
#pragma once

#include "packer/bytes.h"

#include <string>

namespace zor::pack {

// Throws PackError, naming `file`, unless `xml` is a well-formed XML document whose root is
// the <assembly> element of the manifest namespace: Windows refuses to start a program whose
// manifest is anything else.
void checkManifest(const Bytes& xml, const std::string& file);

} // namespace zor::pack
