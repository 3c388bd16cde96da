// The application archive: what zorpack reads from jars (entry names, the manifest) and how it
// nests libraries into the archive it embeds.
#pragma once

#include "packer/bytes.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zor::pack {

struct ZipListing {
    std::vector<std::string> names;
    std::optional<std::string> manifest; // META-INF/MANIFEST.MF, when present
    // The entry names of the .jar and .zip archives inside, which the launcher opens too.
    std::vector<std::string> nestedNames;

    bool holds(const std::string& name) const;
};

// Throws PackError ("<label> is not a ZIP archive ...") for anything a ZIP reader refuses.
// Archives inside are listed `nestedDepth` levels deep; one that does not open is skipped,
// as the launcher skips it.
ZipListing listZip(const Bytes& data, const std::string& label, int nestedDepth = 1);

// The main section of a jar manifest; attribute names compare without regard to case.
class Manifest {
public:
    explicit Manifest(const std::string& text);
    // Empty when absent.
    std::string get(const std::string& name) const;

private:
    std::map<std::string, std::string> main_; // lower-case name -> value
};

// The entry that holds class `name` ("a.b.C" -> "a/b/C.class").
std::string classEntryName(const std::string& name);

// The paths a manifest Class-Path value names, resolved as the JDK resolves them: split at
// white space, "file:" URLs and percent escapes decoded, relative to `jarFolder`. Entries
// with another URL scheme cannot be nested and are returned in `skipped`.
std::vector<std::string> classPathEntries(const std::string& value, const std::string& jarFolder,
                                          std::vector<std::string>& skipped);

struct Library {
    std::string entryName; // "lib/NAME.jar"
    Bytes data;
};

// Stamped on every entry zorpack adds, so that the same inputs give the same bytes.
// 1980-02-01 00:00: the first DOS date that no time zone moves before the ZIP epoch.
constexpr uint16_t FIXED_DOS_DATE = (0 << 9) | (2 << 5) | 1;
constexpr uint16_t FIXED_DOS_TIME = 0;

// `app` with the libraries added as stored entries; the application's own entries are copied
// as they are. Throws PackError when an entry of that name exists already.
Bytes withLibraries(const Bytes& app, const std::vector<Library>& libraries);

} // namespace zor::pack
