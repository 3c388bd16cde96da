// Files, folder searches and read-only file mappings.
#pragma once

#include "common/text.h"
#include "platform/system.h"

#include <cstddef>
#include <cstdint>

namespace zor::platform {

enum class SeekOrigin { Begin, Current, End };

// A file opened for reading; other openers may read and write it meanwhile.
class File {
public:
    File() = default;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() { close(); }

    bool openRead(const char* path);
    bool isOpen() const { return handle != nullptr; }
    int64_t size();
    // Bytes read, 0 at the end or on failure.
    int32_t read(void* buffer, int32_t count);
    bool seek(int64_t offset, SeekOrigin origin);
    int64_t tell();
    void close();

private:
    void* handle = nullptr;
};

// Appends the file at `path` to `text` when it holds 1 to `limit` bytes, keeping only the bytes
// actually read. Returns its size, -1 when it cannot be opened.
inline int64_t readWholeFile(const char* path, int32_t limit, ByteString& text) {
    File file;
    int64_t size = file.openRead(path) ? file.size() : -1;
    int32_t start = text.length, got = 0;
    if (size > 0 && size <= limit) {
        text.resize(start + static_cast<int32_t>(size));
        for (int32_t n; got < size && (n = file.read(text.data + start + got,
                                                     static_cast<int32_t>(size) - got)) > 0;)
            got += n;
        text.resize(start + got);
    }
    return size;
}

// find-first / find-next over the entries that match a pattern ("folder\*.*" lists a folder;
// Linux supports '*' and '?' in the last component). Entries come in the system's order.
class DirectorySearch {
public:
    DirectorySearch() = default;
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;
    ~DirectorySearch() { close(); }

    bool first(const char* pattern);
    bool next();
    const char* name() const { return entryName.c_str(); }
    bool isFolder() const { return folder; }
    void close();

private:
    void* handle = nullptr;
    ByteString entryName;
    bool folder = false;
    ByteString folderPath;  // Linux: where the matched entries live
    ByteString namePattern; // Linux: the last component of the pattern
    bool matchNext();
};

// What tells one folder from another, whatever path or link leads to it.
struct FolderIdentity {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FolderIdentity& o) const {
        return volume == o.volume && index == o.index;
    }
};
// False when `path` names no folder that can be examined.
bool identifyFolder(const char* path, FolderIdentity* identity);

// A whole file mapped read-only.
class FileMapping {
public:
    FileMapping() = default;
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;
    ~FileMapping() { unmap(); }

    bool map(const char* path);
    const unsigned char* data() const { return view; }
    int64_t size() const { return bytes; }
    void unmap();

private:
    const unsigned char* view = nullptr;
    int64_t bytes = 0;
    // The file and mapping handles of the Windows implementation; Linux needs neither.
    [[maybe_unused]] void* file = nullptr;
    [[maybe_unused]] void* mapping = nullptr;
};

// Lets the pages of [start, start + length) in a read-only file mapping leave the process's
// resident memory; they are read back from the file when next touched. Only for bytes of a
// FileMapping or of the executable's own image, never for allocated memory.
void releaseMappedPages(const void* start, size_t length);

// Size and last-write time (in the system's own units) of a regular file; false when there is
// none at `path`.
bool fileStamp(const char* path, int64_t& size, int64_t& modified);
// fileStamp's units of the last-write time in one second.
extern const int64_t STAMP_UNITS_PER_SECOND;
// Creates one folder; true when it exists afterwards.
bool createFolder(const char* path);
// Creates each missing folder on the way to the file at `path`.
inline void createParentFolders(const ByteString& path) {
    for (int32_t i = 1; i < path.length; ++i)
        if (isPathSeparator(path[i]) && !isPathSeparator(path[i - 1]) && path[i - 1] != ':')
            createFolder(path.left(i).c_str());
}
// Removes a folder and everything below it; links inside are removed, never followed. True
// when nothing is left at `path`.
bool removeFolderTree(const char* path);
// Renames the folder `from` to `to` in one step; fails rather than replace a folder that holds
// anything at `to`.
bool moveFolder(const char* from, const char* to);
// Creates or truncates a file with these bytes; false when it cannot be written whole.
bool writeWholeFile(const char* path, const void* data, int32_t count);
bool removeFile(const char* path);
// Puts `from` in the place of `to` in one step, so that readers of `to` see the old file or
// the new one, never a mixture.
bool replaceFile(const char* from, const char* to);

// A file created for writing, in as many pieces as needed; creating fails when one exists.
class NewFile {
public:
    NewFile() = default;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    ~NewFile() { close(); }

    // `executable` gives the file the executable bits where the system has them.
    bool create(const char* path, bool executable);
    // False when the bytes were not all written (a full disk).
    bool write(const void* data, int32_t count);
    // False when anything written could not be kept.
    bool close();

private:
    void* handle = nullptr;
    bool failed = false;
};

// An exclusive lock on a file (created when missing) that other processes can test without
// waiting; the system releases it when the process ends, however it ends.
class FileLock {
public:
    FileLock() = default;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock() { release(); }

    // False when another holder has it or the file cannot be created.
    bool tryLock(const char* path);
    bool isHeld() const { return handle != nullptr; }
    void release();

private:
    void* handle = nullptr;
};

} // namespace zor::platform
