#include "app/my_Input.h"

#include <algorithm>

TInputState InputState;
TInputState PrevInputState;
TScreenRect ScreenRect;

namespace {

TCaptureProc captureProc = nullptr;

void Capture(bool capture) {
    if (captureProc)
        captureProc(capture);
}

// Converts to y upward and clamps; returns whether the point was inside.
bool Convert(int x, int y, int16_t& outX, int16_t& outY) {
    int16_t sx = static_cast<int16_t>(x);
    int16_t sy = static_cast<int16_t>((ScreenRect.Bottom - ScreenRect.Top) - static_cast<int16_t>(y));
    int16_t cx = static_cast<int16_t>(std::clamp<int32_t>(sx, ScreenRect.Left, ScreenRect.Right));
    int16_t cy = static_cast<int16_t>(std::clamp<int32_t>(sy, ScreenRect.Top, ScreenRect.Bottom));
    outX = cx;
    outY = cy;
    return cx == sx && cy == sy;
}

bool StorePosition(int x, int y) {
    bool inside = Convert(x, y, InputState.MouseX, InputState.MouseY);
    InputState.MouseInside = inside;
    return inside;
}

}  // namespace

void SetCaptureProc(TCaptureProc proc) { captureProc = proc; }

void CaptureMouse(bool capture) { Capture(capture); }

void InputMouseMove(int x, int y, bool leftHeld, bool rightHeld) {
    if (StorePosition(x, y))
        Capture(true);
    else if (!leftHeld && !rightHeld)
        Capture(false);
}

void InputButtonDown(TMouseButton button, int x, int y) {
    StorePosition(x, y);
    if (button == TMouseButton::Left) {
        InputState.LeftButton = true;
        InputState.LeftDrag = true;
        InputState.DragStartX = InputState.MouseX;
        InputState.DragStartY = InputState.MouseY;
        InputState.RightDrag = false;
    } else {
        InputState.RightButton = true;
        if (!InputState.LeftDrag) {
            InputState.RightDrag = true;
            InputState.DragStartX = InputState.MouseX;
            InputState.DragStartY = InputState.MouseY;
        }
    }
    Capture(true);
}

void InputButtonUp(TMouseButton button, int x, int y) {
    bool inside = StorePosition(x, y);
    if (button == TMouseButton::Left) {
        InputState.LeftButton = false;
        InputState.LeftDrag = false;
        if (!inside && !InputState.RightButton)
            Capture(false);
    } else {
        InputState.RightButton = false;
        InputState.RightDrag = false;
        if (!inside && !InputState.LeftButton)
            Capture(false);
    }
}

void InputDoubleClick(TMouseButton button, int x, int y) {
    StorePosition(x, y);
    if (button == TMouseButton::Left)
        InputState.LeftDoubleClick = true;
    else
        InputState.RightDoubleClick = true;
}

void InputKeyDown(int code) {
    if (code >= 0 && code < 256)
        InputState.Keys[code] = true;
    InputState.KeyEvent = true;
}

void InputKeyUp(int code) {
    if (code >= 0 && code < 256)
        InputState.Keys[code] = false;
    InputState.KeyEvent = true;
}

void InputChar(uint16_t code) {
    InputState.LastChar = code;
    InputState.KeyEvent = true;
}

void ResetInputState() {
    InputState = TInputState{};
    PrevInputState = InputState;
}

void EndInputFrame() {
    PrevInputState = InputState;
    InputState.LeftDoubleClick = false;
    InputState.RightDoubleClick = false;
    InputState.LastChar = 0;
    InputState.KeyEvent = false;
}
