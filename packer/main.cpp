// zorpack: packs a launcher stub, the support archive, the configuration and the
// application archive into one executable.
#include "packer/manifest.h"
#include "packer/packing.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>

namespace fs = std::filesystem;
using namespace zor::pack;

namespace {

constexpr int EXIT_REFUSED = 1;
constexpr int EXIT_USAGE = 2;
const char* const WARM_START_KEY = "classdatacache";

const char* const USAGE =
    "usage: zorpack --target linux|win32|win64 --main-class NAME [--set KEY=VALUE]...\n"
    "               [--app ARCHIVE] [--splash FILE.bmp] [--stub FILE] [--support FILE]\n"
    "               [--manifest FILE.xml] [--console] [--warm-start] -o OUT\n";

struct UsageError : PackError {
    using PackError::PackError;
};

struct Options {
    std::string target, mainClass, app, splash, stub, support, manifest, out;
    std::vector<Setting> settings;
    bool console = false;
    bool warmStart = false;
};

Options parse(int argc, char** argv) {
    Options o;
    bool haveMainClass = false;
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
        if (arg == "--target")
            single(o.target);
        else if (arg == "--main-class") {
            if (haveMainClass)
                throw UsageError(arg + " given twice");
            haveMainClass = true;
            o.mainClass = value();
        } else if (arg == "--set") {
            std::string kv = value();
            size_t eq = kv.find('=');
            if (eq == std::string::npos)
                throw UsageError("--set '" + kv + "' is not KEY=VALUE");
            o.settings.push_back({kv.substr(0, eq), kv.substr(eq + 1)});
        } else if (arg == "--app")
            single(o.app);
        else if (arg == "--splash")
            single(o.splash);
        else if (arg == "--stub")
            single(o.stub);
        else if (arg == "--support")
            single(o.support);
        else if (arg == "--manifest")
            single(o.manifest);
        else if (arg == "--console") {
            if (o.console)
                throw UsageError(arg + " given twice");
            o.console = true;
        } else if (arg == "-o")
            single(o.out);
        else if (arg == "--warm-start") {
            if (o.warmStart)
                throw UsageError(arg + " given twice");
            o.warmStart = true;
        } else
            throw UsageError("unknown argument '" + arg + "'");
    }
    if (o.target.empty())
        throw UsageError("--target is required");
    if (o.out.empty())
        throw UsageError("-o OUT is required");
    // A Linux program has no manifest and is always started like a console program.
    if (o.target == "linux" && (o.console || !o.manifest.empty()))
        throw UsageError(std::string(o.console ? "--console" : "--manifest") +
                         " applies to the win32 and win64 targets only");
    for (const Setting& s : o.settings)
        if (o.warmStart && s.key == WARM_START_KEY)
            throw UsageError("--warm-start and --set " + s.key + "= both name the archive");
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

Bytes readFile(const std::string& path, const char* what) {
    std::error_code ec;
    if (fs::is_directory(path, ec))
        throw PackError(std::string("cannot read the ") + what + " " + path + ": it is a folder");
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw PackError(std::string("cannot read the ") + what + " " + path);
    Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw PackError(std::string("cannot read the ") + what + " " + path);
    return data;
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

int run(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "-h" || arg == "--help") {
            std::cout << USAGE;
            return 0;
        }
    }
    Options o = parse(argc, argv);
    Target target = targetNamed(o.target);
    PackInput input;
    input.target = target;
    input.configText = buildConfigText(o.mainClass, o.settings);

    fs::path here = ownFolder(argv[0]);
    std::string stubName = target == Target::Linux ? "zor-launcher" : "zor-launcher.exe";
    std::string stubPath =
        !o.stub.empty()
            ? o.stub
            : findDefault({here / "stubs" / o.target / stubName, here / ".." / o.target / stubName},
                          o.target + " stub", "--stub");
    std::string supportPath = !o.support.empty() ? o.support
                                                 : findDefault({here / "zor-support.jar"},
                                                               "support archive", "--support");
    input.stub = readFile(stubPath, "stub");
    input.support = readFile(supportPath, "support archive");
    if (!o.app.empty()) {
        Bytes app = readFile(o.app, "application archive");
        // The launcher takes an empty resource for a missing one and then finds nothing at all.
        if (app.empty())
            throw PackError("the application archive " + o.app + " is empty");
        input.resources.push_back({TYPE_RCDATA, APP_ARCHIVE_ID, scramble(app)});
    }
    if (!o.splash.empty())
        input.resources.push_back(
            {TYPE_BITMAP, SPLASH_BITMAP_ID, bitmapResource(readFile(o.splash, "splash bitmap"))});
    if (!o.manifest.empty()) {
        Bytes manifest = readFile(o.manifest, "manifest");
        checkManifest(manifest, o.manifest);
        input.resources.push_back({TYPE_MANIFEST, MANIFEST_ID, manifest});
    }
    input.console = o.console;

    Bytes packed;
    try {
        packed = packExecutable(input);
        // The archive is named after the program as packed without the line that names it.
        if (o.warmStart) {
            o.settings.push_back(
                {WARM_START_KEY, warmStartFileName(fs::path(o.out).filename().string(), packed)});
            input.configText = buildConfigText(o.mainClass, o.settings);
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
