#include "packer/packing.h"

#include <cstdio>

#include "packer/pe_resources.h"
#include "packer/win_resources.h"
#include "platform/dib_image.h"
#include "platform/resource_block.h"

#include <algorithm>
#include <cstring>

namespace zor::pack {

namespace {

bool hasLineBreak(const std::string& s) {
    return s.find_first_of("\r\n") != std::string::npos;
}

} // namespace

std::string buildConfigText(const std::string& mainClass, const std::vector<Setting>& settings) {
    if (mainClass.empty())
        throw PackError("no main class: --main-class NAME is required");
    if (hasLineBreak(mainClass))
        throw PackError("the main class holds a line break");
    std::string text = KEY_MAIN_CLASS + (" " + mainClass) + "\r\n";
    for (const Setting& s : settings) {
        if (s.key.empty())
            throw PackError("--set with an empty key");
        if (s.key.find_first_of(" =") != std::string::npos)
            throw PackError("--set key '" + s.key + "' holds a space or '='");
        if (hasLineBreak(s.key) || hasLineBreak(s.value))
            throw PackError("--set " + s.key + ": key or value holds a line break");
        text += s.key + " " + s.value + "\r\n";
    }
    // Read back as the launcher reads it: each line gives the key it was written for (a key
    // that begins with another is read as that one) and its whole value.
    ConfigLines lines(text.data(), text.data() + text.size());
    const char *begin, *end, *value;
    for (size_t i = 0; lines.next(begin, end); ++i) {
        const Setting written = i == 0 ? Setting{KEY_MAIN_CLASS, mainClass} : settings[i - 1];
        const char* read = configKeyOfLine(begin, end, value);
        if (read && lowerCase(written.key) != read)
            throw PackError("--set key '" + written.key + "' would be read as " + read);
        if (read && std::string(value, end) != written.value)
            throw PackError((i == 0 ? "the main class" : "--set " + written.key + ": the value") +
                            " begins with a space or '=', which the launcher would drop");
    }
    // The launcher's text ends at the first NUL, and its configuration reader takes the
    // end-record signature nearest the end of the file as the record: either inside the text
    // would cut the configuration short. (Its archive reader would still find the real record
    // by the comment length, unless the false one happened to agree with it.)
    if (text.find('\0') != std::string::npos)
        throw PackError("the configuration holds a NUL byte");
    if (lastEndSignature(reinterpret_cast<const uint8_t*>(text.data()),
                         static_cast<int64_t>(text.size()) - 3, 0) >= 0)
        throw PackError("the configuration holds the ZIP end-record signature PK\\5\\6");
    if (text.size() > size_t(CONFIG_TEXT_LIMIT))
        throw PackError("the configuration is " + std::to_string(text.size()) +
                        " bytes long; the launcher reads at most " +
                        std::to_string(CONFIG_TEXT_LIMIT));
    return text;
}

void checkSupportArchive(const Bytes& zip) {
    int64_t size = static_cast<int64_t>(zip.size());
    int64_t at = lastEndSignature(zip.data(), size - END_RECORD_SIZE + 1,
                                  endRecordLowest(size, END_RECORD_MAX_COMMENT));
    if (at < 0)
        throw PackError("the support archive is not a ZIP archive (no end record)");
    EndRecord end = readEndRecord(zip.data() + at);
    if (at + END_RECORD_SIZE != size || end.commentLength != 0)
        throw PackError("the support archive already has a comment");
    if (end.diskNumber != 0 || end.directoryDisk != 0 || end.entriesOnDisk != end.entryCount)
        throw PackError("the support archive spans several disks");
    // The launcher finds the archive's start from the end record; bytes in front of the
    // archive would be taken for part of the program.
    if (archiveStart(end, at) != 0)
        throw PackError("the support archive does not start at its first byte or its "
                        "central directory is damaged");
    if (end.entryCount != 0 &&
        !(end.directorySize >= 4 && read32(zip.data() + end.directoryOffset) == 0x02014b50))
        throw PackError("the support archive's central directory is damaged");
}

Bytes withComment(const Bytes& zip, const std::string& comment) {
    Bytes out(zip);
    write16(out.data() + out.size() - 2, uint16_t(comment.size()));
    out.insert(out.end(), comment.begin(), comment.end());
    return out;
}

Bytes scramble(const Bytes& data) {
    Bytes out(data.size());
    scrambleArchive(data.data(), data.size(), out.data());
    return out;
}

Bytes bitmapResource(const Bytes& bmpFile) {
    constexpr size_t FILE_HEADER = 14;
    if (bmpFile.size() < FILE_HEADER + 12 || bmpFile[0] != 'B' || bmpFile[1] != 'M')
        throw PackError("the splash file is not a .bmp bitmap");
    Bytes resource(bmpFile.begin() + FILE_HEADER, bmpFile.end());
    DibLayout layout;
    const char* problem = checkDib(resource.data(), resource.size(), &layout);
    // Windows reads the pixels right behind the palette; a file that keeps them further on
    // (its header's pixel offset says where) is carried without the gap.
    uint32_t pixelsAt = read32(bmpFile.data() + 10);
    if (!problem && pixelsAt > FILE_HEADER + layout.pixelOffset && pixelsAt < bmpFile.size()) {
        resource.resize(layout.pixelOffset);
        resource.insert(resource.end(), bmpFile.begin() + pixelsAt, bmpFile.end());
        problem = checkDib(resource.data(), resource.size(), &layout);
    }
    if (problem)
        throw PackError(std::string("the splash file cannot be shown: ") + problem);
    return resource;
}

void checkElfStub(const Bytes& stub) {
    if (stub.size() < 64 || std::memcmp(stub.data(),
                                        "\x7f"
                                        "ELF",
                                        4) != 0)
        throw PackError("the stub is not an ELF program");
    uint16_t type = read16(stub.data() + 16);
    if (stub[4] != 2 || stub[5] != 1 || read16(stub.data() + 18) != 62 || (type != 2 && type != 3))
        throw PackError("the stub is not an x86-64 ELF program");
    // A position-independent program names its interpreter; a shared library does not.
    if (type == 3) {
        uint64_t offset = read64(stub.data() + 32);
        uint16_t entrySize = read16(stub.data() + 54), count = read16(stub.data() + 56);
        bool interpreter = false;
        for (uint16_t i = 0; i < count && entrySize >= 4; ++i) {
            uint64_t at = offset + uint64_t(i) * entrySize;
            if (at > stub.size() || stub.size() - at < 4)
                throw PackError("the stub's program headers are damaged");
            interpreter = interpreter || read32(stub.data() + at) == 3; // PT_INTERP
        }
        if (!interpreter)
            throw PackError("the stub is a shared library, not an x86-64 ELF program");
    }
}

Bytes buildResourceBlock(const std::vector<Resource>& resources) {
    Bytes block;
    for (const Resource& r : resources) {
        append32(block, r.type);
        append32(block, r.id);
        append32(block, uint32_t(r.data.size()));
        block.insert(block.end(), r.data.begin(), r.data.end());
    }
    append32(block, uint32_t(resources.size()));
    uint64_t total = uint64_t(block.size()) + 4 + sizeof(RESOURCE_BLOCK_MAGIC);
    if (total > UINT32_MAX)
        throw PackError("the resources exceed 4 GB");
    append32(block, uint32_t(total));
    block.insert(block.end(), RESOURCE_BLOCK_MAGIC, RESOURCE_BLOCK_MAGIC + 8);
    return block;
}

Bytes packExecutable(const PackInput& input) {
    checkSupportArchive(input.support);
    Bytes out;
    if (input.target == Target::Linux) {
        checkElfStub(input.stub);
        out = input.stub;
        Bytes block = buildResourceBlock(input.resources);
        out.insert(out.end(), block.begin(), block.end());
    } else {
        PeImage image(input.stub, input.target == Target::Win64 ? PeKind::Pe32Plus : PeKind::Pe32);
        ResourceTree tree = image.readResources();
        // A new icon replaces the stub's icons whole: left in place, images of the old group
        // would linger under ids the new group does not use.
        bool newIcon = std::any_of(input.resources.begin(), input.resources.end(),
                                   [](const Resource& r) { return r.type == TYPE_GROUP_ICON; });
        if (newIcon) {
            tree.types.erase(ResourceKey::ofId(TYPE_ICON));
            tree.types.erase(ResourceKey::ofId(TYPE_GROUP_ICON));
        }
        for (const Resource& r : input.resources)
            tree.put(r.type, r.id, r.data, r.language);
        out = image.withResources(tree);
        if (input.console)
            makeConsoleProgram(out);
    }
    Bytes archive = withComment(input.support, input.configText);
    out.insert(out.end(), archive.begin(), archive.end());
    if (input.target != Target::Linux)
        updatePeChecksum(out);
    return out;
}

std::string warmStartFileName(const std::string& outName, const Bytes& packed) {
    std::string name = outName;
    if (name.size() > 4 && name.compare(name.size() - 4, 4, ".exe") == 0)
        name.resize(name.size() - 4);
    for (char& c : name) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '.' || c == '-' || c == '_';
        if (!plain)
            c = '_';
    }
    // FNV-1a: enough to tell builds apart, not a security measure.
    uint64_t hash = 0xcbf29ce484222325ull;
    for (uint8_t b : packed) {
        hash ^= b;
        hash *= 0x100000001b3ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof(hex), "%016llx", static_cast<unsigned long long>(hash));
    return name + "-" + hex + ".jsa";
}

} // namespace zor::pack
