// The process entry of the launcher stub.
#include "launcher/launch.h"
#include "launcher/natives.h"

int main(int argc, char** argv) {
    return zor::launcherMain(argc, argv, zor::addLauncherNatives);
}
