// Test helper on an X display: compares the screen with a bitmap centred on it, saves that part
// of the screen as a PNG, and presses a key or clicks the way a user would.
//
//   x11_probe match FILE.bmp        exit 0 when the screen's centre shows the bitmap exactly
//   x11_probe png FILE.bmp OUT.png  the bitmap's centred rectangle of the screen as a PNG
//   x11_probe key                   a key press to the focused window, which must be the splash
//   x11_probe click                 a left click on the top-level window at the screen's centre
#include "platform/dib_image.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const char SPLASH_TITLE[] = "Please wait ...";

bool readBitmap(const char* path, zor::DibPixels& pixels) {
    std::ifstream in(path, std::ios::binary);
    std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)),
                                    std::istreambuf_iterator<char>());
    return file.size() > 14 && zor::decodeDib(file.data() + 14, file.size() - 14, pixels);
}

uint32_t channel(unsigned long pixel, unsigned long mask) {
    if (!mask)
        return 0;
    int shift = 0;
    while (!(mask & (1ul << shift)))
        ++shift;
    unsigned long bits = mask >> shift;
    return uint32_t(((pixel & mask) >> shift) * 255 / bits);
}

// The screen's pixels under the bitmap centred on it, as 0x00RRGGBB; false where it reaches
// past the screen (the tests use smaller bitmaps).
bool grabCentre(Display* d, int width, int height, std::vector<uint32_t>& out) {
    int screen = DefaultScreen(d);
    int left = (DisplayWidth(d, screen) - width) / 2, top = (DisplayHeight(d, screen) - height) / 2;
    if (left < 0 || top < 0)
        return false;
    XImage* image =
        XGetImage(d, RootWindow(d, screen), left, top, width, height, AllPlanes, ZPixmap);
    if (!image)
        return false;
    Visual* v = DefaultVisual(d, screen);
    out.resize(size_t(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            unsigned long p = XGetPixel(image, x, y);
            out[size_t(y) * width + x] = channel(p, v->red_mask) << 16 |
                                         channel(p, v->green_mask) << 8 | channel(p, v->blue_mask);
        }
    XDestroyImage(image);
    return true;
}

void chunk(std::string& png, const char* type, const std::string& data) {
    auto be32 = [&](uint32_t v) {
        for (int i = 3; i >= 0; --i)
            png += char(v >> (8 * i));
    };
    be32(uint32_t(data.size()));
    std::string body = std::string(type, 4) + data;
    png += body;
    be32(uint32_t(crc32(0, reinterpret_cast<const Bytef*>(body.data()), uInt(body.size()))));
}

bool writePng(const char* path, int width, int height, const std::vector<uint32_t>& rgb) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0'; // no filter
        for (int x = 0; x < width; ++x) {
            uint32_t p = rgb[size_t(y) * width + x];
            raw += char(p >> 16);
            raw += char(p >> 8);
            raw += char(p);
        }
    }
    uLongf packedSize = compressBound(uLong(raw.size()));
    std::string packed(packedSize, '\0');
    if (compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize,
                  reinterpret_cast<const Bytef*>(raw.data()), uLong(raw.size()), 9) != Z_OK)
        return false;
    packed.resize(packedSize);
    std::string header;
    for (uint32_t v : {uint32_t(width), uint32_t(height)})
        for (int i = 3; i >= 0; --i)
            header += char(v >> (8 * i));
    header += std::string("\x08\x02\x00\x00\x00", 5); // 8-bit RGB
    std::string png("\x89PNG\r\n\x1a\n", 8);
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", "");
    std::ofstream out(path, std::ios::binary);
    out.write(png.data(), std::streamsize(png.size()));
    return bool(out);
}

std::string windowName(Display* d, Window w) {
    char* name = nullptr;
    std::string result;
    if (XFetchName(d, w, &name) && name)
        result = name;
    if (name)
        XFree(name);
    return result;
}

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        std::printf("no display\n");
        return 2;
    }
    XSetErrorHandler(ignoreErrors);
    if ((command == "match" && argc == 3) || (command == "png" && argc == 4)) {
        zor::DibPixels bitmap;
        if (!readBitmap(argv[2], bitmap)) {
            std::printf("cannot read %s\n", argv[2]);
            return 2;
        }
        std::vector<uint32_t> screen;
        if (!grabCentre(d, bitmap.width, bitmap.height, screen)) {
            std::printf("cannot read the screen\n");
            return 2;
        }
        if (command == "png")
            return writePng(argv[3], bitmap.width, bitmap.height, screen) ? 0 : 2;
        size_t differ = 0;
        for (size_t i = 0; i < screen.size(); ++i)
            differ += screen[i] != bitmap.pixels[i];
        std::printf("%zu of %zu pixels differ\n", differ, screen.size());
        return differ == 0 ? 0 : 1;
    }
    if (command == "key") {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(d, &focus, &revert);
        std::string name = focus > PointerRoot ? windowName(d, focus) : "";
        if (name != SPLASH_TITLE) {
            std::printf("the focus is not on the splash (window %lx '%s')\n", focus, name.c_str());
            return 1;
        }
        XEvent e = {};
        e.xkey.type = KeyPress;
        e.xkey.display = d;
        e.xkey.window = focus;
        e.xkey.root = DefaultRootWindow(d);
        e.xkey.keycode = XKeysymToKeycode(d, XK_space);
        e.xkey.same_screen = True;
        XSendEvent(d, focus, True, KeyPressMask, &e);
        XSync(d, False);
        return 0;
    }
    if (command == "click") {
        int screen = DefaultScreen(d);
        Window root = RootWindow(d, screen), child = 0;
        int x = DisplayWidth(d, screen) / 2, y = DisplayHeight(d, screen) / 2, cx = 0, cy = 0;
        XTranslateCoordinates(d, root, root, x, y, &cx, &cy, &child);
        if (!child) {
            std::printf("no window at the centre\n");
            return 1;
        }
        XTranslateCoordinates(d, root, child, x, y, &cx, &cy, &root);
        for (int type : {ButtonPress, ButtonRelease}) {
            XEvent e = {};
            e.xbutton.type = type;
            e.xbutton.display = d;
            e.xbutton.window = child;
            e.xbutton.root = RootWindow(d, screen);
            e.xbutton.x = cx;
            e.xbutton.y = cy;
            e.xbutton.x_root = x;
            e.xbutton.y_root = y;
            e.xbutton.button = Button1;
            e.xbutton.same_screen = True;
            XSendEvent(d, child, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask,
                       &e);
        }
        XSync(d, False);
        return 0;
    }
    std::printf("usage: x11_probe match|png FILE.bmp [OUT.png] | key | click\n");
    return 2;
}
