#include "app/my_Input.h"

#include <SDL.h>

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
    // These keys also make a character on the window system the game was made
    // for, and widgets wait for that character; text input never reports them.
    if (IsKeyCharacter(static_cast<uint32_t>(code)))
        InputChar(static_cast<uint16_t>(code));
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

bool IsKeyCharacter(uint32_t code) {
    return code == VK::Escape || code == VK::Return || code == VK::Tab || code == VK::Back;
}

void SetInputHints() {
    // A second press counts as a double click only within the 4 x 4 pixel
    // rectangle the game was tuned for; SDL's own radius is far wider.
    SDL_SetHint(SDL_HINT_MOUSE_DOUBLE_CLICK_RADIUS, "2");
}

int VirtualKeyFromSdl(int scancode, int keycode) {
    // Digits and the numeric pad by position, so that every layout has them.
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
        return '1' + (scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0)
        return '0';
    if (scancode >= SDL_SCANCODE_KP_1 && scancode <= SDL_SCANCODE_KP_9)
        return VK::Numpad0 + 1 + (scancode - SDL_SCANCODE_KP_1);
    switch (scancode) {
    case SDL_SCANCODE_KP_0:
        return VK::Numpad0;
    case SDL_SCANCODE_KP_MULTIPLY:
        return VK::Multiply;
    case SDL_SCANCODE_KP_PLUS:
        return VK::Add;
    case SDL_SCANCODE_KP_MINUS:
        return VK::Subtract;
    case SDL_SCANCODE_KP_PERIOD:
        return VK::Decimal;
    case SDL_SCANCODE_KP_DIVIDE:
        return VK::Divide;
    case SDL_SCANCODE_KP_ENTER:
        return VK::Return;
    default:
        break;
    }
    // Letters as the layout names them.
    if (keycode >= SDLK_a && keycode <= SDLK_z)
        return 'A' + (keycode - SDLK_a);
    // A layout whose letters are not Latin still has letter keys: by position.
    if (keycode >= 0x80 && !(keycode & SDLK_SCANCODE_MASK) && scancode >= SDL_SCANCODE_A &&
        scancode <= SDL_SCANCODE_Z)
        return 'A' + (scancode - SDL_SCANCODE_A);
    if (keycode >= SDLK_F1 && keycode <= SDLK_F12)
        return VK::F1 + (keycode - SDLK_F1);
    switch (keycode) {
    case SDLK_BACKSPACE:
        return VK::Back;
    case SDLK_TAB:
        return VK::Tab;
    case SDLK_RETURN:
        return VK::Return;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK::Shift;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK::Control;
    case SDLK_LALT:
    case SDLK_RALT:
        return VK::Menu;
    case SDLK_ESCAPE:
        return VK::Escape;
    case SDLK_SPACE:
        return VK::Space;
    case SDLK_PAGEUP:
        return VK::Prior;
    case SDLK_PAGEDOWN:
        return VK::Next;
    case SDLK_END:
        return VK::End;
    case SDLK_HOME:
        return VK::Home;
    case SDLK_LEFT:
        return VK::Left;
    case SDLK_UP:
        return VK::Up;
    case SDLK_RIGHT:
        return VK::Right;
    case SDLK_DOWN:
        return VK::Down;
    case SDLK_DELETE:
        return VK::Delete;
    default:
        return -1;
    }
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
