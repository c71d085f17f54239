#pragma once
// A small retained-mode widget toolkit. Widgets form a tree; each rectangle is
// a fraction of its parent's, so a whole screen scales with the window. A parent
// owns its children: destroying the root destroys the screen.

#include "gui/v_CanvasOpenGL.h"

#include <functional>
#include <string>
#include <vector>

class TInterfaceObj;
using TNotifyEvent = std::function<void(TInterfaceObj* sender)>;

class TInterfaceObj {
public:
    TInterfaceObj(const std::string& name, TInterfaceObj* parent, float x1, float y1, float x2, float y2);
    virtual ~TInterfaceObj();
    TInterfaceObj(const TInterfaceObj&) = delete;
    TInterfaceObj& operator=(const TInterfaceObj&) = delete;

    virtual void Draw();
    virtual void KeyDown(uint16_t key);
    virtual void KeyUp(uint16_t key);
    virtual void KeyPress(uint16_t key);
    virtual void MouseDown(int button, uint16_t shift, float x, float y);
    virtual void MouseUp(int button, uint16_t shift, float x, float y);
    virtual void MouseMove(uint16_t shift, float x, float y);
    virtual void Tick();
    virtual void Activate();
    virtual void Deactivate();

    // Screen coordinate of the point at fraction t across (up) the widget.
    float AbsX(float t) const;
    float AbsY(float t) const;
    bool HitTest(float x, float y) const;
    const std::string& GetName() const { return Name; }
    // Turns this frame's input state into events on this widget.
    void ProcessInput();

    std::string Name;
    TInterfaceObj* Parent = nullptr;
    float Left = 0, Bottom = 0, Width = 0, Height = 0;
    bool Active = false;
    TCanvas Canvas;
    std::vector<TInterfaceObj*> Children;  // owned
    bool Visible = true;
};

// The widget that owns the mouse while a button is held over it.
extern TInterfaceObj* CapturedWidget;
extern bool CaptureActive;

// Ends the press that the widgets of the tree under `root` may hold, as a release
// outside them would, but without clicking: buttons come up and a capture held
// in the tree is dropped. For a screen that stops getting input in the middle of
// a press (a menu being hidden).
void CancelPress(TInterfaceObj& root);

class TLabel : public TInterfaceObj {
public:
    // The height follows the caption's length; an empty caption gets the height
    // of a one-character caption.
    TLabel(const std::string& name, TInterfaceObj* parent, float x, float y, float width,
           const std::string& caption, const TColor4f& color);
    void Draw() override;
    std::string Caption;
    TColor4f Color;
};

class TPanel : public TInterfaceObj {
public:
    TPanel(const std::string& name, TInterfaceObj* parent, float x1, float y1, float x2, float y2,
           const std::string& caption, const TColor4f& color, const TColor4f& frameColor);
    void Draw() override;
    std::string Caption;
    TColor4f Color;
    TColor4f FrameColor;

protected:
    // The frame and the background over the whole rectangle.
    void DrawBox();
    // DrawBox and the caption.
    void DrawPanel();
};

class TFramePanel : public TInterfaceObj {
public:
    TFramePanel(const std::string& name, TInterfaceObj* parent, float x1, float y1, float x2, float y2,
                const std::string& caption, const TColor4f& color);
    void Draw() override;
    std::string Caption;
    TColor4f Color;
};

class TStaticText : public TPanel {
public:
    TStaticText(const std::string& name, TInterfaceObj* parent, float x, float y, float width, float height,
                const std::string& text, const TColor4f& color, const TColor4f& frameColor,
                const TColor4f& textColor);
    void Draw() override;
    std::string Text;
    TColor4f TextColor;
};

class TSpeedButton : public TPanel {
public:
    TSpeedButton(const std::string& name, TInterfaceObj* parent, float x1, float y1, float x2, float y2,
                 const std::string& caption, const TColor4f& color);
    void Draw() override;
    void MouseDown(int button, uint16_t shift, float x, float y) override;
    void MouseUp(int button, uint16_t shift, float x, float y) override;
    void MouseMove(uint16_t shift, float x, float y) override;
    bool Down = false;
    TNotifyEvent OnClick;
};

class TImageSpeedButton : public TSpeedButton {
public:
    TImageSpeedButton(const std::string& name, TInterfaceObj* parent, float x1, float y1, float x2, float y2,
                      const TColor4f& color);
};

class TProgressBar : public TPanel {
public:
    TProgressBar(const std::string& name, TInterfaceObj* parent, float x1, float y1, float x2, float y2,
                 const TColor4f& color, const TColor4f& frameColor);
    void Draw() override;
    float Position = 0.0f;
};

class TTrackBar : public TPanel {
public:
    TTrackBar(const std::string& name, TInterfaceObj* parent, float x1, float y1, float x2, float y2,
              const TColor4f& color, const TColor4f& frameColor);
    void Draw() override;
    void MouseDown(int button, uint16_t shift, float x, float y) override;
    void MouseMove(uint16_t shift, float x, float y) override;
    void PositionFromX(float x);
    void SetPosition(float v);
    float Position = 0.0f;
    TNotifyEvent OnChange;
};
