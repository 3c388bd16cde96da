#include "launcher/messages.h"

#include "platform/message_box.h"
#include "platform/strings.h"
#include "splash/splash_screen.h"

namespace zor {

ByteString loadMessage(int id) {
    ByteString text;
    const uint16_t* units = nullptr;
    uint32_t count = 0;
    if (id < 0 || !platform::findStringBlock(id / 16 + 1, &units, &count))
        return text;
    // Each entry is a count followed by that many units; skip the entries before ours.
    uint32_t p = 0;
    for (int i = 0; i < id % 16; ++i)
        p += (p < count ? units[p] : 0) + 1;
    if (p >= count)
        return text;
    uint32_t length = units[p];
    if (length > count - p - 1) // never read past a truncated block
        length = count - p - 1;
    if (length > 0)
        text.assignFromWide(units + p + 1, static_cast<int32_t>(length));
    return text;
}

ByteString launchErrorText(LaunchError code, int32_t vmMajor, int32_t vmMinor,
                           int32_t requiredMajor, int32_t requiredMinor, const char* folder) {
    ByteString text = loadMessage(code);
    ByteString formatted;
    if (code == RuntimeUnpackFailed) {
        // The table entry is the format: one %s, the folder.
        formatted.format(text.c_str(), folder ? folder : "");
        return formatted;
    }
    if (code != VersionTooLow)
        return text;
    // The table entry is the format: four %d in the order VM major, VM minor, required.
    formatted.format(text.c_str(), vmMajor, vmMinor, requiredMajor, requiredMinor);
    return formatted;
}

void showLaunchError(LaunchError code, int32_t vmMajor, int32_t vmMinor, int32_t requiredMajor,
                     int32_t requiredMinor, const char* folder) {
    ByteString text = launchErrorText(code, vmMajor, vmMinor, requiredMajor, requiredMinor, folder);
    ByteString caption = loadMessage(ERROR_CAPTION_ID);
    // A close still pending from the end of main waits until the box is gone.
    platform::showMessageBox(SplashScreenThread::ownerForMessageBox(), text.c_str(),
                             caption.c_str());
    SplashScreenThread::autoClose(SPLASH_CLOSE_AFTER_ERROR_MS);
}

} // namespace zor
