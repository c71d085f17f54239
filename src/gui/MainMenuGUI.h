#pragma once
// The main menu: a translucent frame of buttons at the right of the screen, an
// options frame with the music volume, and the version and author labels.

#include "app/e_GUiObject.h"
#include "gui/v_Classes.h"

#include <memory>
#include <vector>

// A menu button draws its caption, which is its name without "Button".
class TMenuButton : public TImageSpeedButton {
public:
    TMenuButton(const std::string& caption, TInterfaceObj* parent, float x1, float y1, float x2, float y2,
                const TColor4f& color, const TColor4f& captionColor);
    void Draw() override;
    std::string Caption() const { return Name.substr(6); }
    TColor4f CaptionColor;
};

// A titled frame with a column of buttons; the main menu's and the game menu's frames.
class TMenuFrame : public TPanel {
public:
    TMenuFrame(const std::string& name, TInterfaceObj* parent, TMenuFrame* back, float x1, float y1, float x2,
               float y2, const TColor4f& color, const TColor4f& frameColor, const std::string& title);
    // Adds button k (counting from 0 from the top) with the frame's click handler.
    TMenuButton* AddButton(int k, const std::string& caption, const TColor4f& captionColor);
    virtual void ButtonClick(TMenuButton* sender) = 0;

    TMenuFrame* Back = nullptr;
    TStaticText* Title = nullptr;
    std::vector<TMenuButton*> Buttons;
};

class TMainFrame : public TMenuFrame {
public:
    TMainFrame(TInterfaceObj* parent);
    void ButtonClick(TMenuButton* sender) override;
};

class TOptionsFrame : public TMenuFrame {
public:
    TOptionsFrame(TInterfaceObj* parent, TMenuFrame* back);
    void ButtonClick(TMenuButton* sender) override;
    TStaticText* VolumeText = nullptr;
    TTrackBar* VolumeBar = nullptr;
};

class TMenuVisScreen : public TFramePanel {
public:
    TMenuVisScreen();
    void Draw() override;
    void KeyDown(uint16_t key) override;
    void KeyPress(uint16_t key) override;

    TStaticText* VersionLabel = nullptr;
    TStaticText* AuthorLabel = nullptr;
    TMainFrame* MainFrame = nullptr;
    TOptionsFrame* OptionsFrame = nullptr;
    TMenuFrame* ActiveFrame = nullptr;
};

class TMainMenuGUI : public TGUIObject {
public:
    TMainMenuGUI();
    void Update(double dt) override;
    void Draw() override;
    std::unique_ptr<TMenuVisScreen> Screen;
};

// "42%": the volume as the options frame shows it.
std::string VolumePercentText(float volume);
