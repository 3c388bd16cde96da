#include "platform/strings.h"

#include "platform/posix/compiled_strings.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace zor::platform {

namespace {

constexpr uint16_t ENGLISH = 1033;

// The blocks in resource layout (per entry: a count, then its units), built once.
struct LaidOutBlock {
    uint16_t language;
    uint16_t blockId;
    std::vector<uint16_t> units;
};

std::vector<LaidOutBlock> layOutBlocks() {
    std::vector<LaidOutBlock> blocks;
    for (int b = 0; b < COMPILED_STRING_BLOCK_COUNT; ++b) {
        const CompiledStringBlock& source = COMPILED_STRING_BLOCKS[b];
        LaidOutBlock block{source.language, source.blockId, {}};
        for (const char16_t* entry : source.entries) {
            size_t n = entry ? std::char_traits<char16_t>::length(entry) : 0;
            block.units.push_back(static_cast<uint16_t>(n));
            for (size_t i = 0; i < n; ++i)
                block.units.push_back(static_cast<uint16_t>(entry[i]));
        }
        blocks.push_back(std::move(block));
    }
    return blocks;
}

const LaidOutBlock* findBlock(uint16_t language, int blockId) {
    static const std::vector<LaidOutBlock> blocks = layOutBlocks();
    for (const LaidOutBlock& block : blocks)
        if (block.language == language && block.blockId == blockId)
            return &block;
    return nullptr;
}

} // namespace

uint16_t userLanguage() {
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        locale = std::getenv(name);
        if (locale && *locale)
            break;
        locale = nullptr;
    }
    if (!locale || std::strncmp(locale, "zh", 2) != 0 || std::isalpha(locale[2] & 0xFF))
        return ENGLISH;
    if (std::strncmp(locale + 2, "_TW", 3) == 0 || std::strncmp(locale + 2, "_HK", 3) == 0)
        return 1028;
    return 2052;
}

bool findStringBlock(int blockId, const uint16_t** units, uint32_t* unitCount) {
    const LaidOutBlock* block = findBlock(userLanguage(), blockId);
    if (!block) // like the Windows resource loader, fall back to the neutral English table
        block = findBlock(ENGLISH, blockId);
    if (!block)
        return false;
    *units = block->units.data();
    *unitCount = static_cast<uint32_t>(block->units.size());
    return true;
}

} // namespace zor::platform
