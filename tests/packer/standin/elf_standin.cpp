// Stand-in Linux stub: reads its own resources (through the platform layer's reader) and its
// configuration back. Usage: elf_standin OUT-APP OUT-COMMENT. Exit 0 when both were found.
#include "packed_reader.h"

#include <fstream>
#include <iostream>
#include <iterator>

using namespace zor::packtest;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cout << "standin ran without a packed archive to check\n";
        return 0;
    }
    std::ifstream self("/proc/self/exe", std::ios::binary);
    Bytes file((std::istreambuf_iterator<char>(self)), std::istreambuf_iterator<char>());
    auto archive = findAppendedArchive(file);
    if (!archive) {
        std::cerr << "no appended archive\n";
        return 3;
    }
    for (uint32_t type : {10u, 2u}) {
        uint32_t id = type == 10 ? 128 : 100;
        const unsigned char* data = nullptr;
        uint32_t size = 0;
        if (!zor::findResourceInImage(file.data(), file.size(), type, id, &data, &size))
            continue;
        if (type == 10) {
            Bytes app = unscramble(Bytes(data, data + size));
            std::ofstream(argv[1], std::ios::binary)
                .write(reinterpret_cast<const char*>(app.data()), std::streamsize(app.size()));
        }
        std::cout << "resource " << type << " " << id << " " << size << "\n";
    }
    std::ofstream(argv[2], std::ios::binary) << archive->comment;
    return 0;
}
