#include "gui/GameMenuGUI.h"

#include "app/e_Platform.h"
#include "app/e_AppServices.h"
#include "resources/GameDataNames.h"

namespace {
const TColor4f kCaption{0.8f, 0.8f, 0.8f, 1.0f};
}

TMenuFrame1::TMenuFrame1(TInterfaceObj* parent, std::function<void()> onContinue)
    : TMenuFrame("MenuFrame", parent, nullptr, 0.35f, 0.25f, 0.65f, 0.8f, TColor4f{0.25f, 0.25f, 0.25f, 0.5f},
                 clWhite, "G A M E   M E N U"),
      OnContinue(std::move(onContinue)) {
    const char* captions[] = {"Continue", "Restart", "Terminate"};
    for (int k = 0; k < 3; ++k)
        AddButton(k, captions[k], kCaption);
}

void TMenuFrame1::ButtonClick(TMenuButton* sender) {
    std::string caption = sender->Caption();
    if (caption == "Continue") {
        if (OnContinue)
            OnContinue();
    } else if (caption == "Restart") {
        if (AppServices)
            AppServices->SwitchScene(AppPath + AppServices->MapsFolder() + GameNames::BattleMap);
    } else if (caption == "Terminate") {
        if (AppServices)
            AppServices->SwitchScene("defMainMenu");
    }
}

TMenuScreen1::TMenuScreen1(std::function<void()> onContinue)
    : TFramePanel("Main", nullptr, 0.0f, 0.0f, 1.0f, 1.0f, "", TColor4f{0.75f, 0.75f, 0.75f, 0.0f}) {
    MenuFrame = new TMenuFrame1(this, std::move(onContinue));
    EndGameLabel = new TStaticText("endGameLab", this, 0.21f, 0.825f, 0.6f, 0.15f, "", clTransparent,
                                   clTransparent, clWhite);
}

TGameMenuGUI::TGameMenuGUI(std::function<void()> onContinue)
    : Screen(std::make_unique<TMenuScreen1>(std::move(onContinue))) {}

void TGameMenuGUI::Update(double) {
    PressCaptured = true;
    Screen->ProcessInput();
}

void TGameMenuGUI::Draw() { Screen->Draw(); }

void TGameMenuGUI::SetEndText(const std::string& text) { Screen->EndGameLabel->Text = text; }

void TGameMenuGUI::ReleasePress() {
    CancelPress(*Screen);
    PressCaptured = false;
}
