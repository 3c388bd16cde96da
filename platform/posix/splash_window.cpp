// The splash window on X11. libX11 is loaded at run time: a packed program must start, without a
// splash, on a machine that has no X11 libraries or no display.
//
// Only the splash thread speaks to the X server. Other threads leave their request (a close, a
// new deadline) under the window's mutex and wake the thread through a pipe.
#include "platform/splash_window.h"

#include "platform/dib_image.h"
#include "platform/resources.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <unistd.h>

namespace zor::platform {

namespace {

// How long creation waits for the server to show the window before it paints anyway.
constexpr int MAP_WAIT_MS = 2000;

struct Xlib {
    Status (*InitThreads)();
    Display* (*OpenDisplay)(const char*);
    int (*CloseDisplay)(Display*);
    XErrorHandler (*SetErrorHandler)(XErrorHandler);
    XIOErrorHandler (*SetIOErrorHandler)(XIOErrorHandler);
    Window (*CreateWindow)(Display*, Window, int, int, unsigned, unsigned, unsigned, int, unsigned,
                           Visual*, unsigned long, XSetWindowAttributes*);
    int (*StoreName)(Display*, Window, const char*);
    int (*MapRaised)(Display*, Window);
    int (*DestroyWindow)(Display*, Window);
    int (*SetInputFocus)(Display*, Window, int, Time);
    XImage* (*CreateImage)(Display*, Visual*, unsigned, int, int, char*, unsigned, unsigned, int,
                           int);
    GC (*CreateGC)(Display*, Drawable, unsigned long, XGCValues*);
    int (*FreeGC)(Display*, GC);
    int (*PutImage)(Display*, Drawable, GC, XImage*, int, int, int, int, unsigned, unsigned);
    int (*Pending)(Display*);
    int (*NextEvent)(Display*, XEvent*);
    int (*Flush)(Display*);
    // libX11 1.7 and later: what happens after a connection is lost, instead of exit(1).
    void (*SetIOErrorExitHandler)(Display*, void (*)(Display*, void*), void*);
};

template <typename F> bool bind(void* library, F& function, const char* name) {
    function = reinterpret_cast<F>(dlsym(library, name));
    return function != nullptr;
}

// Errors of our own requests (a focus change the server refuses) must not end the process,
// which Xlib's default handler does.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

int returnFromIOError(Display*) {
    return 0;
}

// libX11 with every function the window needs, loaded once; null where it is missing.
const Xlib* loadXlib() {
    static const Xlib* loaded = []() -> const Xlib* {
        void* library = dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return nullptr;
        static Xlib x;
        bool complete =
            bind(library, x.InitThreads, "XInitThreads") &&
            bind(library, x.OpenDisplay, "XOpenDisplay") &&
            bind(library, x.CloseDisplay, "XCloseDisplay") &&
            bind(library, x.SetErrorHandler, "XSetErrorHandler") &&
            bind(library, x.SetIOErrorHandler, "XSetIOErrorHandler") &&
            bind(library, x.CreateWindow, "XCreateWindow") &&
            bind(library, x.StoreName, "XStoreName") && bind(library, x.MapRaised, "XMapRaised") &&
            bind(library, x.DestroyWindow, "XDestroyWindow") &&
            bind(library, x.SetInputFocus, "XSetInputFocus") &&
            bind(library, x.CreateImage, "XCreateImage") &&
            bind(library, x.CreateGC, "XCreateGC") && bind(library, x.FreeGC, "XFreeGC") &&
            bind(library, x.PutImage, "XPutImage") && bind(library, x.Pending, "XPending") &&
            bind(library, x.NextEvent, "XNextEvent") && bind(library, x.Flush, "XFlush");
        if (!complete) {
            dlclose(library);
            return nullptr;
        }
        x.InitThreads();
        x.SetErrorHandler(ignoreXError);
        // The default handler of a lost connection ends the process itself; where Xlib lets
        // each connection decide what follows (the exit handler), ours returns, and every
        // connection but the splash's still ends the process through its default exit handler.
        if (bind(library, x.SetIOErrorExitHandler, "XSetIOErrorExitHandler"))
            x.SetIOErrorHandler(returnFromIOError);
        return &x;
    }();
    return loaded;
}

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A colour channel (0..255) placed under a visual's mask.
unsigned long channel(uint32_t value, unsigned long mask) {
    if (!mask)
        return 0;
    int shift = 0;
    while (!(mask & (1ul << shift)))
        ++shift;
    unsigned long bits = mask >> shift;
    return ((value * bits + 127) / 255) << shift;
}

} // namespace

struct SplashWindow {
    const Xlib* x = nullptr;
    Display* display = nullptr;
    Window window = 0;
    XImage* image = nullptr;
    GC gc = nullptr;
    int wake[2] = {-1, -1};

    bool connectionLost = false; // set by Xlib on the splash thread

    std::mutex requests;
    bool closeRequested = false;
    int64_t deadline = -1; // steady-clock milliseconds of the pending close, -1 for none

    void paint() {
        x->PutImage(display, window, gc, image, 0, 0, 0, 0, image->width, image->height);
        x->Flush(display);
    }
    void wakeUp() {
        char byte = 1;
        // A full pipe already holds a wake-up; the request itself is in the fields.
        ssize_t written = write(wake[1], &byte, 1);
        (void)written;
    }
};

void* loadSplashBitmap() {
    const void* data = nullptr;
    uint32_t size = 0;
    if (!findOwnResource(RESOURCE_TYPE_BITMAP, SPLASH_BITMAP_ID, &data, &size))
        return nullptr;
    return splashBitmapFromDib(static_cast<const unsigned char*>(data), size);
}

void* splashBitmapFromDib(const unsigned char* dib, uint32_t size) {
    DibPixels* pixels = new DibPixels;
    if (!decodeDib(dib, size, *pixels)) {
        delete pixels;
        return nullptr;
    }
    return pixels;
}

void freeSplashBitmap(void* bitmap) {
    delete static_cast<DibPixels*>(bitmap);
}

namespace {

// A lost connection to the display ends the splash, not the program, where libX11 allows it.
void connectionLost(Display*, void* splash) {
    static_cast<SplashWindow*>(splash)->connectionLost = true;
}

XImage* makeImage(const Xlib& x, Display* display, Visual* visual, int depth,
                  const DibPixels& pixels) {
    char* data = static_cast<char*>(std::calloc(size_t(pixels.width) * pixels.height, 4));
    if (!data)
        return nullptr;
    XImage* image =
        x.CreateImage(display, visual, depth, ZPixmap, 0, data, pixels.width, pixels.height, 32, 0);
    if (!image) {
        std::free(data);
        return nullptr;
    }
    for (int32_t row = 0; row < pixels.height; ++row)
        for (int32_t column = 0; column < pixels.width; ++column) {
            uint32_t rgb = pixels.pixels[size_t(row) * pixels.width + column];
            XPutPixel(image, column, row,
                      channel(rgb >> 16 & 255, visual->red_mask) |
                          channel(rgb >> 8 & 255, visual->green_mask) |
                          channel(rgb & 255, visual->blue_mask));
        }
    return image;
}

// Waits up to `milliseconds` for an event on the connection.
bool waitForEvent(const Xlib& x, Display* display, int milliseconds) {
    if (x.Pending(display))
        return true;
    pollfd fd = {ConnectionNumber(display), POLLIN, 0};
    return poll(&fd, 1, milliseconds) > 0 && x.Pending(display);
}

} // namespace

SplashWindow* createSplashWindow(void* bitmap, const char* title) {
    const Xlib* x = loadXlib();
    const DibPixels* pixels = static_cast<const DibPixels*>(bitmap);
    if (!x || !pixels)
        return nullptr;
    Display* display = x->OpenDisplay(nullptr);
    if (!display)
        return nullptr;
    int screen = DefaultScreen(display);
    Visual* visual = DefaultVisual(display, screen);
    // Pixels are computed from the visual's colour masks, which only true-colour visuals have.
    if (visual->c_class != TrueColor) {
        x->CloseDisplay(display);
        return nullptr;
    }
    SplashWindow* splash = new SplashWindow;
    splash->x = x;
    splash->display = display;
    if (x->SetIOErrorExitHandler)
        x->SetIOErrorExitHandler(display, connectionLost, splash);
    splash->image = makeImage(*x, display, visual, DefaultDepth(display, screen), *pixels);
    if (!splash->image || pipe2(splash->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        freeSplashWindow(splash);
        return nullptr;
    }
    // Centred like on Windows: a bitmap larger than the screen reaches past its edges.
    int left = (DisplayWidth(display, screen) - pixels->width) / 2;
    int top = (DisplayHeight(display, screen) - pixels->height) / 2;
    XSetWindowAttributes attributes = {};
    attributes.override_redirect = True; // no frame, no window manager placement
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | StructureNotifyMask;
    splash->window =
        x->CreateWindow(display, RootWindow(display, screen), left, top, pixels->width,
                        pixels->height, 0, DefaultDepth(display, screen), InputOutput, visual,
                        CWOverrideRedirect | CWBackPixel | CWEventMask, &attributes);
    splash->gc = x->CreateGC(display, splash->window, 0, nullptr);
    x->StoreName(display, splash->window, title);
    x->MapRaised(display, splash->window);
    x->Flush(display);
    // Ready means visible: wait until the server has mapped the window, then paint and take the
    // keyboard focus (which only a mapped window can have).
    int64_t giveUp = nowMs() + MAP_WAIT_MS;
    for (int64_t wait = MAP_WAIT_MS; wait > 0; wait = giveUp - nowMs()) {
        if (!waitForEvent(*x, display, int(wait)))
            continue;
        XEvent event;
        x->NextEvent(display, &event);
        if (event.type == MapNotify)
            break;
    }
    splash->paint();
    x->SetInputFocus(display, splash->window, RevertToParent, CurrentTime);
    x->Flush(display);
    return splash;
}

void runSplashWindow(SplashWindow* splash) {
    const Xlib& x = *splash->x;
    while (!splash->connectionLost) {
        while (x.Pending(splash->display) > 0) {
            XEvent event;
            x.NextEvent(splash->display, &event);
            if (event.type == Expose && event.xexpose.count == 0)
                splash->paint();
            // A key closes the splash, but not with Alt held (the system keys on Windows).
            else if (event.type == KeyPress && !(event.xkey.state & Mod1Mask))
                requestSplashClose(splash);
            else if (event.type == DestroyNotify)
                return;
        }
        int64_t deadline;
        {
            std::lock_guard<std::mutex> hold(splash->requests);
            if (splash->deadline >= 0 && nowMs() >= splash->deadline)
                splash->closeRequested = true;
            if (splash->closeRequested)
                break;
            deadline = splash->deadline;
        }
        pollfd fds[2] = {{ConnectionNumber(splash->display), POLLIN, 0},
                         {splash->wake[0], POLLIN, 0}};
        int timeout = deadline < 0 ? -1 : int(std::max<int64_t>(0, deadline - nowMs()));
        int ready = poll(fds, 2, timeout);
        // A hang-up with nothing to read is a lost connection that Xlib has not noticed yet.
        if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR)) && !x.Pending(splash->display))
            break;
        if (ready > 0 && (fds[1].revents & POLLIN)) {
            char drain[64];
            while (read(splash->wake[0], drain, sizeof drain) > 0) {
            }
        }
    }
    x.DestroyWindow(splash->display, splash->window);
    x.Flush(splash->display);
}

void freeSplashWindow(SplashWindow* splash) {
    const Xlib& x = *splash->x;
    if (splash->image)
        XDestroyImage(splash->image);
    if (splash->gc)
        x.FreeGC(splash->display, splash->gc);
    // Closing the connection also destroys a window that is left.
    x.CloseDisplay(splash->display);
    for (int fd : splash->wake)
        if (fd >= 0)
            close(fd);
    delete splash;
}

void* splashWindowHandle(SplashWindow* splash) {
    return reinterpret_cast<void*>(splash->window);
}

void requestSplashTimer(SplashWindow* splash, int32_t milliseconds) {
    {
        std::lock_guard<std::mutex> hold(splash->requests);
        splash->deadline = milliseconds < 0 ? -1 : nowMs() + milliseconds;
    }
    splash->wakeUp();
}

void requestSplashClose(SplashWindow* splash) {
    {
        std::lock_guard<std::mutex> hold(splash->requests);
        splash->closeRequested = true;
    }
    splash->wakeUp();
}

} // namespace zor::platform
