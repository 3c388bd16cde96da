// Files, folder searches and mappings through the ANSI file functions.
#include "platform/files.h"

#include <windows.h>

#include <string>

namespace zor::platform {

namespace {

HANDLE openForReading(const char* path) {
    if (!path || !*path)
        return INVALID_HANDLE_VALUE;
    return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

bool identifyFolder(const char* path, FolderIdentity* identity) {
    if (!path || !*path)
        return false;
    // Opening a folder needs backup semantics; links and junctions lead to their target.
    HANDLE folder = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (folder == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    bool known = GetFileInformationByHandle(folder, &info) &&
                 (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(folder);
    if (!known)
        return false;
    identity->volume = info.dwVolumeSerialNumber;
    identity->index = static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return true;
}

// ---- File ----

bool File::openRead(const char* path) {
    close();
    HANDLE file = openForReading(path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    handle = file;
    return true;
}

int64_t File::size() {
    LARGE_INTEGER bytes;
    if (!handle || !GetFileSizeEx(handle, &bytes))
        return -1;
    return bytes.QuadPart;
}

int32_t File::read(void* buffer, int32_t count) {
    DWORD done = 0;
    if (!handle || count <= 0 ||
        !ReadFile(handle, buffer, static_cast<DWORD>(count), &done, nullptr))
        return 0;
    return static_cast<int32_t>(done);
}

bool File::seek(int64_t offset, SeekOrigin origin) {
    if (!handle)
        return false;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    DWORD method = origin == SeekOrigin::Begin     ? FILE_BEGIN
                   : origin == SeekOrigin::Current ? FILE_CURRENT
                                                   : FILE_END;
    return SetFilePointerEx(handle, distance, nullptr, method) != 0;
}

int64_t File::tell() {
    LARGE_INTEGER zero, position;
    zero.QuadPart = 0;
    if (!handle || !SetFilePointerEx(handle, zero, &position, FILE_CURRENT))
        return -1;
    return position.QuadPart;
}

void File::close() {
    if (handle)
        CloseHandle(handle);
    handle = nullptr;
}

// ---- DirectorySearch ----

bool DirectorySearch::first(const char* pattern) {
    close();
    if (!pattern || !*pattern)
        return false;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE)
        return false;
    handle = search;
    entryName = found.cFileName;
    folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

bool DirectorySearch::next() {
    return handle && matchNext();
}

bool DirectorySearch::matchNext() {
    WIN32_FIND_DATAA found;
    if (!FindNextFileA(handle, &found))
        return false;
    entryName = found.cFileName;
    folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return true;
}

void DirectorySearch::close() {
    if (handle)
        FindClose(handle);
    handle = nullptr;
    entryName.clear();
    folder = false;
}

// ---- FileMapping ----

bool FileMapping::map(const char* path) {
    unmap();
    HANDLE opened = openForReading(path);
    if (opened == INVALID_HANDLE_VALUE)
        return false;
    file = opened;
    LARGE_INTEGER length;
    if (!GetFileSizeEx(opened, &length) || length.QuadPart <= 0 ||
        static_cast<uint64_t>(length.QuadPart) > SIZE_MAX) {
        unmap();
        return false;
    }
    mapping = CreateFileMappingA(opened, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (!mapping) {
        unmap();
        return false;
    }
    view = static_cast<const unsigned char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    if (!view) {
        unmap();
        return false;
    }
    bytes = length.QuadPart;
    return true;
}

// Image and view pages that are no longer touched leave the working set when the system trims
// it; there is nothing to ask for here.
void releaseMappedPages(const void*, size_t) {}

void FileMapping::unmap() {
    if (view)
        UnmapViewOfFile(view);
    if (mapping)
        CloseHandle(mapping);
    if (file)
        CloseHandle(file);
    view = nullptr;
    mapping = nullptr;
    file = nullptr;
    bytes = 0;
}

// ---- Whole files ----

bool fileStamp(const char* path, int64_t& size, int64_t& modified) {
    WIN32_FILE_ATTRIBUTE_DATA info;
    if (!path || !*path || !GetFileAttributesExA(path, GetFileExInfoStandard, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    size =
        static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    modified =
        static_cast<int64_t>((static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                             info.ftLastWriteTime.dwLowDateTime);
    return true;
}

// FILETIME counts 100-nanosecond intervals.
const int64_t STAMP_UNITS_PER_SECOND = 10000000;

bool createFolder(const char* path) {
    if (!path || !*path)
        return false;
    if (CreateDirectoryA(path, nullptr))
        return true;
    DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool writeWholeFile(const char* path, const void* data, int32_t count) {
    if (!path || !*path || count < 0)
        return false;
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    BOOL written = WriteFile(file, data, static_cast<DWORD>(count), &done, nullptr);
    BOOL closed = CloseHandle(file);
    return written && closed && done == static_cast<DWORD>(count);
}

bool removeFile(const char* path) {
    return path && *path && DeleteFileA(path);
}

bool replaceFile(const char* from, const char* to) {
    return from && to && *from && *to &&
           MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

bool removeFolderTree(const char* path) {
    if (!path || !*path)
        return false;
    std::string folder(path);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found)) {
        std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        std::string entry = folder + "\\" + name;
        // A junction or folder link is removed itself; what it leads to stays.
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            removeFolderTree(entry.c_str());
        } else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            RemoveDirectoryA(entry.c_str());
        } else {
            if (found.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
                SetFileAttributesA(entry.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(entry.c_str());
        }
    }
    if (search != INVALID_HANDLE_VALUE)
        FindClose(search);
    return RemoveDirectoryA(path) || GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES;
}

bool moveFolder(const char* from, const char* to) {
    // Without MOVEFILE_REPLACE_EXISTING the move fails when anything exists at `to`.
    return from && to && *from && *to && MoveFileExA(from, to, 0);
}

// ---- NewFile ----

bool NewFile::create(const char* path, bool) {
    close();
    failed = false;
    if (!path || !*path)
        return false;
    HANDLE file =
        CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    handle = file;
    return true;
}

bool NewFile::write(const void* data, int32_t count) {
    DWORD done = 0;
    failed = failed || !handle ||
             (count > 0 && (!WriteFile(handle, data, static_cast<DWORD>(count), &done, nullptr) ||
                            done != static_cast<DWORD>(count)));
    return !failed;
}

bool NewFile::close() {
    if (!handle)
        return false;
    bool closed = CloseHandle(handle);
    handle = nullptr;
    return closed && !failed;
}

// ---- FileLock ----

bool FileLock::tryLock(const char* path) {
    release();
    if (!path || !*path)
        return false;
    // Opened without sharing: a second opener fails at once, and the system closes the
    // handle when the process ends.
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    handle = file;
    return true;
}

void FileLock::release() {
    if (handle)
        CloseHandle(static_cast<HANDLE>(handle));
    handle = nullptr;
}

} // namespace zor::platform
