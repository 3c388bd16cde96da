// Reading and rewriting the resources of a PE program (PE32 and PE32+).
#pragma once

#include "packer/bytes.h"

#include <map>
#include <string>

namespace zor::pack {

enum class PeKind { Pe32, Pe32Plus };

// A name or an id at one level of the resource tree. Named entries sort before ids, names
// by their UTF-16 units, ids ascending: the loader searches each level by halving.
struct ResourceKey {
    std::u16string name; // used when named
    uint32_t id = 0;
    bool named = false;

    static ResourceKey ofId(uint32_t id) { return ResourceKey{u"", id, false}; }
    bool operator<(const ResourceKey& other) const;
    bool operator==(const ResourceKey& other) const {
        return named == other.named && (named ? name == other.name : id == other.id);
    }
};

struct ResourceData {
    Bytes bytes;
    uint32_t codePage = 0;
};

// type -> name -> language -> data
class ResourceTree {
public:
    using Languages = std::map<ResourceKey, ResourceData>;
    using Names = std::map<ResourceKey, Languages>;
    using Types = std::map<ResourceKey, Names>;

    Types types;

    // Replaces every language of (type, id) by one entry of `language`.
    void put(uint32_t type, uint32_t id, const Bytes& data, uint16_t language = 0);
    const ResourceData* find(uint32_t type, uint32_t id, uint32_t language) const;
    size_t leafCount() const;

    // The section image of the tree, for a section that starts at `sectionRva`.
    Bytes build(uint32_t sectionRva) const;
};

class PeImage {
public:
    // Throws PackError unless `file` is a PE program of the given kind (i386 for PE32,
    // x86-64 for PE32+).
    PeImage(const Bytes& file, PeKind kind);

    ResourceTree readResources() const;
    // The program with its resource directory replaced by `tree`. Unless the old resource
    // section is the last one, a new ".rsrc" section is added after the last section and
    // the old one, renamed ".rsrcold", stays in place: moving other sections would break
    // the addresses that code holds. Data behind the sections (the symbol table, an
    // overlay) moves behind the new data; the symbol table pointer follows it.
    Bytes withResources(const ResourceTree& tree) const;

private:
    struct Section {
        size_t header; // file offset of its section header
        uint32_t virtualSize, rva, rawSize, rawOffset;
    };
    const Bytes& file_;
    size_t optional_ = 0;
    bool plus_ = false;
    std::vector<Section> sections_;
    uint32_t sectionAlignment_ = 0, fileAlignment_ = 0;

    size_t dataDirectory(int index) const; // file offset of the entry; 0 when absent
    // File offset of `length` bytes at `rva`, or throws.
    size_t offsetOf(uint32_t rva, uint32_t length) const;
};

// Turns a GUI program into a console program: only the subsystem field changes. Throws
// PackError for a program of any other subsystem.
void makeConsoleProgram(Bytes& file);

// Recomputes the header checksum over the whole file.
void updatePeChecksum(Bytes& file);

} // namespace zor::pack
