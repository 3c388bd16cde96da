// Build step for the Linux stub: clears DF_1_PIE from DT_FLAGS_1 so that the support classes'
// System.load of the running executable is accepted by the dynamic loader (glibc refuses to
// dlopen an object marked as a position-independent executable).
// Usage: zor-clear-pie FILE
#include <elf.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

int fail(const char* file, const char* why) {
    std::fprintf(stderr, "zor-clear-pie: %s: %s\n", file, why);
    return 1;
}

template <typename T> bool readAt(const std::vector<char>& image, size_t offset, T& out) {
    if (offset > image.size() || image.size() - offset < sizeof(T))
        return false;
    std::memcpy(&out, image.data() + offset, sizeof(T));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: zor-clear-pie FILE\n");
        return 2;
    }
    const char* file = argv[1];
    std::ifstream in(file, std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.eof() && !in.good())
        return fail(file, "cannot read");

    Elf64_Ehdr header;
    if (!readAt(image, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB)
        return fail(file, "not a little-endian 64-bit ELF file");
    if (header.e_type != ET_DYN)
        return fail(file, "not linked as a position-independent executable");

    for (size_t i = 0; i < header.e_phnum; ++i) {
        Elf64_Phdr segment;
        if (!readAt(image, header.e_phoff + i * header.e_phentsize, segment))
            return fail(file, "truncated program headers");
        if (segment.p_type != PT_DYNAMIC)
            continue;
        for (size_t at = segment.p_offset; at < segment.p_offset + segment.p_filesz;
             at += sizeof(Elf64_Dyn)) {
            Elf64_Dyn entry;
            if (!readAt(image, at, entry) || entry.d_tag == DT_NULL)
                break;
            if (entry.d_tag != DT_FLAGS_1)
                continue;
            entry.d_un.d_val &= ~static_cast<Elf64_Xword>(DF_1_PIE);
            std::memcpy(image.data() + at, &entry, sizeof(entry));
            std::ofstream out(file, std::ios::binary | std::ios::trunc);
            out.write(image.data(), static_cast<std::streamsize>(image.size()));
            return out.good() ? 0 : fail(file, "cannot write");
        }
    }
    return fail(file, "no DT_FLAGS_1 entry");
}
