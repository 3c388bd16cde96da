#include "packer/pe_resources.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace zor::pack {

namespace {

constexpr uint16_t MACHINE_I386 = 0x14c;
constexpr uint16_t MACHINE_AMD64 = 0x8664;
constexpr uint16_t MAGIC_PE32 = 0x10b;
constexpr uint16_t MAGIC_PE32_PLUS = 0x20b;
constexpr uint16_t FILE_EXECUTABLE_IMAGE = 0x0002;
constexpr uint16_t FILE_DLL = 0x2000;
constexpr uint32_t SECTION_HEADER_SIZE = 40;
constexpr uint32_t INITIALIZED_READABLE_DATA = 0x40000040;
constexpr uint32_t HIGH_BIT = 0x80000000u;
constexpr int RESOURCE_DIRECTORY = 2;
constexpr int SECURITY_DIRECTORY = 4;

// Optional-header field offsets shared by PE32 and PE32+.
constexpr size_t OPT_SIZE_OF_INITIALIZED_DATA = 8;
constexpr size_t OPT_SECTION_ALIGNMENT = 32;
constexpr size_t OPT_FILE_ALIGNMENT = 36;
constexpr size_t OPT_SIZE_OF_IMAGE = 56;
constexpr size_t OPT_SIZE_OF_HEADERS = 60;
constexpr size_t OPT_CHECKSUM = 64;
constexpr size_t OPT_SUBSYSTEM = 68;
constexpr uint16_t SUBSYSTEM_WINDOWS_GUI = 2;
constexpr uint16_t SUBSYSTEM_WINDOWS_CUI = 3;

size_t optionalHeaderOffset(const Bytes& file) {
    if (file.size() < 0x40 || file[0] != 'M' || file[1] != 'Z')
        return 0;
    size_t pe = read32(file.data() + 0x3c);
    if (!fits(file, pe, 24 + 2) || std::memcmp(file.data() + pe, "PE\0\0", 4) != 0)
        return 0;
    return pe + 24;
}

} // namespace

bool ResourceKey::operator<(const ResourceKey& other) const {
    if (named != other.named)
        return named;
    return named ? name < other.name : id < other.id;
}

void ResourceTree::put(uint32_t type, uint32_t id, const Bytes& data, uint16_t language) {
    Languages& languages = types[ResourceKey::ofId(type)][ResourceKey::ofId(id)];
    languages.clear();
    languages[ResourceKey::ofId(language)] = ResourceData{data, 0};
}

const ResourceData* ResourceTree::find(uint32_t type, uint32_t id, uint32_t language) const {
    auto t = types.find(ResourceKey::ofId(type));
    if (t == types.end())
        return nullptr;
    auto n = t->second.find(ResourceKey::ofId(id));
    if (n == t->second.end())
        return nullptr;
    auto l = n->second.find(ResourceKey::ofId(language));
    return l == n->second.end() ? nullptr : &l->second;
}

size_t ResourceTree::leafCount() const {
    size_t count = 0;
    for (const auto& t : types)
        for (const auto& n : t.second)
            count += n.second.size();
    return count;
}

Bytes ResourceTree::build(uint32_t sectionRva) const {
    // Layout: every directory table (root, then the name tables, then the language tables),
    // the data entries, the names, then the data, each item aligned to 8 bytes.
    auto tableSize = [](size_t entries) { return uint32_t(16 + 8 * entries); };
    uint32_t stringsSize = 0;
    auto countName = [&](const ResourceKey& k) {
        if (k.named)
            stringsSize += uint32_t(2 + 2 * k.name.size());
    };
    uint32_t tablesEnd = tableSize(types.size());
    for (const auto& t : types) {
        countName(t.first);
        tablesEnd += tableSize(t.second.size());
        for (const auto& n : t.second) {
            countName(n.first);
            tablesEnd += tableSize(n.second.size());
            for (const auto& l : n.second)
                countName(l.first);
        }
    }
    const uint32_t entriesStart = tablesEnd;
    const uint32_t stringsStart = entriesStart + uint32_t(16 * leafCount());
    const uint32_t dataStart = alignUp(stringsStart + stringsSize, 8);

    Bytes out(dataStart);
    uint32_t nextTable = 0, nextEntry = entriesStart, nextString = stringsStart;
    auto keyField = [&](const ResourceKey& k) -> uint32_t {
        if (!k.named)
            return k.id;
        uint32_t at = nextString;
        write16(out.data() + at, uint16_t(k.name.size()));
        for (size_t i = 0; i < k.name.size(); ++i)
            write16(out.data() + at + 2 + 2 * i, uint16_t(k.name[i]));
        nextString += uint32_t(2 + 2 * k.name.size());
        return HIGH_BIT | at;
    };
    auto openTable = [&](const auto& map) {
        uint32_t at = nextTable;
        size_t named = std::count_if(map.begin(), map.end(),
                                     [](const auto& entry) { return entry.first.named; });
        write16(out.data() + at + 12, uint16_t(named));
        write16(out.data() + at + 14, uint16_t(map.size() - named));
        nextTable += tableSize(map.size());
        return at;
    };
    auto setEntry = [&](uint32_t table, size_t index, const ResourceKey& k, uint32_t target) {
        write32(out.data() + table + 16 + 8 * index, keyField(k));
        write32(out.data() + table + 16 + 8 * index + 4, target);
    };

    // Tables are allocated level by level, so that each level's tables sit together.
    uint32_t root = openTable(types);
    std::vector<uint32_t> nameTables;
    for (const auto& t : types)
        nameTables.push_back(openTable(t.second));
    size_t i = 0;
    for (const auto& t : types) {
        setEntry(root, i, t.first, HIGH_BIT | nameTables[i]);
        ++i;
    }
    std::vector<uint32_t> languageTables;
    i = 0;
    for (const auto& t : types) {
        size_t j = 0;
        for (const auto& n : t.second) {
            languageTables.push_back(openTable(n.second));
            setEntry(nameTables[i], j++, n.first, HIGH_BIT | languageTables.back());
        }
        ++i;
    }
    i = 0;
    for (const auto& t : types) {
        for (const auto& n : t.second) {
            uint32_t table = languageTables[i++];
            size_t k = 0;
            for (const auto& l : n.second) {
                // Addresses and sizes are 32-bit: data that would end beyond the address
                // space (an enormous archive, a section placed near its top) would wrap.
                if (uint64_t(sectionRva) + out.size() + l.second.bytes.size() + 8 > UINT32_MAX)
                    throw PackError("the resources do not fit into the program's address space");
                uint32_t entry = nextEntry;
                nextEntry += 16;
                uint32_t dataAt = uint32_t(out.size());
                write32(out.data() + entry, sectionRva + dataAt);
                write32(out.data() + entry + 4, uint32_t(l.second.bytes.size()));
                write32(out.data() + entry + 8, l.second.codePage);
                out.insert(out.end(), l.second.bytes.begin(), l.second.bytes.end());
                out.resize(alignUp(uint32_t(out.size()), 8));
                setEntry(table, k++, l.first, entry);
            }
        }
    }
    return out;
}

PeImage::PeImage(const Bytes& file, PeKind kind) : file_(file) {
    const char* wanted =
        kind == PeKind::Pe32 ? "win32 program (PE32, i386)" : "win64 program (PE32+, x86-64)";
    optional_ = optionalHeaderOffset(file);
    if (optional_ == 0)
        throw PackError(std::string("the stub is not a Windows program; expected a ") + wanted);
    size_t coff = optional_ - 20;
    uint16_t machine = read16(file.data() + coff);
    uint16_t sectionCount = read16(file.data() + coff + 2);
    uint16_t optionalSize = read16(file.data() + coff + 16);
    uint16_t characteristics = read16(file.data() + coff + 18);
    uint16_t magic = read16(file.data() + optional_);
    plus_ = magic == MAGIC_PE32_PLUS;
    bool matches = kind == PeKind::Pe32 ? (magic == MAGIC_PE32 && machine == MACHINE_I386)
                                        : (magic == MAGIC_PE32_PLUS && machine == MACHINE_AMD64);
    if (!matches)
        throw PackError(std::string("the stub is not a ") + wanted);
    if (!(characteristics & FILE_EXECUTABLE_IMAGE) || (characteristics & FILE_DLL))
        throw PackError("the stub is a library or object, not a program");
    size_t directories = optional_ + (plus_ ? 112 : 96);
    if (!fits(file, optional_, optionalSize) || optionalSize < (plus_ ? 112 : 96) + 8 * 5 ||
        read32(file.data() + directories - 4) <= SECURITY_DIRECTORY)
        throw PackError("the stub's optional header is damaged");
    sectionAlignment_ = read32(file.data() + optional_ + OPT_SECTION_ALIGNMENT);
    fileAlignment_ = read32(file.data() + optional_ + OPT_FILE_ALIGNMENT);
    // Powers of two from 512 to 64 KB for the file, no smaller for the sections: anything
    // else is damage, and would make the rewrite pad the file to absurd sizes.
    auto powerOfTwo = [](uint32_t v) { return v != 0 && (v & (v - 1)) == 0; };
    if (!powerOfTwo(fileAlignment_) || fileAlignment_ < 512 || fileAlignment_ > 65536 ||
        !powerOfTwo(sectionAlignment_) || sectionAlignment_ < fileAlignment_)
        throw PackError("the stub's section or file alignment is damaged");
    size_t table = optional_ + optionalSize;
    if (!fits(file, table, size_t(sectionCount) * SECTION_HEADER_SIZE))
        throw PackError("the stub's section table is damaged");
    for (uint16_t s = 0; s < sectionCount; ++s) {
        const uint8_t* h = file.data() + table + s * SECTION_HEADER_SIZE;
        Section section{table + s * SECTION_HEADER_SIZE, read32(h + 8), read32(h + 12),
                        read32(h + 16), read32(h + 20)};
        if (section.rawSize != 0 && !fits(file, section.rawOffset, section.rawSize))
            throw PackError("a section of the stub lies beyond the end of the file");
        if (uint64_t(section.rva) + std::max(section.virtualSize, section.rawSize) +
                sectionAlignment_ >
            UINT32_MAX)
            throw PackError("a section of the stub lies beyond the address space");
        sections_.push_back(section);
    }
}

size_t PeImage::dataDirectory(int index) const {
    return optional_ + (plus_ ? 112 : 96) + 8 * size_t(index);
}

size_t PeImage::offsetOf(uint32_t rva, uint32_t length) const {
    for (const Section& s : sections_) {
        if (rva >= s.rva && rva - s.rva < std::max(s.virtualSize, s.rawSize)) {
            uint32_t within = rva - s.rva;
            if (within > s.rawSize || length > s.rawSize - within)
                break;
            return s.rawOffset + within;
        }
    }
    throw PackError("the stub's resource directory is damaged (address " + std::to_string(rva) +
                    " outside the file)");
}

ResourceTree PeImage::readResources() const {
    ResourceTree tree;
    const uint8_t* dir = file_.data() + dataDirectory(RESOURCE_DIRECTORY);
    uint32_t base = read32(dir);
    if (base == 0 || read32(dir + 4) == 0)
        return tree;
    auto at = [&](uint32_t relative, uint32_t length) {
        if (relative > UINT32_MAX - base)
            throw PackError("the stub's resource directory is damaged");
        return file_.data() + offsetOf(base + relative, length);
    };
    auto readKey = [&](uint32_t field) {
        ResourceKey key;
        if (!(field & HIGH_BIT))
            return ResourceKey::ofId(field);
        key.named = true;
        uint32_t offset = field & ~HIGH_BIT;
        uint16_t length = read16(at(offset, 2));
        const uint8_t* chars = at(offset + 2, 2u * length);
        for (uint16_t i = 0; i < length; ++i)
            key.name.push_back(char16_t(read16(chars + 2 * i)));
        return key;
    };
    // The entries are followed as written, so a crafted stub can point many of them at the
    // same tables (or data) and multiply the work without end. A linker writes every table
    // once and each resource's bytes once: a table reached twice, or more data than the file
    // holds, is damage.
    std::set<uint32_t> tablesSeen;
    uint64_t dataTotal = 0;
    // Calls visit(key, target field) for every entry of the table at `offset`.
    auto forEachEntry = [&](uint32_t offset, auto visit) {
        if (!tablesSeen.insert(offset).second)
            throw PackError("the stub's resource directory is damaged (a table is reached twice)");
        const uint8_t* table = at(offset, 16);
        uint32_t count = uint32_t(read16(table + 12)) + read16(table + 14);
        const uint8_t* entries = at(offset + 16, 8 * count);
        for (uint32_t i = 0; i < count; ++i)
            visit(readKey(read32(entries + 8 * i)), read32(entries + 8 * i + 4));
    };
    auto subdirectory = [](uint32_t target, bool wanted) {
        if (bool(target & HIGH_BIT) != wanted)
            throw PackError("the stub's resource directory is damaged (unexpected depth)");
        return target & ~HIGH_BIT;
    };
    forEachEntry(0, [&](const ResourceKey& type, uint32_t typeTarget) {
        forEachEntry(
            subdirectory(typeTarget, true), [&](const ResourceKey& name, uint32_t nameTarget) {
                forEachEntry(subdirectory(nameTarget, true),
                             [&](const ResourceKey& language, uint32_t leaf) {
                                 const uint8_t* entry = at(subdirectory(leaf, false), 16);
                                 uint32_t size = read32(entry + 4);
                                 dataTotal += size;
                                 if (dataTotal > file_.size())
                                     throw PackError("the stub's resource directory is damaged "
                                                     "(more data than the file holds)");
                                 const uint8_t* data = file_.data() + offsetOf(read32(entry), size);
                                 tree.types[type][name][language] =
                                     ResourceData{Bytes(data, data + size), read32(entry + 8)};
                             });
            });
    });
    return tree;
}

Bytes PeImage::withResources(const ResourceTree& tree) const {
    Bytes out;
    size_t dir = dataDirectory(RESOURCE_DIRECTORY);
    uint32_t oldRva = read32(file_.data() + dir);
    auto extent = [](const Section& s) { return s.virtualSize ? s.virtualSize : s.rawSize; };

    const Section* old = nullptr;
    const Section* last = nullptr;
    for (const Section& s : sections_) {
        if (oldRva != 0 && oldRva >= s.rva && oldRva - s.rva < std::max(s.virtualSize, s.rawSize))
            old = &s;
        if (!last || s.rva > last->rva)
            last = &s;
    }
    bool reuse = old && old == last && old->rva == oldRva;

    // A new section goes above the headers and every section, whatever order the table lists
    // them in: placed by the last one alone it could land on the headers (RVA 0, which also
    // means "no resources") or inside another section.
    uint64_t above = read32(file_.data() + optional_ + OPT_SIZE_OF_HEADERS);
    for (const Section& s : sections_)
        above = std::max<uint64_t>(above, uint64_t(s.rva) + std::max(s.virtualSize, s.rawSize));
    above = (above + sectionAlignment_ - 1) / sectionAlignment_ * sectionAlignment_;
    if (!reuse && above > UINT32_MAX - sectionAlignment_)
        throw PackError("the resources do not fit into the program's address space");
    uint32_t rva = reuse ? old->rva : uint32_t(above);
    Bytes content = tree.build(rva);
    if (uint64_t(rva) + content.size() + sectionAlignment_ > UINT32_MAX)
        throw PackError("the resources do not fit into the program's address space");
    // The new data goes right after the last section's raw data, as a linker would place
    // it; what followed the sections there (symbol table, overlay) moves behind it. Tools
    // that read resources expect section data inside the image's extent. The old resource
    // section's data is overwritten when nothing but trailing data follows it.
    size_t rawEnd = 0;
    for (const Section& s : sections_)
        if (s.rawSize != 0)
            rawEnd = std::max(rawEnd, size_t(s.rawOffset) + s.rawSize);
    rawEnd = std::max<size_t>(rawEnd, read32(file_.data() + optional_ + OPT_SIZE_OF_HEADERS));
    rawEnd = std::min(rawEnd, file_.size());
    size_t insertAt = rawEnd;
    if (reuse && old->rawSize != 0 && size_t(old->rawOffset) + old->rawSize == rawEnd)
        insertAt = old->rawOffset;
    // A signed stub's certificate table (its directory entry holds a file offset) ends the
    // file. Carried along, it would sit inside the packed program as dead bytes that a
    // signing tool takes for part of the image.
    size_t tailEnd = file_.size();
    size_t security = dataDirectory(SECURITY_DIRECTORY);
    uint32_t certificates = read32(file_.data() + security);
    uint32_t certificatesSize = read32(file_.data() + security + 4);
    if (certificates >= rawEnd && certificates < tailEnd && certificatesSize != 0 &&
        uint64_t(certificates) + certificatesSize + 7 >= tailEnd)
        tailEnd = certificates;
    uint32_t rawOffset = alignUp(uint32_t(insertAt), fileAlignment_);
    uint32_t rawSize = alignUp(uint32_t(content.size()), fileAlignment_);
    out.assign(file_.begin(), file_.begin() + insertAt);
    out.resize(size_t(rawOffset) + rawSize);
    std::copy(content.begin(), content.end(), out.begin() + rawOffset);
    out.insert(out.end(), file_.begin() + rawEnd, file_.begin() + tailEnd);
    const int64_t shift = int64_t(rawOffset) + rawSize - int64_t(rawEnd);
    uint8_t* symbols = out.data() + optional_ - 20 + 8;
    if (read32(symbols) >= rawEnd)
        write32(symbols, uint32_t(read32(symbols) + shift));

    size_t header;
    uint32_t initializedDelta = rawSize;
    if (reuse) {
        header = old->header;
        initializedDelta -= old->rawSize;
    } else {
        uint16_t count = read16(out.data() + optional_ - 20 + 2);
        header = optional_ + read16(out.data() + optional_ - 20 + 16) +
                 size_t(count) * SECTION_HEADER_SIZE;
        uint32_t firstRaw = read32(out.data() + optional_ + OPT_SIZE_OF_HEADERS);
        for (const Section& s : sections_)
            if (s.rawSize != 0)
                firstRaw = std::min(firstRaw, s.rawOffset);
        bool free = header + SECTION_HEADER_SIZE <= firstRaw &&
                    std::all_of(out.begin() + header, out.begin() + header + SECTION_HEADER_SIZE,
                                [](uint8_t b) { return b == 0; });
        if (!free)
            throw PackError("the stub has no room for another section header");
        std::memcpy(out.data() + header, ".rsrc\0\0\0", 8);
        write32(out.data() + header + 36, INITIALIZED_READABLE_DATA);
        write16(out.data() + optional_ - 20 + 2, uint16_t(count + 1));
        if (old && std::memcmp(out.data() + old->header, ".rsrc\0\0\0", 8) == 0)
            std::memcpy(out.data() + old->header, ".rsrcold", 8);
    }
    write32(out.data() + header + 8, uint32_t(content.size()));
    write32(out.data() + header + 12, rva);
    write32(out.data() + header + 16, rawSize);
    write32(out.data() + header + 20, rawOffset);

    uint32_t imageEnd = rva + uint32_t(content.size());
    for (const Section& s : sections_)
        if (!(reuse && &s == old))
            imageEnd = std::max(imageEnd, s.rva + extent(s));
    write32(out.data() + optional_ + OPT_SIZE_OF_IMAGE, alignUp(imageEnd, sectionAlignment_));
    uint8_t* initialized = out.data() + optional_ + OPT_SIZE_OF_INITIALIZED_DATA;
    write32(initialized, read32(initialized) + initializedDelta);
    write32(out.data() + dir, rva);
    write32(out.data() + dir + 4, uint32_t(content.size()));
    // A signature cannot survive the rewrite; a stale certificate entry would only mislead,
    // and signing tools refuse a program whose entry points at no table.
    write32(out.data() + security, 0);
    write32(out.data() + security + 4, 0);
    return out;
}

void makeConsoleProgram(Bytes& file) {
    size_t optional = optionalHeaderOffset(file);
    if (optional == 0 || !fits(file, optional + OPT_SUBSYSTEM, 2))
        throw PackError("the stub's optional header is damaged");
    uint8_t* field = file.data() + optional + OPT_SUBSYSTEM;
    uint16_t subsystem = read16(field);
    if (subsystem != SUBSYSTEM_WINDOWS_GUI && subsystem != SUBSYSTEM_WINDOWS_CUI)
        throw PackError("the stub is neither a GUI nor a console program (subsystem " +
                        std::to_string(subsystem) + ")");
    write16(field, SUBSYSTEM_WINDOWS_CUI);
}

void updatePeChecksum(Bytes& file) {
    size_t optional = optionalHeaderOffset(file);
    if (optional == 0 || !fits(file, optional + OPT_CHECKSUM, 4))
        return;
    size_t field = optional + OPT_CHECKSUM;
    write32(file.data() + field, 0);
    uint64_t sum = 0;
    for (size_t i = 0; i < file.size(); i += 2) {
        uint32_t word = file[i] | (i + 1 < file.size() ? file[i + 1] << 8 : 0);
        sum += word;
        sum = (sum & 0xffff) + (sum >> 16);
    }
    sum = (sum & 0xffff) + (sum >> 16);
    write32(file.data() + field, uint32_t(sum + file.size()));
}

} // namespace zor::pack
