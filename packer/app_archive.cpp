#include "packer/app_archive.h"
#include "packer/libzip_support.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace zor::pack {

namespace {

// The JDK opens a file URL at its percent-decoded path; a stray '%' stays as written.
std::string percentDecoded(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hexDigitValue(s[i + 1]) >= 0 &&
            hexDigitValue(s[i + 2]) >= 0) {
            out += char(hexDigitValue(s[i + 1]) * 16 + hexDigitValue(s[i + 2]));
            i += 2;
        } else
            out += s[i];
    }
    return out;
}

} // namespace

bool ZipListing::holds(const std::string& name) const {
    return std::find(names.begin(), names.end(), name) != names.end() ||
           std::find(nestedNames.begin(), nestedNames.end(), name) != nestedNames.end();
}

namespace {

// An entry's bytes; nothing when it cannot be read or is larger than `limit`.
std::optional<Bytes> readEntry(zip_t* archive, zip_uint64_t index, zip_uint64_t limit) {
    zip_stat_t stat;
    if (zip_stat_index(archive, index, 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE) ||
        stat.size > limit)
        return std::nullopt;
    zip_file_t* file = zip_fopen_index(archive, index, 0);
    if (!file)
        return std::nullopt;
    Bytes data(size_t(stat.size));
    zip_int64_t got = zip_fread(file, data.data(), stat.size);
    zip_fclose(file);
    if (got < 0 || zip_uint64_t(got) != stat.size)
        return std::nullopt;
    return data;
}

} // namespace

ZipListing listZip(const Bytes& data, const std::string& label, int nestedDepth) {
    ErrorText error;
    zip_source_t* source = zip_source_buffer_create(data.data(), data.size(), 0, &error.error);
    if (!source)
        throw PackError("cannot read " + label + ": " + error.text());
    ZipHandle archive(zip_open_from_source(source, ZIP_RDONLY, &error.error));
    if (!archive) {
        zip_source_free(source);
        throw PackError(label + " is not a ZIP archive (" + error.text() + ")");
    }
    ZipListing listing;
    zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive.get(), zip_uint64_t(i), ZIP_FL_ENC_RAW);
        if (name)
            listing.names.push_back(name);
    }
    // The JDK finds the manifest whatever the case of its name.
    zip_int64_t manifest = zip_name_locate(archive.get(), "META-INF/MANIFEST.MF", ZIP_FL_NOCASE);
    if (manifest >= 0) {
        std::optional<Bytes> text =
            readEntry(archive.get(), zip_uint64_t(manifest), MANIFEST_SIZE_LIMIT);
        if (!text)
            throw PackError("cannot read the manifest of " + label + " (damaged entry)");
        listing.manifest = std::string(text->begin(), text->end());
    }
    for (zip_int64_t i = 0; nestedDepth > 0 && i < count; ++i) {
        const char* name = zip_get_name(archive.get(), zip_uint64_t(i), ZIP_FL_ENC_RAW);
        if (!name || !isNestedArchiveName(name, std::strlen(name)))
            continue;
        std::optional<Bytes> nested = readEntry(archive.get(), zip_uint64_t(i), INT32_MAX);
        if (!nested || nested->empty())
            continue;
        try {
            ZipListing inner = listZip(*nested, name, nestedDepth - 1);
            for (auto* names : {&inner.names, &inner.nestedNames})
                listing.nestedNames.insert(listing.nestedNames.end(), names->begin(), names->end());
        } catch (const PackError&) {
        }
    }
    return listing;
}

Manifest::Manifest(const std::string& text) {
    // Lines end at CR LF, LF or CR; a line that begins with a space continues the one
    // before; the main section ends at the first empty line.
    std::string last;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(at, end - at);
        at = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        if (line.empty())
            break;
        if (line[0] == ' ') {
            if (!last.empty())
                main_[last] += line.substr(1);
            continue;
        }
        size_t colon = line.find(": ");
        if (colon == std::string::npos || colon == 0) {
            last.clear();
            continue;
        }
        last = lowerCase(line.substr(0, colon));
        // The first of two equal names wins, as with the JDK's reader.
        if (main_.count(last))
            last.clear();
        else
            main_[last] = line.substr(colon + 2);
    }
}

std::string Manifest::get(const std::string& name) const {
    auto it = main_.find(lowerCase(name));
    return it == main_.end() ? std::string() : it->second;
}

std::string classEntryName(const std::string& name) {
    std::string entry = name;
    for (char& c : entry)
        if (c == '.')
            c = '/';
    return entry + ".class";
}

std::vector<std::string> classPathEntries(const std::string& value, const std::string& jarFolder,
                                          std::vector<std::string>& skipped) {
    std::vector<std::string> paths;
    size_t at = 0;
    while (true) {
        at = value.find_first_not_of(" \t\r\n\f", at);
        if (at == std::string::npos)
            break;
        size_t end = value.find_first_of(" \t\r\n\f", at);
        std::string item = value.substr(at, end == std::string::npos ? end : end - at);
        at = end;
        size_t colon = item.find(':');
        size_t slash = item.find('/');
        if (colon != std::string::npos && (slash == std::string::npos || colon < slash)) {
            if (lowerCase(item.substr(0, colon)) != "file") {
                skipped.push_back(item);
                continue;
            }
            item = item.substr(colon + 1);
            // file:///x and file://localhost/x name /x.
            if (item.compare(0, 2, "//") == 0) {
                size_t path = item.find('/', 2);
                item = path == std::string::npos ? "/" : item.substr(path);
            }
        }
        item = percentDecoded(item);
        if (item.empty())
            continue;
        paths.push_back(item[0] == '/' || jarFolder.empty() ? item : jarFolder + "/" + item);
        if (end == std::string::npos)
            break;
    }
    return paths;
}

Bytes withLibraries(const Bytes& app, const std::vector<Library>& libraries) {
    ErrorText error;
    // libzip frees the buffer of a source it has written to, so it gets its own copy.
    if (app.empty())
        throw PackError("the application archive is not a ZIP archive (it is empty)");
    void* copy = std::malloc(app.size());
    if (!copy)
        throw PackError("out of memory for the application archive");
    std::memcpy(copy, app.data(), app.size());
    zip_source_t* source = zip_source_buffer_create(copy, app.size(), 1, &error.error);
    if (!source) {
        std::free(copy);
        throw PackError("cannot rewrite the application archive: " + error.text());
    }
    // The source outlives the archive: the rewritten bytes are read back from it.
    zip_source_keep(source);
    std::unique_ptr<zip_source_t, void (*)(zip_source_t*)> keep(source, zip_source_free);
    ZipHandle archive(zip_open_from_source(source, 0, &error.error));
    if (!archive)
        throw PackError("the application archive is not a ZIP archive (" + error.text() + ")");
    for (const Library& library : libraries) {
        const char* name = library.entryName.c_str();
        if (zip_name_locate(archive.get(), name, 0) >= 0)
            throw PackError("the application archive already holds an entry " + library.entryName);
        zip_source_t* data =
            zip_source_buffer(archive.get(), library.data.data(), library.data.size(), 0);
        zip_int64_t index = data ? zip_file_add(archive.get(), name, data, 0) : -1;
        if (index < 0) {
            if (data)
                zip_source_free(data);
            throw PackError("cannot add " + library.entryName + ": " + zip_strerror(archive.get()));
        }
        // Stored: a jar is compressed already, and a stored one can be read in place.
        if (zip_set_file_compression(archive.get(), zip_uint64_t(index), ZIP_CM_STORE, 0) != 0 ||
            zip_file_set_dostime(archive.get(), zip_uint64_t(index), FIXED_DOS_TIME, FIXED_DOS_DATE,
                                 0) != 0)
            throw PackError("cannot add " + library.entryName + ": " + zip_strerror(archive.get()));
    }
    if (zip_close(archive.get()) != 0)
        throw PackError("cannot write the application archive: " +
                        std::string(zip_strerror(archive.get())));
    archive.release();
    return writtenBytes(source, "the application archive");
}

Bytes writtenBytes(zip_source_t* source, const std::string& what) {
    zip_stat_t stat;
    if (zip_source_open(source) != 0)
        throw PackError("cannot read back " + what);
    Bytes out;
    if (zip_source_stat(source, &stat) == 0 && (stat.valid & ZIP_STAT_SIZE)) {
        out.resize(size_t(stat.size));
        zip_int64_t got = zip_source_read(source, out.data(), stat.size);
        if (got < 0 || zip_uint64_t(got) != stat.size)
            out.clear();
    }
    zip_source_close(source);
    if (out.empty())
        throw PackError("cannot read back " + what);
    return out;
}

} // namespace zor::pack
