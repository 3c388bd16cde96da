#include "launcher/warm_start.h"

#include "common/packed_file.h"
#include "platform/files.h"
#include "platform/system.h"
#include "platform/trace.h"
#include "vmhost/jni_support.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>

namespace zor {

namespace {

// The runtime checks little of an archive before mapping it (measured: a damaged one crashes
// JDK 17 and 25 with SIGSEGV, a truncated one JDK 17 with SIGBUS), and JDK 25 never rewrites
// a file it cannot recognise. So the launcher hands the runtime only an archive it published
// itself, checked against a record beside it: which runtime and which executable it belongs
// to, and its own size and CRC. A new archive is written under another name and moved into
// place whole, by the one process that holds the lock.
const char RECORD_HEADER[] = "zor class-data archive 1\n";

struct State {
    ByteString archive; // the published archive
    ByteString written; // what the runtime writes at exit
    ByteString record;  // the record without its archive line
    platform::FileLock lock;
    bool pending = false;
    bool exitHookSet = false;
};

State& state() {
    // Never destroyed: the exit hook may run after static destructors have begun.
    static State* instance = new State();
    return *instance;
}

ByteString fileLine(const char* what, const char* path) {
    int64_t size = 0;
    int64_t modified = 0;
    if (!platform::fileStamp(path, size, modified))
        return ByteString();
    ByteString line;
    line.format("%s %lld %lld %s\n", what, static_cast<long long>(size),
                static_cast<long long>(modified), path);
    return line;
}

// "archive SIZE CRC" of a whole file; empty when it cannot be read whole.
ByteString archiveLine(const char* path) {
    platform::File file;
    if (!file.openRead(path))
        return ByteString();
    int64_t size = file.size();
    if (size <= 0)
        return ByteString();
    uLong crc = crc32(0, nullptr, 0);
    static char buffer[64 * 1024];
    int64_t total = 0;
    for (int32_t n; (n = file.read(buffer, sizeof(buffer))) > 0; total += n)
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer), static_cast<uInt>(n));
    if (total != size)
        return ByteString();
    ByteString line;
    line.format("archive %lld %08lx\n", static_cast<long long>(size), crc);
    return line;
}

ByteString readSmallFile(const char* path) {
    ByteString text;
    platform::readWholeFile(path, 16 * 1024, text);
    return text;
}

// Where the last part of `path` begins: the length of its folder, separator included.
int32_t nameStart(const ByteString& path) {
    int32_t cut = path.length;
    while (cut > 0 && !platform::isPathSeparator(path[cut - 1]))
        --cut;
    return cut;
}

} // namespace

bool hasBaseArchive(const char* libraryPath) {
    ByteString path(libraryPath);
    ByteString folder = path.left(nameStart(path));
    int64_t size = 0;
    int64_t modified = 0;
    return platform::fileStamp((folder + "classes.jsa").c_str(), size, modified) ||
           platform::fileStamp((folder + "classes_nocoops.jsa").c_str(), size, modified);
}

namespace {

// The part of an archive's file name that all builds of a program share: "app-" of
// "app-0123456789abcdef.jsa" (16 hex digits, as zorpack names them); empty for other names.
ByteString buildStem(const ByteString& name) {
    const int32_t hashed = 1 + 16 + 4; // "-", the digits, ".jsa"
    if (name.length <= hashed || name[name.length - hashed] != '-' ||
        !(ByteString(name.data + name.length - 4, 4) == ".jsa"))
        return ByteString();
    for (int32_t i = name.length - hashed + 1; i < name.length - 4; ++i)
        if (hexDigitValue(name[i]) < 0)
            return ByteString();
    return name.left(name.length - hashed + 1);
}

// The executable's path in a record's "application SIZE MODIFIED PATH" line; empty when none.
ByteString applicationOf(const ByteString& record) {
    static const char KEY[] = "\napplication ";
    const char* at = std::strstr(record.c_str(), KEY);
    for (int fields = 0; at && fields < 3; ++fields)
        at = std::strchr(at + 1, ' ');
    if (!at)
        return ByteString();
    const char* end = std::strchr(++at, '\n');
    return end ? ByteString(at, static_cast<int32_t>(end - at)) : ByteString();
}

// Removes the archives of other builds of the program whose archive is `archive` and whose
// record is `record`: those named alike whose records name the same executable (programs
// that only share a name keep theirs). Their lock files go too, unless a copy holds one.
void removeOtherBuilds(const ByteString& archive, const ByteString& record) {
    int32_t cut = nameStart(archive);
    ByteString folder = archive.left(cut);
    ByteString name(archive.data + cut, archive.length - cut);
    ByteString stem = buildStem(name);
    ByteString application = applicationOf(record);
    if (stem.isEmpty() || application.isEmpty())
        return;
    StringList others;
    platform::DirectorySearch search;
    for (bool found = search.first((folder + stem + "*.jsa").c_str()); found;
         found = search.next()) {
        ByteString other(search.name());
        if (!search.isFolder() && !(other == name) && buildStem(other) == stem)
            others.add(other.data, other.length);
    }
    search.close();
    for (int32_t i = 0; i < others.count(); ++i) {
        ByteString other = folder + others.item(i);
        if (!(applicationOf(readSmallFile((other + ".id").c_str())) == application))
            continue;
        platform::removeFile(other.c_str());
        platform::removeFile((other + ".id").c_str());
        platform::FileLock lock;
        if (lock.tryLock((other + ".lock").c_str())) {
            lock.release();
            platform::removeFile((other + ".lock").c_str());
        }
    }
}

void exitHook() {
    finishWarmStart();
}

} // namespace

ByteString classDataArchivePath(const char* value) {
    if (!value || !*value)
        return ByteString();
    ByteString path;
    if (platform::isRootedPath(value)) {
        path = value;
    } else {
        path = platform::userCacheFolder();
        if (path.isEmpty())
            return ByteString();
        path.append("zor");
        path.append(platform::DIR_SEPARATOR);
        path.append(value);
    }
    platform::createParentFolders(path);
    return path;
}

void addWarmStartOptions(VmHost& host, const ConfigStore& config, const char* libraryPath,
                         int32_t runtimeMajor) {
    ByteString value = expandEnvironment(config.getValue(KEY_CLASS_DATA_CACHE).c_str());
    if (value.isEmpty() || runtimeMajor < FIRST_DYNAMIC_ARCHIVE_VERSION ||
        !hasBaseArchive(libraryPath))
        return platform::trace("warm start: off");
    ByteString archive = classDataArchivePath(value.c_str());
    ByteString runtime = fileLine("runtime", libraryPath);
    ByteString application = fileLine("application", config.applicationPath().c_str());
    if (archive.isEmpty() || runtime.isEmpty() || application.isEmpty())
        return;

    State& s = state();
    finishWarmStart();
    s.archive = archive;
    s.written = archive + ".new";
    s.record = ByteString(RECORD_HEADER) + runtime + application;

    // Its messages (classes it skips while writing, archives it refuses) would mix with the
    // application's own output.
    const bool aotCache = runtimeMajor >= FIRST_AOT_CACHE_VERSION;
    host.addOption("-Xlog:cds*=off");
    if (aotCache)
        host.addOption("-Xlog:aot*=off");

    ByteString published = readSmallFile((archive + ".id").c_str());
    ByteString contents = archiveLine(archive.c_str());
    if (!contents.isEmpty() && published == s.record + contents) {
        host.addOption(((aotCache ? "-XX:AOTCache=" : "-XX:SharedArchiveFile=") + archive).c_str());
        return platform::trace("warm start: using %s", archive.c_str());
    }
    // Another copy is writing it: this one starts without.
    if (!s.lock.tryLock((archive + ".lock").c_str()))
        return platform::trace("warm start: another copy is writing %s", archive.c_str());
    platform::trace("warm start: writing %s", archive.c_str());
    platform::removeFile(s.written.c_str());
    if (aotCache) {
        host.addOption(("-XX:AOTCacheOutput=" + s.written).c_str());
        // The runtime reports the cache it writes on standard output, past -Xlog.
        host.addOption("-XX:+UnlockDiagnosticVMOptions");
        host.addOption("-XX:-DisplayVMOutput");
    } else if (runtimeMajor >= FIRST_AUTOMATIC_ARCHIVE_VERSION) {
        host.addOption("-XX:+AutoCreateSharedArchive");
        host.addOption(("-XX:SharedArchiveFile=" + s.written).c_str());
    } else {
        host.addOption(("-XX:ArchiveClassesAtExit=" + s.written).c_str());
    }
    s.pending = true;
    // A dynamic archive keeps only linked classes; an AOT cache links them itself.
    setLinkingDefinedClasses(!aotCache);
    if (!s.exitHookSet)
        s.exitHookSet = std::atexit(exitHook) == 0;
}

void finishWarmStart() {
    State& s = state();
    if (s.pending) {
        s.pending = false;
        setLinkingDefinedClasses(false);
        // What the runtime leaves behind when writing an AOT cache fails.
        platform::removeFile((s.written + ".config").c_str());
        ByteString contents = archiveLine(s.written.c_str());
        ByteString record = s.record + contents;
        ByteString recordFile = s.archive + ".id";
        ByteString newRecord = recordFile + ".new";
        // The archive first: a reader between the two steps finds a record that does not fit
        // and starts without it.
        if (contents.isEmpty() ||
            !platform::writeWholeFile(newRecord.c_str(), record.data, record.length) ||
            !platform::replaceFile(s.written.c_str(), s.archive.c_str()) ||
            !platform::replaceFile(newRecord.c_str(), recordFile.c_str())) {
            platform::removeFile(s.written.c_str());
            platform::removeFile(newRecord.c_str());
        } else {
            removeOtherBuilds(s.archive, record);
        }
    }
    s.lock.release();
}

} // namespace zor
