#include "app/my_Splash.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <system_error>
#include <thread>

namespace {

constexpr double Pi = 3.14159265358979323846;
constexpr int SplashCentre = SplashSize / 2;
constexpr auto SplashFrameDelay = std::chrono::milliseconds(10);

// One splash at a time. The thread is only touched under the lock; the stop
// request is the one thing the two threads share while the splash runs.
std::mutex splashLock;
std::thread splashThread;
std::atomic<bool> splashStop{false};

// Round half to even, as the frame geometry has always been rounded.
int RoundToInt(double v) { return static_cast<int>(std::nearbyint(v)); }

unsigned long AllocPixel(Display* display, int screen, unsigned short red, unsigned short green,
                         unsigned short blue) {
    XColor colour{};
    colour.red = static_cast<unsigned short>(red * 257);
    colour.green = static_cast<unsigned short>(green * 257);
    colour.blue = static_cast<unsigned short>(blue * 257);
    colour.flags = DoRed | DoGreen | DoBlue;
    if (XAllocColor(display, DefaultColormap(display, screen), &colour))
        return colour.pixel;
    return WhitePixel(display, screen);
}

// Asks the window manager, if there is one, for a plain undecorated splash that
// never takes the focus and stays where it was put.
void SetSplashHints(Display* display, Window window, int left, int top) {
    XClassHint classHint{};
    char name[] = "mygame-splash";
    char className[] = "QvSplashWindowClass";
    classHint.res_name = name;
    classHint.res_class = className;
    XSetClassHint(display, window, &classHint);

    XSizeHints size{};
    size.flags = USPosition | PPosition | PSize | PMinSize | PMaxSize;
    size.x = left;
    size.y = top;
    size.width = size.min_width = size.max_width = SplashSize;
    size.height = size.min_height = size.max_height = SplashSize;
    XSetWMNormalHints(display, window, &size);

    XWMHints wmHints{};
    wmHints.flags = InputHint;
    wmHints.input = False;
    XSetWMHints(display, window, &wmHints);

    XStoreName(display, window, "");

    Atom windowType = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
    Atom splashType = XInternAtom(display, "_NET_WM_WINDOW_TYPE_SPLASH", False);
    XChangeProperty(display, window, windowType, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&splashType), 1);

    // Motif hints: flags = decorations, decorations = none.
    long motif[5] = {2, 0, 0, 0, 0};
    Atom motifHints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    XChangeProperty(display, window, motifHints, motifHints, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(motif), 5);
}

struct TSplashPens {
    unsigned long red = 0;
    unsigned long green = 0;
};

// One frame of the animation. Nothing is erased: each frame draws over the last,
// which is what leaves the tightening red spiral inside the circle.
void PaintSplash(Display* display, Window window, GC gc, const TSplashPens& pens, TSplashState& state) {
    const auto corners = SplashTriangle(state);
    XPoint outline[4];
    for (int k = 0; k < 4; ++k) {
        const TSplashPoint& p = corners[k % 3];
        outline[k].x = static_cast<short>(p.x);
        outline[k].y = static_cast<short>(p.y);
    }
    XSetForeground(display, gc, pens.red);
    XSetLineAttributes(display, gc, 3, LineSolid, CapRound, JoinRound);
    XDrawLines(display, window, gc, outline, 4, CoordModeOrigin);

    state = SplashNextState(state);

    XSetForeground(display, gc, pens.green);
    XSetLineAttributes(display, gc, 2, LineSolid, CapRound, JoinRound);
    XDrawArc(display, window, gc, 0, 0, SplashSize - 1, SplashSize - 1, 0, 360 * 64);
}

// Runs on the splash thread, which from now on is the only user of `display`.
void SplashProc(Display* display) {
    const int screen = DefaultScreen(display);
    const TSplashPoint pos = SplashPosition(DisplayWidth(display, screen), DisplayHeight(display, screen));

    XSetWindowAttributes attrs{};
    attrs.background_pixmap = None;  // never cleared by the server either
    attrs.border_pixel = 0;
    attrs.cursor = XCreateFontCursor(display, XC_watch);
    attrs.event_mask = ExposureMask | StructureNotifyMask;
    Window window = XCreateWindow(display, RootWindow(display, screen), pos.x, pos.y, SplashSize, SplashSize,
                                  0, CopyFromParent, InputOutput, CopyFromParent,
                                  CWBackPixmap | CWBorderPixel | CWCursor | CWEventMask, &attrs);
    SetSplashHints(display, window, pos.x, pos.y);

    TSplashPens pens;
    pens.red = AllocPixel(display, screen, 200, 0, 0);
    pens.green = AllocPixel(display, screen, 0, 100, 0);
    GC gc = XCreateGC(display, window, 0, nullptr);

    XMapWindow(display, window);
    XFlush(display);

    // Frames drawn before the window is on screen would be lost, and with them
    // the first, largest triangles: the animation starts once it is mapped.
    bool mapped = false;
    TSplashState state;
    while (!splashStop.load(std::memory_order_acquire)) {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify)
                mapped = true;
            else if (event.type == UnmapNotify)
                mapped = false;
        }
        if (mapped)
            PaintSplash(display, window, gc, pens, state);
        XFlush(display);
        std::this_thread::sleep_for(SplashFrameDelay);
    }

    // Out of the way of the main window first, then gone.
    XLowerWindow(display, window);
    XFreeGC(display, gc);
    XDestroyWindow(display, window);
    XFreeCursor(display, attrs.cursor);
    XCloseDisplay(display);  // flushes: the window is gone once this returns
}

}  // namespace

std::array<TSplashPoint, 3> SplashTriangle(const TSplashState& state) {
    const double r = SplashCentre * static_cast<double>(state.SplashScale);
    std::array<TSplashPoint, 3> corners;
    for (int k = 0; k < 3; ++k) {
        const double theta = Pi / 2 + static_cast<double>(state.SplashAngle) + k * 2 * Pi / 3;
        corners[k].x = SplashCentre + RoundToInt(r * std::cos(theta));
        corners[k].y = SplashCentre - RoundToInt(r * std::sin(theta));
    }
    return corners;
}

TSplashState SplashNextState(const TSplashState& state) {
    TSplashState next;
    next.SplashAngle = static_cast<float>(state.SplashAngle - 3 * Pi / 180);
    next.SplashScale = static_cast<float>(state.SplashScale * 0.98);
    return next;
}

TSplashState SplashStateAfter(int frames) {
    TSplashState state;
    for (int i = 0; i < frames; ++i)
        state = SplashNextState(state);
    return state;
}

TSplashPoint SplashPosition(int screenWidth, int screenHeight) {
    return {(screenWidth - SplashSize) / 2, (screenHeight - SplashSize) / 2};
}

bool StartSplash() {
    std::lock_guard<std::mutex> guard(splashLock);
    // Checked against the thread rather than the window, which the thread only
    // creates later: two quick calls must not start two splashes.
    if (splashThread.joinable())
        return true;
    // Both the game's SDL connection and ours are used from their own threads.
    static std::once_flag xThreads;
    std::call_once(xThreads, [] { XInitThreads(); });
    // A connection of our own, opened here so that the caller learns at once
    // whether there is a splash (Wayland without XWayland, or no display: none).
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    splashStop.store(false, std::memory_order_release);
    try {
        splashThread = std::thread(SplashProc, display);
    } catch (const std::system_error&) {
        XCloseDisplay(display);
        return false;
    }
    return true;
}

void StopSplash() {
    std::lock_guard<std::mutex> guard(splashLock);
    // Also stops a splash whose window is not up yet: its thread would otherwise run on.
    if (!splashThread.joinable())
        return;
    splashStop.store(true, std::memory_order_release);
    splashThread.join();
}
