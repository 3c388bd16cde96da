// Multi-release archives as the JDK's JarFile serves them to the class path: in an archive whose
// manifest says "Multi-Release: true", name N is served by META-INF/versions/V/N for the highest
// V that the running VM's feature version allows, else by N itself.
#pragma once

#include "common/text.h"

#include <cstdint>

namespace zor {

// The running VM's feature version (17 for Java 17), 0 until it is known. Set once by the code
// that talks to the VM; every lookup reads it.
int32_t runtimeFeatureVersion();
void setRuntimeFeatureVersion(int32_t feature);
// The feature version that a "java.specification.version" text names: "1.8" gives 8, "17" and
// "17.0" give 17; 0 for anything else.
int32_t featureVersionOf(const ByteString& specificationVersion);

// Whether the main section of a manifest says "Multi-Release: true" the way the JDK's check
// reads it: name and value in any letter case, nothing after the value on its line, a line end
// after it and no continuation line.
bool declaresMultiRelease(const char* manifest, int32_t length);

// The versioned entries of one multi-release archive, by the name they serve.
class VersionedIndex {
public:
    // Records entry `number` when `name` is META-INF\versions\V\N (either separator) with V a
    // plain decimal number of at least 8 and N a name that does not itself lie in META-INF\:
    // the JDK never versions those.
    void add(const char* name, int32_t length, int32_t number);
    // Puts the recorded entries in lookup order; call once after the last add.
    void sort();
    void clear() { entries.resize(0); }
    bool isEmpty() const { return entries.length == 0; }
    // The entry that serves `name` on a VM of feature version `feature`, or -1 when no versioned
    // entry does (the name itself then serves). By halving: no scan per lookup.
    int32_t find(const char* name, int32_t length, int32_t feature) const;

private:
    struct Versioned {
        const char* name; // the served name, inside the archive reader's copy of the entry name
        int32_t length;
        int32_t version;
        int32_t number;
    };
    Array<Versioned> entries; // in the order `before` gives

    // By name as the store's index orders names, then by version.
    static bool before(const Versioned& a, const Versioned& b);
};

} // namespace zor
