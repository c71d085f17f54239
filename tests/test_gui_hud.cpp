// The battle HUD driven by a view of its own: every click becomes the request
// it stands for, with the right numbers, and nothing else; a view with no
// battle, no camera and no map yet (the scene while it is built) breaks nothing.

#include "app/my_Input.h"
#include "gui/BattleView.h"
#include "gui/GameGUI.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

constexpr int W = 1024, H = 768;

class TFakeView : public TBattleView {
public:
    const TBattle* ViewedBattle() const override { return nullptr; }
    const TGameMap* ViewedMap() const override { return nullptr; }
    const TCamera* ViewCamera() const override { return nullptr; }
    const std::vector<TGameUnit*>& SelectedUnits() const override { return Selection; }
    TGameUnit* HoveredUnit() const override { return nullptr; }
    TOrderMode CurrentOrderMode() const override { return Mode; }
    bool IsMarked(const TGameUnit*) const override { return false; }

    void HoverUnit(TGameUnit*) override { Requests.push_back("hover"); }
    void SelectOnly(const std::vector<TGameUnit*>& units) override {
        Requests.push_back("select " + std::to_string(units.size()));
    }
    void SelectGroup(int32_t n) override { Requests.push_back("group " + std::to_string(n)); }
    void ToggleHold() override { Requests.push_back("hold"); }
    void ToggleOrderMode(TOrderMode mode) override {
        Requests.push_back("mode " + std::to_string(static_cast<int>(mode)));
        Mode = Mode == mode ? TOrderMode::None : mode;
    }
    void CenterOn(float mx, float my) override {
        Requests.push_back("centre");
        X = mx;
        Y = my;
    }
    void MoveTo(float mx, float my) override {
        Requests.push_back("move");
        X = mx;
        Y = my;
    }

    std::vector<TGameUnit*> Selection;
    TOrderMode Mode = TOrderMode::None;
    std::vector<std::string> Requests;
    float X = 0.0f, Y = 0.0f;
};

class HudView : public ::testing::Test {
protected:
    void SetUp() override {
        SetCanvasSize(W, H);
        ScreenRect = TScreenRect{0, 0, W, H};
        ResetInputState();
    }
    void Frame(float x, float y, bool left, bool right = false) {
        InputState.MouseX = static_cast<int16_t>(std::lround(x * W));
        InputState.MouseY = static_cast<int16_t>(std::lround(y * H));
        InputState.MouseInside = true;
        InputState.LeftButton = left;
        InputState.RightButton = right;
        Gui.Update(0.02);
        EndInputFrame();
    }
    void Click(float x, float y) {
        Frame(x, y, true);
        Frame(x, y, false);
    }
    void ClickButton(int column, int row) {
        const TCommandPanel& p = *Gui.Screen->CommandPanel;
        const TCommandButton& b = p.Buttons[size_t(row)][size_t(column)];
        Click(p.AbsX((b.Left + b.Right) / 2), p.AbsY((b.Bottom + b.Top) / 2));
    }
    TMyVector2f MiniMapPoint(float mx, float my) {
        const TMiniMap& m = *Gui.Screen->MiniMap;
        const TMyVector2f p = m.MapToPanel(mx, my);
        return m.PanelToScreen(p.x, p.y);
    }

    TFakeView View;
    TGameGUI Gui{&View, "Nowhere/None.map"};
};

TEST_F(HudView, EachClickIsOneRequestOfTheViewAndTheHiddenHudAsksNothing) {
    // Nothing under the pointer, nothing in the view: no request, no crash.
    Frame(0.5f, 0.5f, false);
    Frame(0.5f, 0.5f, true);
    Frame(0.5f, 0.5f, false);
    EXPECT_TRUE(View.Requests.empty());
    EXPECT_FALSE(Gui.PickTroopLabel());

    // The command buttons: hold, then the order modes, which the panel shows
    // from the view's state.
    ClickButton(0, 1);
    ClickButton(0, 2);
    EXPECT_TRUE(Gui.Screen->CommandPanel->Button(0, 2).Down);
    ClickButton(1, 2);
    EXPECT_FALSE(Gui.Screen->CommandPanel->Button(0, 2).Down);
    EXPECT_TRUE(Gui.Screen->CommandPanel->Button(1, 2).Down);
    ClickButton(2, 2);  // shown but disabled
    ClickButton(3, 0);  // not shown
    EXPECT_EQ(View.Requests, (std::vector<std::string>{"hold", "mode 1", "mode 2"}));

    // A group slot, by its number.
    View.Requests.clear();
    const TGroupsInfo& g = *Gui.Screen->GroupsInfo;
    Click(g.AbsX(4.5f / 9.0f), g.AbsY(0.5f));
    EXPECT_EQ(View.Requests, (std::vector<std::string>{"group 5"}));

    // The minimap: a left press centres on the map point under it, a right
    // click orders the selection there (within the tile a pixel covers).
    View.Requests.clear();
    Gui.Screen->MiniMap->MapImageWidth = 100;
    Gui.Screen->MiniMap->MapImageHeight = 80;
    Gui.Screen->MiniMap->UpdateLayout();
    const TMyVector2f centre = MiniMapPoint(25.5f, 60.5f);
    Click(centre.x, centre.y);
    EXPECT_NEAR(View.X, 25.5f, 1.0f);
    EXPECT_NEAR(View.Y, 60.5f, 1.0f);
    const TMyVector2f target = MiniMapPoint(70.5f, 10.5f);
    Frame(target.x, target.y, false, true);
    Frame(target.x, target.y, false, false);
    EXPECT_NEAR(View.X, 70.5f, 1.0f);
    EXPECT_NEAR(View.Y, 10.5f, 1.0f);
    EXPECT_EQ(View.Requests, (std::vector<std::string>{"centre", "move"}));

    // Hidden (Tab): the same clicks ask nothing, and the pointer is the world's.
    View.Requests.clear();
    Gui.ToggleShown();
    ClickButton(0, 2);
    Click(centre.x, centre.y);
    Frame(target.x, target.y, false, true);
    EXPECT_TRUE(View.Requests.empty());
    EXPECT_FALSE(Gui.MouseOverPanels());
    Gui.ToggleShown();
    EXPECT_TRUE(Gui.Enabled);

    // The scene's arrows are shown as given.
    Gui.SetEdgeArrows(ArrowTop | ArrowLeft);
    EXPECT_EQ(Gui.ArrowFlags, ArrowTop | ArrowLeft);
}

}  // namespace
