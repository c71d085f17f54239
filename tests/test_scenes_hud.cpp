// The battle HUD's layout and input: the turned minimap both ways, labels, the
// panels' clicks and hover, the command buttons, hiding, the clock and frame rate.
// Everything here runs without a GL context, on a real battle built from a small map.

#include "TestSupport.h"
#include "app/e_CameraObject.h"
#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "app/my_Input.h"
#include "gui/GameGUI.h"
#include "render/my_Viewer.h"
#include "resources/e_ResourceManager.h"
#include "scenes/GameScene.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"
#include "world/MapObject.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr int W = 1024, H = 768;
constexpr int MapCols = 100, MapRows = 80;

std::vector<uint8_t> Tga(int width, int height) { return MakeTga(width, height, 128, 128, 128); }

// A flat open map of MapCols x MapRows tiles.
TMapFileData FlatMap() {
    TMapFileData d;
    TLandscapeSection& s = d.Landscape;
    s.Cols = MapCols;
    s.Rows = MapRows;
    s.Tiles.resize(size_t(MapCols) * MapRows);
    s.Verts.resize(size_t(2 * MapCols + 1) * size_t(2 * MapRows + 1));
    for (auto& v : s.Verts) {
        v.Light = 200;
        v.Alpha = 100;
    }
    return d;
}

bool Near(float a, float b, float tolerance) { return std::fabs(a - b) <= tolerance; }

// The point lies inside the convex quadrilateral (either winding).
bool InsideQuad(const std::array<TMyVector2f, 4>& q, TMyVector2f p) {
    int sign = 0;
    for (size_t i = 0; i < 4; ++i) {
        const TMyVector2f a = q[i], b = q[(i + 1) % 4];
        const float cross = (b.x - a.x) * (p.y - a.y) - (b.y - a.y) * (p.x - a.x);
        const int s = cross > 0 ? 1 : (cross < 0 ? -1 : 0);
        if (s != 0 && sign != 0 && s != sign)
            return false;
        if (s != 0)
            sign = s;
    }
    return true;
}

class Hud : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageBoxesEnabled(false);
        savedAppPath = AppPath;
        Root = dir.path() + "/";
        AppPath = Root;
        StartLog();
        WriteBytes(Root + "Data/Textures/TileSet.tga", Tga(256, 128));
        WriteBytes(Root + "Data/Textures/Clouds.tga", Tga(4, 4));
        WriteBytes(Root + "Data/Textures/CurvedRing.tga", Tga(4, 4));
        WriteBytes(Root + "Data/Maps/Test.tga", Tga(MapCols, MapRows));
        ASSERT_TRUE(SaveMapFile(Root + "Data/Maps/Test.map", FlatMap()));
        InitResourceSystem(Log, Root, "Data/Textures/", "Data/Modeles/", "Data/Animates/");
        SetCanvasSize(W, H);
        SetViewport(0, 0, W, H);
        ScreenRect = TScreenRect{0, 0, W, H};
        ResetInputState();
        Scene = std::make_unique<TGameScene>(Root + "Data/Maps/Test.map");
        Scene->Camera->SetAspect(double(W) / H);
        Gui = Scene->Hud();
        ASSERT_NE(Gui, nullptr);
        S = Gui->Screen.get();
        Human = Scene->Battle->ControlledPlayer;
    }
    void TearDown() override {
        Scene.reset();
        FreeResourceSystem();
        AppPath = savedAppPath;
    }

    // One frame of HUD input with the pointer at (x, y) in GUI space.
    void Frame(float x, float y, bool left = false, bool right = false) {
        InputState.MouseX = int16_t(std::lround(x * W));
        InputState.MouseY = int16_t(std::lround(y * H));
        InputState.MouseInside = true;
        InputState.LeftButton = left;
        InputState.RightButton = right;
        Gui->Update(0.02);
        EndInputFrame();
    }
    void Click(float x, float y) {
        Frame(x, y, true);
        Frame(x, y, false);
    }
    // The screen point at fraction (fx, fy) of a widget.
    static TMyVector2f At(const TInterfaceObj& w, float fx, float fy) { return {w.AbsX(fx), w.AbsY(fy)}; }
    // The turned screen point of a map position on the minimap.
    TMyVector2f MiniMapPoint(float mx, float my) {
        const TMyVector2f p = S->MiniMap->MapToPanel(mx, my);
        return S->MiniMap->PanelToScreen(p.x, p.y);
    }
    // The map position under the centre of the view.
    TMyVector3f ViewCentre() {
        TMyVector3f p;
        EXPECT_TRUE(Scene->GroundAtHeight(W / 2.0f, H / 2.0f, 0.0f, p));
        return p;
    }
    TGameUnit* HumanUnit(int type, int n = 0) {
        for (auto& u : Human->Units)
            if (u->UnitType == type && n-- == 0)
                return u.get();
        return nullptr;
    }
    TMyVector2f CellCentre(const TGameUnit* unit) {
        TRectf r{};
        EXPECT_TRUE(S->UnitsInfo->CellOf(unit, r));
        return {(r.Left + r.Right) / 2, (r.Bottom + r.Top) / 2};
    }
    TMyVector2f ButtonCentre(int column, int row) {
        const TCommandButton& b = S->CommandPanel->Button(column, row);
        return At(*S->CommandPanel, (b.Left + b.Right) / 2, (b.Bottom + b.Top) / 2);
    }

    TempDir dir;
    std::string Root, savedAppPath;
    std::unique_ptr<TGameScene> Scene;
    TGameGUI* Gui = nullptr;
    TVisScreen* S = nullptr;
    TPlayerObject* Human = nullptr;
};

// ---- texts ----

TEST(HudTexts, ClockAndFrameRateFormats) {
    EXPECT_EQ(FormatBattleTime(0), "00:00:00");
    EXPECT_EQ(FormatBattleTime(59.99), "00:00:59");
    EXPECT_EQ(FormatBattleTime(3725.9), "01:02:05");
    EXPECT_EQ(FormatBattleTime(36000.0 * 10 + 61), "100:01:01");  // hours are not wrapped
    EXPECT_EQ(FormatBattleTime(-5), "00:00:00");
    EXPECT_EQ(FormatBattleTime(std::nan("")), "00:00:00");

    EXPECT_EQ(FormatFps(0), "0.0");
    EXPECT_EQ(FormatFps(59.94), "59.9");
    EXPECT_EQ(FormatFps(59.96), "60.0");
    EXPECT_EQ(FormatFps(100), "100.0");
    EXPECT_EQ(FormatFps(1234.56), "1234.6");
    EXPECT_EQ(FormatFps(12345.67), "12346.0");  // five significant digits
    EXPECT_EQ(FormatFps(INFINITY), "0.0");
}

TEST_F(Hud, TheLabelsStartAsTheyShouldAndFollowTheSetters) {
    EXPECT_EQ(S->FpsTitle->Text, "fps:");
    EXPECT_EQ(S->FpsLabel->Text, "0.0");
    EXPECT_EQ(S->TimeLabel->Text, "00:00:00");
    EXPECT_EQ(Gui->ArrowFlags, 0u);
    Gui->SetFps(85.04);
    Gui->SetBattleTime(125.5);
    EXPECT_EQ(S->FpsLabel->Text, "85.0");
    EXPECT_EQ(S->TimeLabel->Text, "00:02:05");

    Human->Kills = 7;
    Human->Losses = 2;
    Human->Points = 140;
    Frame(0.5f, 0.5f);
    EXPECT_EQ(S->PlayerStat->KillLabel->Text, "7");
    EXPECT_EQ(S->PlayerStat->LossLabel->Text, "2");
    EXPECT_EQ(S->PlayerStat->PointsLabel->Text, "140");
}

// ---- minimap ----

TEST_F(Hud, TheMiniMapTurnsClockwiseAboutItsTopLeftCorner) {
    const TMiniMap& m = *S->MiniMap;
    const float x0 = m.AbsX(0), y1 = m.AbsY(1);
    const TMyVector2f pivot = m.PanelToScreen(x0, y1);
    EXPECT_NEAR(pivot.x, x0 + 0.0925f, 1e-6f);
    EXPECT_NEAR(pivot.y, y1, 1e-6f);
    // Right of the pivot turns down and right.
    const TMyVector2f right = m.PanelToScreen(x0 + 0.1f, y1);
    EXPECT_NEAR(right.x, pivot.x + 0.1f * std::sqrt(0.5f), 1e-5f);
    EXPECT_NEAR(right.y, pivot.y - 0.1f * std::sqrt(0.5f), 1e-5f);
    // And back.
    for (TMyVector2f p : {TMyVector2f{0.05f, 0.1f}, TMyVector2f{0.2f, 0.02f}, TMyVector2f{0.3f, 0.3f}}) {
        const TMyVector2f s = m.PanelToScreen(p.x, p.y);
        const TMyVector2f back = m.ScreenToPanel(s.x, s.y);
        EXPECT_NEAR(back.x, p.x, 1e-5f);
        EXPECT_NEAR(back.y, p.y, 1e-5f);
    }
}

TEST_F(Hud, ThePictureKeepsTheMapsShapeAboveTheFooter) {
    const TMiniMap& m = *S->MiniMap;
    EXPECT_EQ(m.MapImageWidth, MapCols);
    EXPECT_EQ(m.MapImageHeight, MapRows);
    const float x0 = m.AbsX(0), y0 = m.AbsY(0), y1 = m.AbsY(1), w = m.AbsX(1) - x0, h = y1 - y0;
    const TRectf& r = m.PictureRect;
    EXPECT_NEAR(r.Left, x0 + 0.145f * w, 1e-6f);
    EXPECT_NEAR(r.Right - r.Left, 0.56f * w, 1e-6f);
    EXPECT_NEAR((r.Top - r.Bottom) / (r.Right - r.Left), float(MapRows) / MapCols, 1e-5f);
    EXPECT_NEAR((r.Top + r.Bottom) / 2, (y0 + 0.185f * h + y1) / 2, 1e-6f);
    // Map corners land on the picture's corners, tiles one picture pixel apart.
    const TMyVector2f origin = m.MapToPanel(0, 0), far = m.MapToPanel(MapCols, MapRows);
    EXPECT_NEAR(origin.x, r.Left, 1e-6f);
    EXPECT_NEAR(origin.y, r.Bottom, 1e-6f);
    EXPECT_NEAR(far.x, r.Right, 1e-6f);
    EXPECT_NEAR(far.y, r.Top, 1e-6f);
}

TEST_F(Hud, AClickOnTheMiniMapCentresTheViewOnThatTileAndTheViewFrameSurroundsIt) {
    const TMyVector2f p = MiniMapPoint(25.5f, 60.5f);
    Frame(p.x, p.y, true);
    EXPECT_EQ(S->HoverRegion, RegionMiniMap);
    EXPECT_TRUE(Gui->PressCaptured);
    EXPECT_TRUE(S->MiniMap->Dragging);
    const TMyVector3f centre = ViewCentre();
    EXPECT_EQ(int(std::trunc(centre.x)), 25);
    EXPECT_EQ(int(std::trunc(centre.y)), 60);

    // The scene handed over the view's ground corners; drawn on the minimap they
    // surround the point clicked.
    std::array<TMyVector2f, 4> frame;
    for (size_t i = 0; i < 4; ++i) {
        const TMyVector3f& c = S->MiniMap->ViewCorners[i];
        frame[i] = MiniMapPoint(c.x, c.y);
        // ...and the turned frame maps back to the same ground points.
        const TMyVector2f panel = S->MiniMap->ScreenToPanel(frame[i].x, frame[i].y);
        const TMyVector2f back = S->MiniMap->PanelToMap(panel.x, panel.y);
        EXPECT_NEAR(back.x, c.x, 1e-2f);
        EXPECT_NEAR(back.y, c.y, 1e-2f);
    }
    EXPECT_TRUE(InsideQuad(frame, p));
    Frame(p.x, p.y, false);
    EXPECT_FALSE(Gui->PressCaptured);
    EXPECT_FALSE(S->MiniMap->Dragging);
}

TEST_F(Hud, DraggingOffTheMiniMapKeepsTheViewAtTheNearestEdgeOfThePicture) {
    const TMyVector2f p = MiniMapPoint(50, 40);
    Frame(p.x, p.y, true);
    // Far out along the picture's row direction, beyond its right (turned) end.
    const TMyVector2f out = MiniMapPoint(MapCols * 3.0f, 40);
    Frame(out.x, out.y, true);
    EXPECT_TRUE(Gui->PressCaptured);
    // The pointer is whole pixels: the expected spot is that of the pixel, pulled
    // back onto the picture's edge.
    const TMiniMap& m = *S->MiniMap;
    const TMyVector2f pixel =
        m.ScreenToPanel(float(PrevInputState.MouseX) / W, float(PrevInputState.MouseY) / H);
    EXPECT_GT(pixel.x, m.PictureRect.Right);
    const TMyVector2f edge =
        m.PanelToMap(m.PictureRect.Right, std::clamp(pixel.y, m.PictureRect.Bottom, m.PictureRect.Top));
    const TMyVector3f centre = ViewCentre();
    EXPECT_NEAR(centre.x, float(MapCols), 0.01f);
    EXPECT_NEAR(centre.y, edge.y, 0.01f);
    EXPECT_NEAR(centre.y, 40.0f, 1.0f);
    // Released: moving the pointer no longer moves the view.
    Frame(out.x, out.y, false);
    const TMyVector2f again = MiniMapPoint(10, 10);
    Frame(again.x, again.y, false);
    EXPECT_NEAR(ViewCentre().x, float(MapCols), 0.05f);
}

TEST_F(Hud, AClickOnTheMiniMapsFrameOutsideThePictureDoesNothing) {
    const TMyVector3f before = ViewCentre();
    // Panel space just below the picture, inside the panel.
    const TMiniMap& m = *S->MiniMap;
    const TMyVector2f s =
        m.PanelToScreen((m.PictureRect.Left + m.PictureRect.Right) / 2, m.PictureRect.Bottom - 0.01f);
    Frame(s.x, s.y, true);
    EXPECT_EQ(S->HoverRegion, RegionMiniMap);
    EXPECT_TRUE(Gui->PressCaptured);  // still the HUD's press
    EXPECT_FALSE(S->MiniMap->Dragging);
    const TMyVector2f inside = MiniMapPoint(20, 20);
    Frame(inside.x, inside.y, true);
    const TMyVector3f after = ViewCentre();
    EXPECT_NEAR(after.x, before.x, 1e-3f);
    EXPECT_NEAR(after.y, before.y, 1e-3f);
}

TEST_F(Hud, ARightClickOnTheMiniMapOrdersTheSelectionThere) {
    TGameUnit* bowman = HumanUnit(UnitTypeBowman);
    Scene->SelectUnit(bowman, false);
    const TMyVector2f p = MiniMapPoint(40.5f, 20.5f);
    Frame(p.x, p.y, false, true);
    EXPECT_FALSE(Gui->PressCaptured);  // only a left press is captured
    ASSERT_GE(bowman->PathIndex, 0);
    ASSERT_FALSE(bowman->Path.empty());
    EXPECT_EQ(bowman->Path.back(), (TWayPoint{40, 20}));
    // Outside the picture nothing is ordered.
    bowman->StopMoving();
    bowman->Path.clear();
    const TMyVector2f below = S->MiniMap->PanelToScreen(S->MiniMap->PictureRect.Left + 0.01f,
                                                        S->MiniMap->PictureRect.Bottom - 0.005f);
    Frame(below.x, below.y, false, false);
    Frame(below.x, below.y, false, true);
    EXPECT_LT(bowman->PathIndex, 0);
}

TEST_F(Hud, TheMiniMapShowsOwnUnitsAndOnlyTheEnemiesInSight) {
    Frame(0.5f, 0.5f);
    size_t own = 0, enemies = 0;
    for (const TMiniMapDot& d : S->MiniMap->Dots)
        (Near(d.Color.G, 1.0f, 1e-6f) && Near(d.Color.R, 0.5f, 1e-6f) ? own : enemies)++;
    EXPECT_EQ(own, Human->Units.size());
    // The enemies start far from the human troops.
    EXPECT_EQ(enemies, 0u);
    TGameUnit* enemy = Scene->Battle->Players[1]->Units[0].get();
    const int col = int(Human->Units[0]->Position.x), row = int(Human->Units[0]->Position.y);
    ASSERT_TRUE(Human->Sees(col, row));
    enemy->Position = {col + 0.5f, row + 0.5f, 0.0f};
    Frame(0.5f, 0.5f);
    EXPECT_EQ(S->MiniMap->Dots.size(), Human->Units.size() + 1);
}

TEST(HudMiniMap, AMissingPictureFallsBackToTheMapsGrid) {
    // Neither a scene nor a picture: still a usable, invertible layout.
    TMiniMap m(nullptr, nullptr, "Nowhere/None.map");
    EXPECT_EQ(m.MapTexture, -1);
    EXPECT_EQ(m.MapImageWidth, 1);
    EXPECT_EQ(m.MapImageHeight, 1);
    const TMyVector2f p = m.PanelToMap(m.PictureRect.Right, m.PictureRect.Top);
    EXPECT_NEAR(p.x, 1.0f, 1e-5f);
    EXPECT_NEAR(p.y, 1.0f, 1e-5f);
    m.Click(0.1f, 0.1f);  // no scene to tell: nothing happens, nothing breaks
    EXPECT_EQ(TMiniMap::PictureName("Data/Maps/FirstBlood.map"), "Data/Maps/FirstBlood");
    EXPECT_EQ(TMiniMap::PictureName("a.b/c\\Map.v2.map"), "a.b/c/Map.v2");
    EXPECT_EQ(TMiniMap::PictureName("Bare.map"), AppPath + "Data/Maps/Bare");
}

// ---- panels under the pointer ----

TEST_F(Hud, ThePointerIsOverTheHudOnEachPanelAndNowhereElse) {
    struct Case {
        TMyVector2f At;
        uint8_t Region;
    };
    const TMiniMap& m = *S->MiniMap;
    const Case cases[] = {
        {At(*S->GroupsInfo, 0.5f, 0.5f), RegionGroups},
        {At(*S->PlayerStat, 0.5f, 0.5f), RegionPlayerStat},
        {At(*S->UnitsInfo, 0.5f, 0.5f), RegionUnitsInfo},
        {At(*S->CommandPanel, 0.5f, 0.5f), RegionCommands},
        {MiniMapPoint(MapCols / 2.0f, MapRows / 2.0f), RegionMiniMap},
        // Where the minimap panel and the units panel overlap, the units panel comes first.
        {At(*S->UnitsInfo, 0.02f, 0.5f), RegionUnitsInfo},
        // The unturned panel's top-left corner is empty once the panel is turned.
        {{m.AbsX(0) + 0.005f, m.AbsY(1) - 0.005f}, RegionNone},
        {{0.5f, 0.5f}, RegionNone},
        {{0.5f, 0.97f}, RegionNone},  // the frame counter is no panel
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "at " << c.At.x << ", " << c.At.y);
        Frame(c.At.x, c.At.y);
        EXPECT_EQ(S->HoverRegion, c.Region);
        EXPECT_EQ(Gui->PointerOverHud, c.Region != RegionNone);
        EXPECT_EQ(Gui->MouseOverPanels(), c.Region != RegionNone);
    }
}

TEST_F(Hud, APressOnAPanelStaysTheHudsUntilReleasedAnywhere) {
    const TMyVector2f stat = At(*S->PlayerStat, 0.5f, 0.5f);
    Frame(stat.x, stat.y, true);
    EXPECT_TRUE(Gui->PressCaptured);
    EXPECT_EQ(S->PressRegion, RegionPlayerStat);
    Frame(0.5f, 0.5f, true);  // dragged over the world
    EXPECT_TRUE(Gui->PressCaptured);
    EXPECT_FALSE(Gui->PointerOverHud);
    Frame(0.5f, 0.5f, false);  // released there
    EXPECT_FALSE(Gui->PressCaptured);
    EXPECT_EQ(S->PressRegion, RegionNone);
    // A press that begins over the world is never the HUD's.
    Frame(0.5f, 0.5f, true);
    Frame(stat.x, stat.y, true);
    EXPECT_FALSE(Gui->PressCaptured);
}

TEST_F(Hud, TabHidesEverythingButTheCountersAndGivesTheWorldItsInputBack) {
    const TMyVector2f groups = At(*S->GroupsInfo, 0.5f, 0.5f);
    Frame(groups.x, groups.y, true);
    ASSERT_TRUE(Gui->PressCaptured);
    ASSERT_TRUE(Gui->PointerOverHud);
    Gui->Enabled = false;
    Frame(groups.x, groups.y, true);
    EXPECT_TRUE(S->HudHidden);
    EXPECT_FALSE(Gui->PressCaptured);
    EXPECT_FALSE(Gui->PointerOverHud);
    EXPECT_FALSE(Gui->MouseOverPanels());
    EXPECT_TRUE(S->Labels.empty());
    // Clicks on where the panels were do nothing.
    const TMyVector2f hold = ButtonCentre(0, 2);
    Click(hold.x, hold.y);
    EXPECT_EQ(Scene->OrderMode, TOrderMode::None);
    Gui->Enabled = true;
    Frame(groups.x, groups.y, false);
    EXPECT_FALSE(S->HudHidden);
    EXPECT_TRUE(Gui->PointerOverHud);
}

// ---- groups ----

TEST_F(Hud, AClickOnAGroupSlotSelectsThatGroupTruncatingThePosition) {
    TGameUnit* a = HumanUnit(UnitTypeWarrior, 0);
    TGameUnit* b = HumanUnit(UnitTypeWarrior, 1);
    TGameUnit* c = HumanUnit(UnitTypeCavalryman, 0);
    Human->AssignToGroup(1, a);
    Human->AssignToGroup(1, b);
    Human->AssignToGroup(2, c);
    const TGroupsInfo& g = *S->GroupsInfo;
    const float slot = 1.0f / 9.0f;
    EXPECT_EQ(g.SlotAt(g.AbsX(0.9f * slot)), 1);  // the right half of slot 1
    EXPECT_EQ(g.SlotAt(g.AbsX(1.05f * slot)), 2);
    EXPECT_EQ(g.SlotAt(g.AbsX(1.0f)), 9);  // the right edge stays on slot 9

    Scene->Time = 10.0;  // a first press, not the second of a double press
    Click(g.AbsX(0.9f * slot), g.AbsY(0.5f));
    EXPECT_EQ(Scene->Selection, (std::vector<TGameUnit*>{a, b}));
    Scene->Time += 1.0;  // not a double press
    Click(g.AbsX(1.05f * slot), g.AbsY(0.5f));
    EXPECT_EQ(Scene->Selection, (std::vector<TGameUnit*>{c}));
}

// ---- units information ----

TEST_F(Hud, TheUnitsPanelListsTheSelectionByTypeAndClicksNarrowIt) {
    TGameUnit* b1 = HumanUnit(UnitTypeBowman, 0);
    TGameUnit* b2 = HumanUnit(UnitTypeBowman, 1);
    TGameUnit* cav = HumanUnit(UnitTypeCavalryman, 0);
    Scene->SelectUnit(cav, true);
    Scene->SelectUnit(b1, true);
    Scene->SelectUnit(b2, true);
    Scene->SelectUnit(Scene->Battle->Players[1]->Units[0].get(), true);  // not the player's: not listed
    Frame(0.5f, 0.5f);
    const TUnitsInfo& u = *S->UnitsInfo;
    EXPECT_TRUE(u.TypeUnits[UnitTypeWarrior].empty());
    EXPECT_EQ(u.TypeUnits[UnitTypeBowman], (std::vector<TGameUnit*>{b1, b2}));
    EXPECT_EQ(u.TypeUnits[UnitTypeCavalryman], (std::vector<TGameUnit*>{cav}));
    // Bowmen first (column 0), then cavalry shifted by the bowmen's cells.
    EXPECT_NEAR(u.IconRects[UnitTypeBowman].Left, 0.065f, 1e-6f);
    EXPECT_NEAR(u.Cells[UnitTypeBowman][1].Left, 0.065f + 0.14f + 0.015f, 1e-6f);
    EXPECT_NEAR(u.IconRects[UnitTypeCavalryman].Left, 0.15f + 0.065f + 0.04f, 1e-6f);
    EXPECT_NEAR(u.IconRects[UnitTypeCavalryman].Bottom, 0.25f, 1e-6f);
    EXPECT_NEAR(u.IconRects[UnitTypeCavalryman].Top, 0.75f, 1e-6f);

    // Hovering a cell points at its unit.
    const TMyVector2f cell = CellCentre(b2);
    Frame(cell.x, cell.y);
    EXPECT_EQ(Scene->Hover, b2);
    // A click on the second bowman's cell keeps him alone.
    Click(cell.x, cell.y);
    EXPECT_EQ(Scene->Selection, (std::vector<TGameUnit*>{b2}));

    // A click on a type's icon selects all of that type that were listed.
    Scene->SelectUnit(b1, true);
    Scene->SelectUnit(cav, true);
    Frame(0.5f, 0.5f);
    const TRectf icon = u.ScreenRect(u.IconRects[UnitTypeBowman]);
    Click((icon.Left + icon.Right) / 2, (icon.Bottom + icon.Top) / 2);
    EXPECT_EQ(Scene->Selection, (std::vector<TGameUnit*>{b2, b1}));
}

// ---- command panel ----

TEST_F(Hud, TheCommandButtonsToggleHoldAndTheOrderModesThroughTheScene) {
    TGameUnit* a = HumanUnit(UnitTypeWarrior, 0);
    TGameUnit* b = HumanUnit(UnitTypeWarrior, 1);
    Scene->SelectUnit(a, false);
    Scene->SelectUnit(b, true);
    const TMyVector2f hold = ButtonCentre(0, 1), move = ButtonCentre(0, 2), attack = ButtonCentre(1, 2);

    Click(hold.x, hold.y);
    EXPECT_TRUE(a->Hold);
    EXPECT_TRUE(b->Hold);
    EXPECT_TRUE(S->CommandPanel->Button(0, 1).Down);
    b->SetHold(false);  // any unit holding makes the next press release all
    Click(hold.x, hold.y);
    EXPECT_FALSE(a->Hold);
    EXPECT_FALSE(b->Hold);
    EXPECT_FALSE(S->CommandPanel->Button(0, 1).Down);

    Click(move.x, move.y);
    EXPECT_EQ(Scene->OrderMode, TOrderMode::Move);
    EXPECT_TRUE(S->CommandPanel->Button(0, 2).Down);
    Click(attack.x, attack.y);
    EXPECT_EQ(Scene->OrderMode, TOrderMode::Attack);
    EXPECT_FALSE(S->CommandPanel->Button(0, 2).Down);
    EXPECT_TRUE(S->CommandPanel->Button(1, 2).Down);
    Click(attack.x, attack.y);
    EXPECT_EQ(Scene->OrderMode, TOrderMode::None);
    // The key M sets the same state the button shows.
    Scene->OrderMode = TOrderMode::Move;
    Frame(0.5f, 0.5f);
    EXPECT_TRUE(S->CommandPanel->Button(0, 2).Down);
}

TEST_F(Hud, DisabledAndHiddenButtonsNeverAct) {
    TCommandPanel& p = *S->CommandPanel;
    for (int row = 0; row < TCommandPanel::Rows; ++row)
        for (int column = 0; column < TCommandPanel::Columns; ++column) {
            const TCommandButton& b = p.Button(column, row);
            const bool shown = (column == 0 && row == 1) || row == 2;
            EXPECT_EQ(b.Visible, shown) << column << "," << row;
            EXPECT_EQ(b.Enabled, shown && column < 2 && !(column == 1 && row == 1)) << column << "," << row;
        }
    for (auto [column, row] : {std::pair{2, 2}, std::pair{3, 2}, std::pair{1, 1}, std::pair{3, 0}}) {
        const TMyVector2f c = ButtonCentre(column, row);
        EXPECT_FALSE(p.Click(c.x, c.y));
        Click(c.x, c.y);
        EXPECT_EQ(Scene->OrderMode, TOrderMode::None);
    }
    // Button edges count as the button.
    const TCommandButton& move = p.Button(0, 2);
    EXPECT_TRUE(p.Click(p.AbsX(move.Left), p.AbsY(move.Top)));
    EXPECT_EQ(Scene->OrderMode, TOrderMode::Move);
    // The grid: 4 x 3 cells over the button area with a twentieth of a cell as margin.
    const float cw = 0.8f / 4, ch = 0.73f / 3;
    EXPECT_NEAR(move.Left, 0.05f + cw / 20, 1e-6f);
    EXPECT_NEAR(move.Top, 0.05f + 3 * ch - ch / 20, 1e-6f);
    EXPECT_NEAR(p.Button(1, 2).U1, 0.25f, 1e-6f);
    EXPECT_NEAR(p.Button(1, 2).V1, 2.0f / 3, 1e-6f);
}

TEST_F(Hud, HoldIsNotGivenToAnEnemyPickedOutForALook) {
    TGameUnit* enemy = Scene->Battle->Players[1]->Units[0].get();
    Scene->SelectUnit(enemy, false);
    const TMyVector2f hold = ButtonCentre(0, 1);
    Click(hold.x, hold.y);
    EXPECT_FALSE(enemy->Hold);
}

// ---- labels ----

TEST(HudLabels, SeparationPushesOverlappingLabelsApartEvenly) {
    const float size = 0.022f, d = 2 * size;
    // Two on the same spot part sideways, by the full distance.
    std::vector<TTroopLabel> same{{nullptr, 0.5f, 0.5f}, {nullptr, 0.5f, 0.5f}};
    SeparateLabels(same, size);
    EXPECT_NEAR(same[0].Y, 0.5f, 1e-6f);
    EXPECT_NEAR(same[1].Y, 0.5f, 1e-6f);
    EXPECT_NEAR(same[1].X - same[0].X, d, 1e-5f);
    EXPECT_NEAR(same[0].X + same[1].X, 1.0f, 1e-5f);

    // Overlapping diagonally: pushed along their own line, the midpoint kept.
    std::vector<TTroopLabel> diag{{nullptr, 0.3f, 0.3f}, {nullptr, 0.31f, 0.32f}};
    SeparateLabels(diag, size);
    const float dx = diag[1].X - diag[0].X, dy = diag[1].Y - diag[0].Y;
    EXPECT_NEAR(dy / dx, 2.0f, 1e-3f);
    EXPECT_NEAR(std::sqrt(dx * dx + dy * dy), d, 1e-4f);
    EXPECT_NEAR(diag[0].X + diag[1].X, 0.61f, 1e-5f);

    // Apart by the full distance on one axis: not touched, whatever the other.
    std::vector<TTroopLabel> apart{{nullptr, 0.1f, 0.1f}, {nullptr, 0.1f + d, 0.1f}, {nullptr, 0.5f, 0.5f}};
    const auto before = apart;
    SeparateLabels(apart, size);
    for (size_t i = 0; i < apart.size(); ++i) {
        EXPECT_EQ(apart[i].X, before[i].X);
        EXPECT_EQ(apart[i].Y, before[i].Y);
    }
    // Inside the square but outside the circle: kept too.
    std::vector<TTroopLabel> corner{{nullptr, 0.1f, 0.1f}, {nullptr, 0.1f + 0.9f * d, 0.1f + 0.9f * d}};
    SeparateLabels(corner, size);
    EXPECT_EQ(corner[0].X, 0.1f);

    // A crowd ends up with no two centres on the same spot.
    std::vector<TTroopLabel> crowd(5, TTroopLabel{nullptr, 0.4f, 0.4f});
    SeparateLabels(crowd, size);
    for (size_t i = 0; i < crowd.size(); ++i)
        for (size_t j = i + 1; j < crowd.size(); ++j)
            EXPECT_GT(std::hypot(crowd[i].X - crowd[j].X, crowd[i].Y - crowd[j].Y), 1e-3f) << i << "," << j;
}

TEST_F(Hud, LabelsGoToMarkedFightingOrNearbyUnitsOnly) {
    for (int k = 0; k < Scene->Battle->PlayerCount; ++k)
        for (auto& u : Scene->Battle->Players[size_t(k)]->Units)
            u->Visible = false;
    TGameUnit* unit = HumanUnit(UnitTypeWarrior);
    unit->Visible = true;
    float x, y;
    ASSERT_TRUE(ProjectToScreen(Scene->Camera->GetCombinedMatrix(), unit->WorldPosition(), x, y));
    // Far from the pointer, neither selected nor fighting: no label.
    const float farX = x > 0.5f ? x - 0.4f : x + 0.4f;
    Frame(farX, 0.5f);
    EXPECT_TRUE(S->Labels.empty());
    // Fighting: a label up and to the right of the unit.
    unit->Engaged = true;
    Frame(farX, 0.5f);
    ASSERT_EQ(S->Labels.size(), 1u);
    EXPECT_EQ(S->Labels[0].Unit, unit);
    EXPECT_NEAR(S->Labels[0].X, x + 0.03f, 1e-5f);
    EXPECT_NEAR(S->Labels[0].Y, y + 0.05f, 1e-5f);
    unit->Engaged = false;
    // Near the pointer.
    Frame(x + 0.1f, y + 0.1f);
    EXPECT_EQ(S->Labels.size(), 1u);
    // Not shown: never labelled, however close.
    unit->Visible = false;
    Frame(x, y);
    EXPECT_TRUE(S->Labels.empty());
}

TEST_F(Hud, PickingALabelMakesItsUnitTheHover) {
    TGameUnit* unit = HumanUnit(UnitTypeBowman);
    unit->Visible = true;
    unit->Engaged = true;
    Frame(0.01f, 0.5f);
    const TTroopLabel* label = nullptr;
    for (const TTroopLabel& l : S->Labels)
        if (l.Unit == unit)
            label = &l;
    ASSERT_NE(label, nullptr);
    const float lx = label->X, ly = label->Y;
    InputState.MouseX = int16_t(std::lround(lx * W));
    InputState.MouseY = int16_t(std::lround(ly * H));
    Scene->Hover = nullptr;
    EXPECT_TRUE(Gui->PickTroopLabel());
    EXPECT_EQ(Scene->Hover, unit);
    // Just outside the square (half width LabelSize * H / W, half height LabelSize).
    Scene->Hover = nullptr;
    InputState.MouseY = int16_t(std::lround((ly + S->LabelSize) * H) + 2);
    EXPECT_NE(S->LabelAt(lx, ly + S->LabelSize + 2.0f / H), unit);
    EXPECT_EQ(S->LabelAt(lx + S->LabelSize * H / W * 0.9f, ly - S->LabelSize * 0.9f), unit);
}

// ---- hovered-unit box ----

TEST_F(Hud, TheHoverBoxSitsBesideTheCellOrAboveTheUnitAndStaysOnScreen) {
    TGameUnit* unit = HumanUnit(UnitTypeBowman);
    Scene->SelectUnit(unit, false);
    Frame(0.5f, 0.5f);
    const TMyVector2f cell = CellCentre(unit);
    Frame(cell.x, cell.y);
    ASSERT_EQ(Scene->Hover, unit);
    TRectf r{};
    ASSERT_TRUE(S->UnitsInfo->CellOf(unit, r));
    float x, y;
    ASSERT_TRUE(S->HoverBoxOrigin(x, y));
    EXPECT_NEAR(x, std::round((r.Left - 0.09f) * W) / W, 1e-6f);
    EXPECT_NEAR(y, std::round((r.Top + 0.005f) * H) / H, 1e-6f);

    // A unit under the top-right corner of the screen: the box is pushed inside.
    TMyVector3f corner;
    ASSERT_TRUE(Scene->GroundAtHeight(W - 2.0f, H - 2.0f, 0.0f, corner));
    unit->Position = corner;
    Scene->Hover = unit;
    Frame(0.5f, 0.5f);
    Scene->Hover = unit;
    ASSERT_TRUE(S->HoverBoxOrigin(x, y));
    EXPECT_NEAR(x, 1.0f - 100.0f / W, 1e-6f);
    EXPECT_NEAR(y, 1.0f - 48.0f / H, 1e-6f);

    Scene->Hover = nullptr;
    EXPECT_FALSE(S->HoverBoxOrigin(x, y));
}

// ---- drawing, with every HUD texture missing ----

class HudDrawing : public Hud {
protected:
    void SetUp() override {
        setenv("MESA_GL_VERSION_OVERRIDE", "2.1", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        SetRendererContextAttributes();
        Window = SDL_CreateWindow("hud", 0, 0, W, H, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(Window, nullptr) << SDL_GetError();
        Context = SDL_GL_CreateContext(Window);
        ASSERT_NE(Context, nullptr) << SDL_GetError();
        Hud::SetUp();
    }
    void TearDown() override {
        Hud::TearDown();  // uploaded textures go while the context is there
        SDL_GL_DeleteContext(Context);
        SDL_DestroyWindow(Window);
        SDL_Quit();
    }
    // The first text of each font builds its glyph lists, which some drivers
    // answer with errors of their own: only the second drawing is checked.
    void DrawHud() {
        DrawOnce();
        DrawOnce();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }
    void DrawOnce() {
        glViewport(0, 0, W, H);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        while (glGetError() != GL_NO_ERROR) {
        }
        BeginGUI();
        Gui->Draw();
        EndGUI();
    }
    // The colour at a GUI point, 0..255.
    static std::array<int, 3> Pixel(float x, float y) {
        uint8_t px[4] = {};
        glReadBuffer(GL_BACK);
        glReadPixels(int(x * W), int(y * H), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        return {px[0], px[1], px[2]};
    }

    SDL_Window* Window = nullptr;
    SDL_GLContext Context = nullptr;
};

TEST_F(HudDrawing, EveryPartIsDrawnWhereItsLayoutSaysEvenWithoutTextures) {
    for (int k = 0; k < Scene->Battle->PlayerCount; ++k)
        for (auto& u : Scene->Battle->Players[size_t(k)]->Units)
            u->Visible = false;
    TGameUnit* bowman = HumanUnit(UnitTypeBowman);
    bowman->Visible = true;
    bowman->Engaged = true;
    Scene->SelectUnit(bowman, false);
    Human->AssignToGroup(3, bowman);
    Gui->ArrowFlags = ArrowLeft | ArrowTop;
    Frame(0.5f, 0.5f);
    ASSERT_EQ(S->Labels.size(), 1u);
    DrawHud();

    const std::array<int, 3> human{128, 255, 128};
    auto near = [](std::array<int, 3> a, std::array<int, 3> b) {
        for (int i = 0; i < 3; ++i)
            if (std::abs(a[i] - b[i]) > 2)
                return false;
        return true;
    };
    // The label: its square filled in the owner's colour, the health bar under it.
    const TTroopLabel& label = S->Labels[0];
    EXPECT_TRUE(near(Pixel(label.X, label.Y), human));
    EXPECT_TRUE(near(Pixel(label.X - 0.005f, label.Y - S->LabelSize + 0.0075f), {0, 255, 0}));
    // The cell of the selected bowman: health in the upper half, black below.
    TRectf cell{};
    ASSERT_TRUE(S->UnitsInfo->CellOf(bowman, cell));
    const float cx = (cell.Left + cell.Right) / 2;
    EXPECT_TRUE(near(Pixel(cx, cell.Top - 0.01f), {0, 255, 0}));
    EXPECT_TRUE(near(Pixel(cx, cell.Bottom + 0.01f), {0, 0, 0}));
    // Group 3's slot is filled; group 1's is not.
    const TGroupsInfo& g = *S->GroupsInfo;
    EXPECT_TRUE(near(Pixel(g.AbsX(0.11f * 2 + 0.015f), g.AbsY(0.9f)), {111, 99, 87}));
    EXPECT_TRUE(near(Pixel(g.AbsX(0.015f), g.AbsY(0.9f)), {0, 0, 0}));
    // The bowman's dot on the turned minimap.
    const TMyVector2f dot = MiniMapPoint(bowman->Position.x, bowman->Position.y);
    EXPECT_TRUE(near(Pixel(dot.x, dot.y), human));
    // The left edge's arrow: yellow near the middle of the edge, nothing at the right edge.
    const auto left = Pixel(0.01f, 0.5f), right = Pixel(0.99f, 0.5f);
    EXPECT_GT(left[0], 60);
    EXPECT_EQ(left[2], 0);
    EXPECT_EQ(right[0], 0);

    // Hidden: the world shows through everywhere but the counters.
    Gui->Enabled = false;
    Frame(0.5f, 0.5f);
    DrawHud();
    EXPECT_TRUE(near(Pixel(label.X, label.Y), {0, 0, 0}));
    EXPECT_TRUE(near(Pixel(cx, cell.Top - 0.01f), {0, 0, 0}));
    EXPECT_TRUE(near(Pixel(dot.x, dot.y), {0, 0, 0}));
}

}  // namespace
