#include "packer/jlink.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <regex>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace zor::pack {

ToolRun runTool(const std::string& program, const std::vector<std::string>& arguments) {
    ToolRun run;
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return run;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[1]);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (spawned != 0) {
        close(pipeEnds[0]);
        run.output = "cannot run " + program + ": " + std::strerror(spawned);
        return run;
    }
    char buffer[4096];
    for (;;) {
        ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got > 0)
            run.output.append(buffer, size_t(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    close(pipeEnds[0]);
    int status;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

namespace {

std::string tool(const std::string& jdk, const char* name) {
    fs::path path = fs::path(jdk) / "bin" / name;
    if (access(path.c_str(), X_OK) != 0)
        throw PackError("the JDK " + jdk + " has no " + name + " (bin/" + name +
                        "): --jlink needs a JDK, not a JRE");
    return path.string();
}

// Refuses with the tool's own words when it failed.
ToolRun checked(ToolRun run, const std::string& what) {
    if (run.status != 0)
        throw PackError(what + " failed" +
                        (run.status > 0 ? " (exit code " + std::to_string(run.status) + ")" : "") +
                        ":\n" + run.output);
    return run;
}

} // namespace

std::string commaList(const std::vector<std::string>& items) {
    std::string out;
    for (const std::string& item : items)
        out += (out.empty() ? "" : ",") + item;
    return out;
}

int jdkFeatureVersion(const std::string& jdk) {
    std::ifstream release(fs::path(jdk) / "release");
    std::smatch m;
    static const std::regex version("^JAVA_VERSION=\"(\\d+)(\\.(\\d+))?");
    for (std::string line; std::getline(release, line);)
        if (std::regex_search(line, m, version)) {
            // "1.8.0" is Java 8.
            int feature = std::stoi(m[1]) == 1 && m[3].matched ? std::stoi(m[3]) : std::stoi(m[1]);
            if (feature < 9)
                throw PackError("the JDK " + jdk + " is Java " + std::to_string(feature) +
                                ": --jlink needs a JDK 9 or later");
            return feature;
        }
    throw PackError("the JDK " + jdk + " has no release file naming its JAVA_VERSION");
}

std::vector<std::string> requiredModules(const JlinkRequest& request, int feature) {
    std::vector<std::string> modules;
    auto add = [&](const std::string& list) {
        size_t at = 0;
        while (at <= list.size()) {
            size_t end = std::min(list.find(',', at), list.size());
            std::string name = trimmed(list.substr(at, end - at));
            if (!name.empty() && std::find(modules.begin(), modules.end(), name) == modules.end())
                modules.push_back(name);
            at = end + 1;
        }
    };
    if (request.jars.empty())
        add("java.base");
    else {
        std::vector<std::string> arguments = {"--print-module-deps", "--ignore-missing-deps",
                                              "--multi-release", std::to_string(feature)};
        arguments.insert(arguments.end(), request.jars.begin(), request.jars.end());
        ToolRun run = checked(runTool(tool(request.jdk, "jdeps"), arguments), "jdeps");
        // The list is the last line; warnings may come before it.
        static const std::regex list("^[A-Za-z0-9_.]+(,[A-Za-z0-9_.]+)*$");
        std::string found;
        size_t at = 0;
        while (at < run.output.size()) {
            size_t end = std::min(run.output.find('\n', at), run.output.size());
            std::string line = trimmed(run.output.substr(at, end - at));
            if (std::regex_match(line, list))
                found = line;
            at = end + 1;
        }
        if (found.empty())
            throw PackError("jdeps named no modules:\n" + run.output);
        add(found);
    }
    for (const std::string& extra : request.extra)
        add(extra);
    return modules;
}

void linkRuntime(const JlinkRequest& request, int feature, const std::vector<std::string>& modules,
                 const std::string& output) {
    std::vector<std::string> arguments = {"--add-modules", commaList(modules), "--strip-debug",
                                          "--no-man-pages", "--no-header-files"};
    if (!request.jmods.empty()) {
        if (!fs::is_directory(request.jmods))
            throw PackError("--jmods " + request.jmods + " is not a folder");
        arguments.insert(arguments.end(), {"--module-path", request.jmods});
    }
    // The archive is dumped by running the linked image, which works on this system only.
    if (request.target == Target::Linux && feature >= 17)
        arguments.push_back("--generate-cds-archive");
    arguments.insert(arguments.end(), {"--output", output});
    checked(runTool(tool(request.jdk, "jlink"), arguments), "jlink");
}

} // namespace zor::pack
