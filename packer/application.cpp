#include "packer/application.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

namespace fs = std::filesystem;

namespace zor::pack {

Bytes readFile(const std::string& path, const std::string& what) {
    std::error_code ec;
    if (fs::is_directory(path, ec))
        throw PackError("cannot read the " + what + " " + path + ": it is a folder");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw PackError("cannot read the " + what + " " + path);
    Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw PackError("cannot read the " + what + " " + path);
    return data;
}

namespace {

// Two names for one file (a symbolic link and its target, "lib/../lib/x.jar") are one library.
std::string identity(const std::string& path) {
    std::error_code ec;
    fs::path canonical = fs::weakly_canonical(path, ec);
    return ec ? fs::absolute(path).lexically_normal().string() : canonical.string();
}

class LibraryCollector {
public:
    LibraryCollector(const std::string& app, bool manifestClassPath,
                     const std::function<void(const std::string&)>& warn)
        : followClassPath_(manifestClassPath), warn_(warn) {
        if (!app.empty())
            seen_.insert(identity(app));
    }

    // `referrer` is the jar whose Class-Path names `path`; empty for --lib.
    void add(const std::string& path, const std::string& referrer) {
        std::error_code ec;
        std::string source = referrer.empty()
                                 ? "the library " + path
                                 : "the jar " + path + " (Class-Path of " + referrer + ")";
        if (!fs::exists(path, ec)) {
            if (referrer.empty())
                throw PackError("cannot read the library " + path + ": no such file");
            // The JDK skips such a jar too: it is often an optional library, not installed.
            warn_("the jar " + path + " named by the Class-Path of " + referrer +
                  " does not exist: it is not nested");
            return;
        }
        if (fs::is_directory(path, ec)) {
            if (referrer.empty())
                throw PackError("cannot read the library " + path + ": it is a folder");
            warn_("the Class-Path of " + referrer + " names the folder " + path +
                  ", which cannot be nested: its classes stay outside the executable");
            return;
        }
        if (!seen_.insert(identity(path)).second)
            return;
        std::string name = fs::path(path).filename().string();
        if (!isNestedArchiveName(name.data(), name.size()))
            throw PackError(source + " is not a jar: its name must end in .jar or .zip");
        auto clash = byName_.find(name);
        if (clash != byName_.end())
            throw PackError("two libraries are named " + name + ": " + clash->second + " and " +
                            path);
        byName_[name] = path;
        Bytes data = readFile(path, referrer.empty() ? "library" : "Class-Path jar");
        ZipListing listing = listZip(data, source);
        libraries_.push_back({"lib/" + name, std::move(data)});
        files_.push_back(path);
        listings_.push_back(std::move(listing));
        if (followClassPath_ && listings_.back().manifest)
            addClassPath(Manifest(*listings_.back().manifest), path);
    }

    void addClassPath(const Manifest& manifest, const std::string& jar) {
        std::string value = manifest.get("Class-Path");
        if (value.empty())
            return;
        std::vector<std::string> skipped;
        std::string folder = fs::path(jar).parent_path().string();
        for (const std::string& path : classPathEntries(value, folder, skipped))
            add(path, jar);
        for (const std::string& url : skipped)
            warn_("the Class-Path of " + jar + " names " + url +
                  ", which is not a file: it is not nested");
    }

    std::vector<Library>& libraries() { return libraries_; }
    const std::vector<std::string>& files() const { return files_; }
    const std::vector<ZipListing>& listings() const { return listings_; }

private:
    bool followClassPath_;
    const std::function<void(const std::string&)>& warn_;
    std::set<std::string> seen_;
    std::map<std::string, std::string> byName_; // file name -> path
    std::vector<Library> libraries_;
    std::vector<std::string> files_; // where each library was read from
    std::vector<ZipListing> listings_;
};

} // namespace

Application assembleApplication(const ApplicationRequest& request,
                                const std::function<void(const std::string&)>& warn) {
    Application result;
    if (request.app.empty()) {
        if (!request.libs.empty())
            throw PackError("--lib needs --app: libraries are nested into the application archive");
        if (request.mainClass.empty())
            throw PackError("no main class: --main-class NAME is required");
        result.mainClass = request.mainClass;
        return result;
    }

    const std::string label = "the application archive " + request.app;
    Bytes app = readFile(request.app, "application archive");
    // The launcher takes an empty resource for a missing one and then finds nothing at all.
    if (app.empty())
        throw PackError(label + " is empty");
    ZipListing listing = listZip(app, label);
    Manifest manifest(listing.manifest.value_or(""));
    result.implementationTitle = manifest.get("Implementation-Title");
    result.implementationVersion = manifest.get("Implementation-Version");
    result.implementationVendor = manifest.get("Implementation-Vendor");

    result.mainClass = request.mainClass;
    if (result.mainClass.empty()) {
        // The JDK's launcher accepts slashes for dots here.
        result.mainClass = trimmed(manifest.get("Main-Class"));
        for (char& c : result.mainClass)
            if (c == '/')
                c = '.';
    }
    if (result.mainClass.empty())
        throw PackError("no main class: " + request.app +
                        (listing.manifest ? "'s manifest has no Main-Class" : " has no manifest") +
                        "; pass --main-class NAME");

    LibraryCollector collector(request.app, request.manifestClassPath, warn);
    if (request.manifestClassPath)
        collector.addClassPath(manifest, request.app);
    for (const std::string& lib : request.libs)
        collector.add(lib, "");

    const std::string entry = classEntryName(result.mainClass);
    bool found = listing.holds(entry);
    for (const ZipListing& l : collector.listings())
        found = found || l.holds(entry);
    if (!found) {
        std::string where =
            request.app + (collector.listings().empty() ? "" : " nor in its libraries");
        if (!request.externalClassPath)
            throw PackError("the main class " + result.mainClass + " is not in " + where + " (no " +
                            entry + ")");
        warn("the main class " + result.mainClass + " is not in " + where +
             ": it must come from the configured class path");
    }

    for (const Library& l : collector.libraries())
        result.libraryNames.push_back(l.entryName);
    result.libraryFiles = collector.files();
    result.archive =
        collector.libraries().empty() ? std::move(app) : withLibraries(app, collector.libraries());
    return result;
}

} // namespace zor::pack
