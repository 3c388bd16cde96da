#include "launcher/launch.h"

#include "archive/archive_store.h"
#include "config/runtime_release.h"
#include "launcher/embedded_runtime.h"
#include "launcher/messages.h"
#include "launcher/warm_start.h"
#include "platform/system.h"
#include "splash/splash_screen.h"

#include <cstdio>

namespace zor {

void readVersion(const char* text, int32_t& major, int32_t& minor) {
    int first = 0;
    int second = 0;
    std::sscanf(text ? text : "", "%d.%d", &first, &second);
    major = first;
    minor = second;
}

int32_t resolveFullPath(const char* base, const char* path, char* buffer, int32_t size) {
    ByteString joined = platform::joinForFullPath(base, path);
    return platform::fullPathName(joined.c_str(), buffer, size);
}

void applyForcedDirectory(const ConfigStore& config, const char* value) {
    ByteString home = config.applicationHome();
    char buffer[platform::MAX_PATH_BYTES];
    int32_t n = resolveFullPath(home.c_str(), value, buffer, platform::MAX_PATH_BYTES);
    if (n > 0 && n < platform::MAX_PATH_BYTES)
        platform::setCurrentDirectory(buffer);
}

namespace {

void addEachValue(VmHost& host, const ConfigStore& config, const char* key, const char* prefix) {
    StringList values;
    config.forEachValue(key, appendExpandedValue, &values);
    for (int32_t i = 0; i < values.count(); ++i)
        host.addOption((ByteString(prefix) + values.item(i)).c_str());
}

} // namespace

LaunchOutcome runLaunchSequence(const ConfigStore& config, VmHost& host, int argc, char** argv) {
    LaunchOutcome outcome;

    ByteString forced = config.forcedWorkingDirectory();
    if (!forced.isEmpty())
        applyForcedDirectory(config, forced.c_str());

    // Options that only some runtimes understand are chosen before the VM exists, from what
    // the runtime says of itself; they come first, so that the configuration can override.
    ByteString library = config.runtimeLibraryPath(findEmbeddedRuntime);
    if (library.isEmpty() && !embeddedRuntimeFailure().isEmpty()) {
        outcome.error = RuntimeUnpackFailed;
        outcome.unpackFolder = embeddedRuntimeFailure();
        return outcome;
    }
    int32_t runtimeMajor = runtimeMajorVersion(library.c_str());
    // The support classes load the executable as their native library; runtimes from 24 on
    // warn about that on standard error, and are to refuse it, unless native access is enabled.
    if (runtimeMajor >= FIRST_NATIVE_ACCESS_VERSION)
        host.addOption("--enable-native-access=ALL-UNNAMED");
    addWarmStartOptions(host, config, library.c_str(), runtimeMajor);

    addEachValue(host, config, KEY_OPTION, "");
    addEachValue(host, config, KEY_PROPERTY, "-D");
    host.addOption(("-Djava.class.path=" + config.classPath()).c_str());
    host.addOption(("-Dzor.app.path=" + config.applicationPath()).c_str());
    host.addOption(("-Dapplication.home=" + config.applicationHome()).c_str());

    outcome.error = host.createVm(library.c_str());
    if (outcome.error != LaunchOk)
        return outcome;

    ByteString minimum = config.getValue(KEY_MIN_JRE);
    if (!minimum.isEmpty()) {
        ByteString version;
        if (!host.getVmVersion(version)) {
            outcome.error = VersionUnknown;
            return outcome;
        }
        readVersion(minimum.c_str(), outcome.requiredMajor, outcome.requiredMinor);
        readVersion(version.c_str(), outcome.vmMajor, outcome.vmMinor);
        if (outcome.vmMajor < outcome.requiredMajor ||
            (outcome.vmMajor == outcome.requiredMajor && outcome.vmMinor < outcome.requiredMinor)) {
            outcome.error = VersionTooLow;
            return outcome;
        }
    }

    host.registerHandlerPackage();
    ByteString mainClass = config.getValue(KEY_MAIN_CLASS, true);
    outcome.error = host.runMain(mainClass.c_str(), argc, argv);
    outcome.mainThrew = host.mainThrew();
    // Close the splash soon after main, unless the application has taken charge of it.
    SplashScreenThread::autoCloseUnlessRequested(SPLASH_CLOSE_AFTER_MAIN_MS);
    return outcome;
}

int launch(const ConfigStore& config, VmHost& host, int argc, char** argv) {
    LaunchOutcome outcome = runLaunchSequence(config, host, argc, argv);
    if (outcome.error != LaunchOk) {
        showLaunchError(outcome.error, outcome.vmMajor, outcome.vmMinor, outcome.requiredMajor,
                        outcome.requiredMinor, outcome.unpackFolder.c_str());
        return outcome.error;
    }
    return outcome.mainThrew ? 1 : 0;
}

int launcherMain(int argc, char** argv, void (*addNatives)(VmHost& host)) {
    // Before anything else, so that the bitmap is up while the runtime is found and started.
    startSplashFromResources();
    ConfigStore config;
    config.load();
    int exitCode;
    {
        VmHost host;
        if (addNatives)
            addNatives(host);
        // The natives read the application path from a copy that outlives `config`: daemon
        // threads may still run them after the launch has ended. The launch is handed both.
        nativeApplicationPath = config.applicationPath();
        currentConfig = &config;
        currentVmHost = &host;
        exitCode = launch(config, host, argc > 0 ? argc - 1 : 0, argc > 0 ? argv + 1 : argv);
        // Waits for the application's last non-daemon thread, then unloads the runtime.
        host.destroyVm();
        finishWarmStart();
        currentConfig = nullptr;
        currentVmHost = nullptr;
    }
    return exitCode;
}

} // namespace zor
