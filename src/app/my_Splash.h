#pragma once
// The small animated window shown while the main window and the engine start up.
// It lives on its own thread with its own X connection and is drawn with plain
// Xlib lines, so it keeps moving while the main thread is busy creating the GL
// context and loading. Without an X display there is simply no splash.

#include <array>

// Width and height of the splash window in pixels.
constexpr int SplashSize = 400;

struct TSplashPoint {
    int x = 0;
    int y = 0;
};

// The animation state that the next frame draws with.
struct TSplashState {
    float SplashAngle = 0.0f;  // radians; decreases, so the triangle turns clockwise
    float SplashScale = 1.0f;
};

// The frame geometry is kept free of X so that it can be checked without a display.

// Corners of the triangle drawn with `state`, in window pixels (y downward);
// the outline runs 0 -> 1 -> 2 -> 0.
std::array<TSplashPoint, 3> SplashTriangle(const TSplashState& state);
// The state after one more frame: 3 degrees clockwise and 2 % smaller.
TSplashState SplashNextState(const TSplashState& state);
// The state after `frames` frames from the start (negative counts as 0).
TSplashState SplashStateAfter(int frames);
// Top-left corner of the splash centred on a screen of that size.
TSplashPoint SplashPosition(int screenWidth, int screenHeight);

// Starts the splash thread unless one is already running, and tells whether a
// splash is now running. Never fails: when no X display or no thread can be had
// it returns false and start-up simply goes on without a splash.
bool StartSplash();
// Closes the splash and waits for its thread; when it returns the window is gone.
// Does nothing when no splash was started.
void StopSplash();
