#include "gui/MainMenuGUI.h"

#include "app/e_Platform.h"
#include "app/e_AppServices.h"
#include "app/e_Config.h"
#include "app/my_Input.h"
#include "resources/GameDataNames.h"

namespace {

const TColor4f kGrey60{0.75f, 0.75f, 0.75f, 0.6f};
const TColor4f kButtonFill{0.75f, 0.75f, 0.75f, 0.4f};
const TColor4f kBlack{0.0f, 0.0f, 0.0f, 1.0f};
const TColor4f kFrameFill{0.25f, 0.25f, 0.25f, 0.5f};
const TColor4f kLabelText{0.25f, 0.25f, 0.5f, 1.0f};

TInterfaceObj* Root(TInterfaceObj* w) {
    while (w->Parent)
        w = w->Parent;
    return w;
}

void GoBack(TInterfaceObj* from) {
    if (auto* screen = dynamic_cast<TMenuVisScreen*>(Root(from)))
        if (screen->ActiveFrame && screen->ActiveFrame->Back)
            screen->ActiveFrame = screen->ActiveFrame->Back;
}

}  // namespace

std::string VolumePercentText(float volume) { return std::to_string(RoundEven(100.0 * volume)) + "%"; }

TMenuButton::TMenuButton(const std::string& caption, TInterfaceObj* parent, float x1, float y1, float x2,
                         float y2, const TColor4f& color, const TColor4f& captionColor)
    : TImageSpeedButton("Button" + caption, parent, x1, y1, x2, y2, color), CaptionColor(captionColor) {}

void TMenuButton::Draw() {
    if (!Visible)
        return;
    TSpeedButton::Draw();
    float x0 = AbsX(0), x1 = AbsX(1), y1 = AbsY(1);
    float h = y1 - AbsY(0);
    std::string caption = Caption();
    float w = Canvas.TextWidth(caption, h);
    SetFontColor(Canvas.Font, CaptionColor);
    Canvas.TextRect(caption, x0 + (x1 - x0) / 2 - w / 2, y1 + 0.05f * h, h, x1 - x0);
}

TMenuFrame::TMenuFrame(const std::string& name, TInterfaceObj* parent, TMenuFrame* back, float x1, float y1,
                       float x2, float y2, const TColor4f& color, const TColor4f& frameColor,
                       const std::string& title)
    : TPanel(name, parent, x1, y1, x2, y2, "", color, frameColor), Back(back) {
    auto* header = new TPanel("Header", this, 0.0f, 0.92f, 1.0f, 1.0f, "", TColor4f{1, 1, 1, 0.6f}, color);
    Title = new TStaticText("Title", header, 0.05f, 0.12f, 0.9f, 0.76f, title, kGrey60, kGrey60, kBlack);
}

TMenuButton* TMenuFrame::AddButton(int k, const std::string& caption, const TColor4f& captionColor) {
    float top = 0.85f - 0.12f * static_cast<float>(k);
    auto* button = new TMenuButton(caption, this, 0.1f, top - 0.08f, 0.9f, top, kButtonFill, captionColor);
    button->OnClick = [this](TInterfaceObj* sender) { ButtonClick(static_cast<TMenuButton*>(sender)); };
    Buttons.push_back(button);
    return button;
}

TMainFrame::TMainFrame(TInterfaceObj* parent)
    : TMenuFrame("MainFrame", parent, nullptr, 0.625f, 0.09f, 0.925f, 0.64f, kFrameFill, clWhite,
                 "M A I N   M E N U") {
    const char* captions[] = {"New game", "Load game", "Options", "Exit"};
    for (int k = 0; k < 4; ++k)
        AddButton(k, captions[k], kBlack);
}

void TMainFrame::ButtonClick(TMenuButton* sender) {
    std::string caption = sender->Caption();
    if (caption == "New game") {
        if (AppServices)
            AppServices->SwitchScene(AppPath + AppServices->MapsFolder() + GameNames::BattleMap);
    } else if (caption == "Options") {
        if (auto* screen = dynamic_cast<TMenuVisScreen*>(Parent))
            screen->ActiveFrame = screen->OptionsFrame;
    } else if (caption == "Exit") {
        if (AppServices)
            AppServices->RequestQuit();
    }
    // "Load game" has nothing to load yet.
}

TOptionsFrame::TOptionsFrame(TInterfaceObj* parent, TMenuFrame* back)
    : TMenuFrame("OptionsFrame", parent, back, 0.625f, 0.09f, 0.925f, 0.64f, kFrameFill, clWhite,
                 "O P T I O N S") {
    float volume = AppServices && AppServices->Settings() ? AppServices->Settings()->MusicVolume : 1.0f;
    new TLabel("VolLabel", this, 0.1f, 0.85f, 0.5f, "Music Volume -", clWhite);
    VolumeText = new TStaticText("VolumeText", this, 0.62f, 0.82f, 0.2f, 0.06f, VolumePercentText(volume),
                                 clTransparent, clTransparent, clGreen);
    VolumeBar = new TTrackBar("VolumeBar", this, 0.05f, 0.75f, 0.95f, 0.8f, kGrey60, clWhite);
    VolumeBar->Position = volume;
    VolumeBar->OnChange = [this](TInterfaceObj*) {
        if (AppServices && AppServices->Settings())
            AppServices->Settings()->SetMusicVolume(VolumeBar->Position);
        VolumeText->Text = VolumePercentText(VolumeBar->Position);
    };
    AddButton(6, "Return", kBlack);
}

void TOptionsFrame::ButtonClick(TMenuButton* sender) {
    if (sender->Caption() == "Return")
        GoBack(this);
}

TMenuVisScreen::TMenuVisScreen()
    : TFramePanel("Main", nullptr, 0.0f, 0.0f, 1.0f, 1.0f, "", TColor4f{0.75f, 0.75f, 0.75f, 0.0f}) {
    VersionLabel = new TStaticText("VersLab", this, 0.025f, 0.01f, 0.13f, 0.03f, "Technical demo",
                                   clTransparent, clTransparent, kLabelText);
    AuthorLabel = new TStaticText("autLab", this, 0.7f, 0.01f, 0.17f, 0.03f, "mygame team, 2026",
                                  clTransparent, clTransparent, kLabelText);
    MainFrame = new TMainFrame(this);
    OptionsFrame = new TOptionsFrame(this, MainFrame);
    ActiveFrame = MainFrame;
}

void TMenuVisScreen::Draw() {
    if (!Visible)
        return;
    VersionLabel->Draw();
    AuthorLabel->Draw();
    if (ActiveFrame)
        ActiveFrame->Draw();
}

void TMenuVisScreen::KeyDown(uint16_t) {}

void TMenuVisScreen::KeyPress(uint16_t key) {
    if (key == VK::Escape && ActiveFrame && ActiveFrame->Back)
        ActiveFrame = ActiveFrame->Back;
}

TMainMenuGUI::TMainMenuGUI() : Screen(std::make_unique<TMenuVisScreen>()) {}

void TMainMenuGUI::Update(double) {
    PressCaptured = true;
    if (Screen->ActiveFrame)
        Screen->ActiveFrame->ProcessInput();
    if (InputState.LastChar != 0)
        Screen->KeyPress(InputState.LastChar);
}

void TMainMenuGUI::Draw() { Screen->Draw(); }
