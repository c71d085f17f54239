// Widget layout, input routing, buttons, track bars and text measuring.

#include "app/my_Input.h"
#include "gui/GameMenuGUI.h"
#include "gui/v_Classes.h"

#include <gtest/gtest.h>

namespace {

class Widgets : public ::testing::Test {
protected:
    void SetUp() override {
        ScreenRect = TScreenRect{0, 0, 1000, 500};
        SetCanvasSize(1000, 500);
        ResetInputState();
    }
    // Moves the pointer to (x, y) in GUI space with the left button as given, then routes the frame.
    void Frame(TInterfaceObj& root, float x, float y, bool left) {
        InputState.MouseX = static_cast<int16_t>(x * 1000);
        InputState.MouseY = static_cast<int16_t>(y * 500);
        InputState.LeftButton = left;
        root.ProcessInput();
        EndInputFrame();
    }
};

TEST_F(Widgets, ChildRectanglesAreFractionsOfTheirParents) {
    TInterfaceObj root("root", nullptr, 0.2f, 0.0f, 0.6f, 0.5f);
    auto* child = new TInterfaceObj("child", &root, 0.5f, 0.5f, 1.0f, 1.0f);
    EXPECT_FLOAT_EQ(child->AbsX(0), 0.4f);
    EXPECT_FLOAT_EQ(child->AbsY(0), 0.25f);
    EXPECT_FLOAT_EQ(child->AbsX(1), 0.6f);
    EXPECT_FLOAT_EQ(child->AbsY(1), 0.5f);
    EXPECT_TRUE(child->HitTest(child->AbsX(0), child->AbsY(1)));  // edges count
    EXPECT_FALSE(child->HitTest(0.39f, 0.3f));
}

TEST_F(Widgets, DestroyingAChildKeepsTheOthersInOrder) {
    TInterfaceObj root("root", nullptr, 0, 0, 1, 1);
    auto* a = new TInterfaceObj("a", &root, 0, 0, 1, 1);
    auto* b = new TInterfaceObj("b", &root, 0, 0, 1, 1);
    auto* c = new TInterfaceObj("c", &root, 0, 0, 1, 1);
    new TInterfaceObj("grandchild", b, 0, 0, 1, 1);
    delete b;
    ASSERT_EQ(root.Children.size(), 2u);
    EXPECT_EQ(root.Children[0], a);
    EXPECT_EQ(root.Children[1], c);
}

TEST_F(Widgets, AButtonClicksOnlyWhenReleasedOverItAfterAPressOnIt) {
    TInterfaceObj root("root", nullptr, 0, 0, 1, 1);
    auto* button = new TSpeedButton("b", &root, 0.1f, 0.1f, 0.3f, 0.3f, "Go", clGreen);
    int clicks = 0;
    button->OnClick = [&](TInterfaceObj* sender) {
        EXPECT_EQ(sender, button);
        ++clicks;
    };
    Frame(root, 0.2f, 0.2f, true);
    EXPECT_TRUE(button->Down);
    Frame(root, 0.5f, 0.5f, true);  // dragged out: shows raised
    EXPECT_FALSE(button->Down);
    Frame(root, 0.5f, 0.5f, false);  // released outside
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(CapturedWidget, nullptr);

    Frame(root, 0.2f, 0.2f, true);
    Frame(root, 0.6f, 0.6f, true);
    Frame(root, 0.25f, 0.25f, true);  // back in: pressed again
    EXPECT_TRUE(button->Down);
    Frame(root, 0.25f, 0.25f, false);
    EXPECT_EQ(clicks, 1);

    Frame(root, 0.8f, 0.8f, true);  // pressed elsewhere, released over the button
    Frame(root, 0.2f, 0.2f, true);
    Frame(root, 0.2f, 0.2f, false);
    EXPECT_EQ(clicks, 1);
}

// The pointer may leave a frame in one jump while a button inside it is held:
// the button must still see the move and the release, as a captured window does.
TEST_F(Widgets, TheWidgetHoldingThePressGetsTheMovesAndTheReleaseWhereverThePointerGoes) {
    int continues = 0;
    TGameMenuGUI menu([&] { ++continues; });
    TMenuScreen1& screen = *menu.Screen;
    TMenuFrame1& frame = *screen.MenuFrame;
    TMenuButton& button = *frame.Buttons[0];
    ASSERT_EQ(button.Caption(), "Continue");
    const float bx = button.AbsX(0.5f), by = button.AbsY(0.5f);
    const float outX = 0.05f, outY = 0.05f;                              // outside the menu frame
    const float besideX = frame.AbsX(0.5f), besideY = frame.AbsY(0.2f);  // in the frame, on no button
    ASSERT_FALSE(frame.HitTest(outX, outY));

    Frame(screen, bx, by, true);
    EXPECT_TRUE(button.Down);
    Frame(screen, outX, outY, true);  // out of the frame in one frame
    EXPECT_FALSE(button.Down);
    Frame(screen, outX, outY, false);
    EXPECT_EQ(CapturedWidget, nullptr);
    // A later press beside the buttons released over it clicks nothing.
    Frame(screen, besideX, besideY, true);
    Frame(screen, bx, by, true);
    Frame(screen, bx, by, false);
    EXPECT_EQ(continues, 0);
    // Out of the frame and back before the release: pressed again, and it clicks.
    Frame(screen, bx, by, true);
    Frame(screen, outX, outY, true);
    Frame(screen, bx, by, true);
    EXPECT_TRUE(button.Down);
    Frame(screen, bx, by, false);
    EXPECT_EQ(continues, 1);

    // A track bar inside a panel keeps following the pointer beyond the panel.
    TInterfaceObj root("root", nullptr, 0, 0, 1, 1);
    auto* panel = new TPanel("p", &root, 0.2f, 0.2f, 0.8f, 0.8f, "", clGreen, clWhite);
    auto* bar = new TTrackBar("t", panel, 0.1f, 0.4f, 0.9f, 0.6f, clGreen, clWhite);
    Frame(root, bar->AbsX(0.5f), bar->AbsY(0.5f), true);
    EXPECT_NEAR(bar->Position, 0.5f, 0.02f);
    Frame(root, 0.95f, 0.5f, true);
    EXPECT_FLOAT_EQ(bar->Position, 1.0f);
    Frame(root, 0.02f, 0.9f, true);
    EXPECT_FLOAT_EQ(bar->Position, 0.0f);
    Frame(root, 0.02f, 0.9f, false);
    EXPECT_EQ(CapturedWidget, nullptr);
}

TEST_F(Widgets, HiddenWidgetsStillReceiveEvents) {
    TInterfaceObj root("root", nullptr, 0, 0, 1, 1);
    auto* button = new TSpeedButton("b", &root, 0, 0, 1, 1, "", clGreen);
    button->Visible = false;
    int clicks = 0;
    button->OnClick = [&](TInterfaceObj*) { ++clicks; };
    Frame(root, 0.5f, 0.5f, true);
    Frame(root, 0.5f, 0.5f, false);
    EXPECT_EQ(clicks, 1);
}

TEST_F(Widgets, TrackBarFollowsThePointerWhileCapturedAndReportsOnlyChanges) {
    TInterfaceObj root("root", nullptr, 0, 0, 1, 1);
    auto* bar = new TTrackBar("t", &root, 0.2f, 0.4f, 0.6f, 0.6f, clGreen, clWhite);
    int changes = 0;
    bar->OnChange = [&](TInterfaceObj*) { ++changes; };
    Frame(root, 0.2f, 0.5f, true);  // left of the groove
    EXPECT_FLOAT_EQ(bar->Position, 0.0f);
    EXPECT_EQ(changes, 0);
    Frame(root, 0.9f, 0.9f, true);  // outside the widget, still captured
    EXPECT_FLOAT_EQ(bar->Position, 1.0f);
    Frame(root, 0.95f, 0.1f, true);
    EXPECT_EQ(changes, 1);
    Frame(root, 0.95f, 0.1f, false);
    Frame(root, 0.4f, 0.5f, false);  // moves after release do nothing
    EXPECT_FLOAT_EQ(bar->Position, 1.0f);
    bar->SetPosition(0.5f);
    EXPECT_EQ(changes, 2);
}

TEST_F(Widgets, KeysBecomeEdgesAndTheLastCharacter) {
    struct Recorder : TInterfaceObj {
        using TInterfaceObj::TInterfaceObj;
        void KeyDown(uint16_t k) override { log += "d" + std::to_string(k); }
        void KeyUp(uint16_t k) override { log += "u" + std::to_string(k); }
        void KeyPress(uint16_t k) override { log += "p" + std::to_string(k); }
        std::string log;
    };
    Recorder root("root", nullptr, 0, 0, 1, 1);
    InputKeyDown(65);
    InputChar('a');
    root.ProcessInput();
    EndInputFrame();
    InputKeyUp(65);
    root.ProcessInput();
    EndInputFrame();
    root.ProcessInput();  // no key event: nothing
    EXPECT_EQ(root.log, "d65p97u65");
}

TEST_F(Widgets, EmptyLabelCaptionGetsAFiniteHeight) {
    TLabel label("l", nullptr, 0.1f, 0.1f, 0.2f, "", clWhite);
    EXPECT_FLOAT_EQ(label.Height, 0.2f);
    TLabel word("w", nullptr, 0.1f, 0.1f, 0.2f, "abcd", clWhite);
    EXPECT_FLOAT_EQ(word.Height, 0.05f);
}

TEST_F(Widgets, TextIsMeasuredWithoutAContextAndFitsBetweenTheBisectionLimits) {
    TCanvas canvas;
    EXPECT_EQ(canvas.TextWidth("", 0.05f), 0.0f);
    float narrow = canvas.TextWidth("Hello", 0.03f);
    float wide = canvas.TextWidth("Hello", 0.06f);
    EXPECT_GT(narrow, 0.0f);
    EXPECT_GT(wide, narrow * 1.5f);
    int32_t cy = 0;
    EXPECT_EQ(canvas.FitTextSize("Some caption", 0.1f, 0.0001f, cy), -5);
    EXPECT_EQ(canvas.FitTextSize("Some caption", 0.0f, 1.0f, cy), -99);
    int32_t mid = canvas.FitTextSize("Some caption", 0.1f, 0.2f, cy);
    EXPECT_LT(mid, -5);
    EXPECT_GT(mid, -99);
    // two heights that round to the same pixel size share one face
    int before = FontCacheCount();
    canvas.TextWidth("x", 0.0500f);
    canvas.TextWidth("x", 0.0501f);
    EXPECT_LE(FontCacheCount(), before + 1);
}

}  // namespace
