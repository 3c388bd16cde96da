#include "packer/win_resources.h"

#include <cstring>

namespace zor::pack {

namespace {

constexpr size_t ICON_DIR_SIZE = 6;
constexpr size_t ICON_FILE_ENTRY_SIZE = 16;
constexpr size_t ICON_GROUP_ENTRY_SIZE = 14;

void append16(Bytes& b, uint16_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void pad4(Bytes& b) {
    while (b.size() % 4)
        b.push_back(0);
}

// UTF-8 to UTF-16 units; throws PackError on bytes that are not UTF-8.
std::u16string utf16(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        uint8_t c = uint8_t(text[i]);
        int extra = c < 0x80             ? 0
                    : (c & 0xe0) == 0xc0 ? 1
                    : (c & 0xf0) == 0xe0 ? 2
                    : (c & 0xf8) == 0xf0 ? 3
                                         : -1;
        if (extra < 0)
            throw PackError("the text '" + text + "' is not UTF-8");
        uint32_t code = extra == 0 ? c : c & (0x3f >> extra);
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= text.size() || (uint8_t(text[i + k]) & 0xc0) != 0x80)
                throw PackError("the text '" + text + "' is not UTF-8");
            code = (code << 6) | (uint8_t(text[i + k]) & 0x3f);
        }
        static const uint32_t smallest[4] = {0, 0x80, 0x800, 0x10000};
        if (code < smallest[extra] || code > 0x10ffff || (code >= 0xd800 && code < 0xe000))
            throw PackError("the text '" + text + "' is not UTF-8");
        if (code >= 0x10000) {
            code -= 0x10000;
            out.push_back(char16_t(0xd800 + (code >> 10)));
            out.push_back(char16_t(0xdc00 + (code & 0x3ff)));
        } else
            out.push_back(char16_t(code));
        i += size_t(extra) + 1;
    }
    return out;
}

// One node of the version tree: length, value length, type, key, padding, value, children.
// The length covers the padding between children but not after the last one.
Bytes versionNode(const std::string& key, uint16_t valueLength, bool text, const Bytes& value,
                  const std::vector<Bytes>& children) {
    Bytes node(6);
    for (char16_t unit : utf16(key))
        append16(node, uint16_t(unit));
    append16(node, 0);
    pad4(node);
    node.insert(node.end(), value.begin(), value.end());
    for (const Bytes& child : children) {
        pad4(node);
        node.insert(node.end(), child.begin(), child.end());
    }
    if (node.size() > 0xffff)
        throw PackError("the version information is too long");
    write16(node.data(), uint16_t(node.size()));
    write16(node.data() + 2, valueLength);
    write16(node.data() + 4, text ? 1 : 0);
    return node;
}

} // namespace

std::vector<Resource> iconResources(const Bytes& ico, const std::string& path) {
    auto refuse = [&](const std::string& why) {
        return PackError("the icon " + path + " is not a Windows icon (.ico): " + why);
    };
    if (ico.size() < ICON_DIR_SIZE || read16(ico.data()) != 0 || read16(ico.data() + 2) != 1)
        throw refuse("no icon header");
    uint16_t count = read16(ico.data() + 4);
    if (count == 0)
        throw refuse("it holds no image");
    if (!fits(ico, ICON_DIR_SIZE, size_t(count) * ICON_FILE_ENTRY_SIZE))
        throw refuse("its directory is cut short");
    Bytes group(ICON_DIR_SIZE);
    group.reserve(ICON_DIR_SIZE + size_t(count) * ICON_GROUP_ENTRY_SIZE);
    write16(group.data() + 2, 1);
    write16(group.data() + 4, count);
    std::vector<Resource> resources;
    for (uint16_t i = 0; i < count; ++i) {
        const uint8_t* entry = ico.data() + ICON_DIR_SIZE + size_t(i) * ICON_FILE_ENTRY_SIZE;
        uint32_t size = read32(entry + 8), offset = read32(entry + 12);
        if (size < 8 || !fits(ico, offset, size))
            throw refuse("image " + std::to_string(i + 1) + " lies outside the file");
        const uint8_t* image = ico.data() + offset;
        bool png = std::memcmp(image, "\x89PNG", 4) == 0;
        if (!png && read32(image) != 40)
            throw refuse("image " + std::to_string(i + 1) + " is neither a bitmap nor a PNG");
        uint16_t id = uint16_t(i + 1);
        resources.push_back({TYPE_ICON, id, Bytes(image, image + size)});
        // The group entry is the file entry with the image's id in place of its offset.
        group.insert(group.end(), entry, entry + 12);
        append16(group, id);
    }
    resources.push_back({TYPE_GROUP_ICON, ICON_GROUP_ID, group});
    return resources;
}

bool versionNumbers(const std::string& version, uint16_t (&numbers)[4]) {
    std::memset(numbers, 0, sizeof numbers);
    size_t at = 0;
    for (int k = 0; k < 4; ++k) {
        if (at >= version.size() || version[at] < '0' || version[at] > '9')
            return k > 0;
        uint32_t n = 0;
        while (at < version.size() && version[at] >= '0' && version[at] <= '9') {
            n = n * 10 + uint32_t(version[at++] - '0');
            if (n > 65535)
                return false;
        }
        numbers[k] = uint16_t(n);
        if (at >= version.size() || version[at] != '.')
            return true;
        ++at;
    }
    return true;
}

Bytes versionResource(const VersionText& text) {
    uint16_t numbers[4];
    versionNumbers(text.version, numbers);
    Bytes fixed(52);
    write32(fixed.data(), 0xfeef04bd);     // signature
    write32(fixed.data() + 4, 0x00010000); // structure version 1.0
    uint32_t high = uint32_t(numbers[0]) << 16 | numbers[1];
    uint32_t low = uint32_t(numbers[2]) << 16 | numbers[3];
    write32(fixed.data() + 8, high); // file version
    write32(fixed.data() + 12, low);
    write32(fixed.data() + 16, high); // product version
    write32(fixed.data() + 20, low);
    write32(fixed.data() + 24, 0x3f);    // meaningful flag bits
    write32(fixed.data() + 32, 0x40004); // VOS_NT_WINDOWS32
    write32(fixed.data() + 36, 1);       // VFT_APP

    const std::pair<const char*, const std::string*> fields[] = {
        {"CompanyName", &text.company},      {"FileDescription", &text.description},
        {"FileVersion", &text.version},      {"InternalName", &text.internalName},
        {"LegalCopyright", &text.copyright}, {"OriginalFilename", &text.originalFilename},
        {"ProductName", &text.productName},  {"ProductVersion", &text.version},
    };
    std::vector<Bytes> strings;
    for (const auto& [key, value] : fields) {
        if (value->empty())
            continue;
        Bytes units;
        std::u16string wide = utf16(*value);
        for (char16_t unit : wide)
            append16(units, uint16_t(unit));
        append16(units, 0);
        // A string's value length counts UTF-16 units, the terminating NUL included.
        strings.push_back(versionNode(key, uint16_t(wide.size() + 1), true, units, {}));
    }
    Bytes table = versionNode("040904B0", 0, true, {}, strings); // US English, UTF-16
    Bytes stringInfo = versionNode("StringFileInfo", 0, true, {}, {table});
    Bytes translation(4);
    write16(translation.data(), 0x0409);
    write16(translation.data() + 2, 1200);
    Bytes var = versionNode("Translation", 4, false, translation, {});
    Bytes varInfo = versionNode("VarFileInfo", 0, true, {}, {var});
    return versionNode("VS_VERSION_INFO", uint16_t(fixed.size()), false, fixed,
                       {stringInfo, varInfo});
}

} // namespace zor::pack
