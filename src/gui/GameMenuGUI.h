#pragma once
// The in-battle menu: "Continue", "Restart", "Terminate", and a large line for
// the end of the battle.

#include "app/e_GUiObject.h"
#include "gui/MainMenuGUI.h"

#include <functional>
#include <memory>

class TMenuFrame1 : public TMenuFrame {
public:
    TMenuFrame1(TInterfaceObj* parent, std::function<void()> onContinue);
    void ButtonClick(TMenuButton* sender) override;
    // Keys never reach the buttons.
    void KeyDown(uint16_t) override {}
    void KeyPress(uint16_t) override {}

private:
    std::function<void()> OnContinue;
};

class TMenuScreen1 : public TFramePanel {
public:
    explicit TMenuScreen1(std::function<void()> onContinue);
    TMenuFrame1* MenuFrame = nullptr;
    TStaticText* EndGameLabel = nullptr;
};

class TGameMenuGUI : public TGUIObject {
public:
    // `onContinue` asks the battle to swap the menu back for the HUD.
    explicit TGameMenuGUI(std::function<void()> onContinue);
    void Update(double dt) override;
    void Draw() override;
    void SetEndText(const std::string& text);
    // A button held when the menu goes away comes up without clicking.
    void ReleasePress();
    std::unique_ptr<TMenuScreen1> Screen;
};
