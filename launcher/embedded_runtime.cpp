#include "launcher/embedded_runtime.h"

#include "archive/archive_reader.h"
#include "common/packed_file.h"
#include "config/runtime_locator.h"
#include "launcher/messages.h"
#include "launcher/warm_start.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/resources.h"
#include "platform/system.h"
#include "platform/trace.h"

#include <chrono>
#include <cstring>
#include <vector>

namespace zor {

namespace {

// The hash at the end of the image's comment: empty unless the comment is exactly
// RUNTIME_IMAGE_COMMENT and RUNTIME_IMAGE_HASH_DIGITS lower-case hex digits, which then name a
// folder of the cache.
ByteString imageHash(const ArchiveReader& reader) {
    const ByteBuffer& comment = reader.endRecord().comment;
    const auto prefix = static_cast<int32_t>(std::strlen(RUNTIME_IMAGE_COMMENT));
    if (comment.length != prefix + RUNTIME_IMAGE_HASH_DIGITS ||
        std::memcmp(comment.data, RUNTIME_IMAGE_COMMENT, static_cast<size_t>(prefix)) != 0)
        return ByteString();
    for (int32_t i = prefix; i < comment.length; ++i)
        if (hexDigitValue(comment[i]) < 0 || lowerAscii(comment[i]) != comment[i])
            return ByteString();
    return ByteString(comment.data + prefix, RUNTIME_IMAGE_HASH_DIGITS);
}

// Where entry `name` (the reader gives '\' for '/') goes below `home`; empty for a name that
// would lead out of it: rooted, with a drive, a NUL, an empty part or a "..".
ByteString entryPath(const ByteString& home, const ByteBuffer& name) {
    ByteString relative(name.data, name.length);
    if (relative.isEmpty() || relative[0] == '\\' ||
        std::memchr(name.data, 0, static_cast<size_t>(name.length)) ||
        std::strchr(relative.c_str(), ':'))
        return ByteString();
    for (int32_t start = 0, end; start < relative.length; start = end + 1) {
        for (end = start; end < relative.length && relative[end] != '\\'; ++end) {
        }
        ByteString part(relative.data + start, end - start);
        if ((part.isEmpty() && end < relative.length) || part == "..")
            return ByteString();
    }
    relative.replaceAll('\\', platform::DIR_SEPARATOR);
    return home + relative;
}

bool isFolderEntry(const ArchiveEntryHeader& header) {
    return header.name.length > 0 && header.name[header.name.length - 1] == '\\';
}

// The cheap check of a later start: the marker holds the hash and every file of the image is
// there with its size. Nothing is read but the marker.
bool isComplete(const ByteString& home, const ArchiveReader& reader, const ByteString& hash) {
    ByteString marker;
    platform::readWholeFile((home + RUNTIME_MARKER_NAME).c_str(), 64, marker);
    if (!(marker == hash))
        return false;
    for (int32_t i = 0; i < reader.entryCount(); ++i) {
        const ArchiveEntryHeader& header = reader.header(i);
        ByteString path = entryPath(home, header.name);
        int64_t size = -1;
        int64_t modified = 0;
        if (!isFolderEntry(header) &&
            (!platform::fileStamp(path.c_str(), size, modified) || size != header.uncompressedSize))
            return false;
    }
    return true;
}

// Writes every entry below `home`, an empty folder. The reader checks each file's CRC-32
// (raising ArchiveError); the sizes are checked here.
bool unpackInto(ArchiveReader& reader, const ByteString& home) {
    std::vector<char> buffer(256 * 1024);
    for (int32_t i = 0; i < reader.entryCount(); ++i) {
        const ArchiveEntryHeader& header = reader.header(i);
        ByteString path = entryPath(home, header.name);
        if (path.isEmpty())
            return platform::trace("embedded runtime: refused entry name %s",
                                   ByteString(header.name.data, header.name.length).c_str()),
                   false;
        platform::createParentFolders(path);
        if (isFolderEntry(header))
            continue;
        // The Unix mode sits in the upper half of the attributes of entries made on Unix (3).
        bool executable =
            (header.versionMadeBy >> 8) == 3 && (header.externalAttributes >> 16) & 0111;
        platform::NewFile file;
        if (!file.create(path.c_str(), executable) || !reader.openEntry(i))
            return false;
        int64_t total = 0;
        for (int32_t n; (n = reader.read(buffer.data(), static_cast<int32_t>(buffer.size()))) > 0;
             total += n)
            if (!file.write(buffer.data(), n)) {
                reader.abandonEntry();
                return false;
            }
        if (reader.closeEntry() != 1 || total != header.uncompressedSize || !file.close())
            return false;
    }
    return true;
}

int64_t millisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

// An image without the runtime's default class-data archive (any made for Windows on Linux)
// gets one made by its own java command, once: without it every start would be slower.
void makeClassData(const ByteString& home) {
    ByteString library = findRuntimeBelow(home.c_str());
    if (library.isEmpty() || hasBaseArchive(library.c_str()))
        return;
    static const char* const DUMP[] = {"-Xshare:dump", nullptr};
    auto started = std::chrono::steady_clock::now();
    int code = platform::runProgram((home + platform::JAVA_COMMAND_PATH).c_str(), DUMP);
    platform::trace("embedded runtime: class-data archive %s (-Xshare:dump exit code %d, %lld ms)",
                    hasBaseArchive(library.c_str()) ? "made" : "not made", code,
                    static_cast<long long>(millisecondsSince(started)));
}

bool recordUse(const ByteString& home) {
    ByteString stamp;
    stamp.format("%u\n", platform::processId());
    return platform::writeWholeFile((home + RUNTIME_LAST_USE_NAME).c_str(), stamp.data,
                                    stamp.length);
}

// Unpacks into a temporary sibling of the runtime folder and renames it into place. Returns
// the home that holds a complete copy.
ByteString unpackAndPlace(ArchiveReader& reader, const ByteString& runtimes,
                          const ByteString& hash) {
    static int serial = 0;
    ByteString folder = runtimes + hash;
    ByteString temporary;
    temporary.format("%s.tmp-%u-%d", folder.c_str(), platform::processId(), ++serial);
    ByteString home = platform::withTrailingSeparator(temporary.c_str());
    auto started = std::chrono::steady_clock::now();
    platform::createParentFolders(home);
    bool unpacked = false;
    // The use recorded first gives a crashed unpack's folder an age for the cleaning.
    if (recordUse(home)) {
        try {
            unpacked = unpackInto(reader, home);
        } catch (const ArchiveError& error) {
            platform::trace("embedded runtime: damaged image (error %d)", error.code);
        }
    }
    if (unpacked) {
        platform::trace("embedded runtime: unpacked into %s in %lld ms", temporary.c_str(),
                        static_cast<long long>(millisecondsSince(started)));
        makeClassData(home);
        unpacked =
            platform::writeWholeFile((home + RUNTIME_MARKER_NAME).c_str(), hash.data, hash.length);
    }
    if (!unpacked) {
        platform::removeFolderTree(temporary.c_str());
        return ByteString();
    }

    ByteString placed = platform::withTrailingSeparator(folder.c_str());
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (platform::moveFolder(temporary.c_str(), folder.c_str()))
            return placed;
        if (isComplete(placed, reader, hash)) {
            platform::trace("embedded runtime: another start placed %s first", folder.c_str());
            platform::removeFolderTree(temporary.c_str());
            return placed;
        }
        // A damaged copy: out of the way first, so that no start ever sees a mixture.
        ByteString aside;
        aside.format("%s.old-%u-%d", folder.c_str(), platform::processId(), ++serial);
        if (!platform::moveFolder(folder.c_str(), aside.c_str()))
            break;
        platform::removeFolderTree(aside.c_str());
        platform::trace("embedded runtime: replaced the damaged %s", folder.c_str());
    }
    // The damaged copy cannot move (a file of it in use): this start runs from its own.
    platform::trace("embedded runtime: %s stays, running from %s", folder.c_str(), home.c_str());
    return home;
}

// Removes the runtime folders unused for UNUSED_RUNTIME_SECONDS and the temporary ones older
// than STALE_TEMPORARY_SECONDS, judged against `now`, the time of the use just recorded. Only
// names of the cache's own form count: the hash, or the hash and a '.' suffix.
void cleanRuntimes(const ByteString& runtimes, const ByteString& keep, int64_t now) {
    StringList names;
    platform::DirectorySearch search;
    for (bool found = search.first((runtimes + "*").c_str()); found; found = search.next()) {
        ByteString name(search.name());
        bool hashed =
            search.isFolder() && name.length >= RUNTIME_IMAGE_HASH_DIGITS &&
            (name.length == RUNTIME_IMAGE_HASH_DIGITS || name[RUNTIME_IMAGE_HASH_DIGITS] == '.');
        for (int32_t i = 0; hashed && i < RUNTIME_IMAGE_HASH_DIGITS; ++i)
            hashed = hexDigitValue(name[i]) >= 0;
        if (hashed && !(name == keep))
            names.add(name.c_str());
    }
    search.close();
    for (int32_t i = 0; i < names.count(); ++i) {
        ByteString folder = runtimes + names.item(i);
        ByteString home = platform::withTrailingSeparator(folder.c_str());
        int64_t size = 0;
        int64_t used = 0;
        bool temporary = folder.length > runtimes.length + RUNTIME_IMAGE_HASH_DIGITS;
        int64_t limit = temporary ? STALE_TEMPORARY_SECONDS : UNUSED_RUNTIME_SECONDS;
        if (!platform::fileStamp((home + RUNTIME_LAST_USE_NAME).c_str(), size, used) ||
            now - used <= limit * platform::STAMP_UNITS_PER_SECOND)
            continue;
        // The marker first: a removal cut short leaves a folder that the check refuses.
        platform::removeFile((home + RUNTIME_MARKER_NAME).c_str());
        bool removed = platform::removeFolderTree(folder.c_str());
        platform::trace("embedded runtime: %s %s", removed ? "cleaned" : "could not clean",
                        folder.c_str());
    }
}

ByteString& failure() {
    static ByteString* folder = new ByteString();
    return *folder;
}

} // namespace

ByteString runtimeCacheFolder() {
    ByteString cache = platform::userCacheFolder();
    if (cache.isEmpty())
        return cache;
    cache.append("zor");
    cache.append(platform::DIR_SEPARATOR);
    cache.append("runtimes");
    cache.append(platform::DIR_SEPARATOR);
    return cache;
}

ByteString prepareRuntimeImage(const void* image, uint32_t size, const ByteString& runtimes,
                               ByteString& folder) {
    folder = runtimes;
    MemoryFile file;
    file.attach(image, size);
    ArchiveReader reader;
    try {
        reader.openMemory(&file);
    } catch (const ArchiveError& error) {
        platform::trace("embedded runtime: not an archive (error %d)", error.code);
        return ByteString();
    }
    ByteString hash = imageHash(reader);
    if (hash.isEmpty() || runtimes.isEmpty()) {
        platform::trace("embedded runtime: %s",
                        hash.isEmpty() ? "no content hash in the image" : "no cache folder");
        return ByteString();
    }
    folder = runtimes + hash;
    ByteString home = platform::withTrailingSeparator(folder.c_str());
    if (isComplete(home, reader, hash)) {
        platform::trace("embedded runtime: reusing %s", folder.c_str());
    } else {
        platform::FolderIdentity identity;
        if (platform::identifyFolder(folder.c_str(), &identity))
            platform::trace("embedded runtime: %s is incomplete", folder.c_str());
        home = unpackAndPlace(reader, runtimes, hash);
        if (home.isEmpty())
            return home;
    }
    int64_t stampSize = 0;
    int64_t now = 0;
    if (recordUse(home) &&
        platform::fileStamp((home + RUNTIME_LAST_USE_NAME).c_str(), stampSize, now))
        cleanRuntimes(runtimes, hash, now);
    return home;
}

ByteString findEmbeddedRuntime(bool othersFollow) {
    const void* image = nullptr;
    uint32_t size = 0;
    if (!platform::findOwnResource(RESOURCE_TYPE_RCDATA, RUNTIME_IMAGE_ID, &image, &size)) {
        platform::trace("embedded runtime: none in this program");
        return ByteString();
    }
    ByteString folder;
    ByteString home = prepareRuntimeImage(image, size, runtimeCacheFolder(), folder);
    // The image's pages are read back from the executable should they ever be needed again.
    platform::releaseMappedPages(image, size);
    if (!home.isEmpty())
        return findRuntimeBelow(home.c_str());
    ByteString text = launchErrorText(RuntimeUnpackFailed, 0, 0, 0, 0, folder.c_str());
    platform::trace("%s", text.c_str());
    if (othersFollow)
        platform::writeWarning(text.c_str());
    else
        failure() = folder;
    return ByteString();
}

const ByteString& embeddedRuntimeFailure() {
    return failure();
}

} // namespace zor
