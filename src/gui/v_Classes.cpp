#include "gui/v_Classes.h"

#include "app/my_Input.h"

#include <algorithm>

TInterfaceObj* CapturedWidget = nullptr;
bool CaptureActive = false;

namespace {

// The widget is the one holding the press, or contains it. Such a child gets the
// moves and the release wherever the pointer is, as a captured window would: a
// pointer that leaves the parent in one jump must not leave a button held down.
bool LeadsToCapture(const TInterfaceObj* w) {
    if (!CaptureActive)
        return false;
    for (const TInterfaceObj* c = CapturedWidget; c; c = c->Parent)
        if (c == w)
            return true;
    return false;
}

}  // namespace

TInterfaceObj::TInterfaceObj(const std::string& name, TInterfaceObj* parent, float x1, float y1, float x2,
                             float y2)
    : Name(name), Parent(parent), Left(x1), Bottom(y1), Width(x2 - x1), Height(y2 - y1) {
    if (Parent)
        Parent->Children.push_back(this);
}

TInterfaceObj::~TInterfaceObj() {
    // A child removes itself from Children as it goes, so always take the first.
    while (!Children.empty())
        delete Children.front();
    if (CapturedWidget == this) {
        CapturedWidget = nullptr;
        CaptureActive = false;
    }
    if (Parent) {
        auto& siblings = Parent->Children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    }
}

void TInterfaceObj::Draw() {
    // Children may be added while drawing (a panel filling itself lazily); index, not iterators.
    for (size_t i = 0; i < Children.size(); ++i)
        if (Children[i]->Visible)
            Children[i]->Draw();
}

void TInterfaceObj::KeyDown(uint16_t key) {
    for (size_t i = 0; i < Children.size(); ++i)
        Children[i]->KeyDown(key);
}

void TInterfaceObj::KeyUp(uint16_t key) {
    for (size_t i = 0; i < Children.size(); ++i)
        Children[i]->KeyUp(key);
}

void TInterfaceObj::KeyPress(uint16_t key) {
    for (size_t i = 0; i < Children.size(); ++i)
        Children[i]->KeyPress(key);
}

void TInterfaceObj::MouseDown(int button, uint16_t shift, float x, float y) {
    for (size_t i = 0; i < Children.size(); ++i)
        if (Children[i]->HitTest(x, y))
            Children[i]->MouseDown(button, shift, x, y);
}

void TInterfaceObj::MouseUp(int button, uint16_t shift, float x, float y) {
    for (size_t i = 0; i < Children.size(); ++i)
        if (LeadsToCapture(Children[i]) || Children[i]->HitTest(x, y))
            Children[i]->MouseUp(button, shift, x, y);
    CapturedWidget = nullptr;
    CaptureActive = false;
    CaptureMouse(false);
}

void TInterfaceObj::MouseMove(uint16_t shift, float x, float y) {
    for (size_t i = 0; i < Children.size(); ++i)
        if (LeadsToCapture(Children[i]) || Children[i]->HitTest(x, y))
            Children[i]->MouseMove(shift, x, y);
}

void TInterfaceObj::Tick() {
    for (size_t i = 0; i < Children.size(); ++i)
        Children[i]->Tick();
}

void TInterfaceObj::Activate() { Active = true; }

void TInterfaceObj::Deactivate() {
    Active = false;
    for (size_t i = 0; i < Children.size(); ++i)
        if (Children[i]->Active)
            Children[i]->Deactivate();
}

float TInterfaceObj::AbsX(float t) const {
    float v = t * Width + Left;
    for (const TInterfaceObj* a = Parent; a; a = a->Parent)
        v = v * a->Width + a->Left;
    return v;
}

float TInterfaceObj::AbsY(float t) const {
    float v = t * Height + Bottom;
    for (const TInterfaceObj* a = Parent; a; a = a->Parent)
        v = v * a->Height + a->Bottom;
    return v;
}

bool TInterfaceObj::HitTest(float x, float y) const {
    return AbsX(0) <= x && x <= AbsX(1) && AbsY(0) <= y && y <= AbsY(1);
}

void TInterfaceObj::ProcessInput() {
    float x = static_cast<float>(InputState.MouseX) / static_cast<float>(ScreenWidth);
    float y = static_cast<float>(InputState.MouseY) / static_cast<float>(ScreenHeight);
    if (InputState.KeyEvent) {
        for (int code = 0; code < 256; ++code) {
            if (InputState.Keys[code] && !PrevInputState.Keys[code])
                KeyDown(static_cast<uint16_t>(code));
            else if (!InputState.Keys[code] && PrevInputState.Keys[code])
                KeyUp(static_cast<uint16_t>(code));
        }
        if (InputState.LastChar != 0)
            KeyPress(InputState.LastChar);
    }
    if (InputState.MouseX != PrevInputState.MouseX || InputState.MouseY != PrevInputState.MouseY)
        MouseMove(0, x, y);
    if (InputState.LeftButton && !PrevInputState.LeftButton)
        MouseDown(0, 0, x, y);
    if (!InputState.LeftButton && PrevInputState.LeftButton)
        MouseUp(0, 0, x, y);
}

void CancelPress(TInterfaceObj& root) {
    if (auto* button = dynamic_cast<TSpeedButton*>(&root))
        button->Down = false;
    for (size_t i = 0; i < root.Children.size(); ++i)
        CancelPress(*root.Children[i]);
    if (LeadsToCapture(&root)) {
        CapturedWidget = nullptr;
        CaptureActive = false;
        CaptureMouse(false);
    }
}

// ---- TLabel ----

TLabel::TLabel(const std::string& name, TInterfaceObj* parent, float x, float y, float width,
               const std::string& caption, const TColor4f& color)
    : TInterfaceObj(name, parent, x, y, x + width,
                    y + width / static_cast<float>(std::max<size_t>(caption.size(), 1))),
      Caption(caption),
      Color(color) {}

void TLabel::Draw() {
    if (!Visible)
        return;
    SetFontColor(Canvas.Font, Color);
    float x0 = AbsX(0), y0 = AbsY(0);
    Canvas.TextFit(Caption, x0, y0, AbsX(1) - x0);
    TInterfaceObj::Draw();
}

// ---- TPanel ----

TPanel::TPanel(const std::string& name, TInterfaceObj* parent, float x1, float y1, float x2, float y2,
               const std::string& caption, const TColor4f& color, const TColor4f& frameColor)
    : TInterfaceObj(name, parent, x1, y1, x2, y2), Caption(caption), Color(color), FrameColor(frameColor) {}

void TPanel::DrawBox() {
    SetPenColor(Canvas.Pen, FrameColor);
    Canvas.Pen.Width = 1;
    SetBrushColor(Canvas.Brush, Color);
    Canvas.Rectangle(AbsX(0), AbsY(0), AbsX(1), AbsY(1));
}

void TPanel::DrawPanel() {
    float x0 = AbsX(0), y0 = AbsY(0), x1 = AbsX(1), y1 = AbsY(1);
    float w = x1 - x0, h = y1 - y0;
    DrawBox();
    if (!Caption.empty()) {
        SetFontColor(Canvas.Font, FrameColor);
        Canvas.TextFit(Caption, x0 + w / 2 - w / 4, y0 + h / 2, w / 2);
    }
}

void TPanel::Draw() {
    if (!Visible)
        return;
    DrawPanel();
    TInterfaceObj::Draw();
}

// ---- TFramePanel ----

TFramePanel::TFramePanel(const std::string& name, TInterfaceObj* parent, float x1, float y1, float x2,
                         float y2, const std::string& caption, const TColor4f& color)
    : TInterfaceObj(name, parent, x1, y1, x2, y2), Caption(caption), Color(color) {}

void TFramePanel::Draw() {
    if (!Visible)
        return;
    float x0 = AbsX(0), y0 = AbsY(0), x1 = AbsX(1), y1 = AbsY(1);
    float w = x1 - x0, h = y1 - y0;
    SetPenColor(Canvas.Pen, Color);
    Canvas.Pen.Width = 1;
    Canvas.Line(x0, y0, x0, y1);
    Canvas.Line(x0, y1, x1, y1);
    Canvas.Line(x1, y1, x1, y0);
    Canvas.Line(x1, y0, x0, y0);
    if (!Caption.empty()) {
        SetFontColor(Canvas.Font, Color);
        Canvas.TextFit(Caption, x0 + w / 2 - w / 4, y0 + h / 2, w / 2);
    }
    TInterfaceObj::Draw();
}

// ---- TStaticText ----

TStaticText::TStaticText(const std::string& name, TInterfaceObj* parent, float x, float y, float width,
                         float height, const std::string& text, const TColor4f& color,
                         const TColor4f& frameColor, const TColor4f& textColor)
    : TPanel(name, parent, x, y, x + width, y + height, "", color, frameColor),
      Text(text),
      TextColor(textColor) {}

void TStaticText::Draw() {
    if (!Visible)
        return;
    TPanel::Draw();
    if (!Text.empty()) {
        float x0 = AbsX(0), x1 = AbsX(1), y0 = AbsY(0), y1 = AbsY(1);
        float w = x1 - x0, h = y1 - y0;
        SetFontColor(Canvas.Font, TextColor);
        Canvas.TextRect(Text, x0 + 0.1f * h, y1, h, w - 0.2f * h);
    }
}

// ---- TSpeedButton ----

TSpeedButton::TSpeedButton(const std::string& name, TInterfaceObj* parent, float x1, float y1, float x2,
                           float y2, const std::string& caption, const TColor4f& color)
    : TPanel(name, parent, x1, y1, x2, y2, caption, color, clWhite) {}

void TSpeedButton::Draw() {
    if (!Visible)
        return;
    TPanel::Draw();
    float x0 = AbsX(0), y0 = AbsY(0), x1 = AbsX(1), y1 = AbsY(1);
    float w = x1 - x0, h = y1 - y0;
    SetPenColor(Canvas.Pen, TColor4f{0.0f, 0.0f, 0.0f, 1.0f});
    Canvas.Pen.Width = 2;
    if (Down) {
        Canvas.Line(x0, y0 + 0.05f * w, x0, y1);
        Canvas.Line(x0, y1, x1 - 0.05f * w, y1);
    } else {
        Canvas.Line(x0 + 0.05f * w, y0, x1, y0);
        Canvas.Line(x1, y0, x1, y1 - 0.05f * h);
    }
}

// No redraw here when the state changes: the whole frame is drawn every turn,
// so the new state shows at the next paint.
void TSpeedButton::MouseDown(int, uint16_t, float, float) {
    Down = true;
    CapturedWidget = this;
    CaptureActive = true;
    CaptureMouse(true);
}

void TSpeedButton::MouseMove(uint16_t, float x, float y) {
    if (CaptureActive && CapturedWidget == this)
        Down = HitTest(x, y);
}

void TSpeedButton::MouseUp(int button, uint16_t shift, float x, float y) {
    if (Down) {
        Down = false;
        if (OnClick)
            OnClick(this);
    }
    (void)button;
    (void)shift;
    (void)x;
    (void)y;
}

TImageSpeedButton::TImageSpeedButton(const std::string& name, TInterfaceObj* parent, float x1, float y1,
                                     float x2, float y2, const TColor4f& color)
    : TSpeedButton(name, parent, x1, y1, x2, y2, "", color) {}

// ---- TProgressBar ----

TProgressBar::TProgressBar(const std::string& name, TInterfaceObj* parent, float x1, float y1, float x2,
                           float y2, const TColor4f& color, const TColor4f& frameColor)
    : TPanel(name, parent, x1, y1, x2, y2, "", color, frameColor) {}

void TProgressBar::Draw() {
    if (!Visible)
        return;
    DrawBox();
    float x0 = AbsX(0), y0 = AbsY(0), x1 = AbsX(1), y1 = AbsY(1);
    float w = x1 - x0;
    const TColor4f bar{0.9f, 0.3f, 0.3f, 1.0f};
    SetPenColor(Canvas.Pen, bar);
    SetBrushColor(Canvas.Brush, bar);
    Canvas.Rectangle(x0 + 0.01f, y0 + 0.01f, x0 + 0.01f + (w - 0.02f) * Position, y1 - 0.01f);
}

// ---- TTrackBar ----

TTrackBar::TTrackBar(const std::string& name, TInterfaceObj* parent, float x1, float y1, float x2, float y2,
                     const TColor4f& color, const TColor4f& frameColor)
    : TPanel(name, parent, x1, y1, x2, y2, "", color, frameColor) {}

void TTrackBar::Draw() {
    if (!Visible)
        return;
    DrawBox();
    float x0 = AbsX(0), y0 = AbsY(0), x1 = AbsX(1), y1 = AbsY(1);
    float w = x1 - x0;
    const TColor4f groove{0.3f, 0.3f, 0.3f, 1.0f}, filled{0.3f, 0.9f, 0.3f, 1.0f};
    SetPenColor(Canvas.Pen, groove);
    SetBrushColor(Canvas.Brush, groove);
    Canvas.Rectangle(x0 + 0.01f, y0 + 0.01f, x0 + 0.01f + (w - 0.02f), y1 - 0.01f);
    SetPenColor(Canvas.Pen, filled);
    SetBrushColor(Canvas.Brush, filled);
    Canvas.Rectangle(x0 + 0.01f, y0 + 0.01f, x0 + 0.01f + (w - 0.02f) * Position, y1 - 0.01f);
    float t = x0 + 0.01f + (w - 0.02f) * Position;
    SetPenColor(Canvas.Pen, TColor4f{0.0f, 0.0f, 0.0f, 1.0f});
    SetBrushColor(Canvas.Brush, clWhite);
    Canvas.Polygon({{t, y1 - 0.005f}, {t + 0.007f, y0 + 0.005f}, {t - 0.007f, y0 + 0.005f}});
}

void TTrackBar::PositionFromX(float x) {
    float x0 = AbsX(0), w = AbsX(1) - x0;
    float m = x - (x0 + 0.01f);
    float r = w - 0.02f;
    if (m < 0)
        m = 0;
    if (m > r)
        m = r;
    SetPosition(r > 0 ? m / r : 0.0f);
}

void TTrackBar::SetPosition(float v) {
    if (v == Position)
        return;
    Position = v;
    if (OnChange)
        OnChange(this);
}

void TTrackBar::MouseDown(int, uint16_t, float x, float) {
    PositionFromX(x);
    CapturedWidget = this;
    CaptureActive = true;
    CaptureMouse(true);
}

void TTrackBar::MouseMove(uint16_t, float x, float) {
    if (CaptureActive && CapturedWidget == this)
        PositionFromX(x);
}
