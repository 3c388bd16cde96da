#include "packer/runtime_image.h"

#include "packer/app_archive.h"
#include "packer/libzip_support.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace zor::pack {

namespace {

const char* targetName(Target target) {
    return target == Target::Linux ? "linux" : target == Target::Win64 ? "win64" : "win32";
}

const char* systemName(Target target) {
    return target == Target::Linux   ? "Linux x86-64"
           : target == Target::Win64 ? "Windows x86-64"
                                     : "Windows x86 (32-bit)";
}

// Up to `count` bytes of `path` from `offset`; fewer at its end.
Bytes readPart(const fs::path& path, uint64_t offset, size_t count) {
    std::ifstream in(path, std::ios::binary);
    Bytes out(count);
    if (!in.seekg(std::streamoff(offset)))
        return {};
    in.read(reinterpret_cast<char*>(out.data()), std::streamsize(count));
    out.resize(size_t(in.gcount()));
    return out;
}

// The target a VM library is built for, by its ELF or PE header; otherwise what it is, in
// words, in `what`.
std::optional<Target> libraryTarget(const fs::path& path, std::string& what) {
    Bytes head = readPart(path, 0, 64);
    if (head.size() >= 20 && head[0] == 0x7f && head[1] == 'E' && head[2] == 'L' &&
        head[3] == 'F') {
        uint16_t machine =
            head[5] == 1 ? read16(head.data() + 18) : uint16_t(head[18] << 8 | head[19]);
        if (head[4] == 2 && head[5] == 1 && machine == 62)
            return Target::Linux;
        what = std::string("an ELF ") + (head[4] == 1 ? "32-bit" : "64-bit") +
               " library for machine " + std::to_string(machine);
        return std::nullopt;
    }
    if (head.size() >= 64 && head[0] == 'M' && head[1] == 'Z') {
        Bytes pe = readPart(path, read32(head.data() + 0x3c), 6);
        if (pe.size() == 6 && pe[0] == 'P' && pe[1] == 'E' && pe[2] == 0 && pe[3] == 0) {
            uint16_t machine = read16(pe.data() + 4);
            if (machine == 0x8664)
                return Target::Win64;
            if (machine == 0x14c)
                return Target::Win32;
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%x", machine);
            what = std::string("a Windows library for machine ") + hex;
            return std::nullopt;
        }
    }
    what = "neither an ELF nor a PE library";
    return std::nullopt;
}

} // namespace

const char* vmLibraryPath(Target target) {
    return target == Target::Linux ? "lib/server/libjvm.so" : "bin/server/jvm.dll";
}

void checkRuntimeFolder(const std::string& folder, Target target) {
    std::error_code ec;
    fs::path home(folder);
    if (!fs::is_directory(home, ec))
        throw PackError("the runtime " + folder + " is not a folder");
    if (!fs::is_regular_file(home / "release", ec))
        throw PackError("the runtime " + folder +
                        " has no release file: it is not a Java runtime (a jlink output, a JDK "
                        "or a JRE)");
    fs::path library = home / vmLibraryPath(target);
    if (!fs::is_regular_file(library, ec)) {
        // A runtime for the other system, most likely.
        Target other = target == Target::Linux ? Target::Win64 : Target::Linux;
        std::string what;
        std::optional<Target> found;
        if (fs::is_regular_file(home / vmLibraryPath(other), ec))
            found = libraryTarget(home / vmLibraryPath(other), what);
        if (found)
            throw PackError("the runtime " + folder + " is a runtime for " + systemName(*found) +
                            ", not " + targetName(target));
        throw PackError("the runtime " + folder + " has no " + vmLibraryPath(target) +
                        " (the server VM of a runtime for " + targetName(target) + ")");
    }
    std::string what;
    std::optional<Target> found = libraryTarget(library, what);
    if (!found)
        throw PackError("the runtime " + folder + " is not a runtime for " + targetName(target) +
                        ": its " + vmLibraryPath(target) + " is " + what);
    if (*found != target)
        throw PackError("the runtime " + folder + " is a runtime for " + systemName(*found) +
                        ", not " + targetName(target));
}

void RuntimeHash::beginFile(const std::string& name, uint64_t size) {
    add(name.data(), name.size());
    unsigned char tail[9] = {0};
    for (int i = 0; i < 8; ++i)
        tail[1 + i] = static_cast<unsigned char>(size >> (8 * i));
    add(tail, sizeof tail);
}

void RuntimeHash::add(const void* data, size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (size_t i = 0; i < size; ++i)
        state = (state ^ p[i]) * 0x100000001b3ull;
}

std::string RuntimeHash::hex() const {
    char text[RUNTIME_IMAGE_HASH_DIGITS + 1];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(state));
    return text;
}

namespace {

struct FoundFile {
    std::string name; // relative to the runtime's home, '/'-separated
    fs::path path;
    uint64_t size;
    uint32_t mode; // permission bits
};

// Every regular file below `folder`, links followed. `ancestors` holds the folders being
// walked, by device and inode, so that a link back into one of them is caught.
void collect(const fs::path& folder, const std::string& prefix,
             std::set<std::pair<dev_t, ino_t>>& ancestors, std::vector<FoundFile>& files,
             const std::function<void(const std::string&)>& warn) {
    std::error_code ec;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    if (ec)
        throw PackError("cannot list " + folder.string() + ": " + ec.message());
    for (const fs::path& entry : entries) {
        std::string name = prefix + entry.filename().string();
        struct stat info;
        if (stat(entry.c_str(), &info) != 0) {
            if (fs::is_symlink(entry, ec)) {
                warn("left out of the runtime image: " + entry.string() + " links to " +
                     fs::read_symlink(entry, ec).string() + ", which does not exist");
                continue;
            }
            throw PackError("cannot read " + entry.string() + " of the runtime");
        }
        if (S_ISDIR(info.st_mode)) {
            auto key = std::make_pair(info.st_dev, info.st_ino);
            if (!ancestors.insert(key).second)
                throw PackError("the runtime's folder " + entry.string() +
                                " links back to a folder that contains it");
            collect(entry, name + "/", ancestors, files, warn);
            ancestors.erase(key);
        } else if (S_ISREG(info.st_mode))
            files.push_back({name, entry, uint64_t(info.st_size), uint32_t(info.st_mode & 07777)});
        else
            warn("left out of the runtime image: " + entry.string() + " is not a regular file");
    }
}

} // namespace

RuntimeImage buildRuntimeImage(const std::string& folder,
                               const std::function<void(const std::string&)>& warn) {
    std::vector<FoundFile> files;
    std::set<std::pair<dev_t, ino_t>> ancestors;
    struct stat root;
    if (stat(folder.c_str(), &root) != 0 || !S_ISDIR(root.st_mode))
        throw PackError("the runtime " + folder + " is not a folder");
    ancestors.insert({root.st_dev, root.st_ino});
    collect(folder, "", ancestors, files, warn);
    std::sort(files.begin(), files.end(),
              [](const FoundFile& a, const FoundFile& b) { return a.name < b.name; });

    RuntimeImage image;
    RuntimeHash hash;
    std::vector<char> buffer(1 << 20);
    for (const FoundFile& f : files) {
        hash.beginFile(f.name, f.size);
        std::ifstream in(f.path, std::ios::binary);
        uint64_t left = f.size;
        while (in && left > 0) {
            in.read(buffer.data(), std::streamsize(std::min<uint64_t>(left, buffer.size())));
            hash.add(buffer.data(), size_t(in.gcount()));
            left -= uint64_t(in.gcount());
        }
        if (left != 0)
            throw PackError("cannot read " + f.path.string() + " of the runtime");
        image.unpackedBytes += f.size;
    }
    image.files = files.size();
    image.hash = hash.hex();

    ErrorText error;
    zip_source_t* source = zip_source_buffer_create(nullptr, 0, 0, &error.error);
    if (!source)
        throw PackError("cannot build the runtime image: " + error.text());
    zip_source_keep(source);
    std::unique_ptr<zip_source_t, void (*)(zip_source_t*)> keep(source, zip_source_free);
    ZipHandle archive(zip_open_from_source(source, ZIP_TRUNCATE, &error.error));
    if (!archive)
        throw PackError("cannot build the runtime image: " + error.text());
    for (const FoundFile& f : files) {
        auto fail = [&] {
            throw PackError("cannot add " + f.path.string() +
                            " to the runtime image: " + zip_strerror(archive.get()));
        };
        zip_source_t* data = zip_source_file(archive.get(), f.path.c_str(), 0, 0);
        if (!data)
            fail();
        zip_int64_t index = zip_file_add(archive.get(), f.name.c_str(), data, 0);
        if (index < 0) {
            zip_source_free(data);
            fail();
        }
        auto at = zip_uint64_t(index);
        if (zip_set_file_compression(archive.get(), at, ZIP_CM_DEFLATE, 6) != 0 ||
            zip_file_set_dostime(archive.get(), at, FIXED_DOS_TIME, FIXED_DOS_DATE, 0) != 0 ||
            zip_file_set_external_attributes(archive.get(), at, 0, ZIP_OPSYS_UNIX,
                                             (uint32_t(S_IFREG) | f.mode) << 16) != 0)
            fail();
    }
    std::string comment = RUNTIME_IMAGE_COMMENT + image.hash;
    if (zip_set_archive_comment(archive.get(), comment.data(), zip_uint16_t(comment.size())) != 0 ||
        zip_close(archive.get()) != 0)
        throw PackError("cannot build the runtime image: " +
                        std::string(zip_strerror(archive.get())));
    archive.release();
    image.zip = writtenBytes(source, "the runtime image");
    return image;
}

} // namespace zor::pack
