// zorpack: packs a launcher stub, the support archive, the configuration and the
// application archive into one executable.
#include "packer/application.h"
#include "packer/jlink.h"
#include "packer/manifest.h"
#include "packer/packing.h"
#include "packer/runtime_image.h"
#include "packer/win_resources.h"

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>

namespace fs = std::filesystem;
using namespace zor;
using namespace zor::pack;

namespace {

constexpr int EXIT_REFUSED = 1;
constexpr int EXIT_USAGE = 2;

const char* const USAGE = "usage: zorpack [OPTION]... --app APP.jar -o OUT\n";

const char* const HELP =
    "Packs a Java application into one executable.\n"
    "\n"
    "  --app JAR                  the application jar, embedded in the executable\n"
    "  --main-class NAME          the class whose main method runs (default: the jar's "
    "Main-Class)\n"
    "  --lib JAR                  a library nested into the application as lib/NAME.jar; "
    "repeatable\n"
    "  --no-manifest-class-path   do not nest the jars that the manifests' Class-Path names\n"
    "  --target TARGET            linux (default), win64 or win32\n"
    "  -o, --output OUT           the executable to write\n"
    "  --config-file FILE         configuration lines (key value), written before the --set ones\n"
    "  --set KEY=VALUE            one configuration line; repeatable\n"
    "  --splash FILE.bmp          a bitmap shown while the Java runtime starts\n"
    "  --icon FILE.ico            the program's icon (Windows targets)\n"
    "  --name TEXT                product name in the version information (Windows targets)\n"
    "  --app-version VERSION      product and file version, e.g. 1.2.3 (Windows targets)\n"
    "  --description TEXT         file description (Windows targets)\n"
    "  --vendor TEXT              company name (Windows targets)\n"
    "  --copyright TEXT           legal copyright (Windows targets)\n"
    "  --manifest FILE.xml        the application manifest, in place of the stub's (Windows "
    "targets)\n"
    "  --console                  a console program instead of a GUI one (Windows targets)\n"
    "  --runtime DIR              embed the Java runtime in DIR (a jlink output, or a JDK or JRE\n"
    "                             folder for the target), searched before any installed one\n"
    "  --jlink                    embed a runtime that jlink makes of the modules the\n"
    "                             application needs (jdeps finds them)\n"
    "  --jdk DIR                  with --jlink: the JDK whose jdeps and jlink run (default:\n"
    "                             JAVA_HOME)\n"
    "  --jmods DIR                with --jlink: the target's jmods folder, needed for win64 and\n"
    "                             win32 (a JDK for that system of the same version)\n"
    "  --add-modules M[,M...]     with --jlink: modules jdeps cannot see (service providers,\n"
    "                             locales); repeatable\n"
    "  --runtime-fallback         with --runtime or --jlink: search the installed runtimes when\n"
    "                             the embedded one cannot be used\n"
    "  --no-warm-start            no class-data archive per user (by default one is kept, to\n"
    "                             start faster from the second run on)\n"
    "  --warm-start               the default, accepted for older build scripts\n"
    "  --stub FILE                the launcher stub (default: the one installed with zorpack)\n"
    "  --support FILE             the support archive (default: the one installed with zorpack)\n"
    "  -h, --help                 this text\n"
    "  --version                  zorpack's version\n";

struct UsageError : PackError {
    using PackError::PackError;
};

struct Options {
    std::string target, mainClass, app, splash, stub, support, out, configFile, icon, manifest;
    std::string runtime, jdk, jmods;
    std::vector<std::string> addModules;
    bool runtimeFallback = false, jlink = false;
    std::vector<std::string> libs;
    bool manifestClassPath = true;
    VersionText version;
    std::vector<Setting> settings;
    bool console = false;
    // Given explicitly (--warm-start or --no-warm-start), and whether it is on.
    bool warmStartGiven = false;
    bool warmStart = true;
};

Options parse(int argc, char** argv) {
    Options o;
    bool haveMainClass = false;
    // The options that take one value, given at most once.
    const std::pair<const char*, std::string*> singles[] = {
        {"--target", &o.target},
        {"--app", &o.app},
        {"--config-file", &o.configFile},
        {"--splash", &o.splash},
        {"--icon", &o.icon},
        {"--name", &o.version.productName},
        {"--app-version", &o.version.version},
        {"--description", &o.version.description},
        {"--vendor", &o.version.company},
        {"--copyright", &o.version.copyright},
        {"--stub", &o.stub},
        {"--support", &o.support},
        {"--manifest", &o.manifest},
        {"--runtime", &o.runtime},
        {"--jdk", &o.jdk},
        {"--jmods", &o.jmods},
        {"-o", &o.out},
        {"--output", &o.out}};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw UsageError(arg + " needs a value");
            return argv[++i];
        };
        auto single = [&](std::string& field) {
            if (!field.empty())
                throw UsageError(arg + " given twice");
            field = value();
            if (field.empty())
                throw UsageError(arg + " needs a non-empty value");
        };
        auto named = std::find_if(std::begin(singles), std::end(singles),
                                  [&](const auto& option) { return arg == option.first; });
        if (named != std::end(singles))
            single(*named->second);
        else if (arg == "--main-class") {
            if (haveMainClass)
                throw UsageError(arg + " given twice");
            haveMainClass = true;
            o.mainClass = value();
            if (o.mainClass.empty())
                throw PackError("no main class: --main-class ''");
        } else if (arg == "--set") {
            std::string kv = value();
            size_t eq = kv.find('=');
            if (eq == std::string::npos)
                throw UsageError("--set '" + kv + "' is not KEY=VALUE");
            o.settings.push_back({kv.substr(0, eq), kv.substr(eq + 1)});
        } else if (arg == "--lib") {
            o.libs.push_back(value());
            if (o.libs.back().empty())
                throw UsageError(arg + " needs a non-empty value");
        } else if (arg == "--no-manifest-class-path")
            o.manifestClassPath = false;
        else if (arg == "--console") {
            if (o.console)
                throw UsageError(arg + " given twice");
            o.console = true;
        } else if (arg == "--add-modules") {
            o.addModules.push_back(value());
            if (o.addModules.back().empty())
                throw UsageError(arg + " needs a non-empty value");
        } else if (arg == "--runtime-fallback" || arg == "--jlink") {
            bool& flag = arg == "--jlink" ? o.jlink : o.runtimeFallback;
            if (flag)
                throw UsageError(arg + " given twice");
            flag = true;
        } else if (arg == "--warm-start" || arg == "--no-warm-start") {
            if (o.warmStartGiven)
                throw UsageError("--warm-start or --no-warm-start given twice");
            o.warmStartGiven = true;
            o.warmStart = arg == "--warm-start";
        } else
            throw UsageError("unknown argument '" + arg + "'");
    }
    if (o.target.empty())
        o.target = "linux";
    if (o.out.empty())
        throw UsageError("-o OUT is required");
    // A Linux program has no manifest and is always started like a console program.
    if (o.target == "linux" && (o.console || !o.manifest.empty()))
        throw UsageError(std::string(o.console ? "--console" : "--manifest") +
                         " applies to the win32 and win64 targets only");
    if (o.jlink && !o.runtime.empty())
        throw UsageError("--runtime and --jlink both name the runtime: give one of them");
    if (!o.jlink && (!o.jdk.empty() || !o.jmods.empty() || !o.addModules.empty()))
        throw UsageError("--jdk, --jmods and --add-modules go with --jlink");
    if (o.runtimeFallback && o.runtime.empty() && !o.jlink)
        throw UsageError("--runtime-fallback needs --runtime or --jlink");
    // A "classdatacache" line of the caller's own names the archive in place of the default.
    for (const Setting& s : o.settings)
        if (s.key == KEY_CLASS_DATA_CACHE && o.warmStartGiven)
            throw UsageError(
                o.warmStart ? "--warm-start and --set " + s.key + "= both name the archive"
                            : "--no-warm-start and --set " + s.key + "= contradict each other");
    return o;
}

Target targetNamed(const std::string& name) {
    if (name == "linux")
        return Target::Linux;
    if (name == "win32")
        return Target::Win32;
    if (name == "win64")
        return Target::Win64;
    throw UsageError("unknown target '" + name + "' (linux, win32 or win64)");
}

fs::path ownFolder(const char* argv0) {
    std::error_code ec;
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec || self.empty()) {
        self = argv0;
        if (self.has_parent_path())
            self = fs::absolute(self, ec);
        else if (const char* path = std::getenv("PATH")) {
            std::string list = path;
            for (size_t start = 0; start <= list.size();) {
                size_t end = list.find(':', start);
                if (end == std::string::npos)
                    end = list.size();
                fs::path candidate = fs::path(list.substr(start, end - start)) / argv0;
                if (fs::exists(candidate, ec)) {
                    self = candidate;
                    break;
                }
                start = end + 1;
            }
        }
    }
    return self.parent_path();
}

// The first existing file among the candidates; refuses naming every place looked at.
std::string findDefault(const std::vector<fs::path>& candidates, const std::string& what,
                        const std::string& option) {
    std::error_code ec;
    std::string looked;
    for (const fs::path& c : candidates) {
        if (fs::is_regular_file(c, ec))
            return c.lexically_normal().string();
        looked += (looked.empty() ? "" : ", ") + c.lexically_normal().string();
    }
    throw PackError("no " + what + " found (looked for " + looked + "); pass " + option + " FILE");
}

// Writes beside `out` and renames, so that a failure never leaves a partial file behind.
void writeOutput(const fs::path& out, const Bytes& data, std::optional<fs::perms> executable) {
    fs::path folder = out.parent_path().empty() ? fs::path(".") : out.parent_path();
    std::random_device random;
    fs::path temp;
    std::error_code ec;
    for (int attempt = 0;; ++attempt) {
        temp = folder /
               ("." + out.filename().string() + ".zorpack-" + std::to_string(random() % 1000000));
        if (!fs::exists(temp, ec))
            break;
        if (attempt > 100)
            throw PackError("cannot create a temporary file in " + folder.string());
    }
    {
        std::ofstream file(temp, std::ios::binary | std::ios::trunc);
        if (file) {
            file.write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
            file.close();
        }
        if (!file) {
            fs::remove(temp, ec);
            throw PackError("cannot write " + out.string());
        }
    }
    if (executable) {
        fs::permissions(temp, *executable, fs::perm_options::add, ec);
        if (ec) {
            fs::remove(temp, ec);
            throw PackError("cannot set the permissions of " + out.string());
        }
    }
    fs::rename(temp, out, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temp, ignored);
        throw PackError("cannot create " + out.string() + ": " + ec.message());
    }
}

// Configuration lines of a file, taken apart by the launcher's rules; empty lines and lines
// that begin with '#' are left out.
std::vector<Setting> readConfigFile(const std::string& path) {
    Bytes data = readFile(path, "configuration file");
    const char* text = reinterpret_cast<const char*>(data.data());
    ConfigLines lines(text, text + data.size());
    const char *begin, *end, *keyEnd, *value;
    std::vector<Setting> settings;
    while (lines.next(begin, end)) {
        begin = splitConfigLine(begin, end, keyEnd, value);
        if (begin < end && *begin != '#')
            settings.push_back({std::string(begin, keyEnd), std::string(value, end)});
    }
    return settings;
}

void warn(const std::string& message) {
    std::cerr << "zorpack: warning: " << message << "\n";
}

// A program with a runtime searches it first: "jre_order r", followed with the fallback by the
// caller's order or, without one, the launcher's default. Without the fallback a caller's own
// order would be dropped unseen, so it is refused.
void putRuntimeFirst(std::vector<Setting>& settings, bool fallback) {
    auto own = std::find_if(settings.begin(), settings.end(),
                            [](const Setting& s) { return lowerCase(s.key) == KEY_JRE_ORDER; });
    if (own == settings.end()) {
        settings.push_back({KEY_JRE_ORDER, std::string(1, EMBEDDED_RUNTIME_METHOD) +
                                               (fallback ? DEFAULT_JRE_ORDER : "")});
        return;
    }
    if (!fallback)
        throw UsageError("a " + std::string(KEY_JRE_ORDER) +
                         " line with --runtime: add --runtime-fallback to search the installed "
                         "runtimes after the embedded one");
    std::string rest;
    bool named = false;
    for (char c : own->value)
        if (lowerAscii(c) != EMBEDDED_RUNTIME_METHOD) {
            rest += c;
            named =
                named || std::string(DEFAULT_JRE_ORDER).find(lowerAscii(c)) != std::string::npos;
        }
    // An order without a known letter means the default to the launcher.
    own->value = EMBEDDED_RUNTIME_METHOD + (named ? rest : DEFAULT_JRE_ORDER);
}

// A folder of its own under the system's temporary folder, removed with its contents.
class TemporaryFolder {
public:
    TemporaryFolder() = default;
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    ~TemporaryFolder() {
        std::error_code ignored;
        if (!path.empty())
            fs::remove_all(path, ignored);
    }
    const std::string& create() {
        std::string pattern = (fs::temp_directory_path() / "zorpack-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw PackError("cannot create a temporary folder in " +
                            fs::temp_directory_path().string());
        path = pattern;
        return path;
    }

private:
    std::string path;
};

std::string megabytes(uint64_t bytes) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f MB", double(bytes) / 1e6);
    return text;
}

int run(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << USAGE << "\n" << HELP;
            return 0;
        }
        if (arg == "--version") {
            std::cout << "zorpack " << ZOR_VERSION << "\n";
            return 0;
        }
    }
    Options o = parse(argc, argv);
    Target target = targetNamed(o.target);
    bool windows = target != Target::Linux;
    if (!o.runtime.empty())
        checkRuntimeFolder(o.runtime, target);
    if (o.jlink && windows && o.jmods.empty())
        throw UsageError("--jlink for " + o.target +
                         " needs --jmods DIR: jlink links a runtime "
                         "for another system from that system's jmods, of the same version as "
                         "the JDK that runs it");
    if (!windows && (!o.icon.empty() || !o.version.empty()))
        throw UsageError("--icon, --name, --app-version, --description, --vendor and --copyright "
                         "are for Windows targets");

    // The configuration file's lines come first, then --set, each checked alike; a main
    // class among them counts as --main-class.
    std::vector<Setting> settings;
    if (!o.configFile.empty())
        settings = readConfigFile(o.configFile);
    settings.insert(settings.end(), o.settings.begin(), o.settings.end());
    std::string mainClass = o.mainClass;
    bool externalClassPath = false;
    for (auto s = settings.begin(); s != settings.end();) {
        std::string key = lowerCase(s->key);
        if (std::find(std::begin(CONFIG_KEYS), std::end(CONFIG_KEYS), key) ==
            std::end(CONFIG_KEYS)) {
            std::string known;
            for (const char* k : CONFIG_KEYS)
                known += (known.empty() ? "" : ", ") + std::string(k);
            warn("unknown configuration key '" + s->key + "' (the launcher reads " + known + ")");
        }
        externalClassPath = externalClassPath || key == KEY_CLASS_PATH || key == KEY_LIBS;
        if (key == KEY_MAIN_CLASS) {
            if (!mainClass.empty())
                throw PackError("the main class is given twice (--main-class and a " + key +
                                " line)");
            if (s->value.empty())
                throw PackError("no main class: an empty " + key + " line");
            mainClass = s->value;
            s = settings.erase(s);
        } else
            ++s;
    }

    if (!o.runtime.empty() || o.jlink)
        putRuntimeFirst(settings, o.runtimeFallback);

    ApplicationRequest request;
    request.app = o.app;
    request.libs = o.libs;
    request.manifestClassPath = o.manifestClassPath;
    request.mainClass = mainClass;
    request.externalClassPath = externalClassPath;
    // Checked before the archives are read, so that a bad line is reported first.
    buildConfigText(mainClass.empty() ? "a" : mainClass, settings);
    Application application = assembleApplication(request, warn);

    PackInput input;
    input.target = target;
    input.configText = buildConfigText(application.mainClass, settings);

    fs::path here = ownFolder(argv[0]);
    std::string stubName = target == Target::Linux ? "zor-launcher" : "zor-launcher.exe";
    std::string stubPath =
        !o.stub.empty()
            ? o.stub
            : findDefault({here / "stubs" / o.target / stubName, here / ".." / o.target / stubName,
                           here / ".." / "lib" / "zor" / "stubs" / o.target / stubName},
                          o.target + " stub", "--stub");
    std::string supportPath = !o.support.empty()
                                  ? o.support
                                  : findDefault({here / "zor-support.jar",
                                                 here / ".." / "lib" / "zor" / "zor-support.jar"},
                                                "support archive", "--support");
    input.stub = readFile(stubPath, "stub");
    input.support = readFile(supportPath, "support archive");
    if (!application.archive.empty())
        input.resources.push_back(
            {RESOURCE_TYPE_RCDATA, APP_ARCHIVE_ID, scramble(application.archive)});
    if (!o.splash.empty())
        input.resources.push_back({RESOURCE_TYPE_BITMAP, SPLASH_BITMAP_ID,
                                   bitmapResource(readFile(o.splash, "splash bitmap"))});
    if (windows) {
        if (!o.icon.empty())
            for (Resource& r : iconResources(readFile(o.icon, "icon"), o.icon))
                input.resources.push_back(std::move(r));
        VersionText version = o.version;
        std::string stem = fs::path(o.out).stem().string();
        if (version.productName.empty())
            version.productName =
                !application.implementationTitle.empty() ? application.implementationTitle : stem;
        if (version.version.empty())
            version.version = application.implementationVersion;
        if (version.company.empty())
            version.company = application.implementationVendor;
        if (version.description.empty())
            version.description = version.productName;
        version.originalFilename = fs::path(o.out).filename().string();
        version.internalName = stem;
        input.resources.push_back(
            {TYPE_VERSION, VERSION_INFO_ID, versionResource(version), VERSION_LANGUAGE});
    }
    if (!o.manifest.empty()) {
        Bytes manifest = readFile(o.manifest, "manifest");
        checkManifest(manifest, o.manifest);
        input.resources.push_back({TYPE_MANIFEST, MANIFEST_ID, manifest});
    }
    input.console = o.console;
    std::string runtime = o.runtime;
    TemporaryFolder linked;
    if (o.jlink) {
        JlinkRequest request;
        request.target = target;
        const char* home = std::getenv("JAVA_HOME");
        request.jdk = !o.jdk.empty() ? o.jdk : home ? home : "";
        if (request.jdk.empty())
            throw PackError("--jlink needs a JDK: set JAVA_HOME or pass --jdk DIR");
        request.jmods = o.jmods;
        if (!o.app.empty())
            request.jars.push_back(o.app);
        request.jars.insert(request.jars.end(), application.libraryFiles.begin(),
                            application.libraryFiles.end());
        request.extra = o.addModules;
        int feature = jdkFeatureVersion(request.jdk);
        std::vector<std::string> modules = requiredModules(request, feature);
        std::cout << "zorpack: jlink of Java " << feature << " with the modules "
                  << commaList(modules) << "\n";
        runtime = linked.create() + "/runtime";
        linkRuntime(request, feature, modules, runtime);
        try {
            checkRuntimeFolder(runtime, target);
        } catch (const PackError& e) {
            throw PackError("jlink did not make a runtime for " + o.target + " (" + e.what() +
                            "): --jmods must hold the jmods of a JDK for " + o.target);
        }
    }
    // Last in the block, so that finding the other resources never walks over it.
    if (!runtime.empty()) {
        RuntimeImage image = buildRuntimeImage(runtime, warn);
        std::cout << "zorpack: runtime image " << image.hash << ": " << image.files << " files, "
                  << megabytes(image.unpackedBytes) << " on disk, " << megabytes(image.zip.size())
                  << " compressed\n";
        input.resources.push_back({RESOURCE_TYPE_RCDATA, RUNTIME_IMAGE_ID, std::move(image.zip)});
    }

    Bytes packed;
    try {
        packed = packExecutable(input);
        // The archive is named after the program as packed without the line that names it.
        bool named = false;
        for (const Setting& s : settings)
            named = named || s.key == KEY_CLASS_DATA_CACHE;
        if (o.warmStart && !named) {
            settings.push_back({KEY_CLASS_DATA_CACHE,
                                warmStartFileName(fs::path(o.out).filename().string(), packed)});
            input.configText = buildConfigText(application.mainClass, settings);
            packed = packExecutable(input);
        }
    } catch (const PackError& e) {
        throw PackError(std::string(e.what()) + " (stub " + stubPath + ", support archive " +
                        supportPath + ")");
    }
    std::optional<fs::perms> executable;
    if (target == Target::Linux) {
        std::error_code ec;
        executable = fs::status(stubPath, ec).permissions() &
                     (fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec);
    }
    writeOutput(o.out, packed, executable);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const UsageError& e) {
        std::cerr << "zorpack: " << e.what() << "\n" << USAGE;
        return EXIT_USAGE;
    } catch (const PackError& e) {
        std::cerr << "zorpack: " << e.what() << "\n";
        return EXIT_REFUSED;
    } catch (const std::exception& e) {
        std::cerr << "zorpack: " << e.what() << "\n";
        return EXIT_REFUSED;
    }
}
