#pragma once
// The global input state that window events fill and scenes and widgets read.
// Mouse y grows upward from the bottom edge; keys use the Windows virtual-key
// numbering so that every key table of the game reads the same on any platform.

#include <cstdint>

struct TInputState {
    int16_t MouseX = -1;
    int16_t MouseY = -1;
    bool MouseInside = false;
    bool LeftButton = false;
    bool RightButton = false;
    bool MiddleButton = false;
    bool LeftDrag = false;
    bool RightDrag = false;
    int16_t DragStartX = -1;
    int16_t DragStartY = -1;
    bool LeftDoubleClick = false;
    bool RightDoubleClick = false;
    bool KeyEvent = false;
    bool Keys[256] = {};
    uint16_t LastChar = 0;
};

struct TScreenRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
};

extern TInputState InputState;
extern TInputState PrevInputState;
extern TScreenRect ScreenRect;

enum class TMouseButton {
    Left,
    Right
};

// What the window does with the mouse capture; the shell points it at SDL.
using TCaptureProc = void (*)(bool capture);
void SetCaptureProc(TCaptureProc proc);
// Takes or releases the window's mouse capture (widgets do, on a press).
void CaptureMouse(bool capture);

// The window procedure's handling of input messages. Positions are client
// pixels with y downward, as the window system reports them.
void InputMouseMove(int x, int y, bool leftHeld, bool rightHeld);
void InputButtonDown(TMouseButton button, int x, int y);
void InputButtonUp(TMouseButton button, int x, int y);
void InputDoubleClick(TMouseButton button, int x, int y);
// Escape, Enter, Tab and Backspace also deliver their character (27, 13, 9, 8).
void InputKeyDown(int code);
void InputKeyUp(int code);
void InputChar(uint16_t code);
// The keys whose character comes with the key-down, never from text input.
bool IsKeyCharacter(uint32_t code);
// SDL hints that make its mouse events match the game's window system; call before SDL_Init.
void SetInputHints();
// The virtual-key code of an SDL key (scancode and layout key symbol), or -1.
int VirtualKeyFromSdl(int scancode, int keycode);
// Initial values, copied into PrevInputState as well.
void ResetInputState();
// After a scene update: copy to the previous state and clear the per-frame flags.
void EndInputFrame();

// Windows virtual-key codes the game refers to by name.
namespace VK {
constexpr int Back = 8, Tab = 9, Return = 13, Shift = 16, Control = 17, Menu = 18, Escape = 27, Space = 32,
              Prior = 33, Next = 34, End = 35, Home = 36, Left = 37, Up = 38, Right = 39, Down = 40,
              Delete = 46, Numpad0 = 96, Multiply = 106, Add = 107, Subtract = 109, Decimal = 110,
              Divide = 111, F1 = 112;
}
