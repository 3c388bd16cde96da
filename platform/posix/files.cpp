// Files, folder searches and mappings on Linux.
#include "platform/files.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <ftw.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zor::platform {

namespace {

// The descriptor is kept in the handle shifted by one, so that descriptor 0 is not null.
int descriptorOf(void* handle) {
    return static_cast<int>(reinterpret_cast<intptr_t>(handle)) - 1;
}
void* handleOf(int fd) {
    return reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
}

// Opens an existing regular file for reading. Folders do not open, as on Windows, where
// CreateFileA refuses them.
int openRegularFile(const char* path) {
    if (!path || !*path)
        return -1;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool hasWildcards(const char* text) {
    return std::strpbrk(text, "*?") != nullptr;
}

} // namespace

// ---- File ----

bool File::openRead(const char* path) {
    close();
    int fd = openRegularFile(path);
    if (fd < 0)
        return false;
    handle = handleOf(fd);
    return true;
}

int64_t File::size() {
    struct stat info;
    if (!handle || fstat(descriptorOf(handle), &info) != 0)
        return -1;
    return info.st_size;
}

int32_t File::read(void* buffer, int32_t count) {
    if (!handle || count <= 0)
        return 0;
    char* to = static_cast<char*>(buffer);
    int32_t done = 0;
    while (done < count) {
        ssize_t n = ::read(descriptorOf(handle), to + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<int32_t>(n);
    }
    return done;
}

bool File::seek(int64_t offset, SeekOrigin origin) {
    if (!handle)
        return false;
    int whence = origin == SeekOrigin::Begin     ? SEEK_SET
                 : origin == SeekOrigin::Current ? SEEK_CUR
                                                 : SEEK_END;
    return lseek(descriptorOf(handle), static_cast<off_t>(offset), whence) >= 0;
}

int64_t File::tell() {
    if (!handle)
        return -1;
    return lseek(descriptorOf(handle), 0, SEEK_CUR);
}

void File::close() {
    if (handle)
        ::close(descriptorOf(handle));
    handle = nullptr;
}

// ---- DirectorySearch ----
//
// A symbolic link to a folder counts as a folder (stat follows it): Windows gives links and
// junctions to folders the folder attribute too, and runtimes are often installed through
// links. A dangling link is still an entry, without the folder attribute.

bool DirectorySearch::first(const char* pattern) {
    close();
    if (!pattern || !*pattern)
        return false;
    const char* slash = std::strrchr(pattern, '/');
    folderPath = slash ? ByteString(pattern, slash + 1) : ByteString();
    namePattern = slash ? ByteString(slash + 1) : ByteString(pattern);
    if (namePattern.length == 0)
        return false; // a pattern ending in a separator names no entry, as on Windows

    if (!hasWildcards(namePattern.c_str())) {
        struct stat info;
        if (lstat(pattern, &info) != 0)
            return false;
        entryName = namePattern;
        folder = stat(pattern, &info) == 0 && S_ISDIR(info.st_mode);
        return true;
    }

    // Only '*' and '?' are wildcards, as on Windows: every other byte is matched literally.
    if (namePattern == "*.*") {
        namePattern = "*";
    } else {
        ByteString escaped;
        for (int32_t i = 0; i < namePattern.length; ++i) {
            char c = namePattern[i];
            if (c == '[' || c == ']' || c == '\\')
                escaped.append('\\');
            escaped.append(c);
        }
        namePattern = escaped;
    }
    DIR* dir = opendir(folderPath.length ? folderPath.c_str() : ".");
    if (!dir)
        return false;
    handle = dir;
    if (matchNext())
        return true;
    close();
    return false;
}

bool DirectorySearch::next() {
    if (!handle)
        return false; // a search without wildcards has only its one entry
    return matchNext();
}

bool DirectorySearch::matchNext() {
    DIR* dir = static_cast<DIR*>(handle);
    while (struct dirent* entry = readdir(dir)) {
        if (fnmatch(namePattern.c_str(), entry->d_name, 0) != 0)
            continue;
        entryName = entry->d_name;
        if (entry->d_type == DT_DIR) {
            folder = true;
        } else if (entry->d_type == DT_REG) {
            folder = false;
        } else {
            ByteString full = folderPath + entryName;
            struct stat info;
            folder = stat(full.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        return true;
    }
    return false;
}

void DirectorySearch::close() {
    if (handle)
        closedir(static_cast<DIR*>(handle));
    handle = nullptr;
    entryName.clear();
    folder = false;
}

// ---- FileMapping ----

bool identifyFolder(const char* path, FolderIdentity* identity) {
    struct stat info;
    if (!path || stat(path, &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    identity->volume = static_cast<uint64_t>(info.st_dev);
    identity->index = static_cast<uint64_t>(info.st_ino);
    return true;
}

bool FileMapping::map(const char* path) {
    unmap();
    int fd = openRegularFile(path);
    if (fd < 0)
        return false;
    struct stat info;
    void* address = MAP_FAILED;
    // An empty file cannot be mapped (nor on Windows).
    if (fstat(fd, &info) == 0 && info.st_size > 0)
        address = mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd); // the mapping keeps the file
    if (address == MAP_FAILED)
        return false;
    view = static_cast<const unsigned char*>(address);
    bytes = info.st_size;
    return true;
}

void FileMapping::unmap() {
    if (view)
        munmap(const_cast<unsigned char*>(view), static_cast<size_t>(bytes));
    view = nullptr;
    bytes = 0;
}

void releaseMappedPages(const void* start, size_t length) {
    // Only whole pages inside the range: a neighbour's bytes on a shared page stay resident.
    auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    uintptr_t from = (reinterpret_cast<uintptr_t>(start) + page - 1) & ~(page - 1);
    uintptr_t to = (reinterpret_cast<uintptr_t>(start) + length) & ~(page - 1);
    // Clean pages of a private read-only file mapping: dropping them loses nothing.
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
}

// ---- Whole files ----

bool fileStamp(const char* path, int64_t& size, int64_t& modified) {
    struct stat info;
    if (!path || !*path || stat(path, &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    size = info.st_size;
    modified = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return true;
}

const int64_t STAMP_UNITS_PER_SECOND = 1000000000;

bool createFolder(const char* path) {
    if (!path || !*path)
        return false;
    if (mkdir(path, 0777) == 0)
        return true;
    struct stat info;
    return stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

bool writeWholeFile(const char* path, const void* data, int32_t count) {
    if (!path || !*path || count < 0)
        return false;
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    const char* from = static_cast<const char*>(data);
    int32_t done = 0;
    while (done < count) {
        ssize_t n = ::write(fd, from + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<int32_t>(n);
    }
    return ::close(fd) == 0 && done == count;
}

bool removeFile(const char* path) {
    return path && *path && unlink(path) == 0;
}

bool replaceFile(const char* from, const char* to) {
    return from && to && *from && *to && std::rename(from, to) == 0;
}

namespace {

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    return ::remove(path);
}

} // namespace

bool removeFolderTree(const char* path) {
    if (!path || !*path)
        return false;
    // Depth first, without crossing links; a few descriptors are enough for any depth.
    nftw(path, removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    struct stat info;
    return lstat(path, &info) != 0 && errno == ENOENT;
}

bool moveFolder(const char* from, const char* to) {
    // rename() replaces an empty folder at `to` but never one that holds anything.
    return from && to && *from && *to && std::rename(from, to) == 0;
}

// ---- NewFile ----

bool NewFile::create(const char* path, bool executable) {
    close();
    failed = false;
    if (!path || !*path)
        return false;
    int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, executable ? 0777 : 0666);
    if (fd < 0)
        return false;
    handle = handleOf(fd);
    return true;
}

bool NewFile::write(const void* data, int32_t count) {
    failed = failed || !handle;
    const char* from = static_cast<const char*>(data);
    for (int32_t done = 0; !failed && done < count;) {
        ssize_t n = ::write(descriptorOf(handle), from + done, static_cast<size_t>(count - done));
        if (n < 0 && errno == EINTR)
            continue;
        failed = n <= 0;
        done += n > 0 ? static_cast<int32_t>(n) : 0;
    }
    return !failed;
}

bool NewFile::close() {
    if (!handle)
        return false;
    bool closed = ::close(descriptorOf(handle)) == 0;
    handle = nullptr;
    return closed && !failed;
}

// ---- FileLock ----

bool FileLock::tryLock(const char* path) {
    release();
    if (!path || !*path)
        return false;
    int fd = open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EINTR) {
            ::close(fd);
            return false;
        }
    }
    handle = handleOf(fd);
    return true;
}

void FileLock::release() {
    if (handle)
        ::close(descriptorOf(handle));
    handle = nullptr;
}

} // namespace zor::platform
