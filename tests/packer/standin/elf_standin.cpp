// Stand-in Linux stub: reads its own resource block and configuration back, as the launcher's
// platform layer would. Usage: elf_standin OUT-APP OUT-COMMENT. Exit 0 when both were found.
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
    auto block = readResourceBlock(file, archive->start);
    if (!block) {
        std::cerr << "no resource block\n";
        return 4;
    }
    for (const BlockEntry& e : block->entries) {
        if (e.type == 10 && e.id == 128) {
            Bytes app = unscramble(e.data);
            std::ofstream(argv[1], std::ios::binary)
                .write(reinterpret_cast<const char*>(app.data()), std::streamsize(app.size()));
        }
        std::cout << "resource " << e.type << " " << e.id << " " << e.data.size() << "\n";
    }
    std::ofstream(argv[2], std::ios::binary) << archive->comment;
    return 0;
}
