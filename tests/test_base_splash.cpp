#include "app/my_Splash.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

double Distance(const TSplashPoint& p, double cx, double cy) { return std::hypot(p.x - cx, p.y - cy); }

}  // namespace

TEST(SplashGeometry, FirstFrameIsUprightAndFillsTheCircle) {
    const auto corners = SplashTriangle(TSplashState{});
    EXPECT_EQ(corners[0].x, 200);
    EXPECT_EQ(corners[0].y, 0);  // pointing up in window pixels
    EXPECT_EQ(corners[1].x, 200 - 173);
    EXPECT_EQ(corners[1].y, 300);
    EXPECT_EQ(corners[2].x, 200 + 173);
    EXPECT_EQ(corners[2].y, 300);
}

TEST(SplashGeometry, TurnsClockwiseAndShrinks) {
    const TSplashState one = SplashStateAfter(1);
    EXPECT_NEAR(one.SplashAngle, -3 * M_PI / 180, 1e-6);
    EXPECT_NEAR(one.SplashScale, 0.98f, 1e-6);
    // Clockwise on screen: the top corner moves to the right.
    EXPECT_GT(SplashTriangle(one)[0].x, 200);

    const TSplashState after35 = SplashStateAfter(35);
    EXPECT_NEAR(after35.SplashScale, std::pow(0.98, 35), 1e-5);
    EXPECT_NEAR(after35.SplashAngle, -105 * M_PI / 180, 1e-4);
    for (const TSplashPoint& p : SplashTriangle(after35))
        EXPECT_NEAR(Distance(p, 200, 200), 200 * std::pow(0.98, 35), 1.0);
    // At -105 degrees the first corner sits at 345 degrees, right of centre and just below it.
    EXPECT_GT(SplashTriangle(after35)[0].x, 290);
    EXPECT_GT(SplashTriangle(after35)[0].y, 200);

    // A few seconds in, everything has collapsed onto the centre pixel.
    for (const TSplashPoint& p : SplashTriangle(SplashStateAfter(400))) {
        EXPECT_EQ(p.x, 200);
        EXPECT_EQ(p.y, 200);
    }
    EXPECT_FLOAT_EQ(SplashStateAfter(-5).SplashScale, 1.0f);
}

TEST(SplashGeometry, CentredOnTheScreen) {
    EXPECT_EQ(SplashPosition(1920, 1080).x, 760);
    EXPECT_EQ(SplashPosition(1920, 1080).y, 340);
    EXPECT_EQ(SplashPosition(1025, 769).x, 312);  // integer division
    EXPECT_EQ(SplashPosition(1025, 769).y, 184);
}

TEST(SplashLifecycle, StopWithoutSplashDoesNothing) {
    StopSplash();
    StopSplash();
}

TEST(SplashLifecycle, NoDisplayMeansNoSplashAndNoHang) {
    const char* old = std::getenv("DISPLAY");
    const std::string saved = old ? old : "";
    unsetenv("DISPLAY");
    EXPECT_FALSE(StartSplash());
    EXPECT_FALSE(StartSplash());
    StopSplash();
    StopSplash();
    if (old)
        setenv("DISPLAY", saved.c_str(), 1);
}

// ---- With a real X server ----------------------------------------------------
// Run directly when a display exists; otherwise the program re-runs these tests
// under xvfb-run when it is installed.

namespace {

const char* const ChildMarker = "MYGAME_SPLASH_TEST_UNDER_XVFB";

// The splash windows on the screen, found by their class as a window manager would.
int CountSplashWindows(Display* display, Window* found = nullptr) {
    Window root, parent, *children = nullptr;
    unsigned int count = 0;
    int splashes = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return 0;
    for (unsigned int i = 0; i < count; ++i) {
        XClassHint hint{};
        if (XGetClassHint(display, children[i], &hint)) {
            if (hint.res_class && std::string(hint.res_class) == "QvSplashWindowClass") {
                XWindowAttributes attrs{};
                if (XGetWindowAttributes(display, children[i], &attrs) && attrs.map_state == IsViewable) {
                    ++splashes;
                    if (found)
                        *found = children[i];
                }
            }
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
    }
    XFree(children);
    return splashes;
}

bool WaitForSplash(Display* display, Window* found) {
    for (int i = 0; i < 500; ++i) {
        if (CountSplashWindows(display, found) > 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

struct TRgb {
    int r, g, b;
};

TRgb PixelAt(XImage* image, int x, int y) {
    const unsigned long p = XGetPixel(image, x, y);
    auto channel = [&](unsigned long mask) {
        int shift = 0;
        while (mask && !(mask & 1)) {
            mask >>= 1;
            ++shift;
        }
        return static_cast<int>(((p >> shift) & mask) * 255 / (mask ? mask : 1));
    };
    return {channel(image->red_mask), channel(image->green_mask), channel(image->blue_mask)};
}

bool IsSplashRed(const TRgb& c) { return c.r == 200 && c.g == 0 && c.b == 0; }
bool IsSplashGreen(const TRgb& c) { return c.r == 0 && c.g == 100 && c.b == 0; }

class SplashOnX : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY") || !(display = XOpenDisplay(nullptr)))
            GTEST_SKIP() << "no X display";
    }
    void TearDown() override {
        StopSplash();
        if (display)
            XCloseDisplay(display);
    }
    Display* display = nullptr;
};

}  // namespace

TEST(SplashUnderXvfb, RunsTheXTestsOnAVirtualDisplay) {
    if (std::getenv("DISPLAY") || std::getenv(ChildMarker))
        GTEST_SKIP() << "the X tests run directly";
    if (system("command -v xvfb-run >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "neither an X display nor xvfb-run";
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(n, 0);
    self[n] = 0;
    const std::string command = std::string(ChildMarker) + "=1 xvfb-run -a -s '-screen 0 1024x768x24' '" +
                                self + "' --gtest_filter='SplashOnX.*' --gtest_brief=1";
    const int status = system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the splash tests failed under xvfb-run";
}

TEST_F(SplashOnX, ShowsOneCentredSplashAndStopRemovesIt) {
    EXPECT_TRUE(StartSplash());
    EXPECT_TRUE(StartSplash());  // must not open a second window
    Window splash = 0;
    ASSERT_TRUE(WaitForSplash(display, &splash));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    StartSplash();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(CountSplashWindows(display), 1);

    XWindowAttributes attrs{};
    ASSERT_TRUE(XGetWindowAttributes(display, splash, &attrs));
    EXPECT_EQ(attrs.width, SplashSize);
    EXPECT_EQ(attrs.height, SplashSize);
    const TSplashPoint expected = SplashPosition(DisplayWidth(display, DefaultScreen(display)),
                                                 DisplayHeight(display, DefaultScreen(display)));
    Window child;
    int x = 0, y = 0;
    XTranslateCoordinates(display, splash, DefaultRootWindow(display), 0, 0, &x, &y, &child);
    EXPECT_EQ(x, expected.x);
    EXPECT_EQ(y, expected.y);

    StopSplash();
    EXPECT_EQ(CountSplashWindows(display), 0);  // gone by the time StopSplash returns
    StopSplash();
}

TEST_F(SplashOnX, DrawsTheRedSpiralInsideTheGreenCircle) {
    StartSplash();
    Window splash = 0;
    ASSERT_TRUE(WaitForSplash(display, &splash));
    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    XImage* image = XGetImage(display, splash, 0, 0, SplashSize, SplashSize, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);

    // The circle's leftmost and bottom points.
    bool greenLeft = false, greenBottom = false;
    for (int d = 0; d < 2; ++d) {
        greenLeft = greenLeft || IsSplashGreen(PixelAt(image, d, 200));
        greenBottom = greenBottom || IsSplashGreen(PixelAt(image, 200, SplashSize - 1 - d));
    }
    EXPECT_TRUE(greenLeft);
    EXPECT_TRUE(greenBottom);
    // The first triangle's base, never erased by later frames.
    EXPECT_TRUE(IsSplashRed(PixelAt(image, 200, 300)));
    // The spiral has reached well inside: corners of frame 35 are about 98 pixels out.
    int redNearCentre = 0;
    for (int y = 100; y < 300; ++y)
        for (int x = 100; x < 300; ++x)
            redNearCentre += IsSplashRed(PixelAt(image, x, y));
    EXPECT_GT(redNearCentre, 500);
    // Outside the circle nothing is drawn.
    EXPECT_FALSE(IsSplashRed(PixelAt(image, 5, 5)));
    XDestroyImage(image);
}

TEST_F(SplashOnX, StopRightAfterStartDoesNotHang) {
    for (int i = 0; i < 5; ++i) {
        StartSplash();
        StopSplash();
    }
    EXPECT_EQ(CountSplashWindows(display), 0);
}
