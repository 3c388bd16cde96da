// Files, folder searches and read-only file mappings.
#pragma once

#include "common/text.h"

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
    void* file = nullptr;
    void* mapping = nullptr;
};

} // namespace zor::platform
