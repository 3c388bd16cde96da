#include "config_fixture.h"

#include <zlib.h>

namespace zortest {

std::string zipWithComment(const std::string& comment) {
    const std::string name = "a.txt";
    const std::string content = "hello";
    uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(content.data()),
                                               static_cast<uInt>(content.size())));
    auto size = static_cast<uint32_t>(content.size());
    auto nameLength = static_cast<uint32_t>(name.size());

    std::string zip;
    putLittleEndian(zip, 0x04034B50, 4); // local header
    putLittleEndian(zip, 10, 2);         // version needed
    putLittleEndian(zip, 0, 2);          // flags
    putLittleEndian(zip, 0, 2);          // stored
    putLittleEndian(zip, 0, 4);          // time, date
    putLittleEndian(zip, crc, 4);
    putLittleEndian(zip, size, 4);
    putLittleEndian(zip, size, 4);
    putLittleEndian(zip, nameLength, 2);
    putLittleEndian(zip, 0, 2);
    zip += name + content;

    auto directoryOffset = static_cast<uint32_t>(zip.size());
    putLittleEndian(zip, 0x02014B50, 4); // central directory header
    putLittleEndian(zip, 20, 2);         // version made by
    putLittleEndian(zip, 10, 2);
    putLittleEndian(zip, 0, 2);
    putLittleEndian(zip, 0, 2);
    putLittleEndian(zip, 0, 4);
    putLittleEndian(zip, crc, 4);
    putLittleEndian(zip, size, 4);
    putLittleEndian(zip, size, 4);
    putLittleEndian(zip, nameLength, 2);
    putLittleEndian(zip, 0, 2); // extra
    putLittleEndian(zip, 0, 2); // comment
    putLittleEndian(zip, 0, 2); // disk
    putLittleEndian(zip, 0, 2); // internal attributes
    putLittleEndian(zip, 0, 4); // external attributes
    putLittleEndian(zip, 0, 4); // local header offset
    zip += name;
    auto directorySize = static_cast<uint32_t>(zip.size()) - directoryOffset;

    putLittleEndian(zip, 0x06054B50, 4); // end record
    putLittleEndian(zip, 0, 2);
    putLittleEndian(zip, 0, 2);
    putLittleEndian(zip, 1, 2);
    putLittleEndian(zip, 1, 2);
    putLittleEndian(zip, directorySize, 4);
    putLittleEndian(zip, directoryOffset, 4);
    putLittleEndian(zip, static_cast<uint32_t>(comment.size() & 0xFFFF), 2);
    return zip + comment;
}

} // namespace zortest
