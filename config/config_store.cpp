#include "config/config_store.h"

#include "platform/environment.h"
#include "platform/files.h"
#include "platform/system.h"

#include <climits>
#include <cstring>

namespace zor {

// Never destroyed, like the archive stores: a Java thread may still be running at exit.
ByteString& applicationHome = *new ByteString;
ByteString& startDirectory = *new ByteString;
ConfigStore* currentConfig = nullptr;

namespace {

// Configuration files larger than this cannot be held in one text; they count as unreadable.
constexpr int32_t MAX_CONFIG_FILE_BYTES = INT32_MAX / 2;

// Reads a whole configuration file into the end of `text`; false when it cannot be read, so
// that the caller tries the next name. Only the bytes actually read are kept.
bool appendConfigFile(const ByteString& name, ByteString& text) {
    // A folder of that name is passed over, whether or not the system lets it be opened.
    platform::DirectorySearch search;
    if (!search.first(name.c_str()) || search.isFolder())
        return false;
    search.close();
    int64_t size = platform::readWholeFile(name.c_str(), MAX_CONFIG_FILE_BYTES, text);
    return size >= 0 && size <= MAX_CONFIG_FILE_BYTES;
}

// `executable` with its three-letter extension replaced by `extension`, or with it appended.
ByteString configFileName(const ByteString& executable, const char* extension) {
    ByteString name(executable);
    int32_t n = name.length;
    if (n >= 4 && name.data[n - 4] == '.' && name.data[n - 3] != platform::DIR_SEPARATOR &&
        name.data[n - 2] != platform::DIR_SEPARATOR && name.data[n - 1] != platform::DIR_SEPARATOR)
        name.resize(n - 4);
    name.append(extension);
    return name;
}

} // namespace

void ConfigStore::load() {
    loadFor(platform::modulePath().c_str(), platform::currentDirectory().c_str());
}

void ConfigStore::loadFor(const char* executable, const char* currentDirectory) {
    clear();
    embeddedOffset = 0;

    // An unknown start folder stays empty rather than becoming the root folder.
    zor::startDirectory = currentDirectory && *currentDirectory
                              ? platform::withTrailingSeparator(currentDirectory)
                              : ByteString();

    executablePath = executable;
    zor::applicationHome.clear();
    for (int32_t i = executablePath.length - 1; i >= 0; --i) {
        if (executablePath.data[i] == platform::DIR_SEPARATOR) {
            zor::applicationHome = executablePath.left(i + 1);
            break;
        }
    }

    if (!executablePath.isEmpty() &&
        !appendConfigFile(configFileName(executablePath, ".cfg"), *this))
        appendConfigFile(configFileName(executablePath, ".config"), *this);
    if (!isEmpty())
        append("\r\n");
    embeddedOffset = length;

    ByteString comment = readArchiveComment(executablePath.c_str());
    append(comment.c_str());
}

ByteString ConfigStore::getValue(const char* key, bool embeddedOnly) const {
    // The text ends at its first NUL.
    const char* start = data + (embeddedOnly ? embeddedOffset : 0);
    ConfigLines lines(start, start + std::strlen(start));
    const char *value, *end;
    return lines.nextValue(key, value, end) ? ByteString(value, end) : ByteString();
}

void ConfigStore::forEachValue(const char* key, ValueCallback callback, void* userData) const {
    ConfigLines lines(data, data + std::strlen(data));
    for (const char *value, *end; lines.nextValue(key, value, end);)
        callback(userData, ByteString(value, end).c_str());
}

ByteString ConfigStore::applicationPath() const {
    return executablePath;
}

ByteString ConfigStore::applicationHome() const {
    return zor::applicationHome;
}

ByteString ConfigStore::forcedWorkingDirectory() const {
    return expandEnvironment(getValue(KEY_FORCE_CWD).c_str());
}

void appendExpandedValue(void* list, const char* value) {
    static_cast<StringList*>(list)->add(expandEnvironment(value).c_str());
}

ByteString expandEnvironment(const char* text) {
    ByteString result;
    if (!text)
        return result;
    const char* copied = text;
    const char* scan = text;
    ByteString value;
    for (;;) {
        const char* open = std::strchr(scan, '%');
        if (!open)
            break;
        const char* close = std::strchr(open + 1, '%');
        if (!close)
            break;
        ByteString name(open + 1, close);
        if (!name.isEmpty() && platform::getEnvironment(name.c_str(), value)) {
            result.append(copied, static_cast<int32_t>(open - copied));
            result.append(value);
            copied = scan = close + 1;
        } else {
            // The closing sign may open the next name.
            scan = close;
        }
    }
    result.append(copied);
    return result;
}

ByteString resolvePath(const char* path) {
    if (platform::isRootedPath(path))
        return ByteString(path);
    ByteString besideExecutable = zor::applicationHome + path;
    if (pathExists(besideExecutable.c_str()))
        return besideExecutable;
    ByteString inStartFolder = zor::startDirectory + path;
    if (pathExists(inStartFolder.c_str()))
        return inStartFolder;
    return besideExecutable;
}

bool pathExists(const char* path) {
    if (!path || !*path)
        return false;
    platform::DirectorySearch search;
    return search.first(path);
}

ByteString readArchiveComment(const char* executable) {
    platform::FileMapping mapping;
    if (!executable || !*executable || !mapping.map(executable))
        return ByteString();
    const unsigned char* bytes = mapping.data();
    int64_t size = mapping.size();
    if (!bytes || size < END_RECORD_SIZE)
        return ByteString();
    // The first signature wins; the text runs to the end of the file (see lastEndSignature).
    int64_t at = lastEndSignature(bytes, size - END_RECORD_SIZE + 1,
                                  endRecordLowest(size, CONFIG_TEXT_LIMIT));
    if (at < 0)
        return ByteString();
    const char* comment = reinterpret_cast<const char*>(bytes + at + END_RECORD_SIZE);
    return ByteString(comment, static_cast<int32_t>(size - at - END_RECORD_SIZE));
}

} // namespace zor
