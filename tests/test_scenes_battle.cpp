// The battle scene on a small flat map written to a temporary game folder, with
// no renderer and no sound: construction, the camera, selection, orders, melee,
// the end of the battle and the game menu.

#include "scenes/GameScene.h"

#include "test_sound_support.h"
#include "test_world_support.h"

#include "app/e_CameraObject.h"
#include "app/e_Platform.h"
#include "app/my_Input.h"
#include "gui/GameGUI.h"
#include "gui/GameMenuGUI.h"
#include "render/my_Viewer.h"
#include "sound/e_SoundManager.h"
#include "sound/e_SoundPlayer.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"
#include "world/MapObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <numbers>
#include <random>
#include <set>

namespace {

constexpr int32_t Cols = 48;
constexpr int32_t Rows = 72;

class Battle : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        SetHeadlessRenderer(true);
        SetViewport(0, 0, 1024, 768);
        ScreenRect = TScreenRect{0, 0, 1024, 768};
        ResetInputState();
        MapPath = Root + "Data/Maps/Test.map";
    }
    void TearDown() override {
        Scene.reset();
        ResetInputState();
        WorldTest::TearDown();
    }

    // A flat open map; `edit` may change tiles before it is written.
    void WriteMap(const std::function<void(TMapFileData&)>& edit = nullptr) {
        TMapFileData data;
        data.Landscape = MakeSection(Cols, Rows);
        if (edit)
            edit(data);
        std::filesystem::create_directories(Root + "Data/Maps");
        ASSERT_TRUE(SaveMapFile(MapPath, data));
    }
    void Build(uint32_t seed = 7) {
        Scene.reset();
        WriteMap();
        RandomSeed(seed);
        Scene = std::make_unique<TGameScene>(MapPath);
    }

    TPlayerObject& Human() { return *Scene->Battle->Players[0]; }
    TPlayerObject& Cpu(int i) { return *Scene->Battle->Players[size_t(i)]; }

    // One frame as the application runs it.
    void Frame(double dt = 0.02) {
        Scene->Update(dt);
        EndInputFrame();
    }
    void PressKey(int code) {
        InputKeyDown(code);
        Frame();
        InputKeyUp(code);
        Frame();
    }
    // The ground point at the centre of the view, as a map position.
    TMyVector3f ViewCentre() {
        TMyVector3f p{-1, -1, -1};
        EXPECT_TRUE(Scene->PickGround(512, 384, p));
        return p;
    }
    // Moves the camera's target far away from everything.
    void LookElsewhere() { Scene->CenterOn(40.0f, 10.0f); }

    std::string MapPath;
    std::unique_ptr<TGameScene> Scene;
};

std::set<TGameUnit*> AsSet(const std::vector<TGameUnit*>& v) { return {v.begin(), v.end()}; }

float AngleDiff(float a, float b) {
    float d = std::fmod(a - b, 2.0f * Pi);
    if (d < 0)
        d += 2.0f * Pi;
    return d;
}

// ---------------------------------------------------------------------------
// Construction

TEST_F(Battle, BuildsThreeArmiesAndTheCamera) {
    Build();
    ASSERT_EQ(Scene->Battle->PlayerCount, 3);
    EXPECT_EQ(Scene->Battle->ControlledPlayer, &Human());
    EXPECT_EQ(Human().PlayerName, "Human");
    EXPECT_EQ(Cpu(1).PlayerName, "CPU1");
    EXPECT_EQ(Cpu(2).PlayerName, "CPU2");
    EXPECT_EQ(Human().Side, SideHuman);
    EXPECT_EQ(Cpu(1).Side, SideComputer);
    EXPECT_EQ(Cpu(2).Side, SideComputer);
    EXPECT_EQ(Human().ColourIndex, 1);
    EXPECT_EQ(Cpu(1).ColourIndex, 0);
    EXPECT_EQ(Cpu(2).ColourIndex, 2);

    ASSERT_EQ(Human().Units.size(), 15u);
    EXPECT_EQ(Cpu(1).Units.size(), 10u);
    EXPECT_EQ(Cpu(2).Units.size(), 10u);
    int perType[4] = {};
    for (const auto& u : Human().Units)
        ++perType[u->UnitType];
    EXPECT_EQ(perType[UnitTypeBowman], 5);
    EXPECT_EQ(perType[UnitTypeWarrior], 5);
    EXPECT_EQ(perType[UnitTypeCavalryman], 5);

    // The first bowman stands three rows before the base point and faces 60 degrees.
    const TGameUnit& first = *Human().Units[0];
    EXPECT_FLOAT_EQ(first.Position.x, float(Cols - 30));
    EXPECT_FLOAT_EQ(first.Position.y, 57.0f);
    EXPECT_NEAR(first.Yaw, 60.0f * Pi / 180.0f, 1e-5f);
    EXPECT_FLOAT_EQ(Cpu(1).Units[0]->Position.x, 7.0f);
    EXPECT_FLOAT_EQ(Cpu(1).Units[0]->Position.y, 10.0f);
    EXPECT_FLOAT_EQ(Cpu(2).Units[0]->Position.y, float(Rows - 8));
    EXPECT_NEAR(Cpu(2).Units[0]->Yaw, 120.0f * Pi / 180.0f, 1e-5f);

    // The view is centred on the first bowman, 20 units away at a pitch of 60 degrees.
    const TMyVector3f c = ViewCentre();
    EXPECT_NEAR(c.x, first.Position.x, 0.05f);
    EXPECT_NEAR(c.y, first.Position.y, 0.05f);
    EXPECT_EQ(CameraDistance, 20.0f);
    EXPECT_EQ(CameraPitch, 60.0f);
    EXPECT_FALSE(Scene->Camera->FreeRotation);
    EXPECT_NEAR(std::asin(Scene->Camera->BackAxis().y) * 180.0f / Pi, 60.0f, 0.01f);

    EXPECT_EQ(Scene->GUI, static_cast<TGUIObject*>(Scene->Hud()));
    EXPECT_FALSE(Scene->MenuShown);
    EXPECT_EQ(Scene->Battle->Time, 0.0);
    EXPECT_EQ(Scene->OrderMode, TOrderMode::None);
    EXPECT_TRUE(Scene->HideCursorPending);
    EXPECT_TRUE(Scene->Selection.empty());
    EXPECT_FALSE(Scene->ArrowVisible);
    EXPECT_TRUE(Scene->SmallArrows.empty());

    const std::string log = LogText();
    EXPECT_NE(log.find("++CreateScene: \"" + MapPath + "\" ..."), std::string::npos);
    EXPECT_NE(log.find("++CreateScene: \"" + MapPath + "\" - complete."), std::string::npos);
}

TEST_F(Battle, DrawsRandomNumbersInAFixedOrder) {
    Build(12345);
    // Each new unit draws its two start timers itself (its model, missing here,
    // would draw an animation phase too); the scene's own draws come before it.
    auto unitDraws = [] {
        RandomFloat();
        RandomFloat();
    };
    RandomSeed(12345);
    for (int i = 0; i < 5; ++i)
        unitDraws();
    for (int i = 0; i < 10; ++i) {
        const int32_t facing = RandomInt(360);
        EXPECT_NEAR(Human().Units[size_t(5 + i)]->Yaw, float(facing) * Pi / 180.0f, 1e-5f) << i;
        unitDraws();
    }
    for (int p = 1; p <= 2; ++p)
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(Cpu(p).Units[size_t(i)]->UnitType, RandomInt(3) + 1) << p << " " << i;
            unitDraws();
        }
    // Nothing else draws while the battle is built.
    const uint32_t next = RandomGetSeed();
    Build(12345);
    EXPECT_EQ(RandomGetSeed(), next);
}

TEST_F(Battle, RefusesOutdatedMissingAndDamagedMapFiles) {
    WriteMap([](TMapFileData& d) { d.FileVersion = 99; });
    EXPECT_EXIT(TGameScene scene(MapPath), ::testing::ExitedWithCode(0),
                "Версия файла \"" + MapPath + "\" устарела. Загрузка невозможна.");

    EXPECT_EXIT(TGameScene scene(Root + "Data/Maps/None.map"), ::testing::ExitedWithCode(0), "None.map");

    WriteBytes(MapPath, {100, 0});
    EXPECT_EXIT(TGameScene scene(MapPath), ::testing::ExitedWithCode(0), "Test.map");
}

TEST_F(Battle, ReportsItsStatus) {
    Build();
    Human().Kills = 3;
    const std::string s = Scene->StatusJson();
    EXPECT_EQ(s.rfind("\"battle_time\": 0", 0), 0u) << s;
    EXPECT_NE(s.find("{\"name\": \"Human\", \"units\": 15, \"kills\": 3, \"losses\": 0, \"points\": 0}"),
              std::string::npos)
        << s;
    EXPECT_NE(s.find("\"name\": \"CPU2\", \"units\": 10"), std::string::npos) << s;
}

// ---------------------------------------------------------------------------
// Camera

TEST_F(Battle, ZoomAndTiltStayWithinLimitsAndKeepTheViewCentre) {
    Build();
    const TMyVector3f c0 = ViewCentre();
    auto distance = [&] {
        TMyVector3f g = ViewCentre();
        TMyVector3f w{g.y, 0.0f, g.x};
        return Vec3Length(Scene->Camera->GetPosition() - w);
    };
    auto pitch = [&] { return std::asin(Scene->Camera->BackAxis().y) * 180.0f / Pi; };

    Scene->ZoomTilt(10, 0);
    EXPECT_EQ(CameraPitch, 70.0f);
    EXPECT_NEAR(pitch(), 70.0f, 0.05f);
    Scene->ZoomTilt(10, 0);
    EXPECT_EQ(CameraPitch, 80.0f);
    const TMyVector3f before = Scene->Camera->GetPosition();
    Scene->ZoomTilt(10, 0);  // past 80
    EXPECT_EQ(CameraPitch, 80.0f);
    EXPECT_EQ(Scene->Camera->GetPosition().y, before.y);
    EXPECT_NEAR(pitch(), 80.0f, 0.05f);
    Scene->ZoomTilt(-40, 0);  // below 50
    EXPECT_EQ(CameraPitch, 80.0f);
    Scene->ZoomTilt(-10, 0);
    Scene->ZoomTilt(-10, 0);
    Scene->ZoomTilt(-10, 0);
    EXPECT_EQ(CameraPitch, 50.0f);
    EXPECT_NEAR(pitch(), 50.0f, 0.05f);

    for (int i = 0; i < 3; ++i)
        Scene->ZoomTilt(0, 5);
    EXPECT_EQ(CameraDistance, 35.0f);
    EXPECT_NEAR(distance(), 35.0f, 0.05f);
    Scene->ZoomTilt(0, 5);
    EXPECT_EQ(CameraDistance, 35.0f);
    for (int i = 0; i < 4; ++i)
        Scene->ZoomTilt(0, -5);
    EXPECT_EQ(CameraDistance, 20.0f);
    EXPECT_NEAR(distance(), 20.0f, 0.05f);

    // The camera swung round the point it looked at.
    const TMyVector3f c1 = ViewCentre();
    EXPECT_NEAR(c1.x, c0.x, 0.05f);
    EXPECT_NEAR(c1.y, c0.y, 0.05f);
}

TEST_F(Battle, KeysZoomAndTilt) {
    Build();
    PressKey(VK::Prior);
    EXPECT_EQ(CameraPitch, 70.0f);
    PressKey(VK::Next);
    EXPECT_EQ(CameraPitch, 60.0f);
    PressKey(VK::Add);
    EXPECT_EQ(CameraDistance, 25.0f);
    PressKey(VK::Subtract);
    EXPECT_EQ(CameraDistance, 20.0f);
}

TEST_F(Battle, ScrollsAtTheScreenEdgesButNotOffTheMap) {
    Build();
    InputMouseMove(0, 0, false, false);  // the top-left corner
    const TMyVector3f before = Scene->Camera->GetPosition();
    Scene->EdgeScroll(0.1);
    EXPECT_EQ(Scene->Hud()->ArrowFlags, ArrowTop | ArrowLeft);
    const TMyVector3f after = Scene->Camera->GetPosition();
    const TMyVector3f moved = after - before;
    TMyVector3f forward = -Scene->Camera->BackAxis();
    forward.y = 0.0f;
    EXPECT_LT(Vec3Dot(moved, Scene->Camera->RightAxis()), -1.0f);  // to the left...
    EXPECT_GT(Vec3Dot(moved, forward), 1.0f);                      // ...and up the screen
    EXPECT_EQ(after.y, before.y);
    EXPECT_NEAR(Vec3Length(after - before), 0.1f * 65.0f, 0.01f);

    // In the middle nothing moves and the arrows go.
    InputMouseMove(512, 384, false, false);
    Scene->EdgeScroll(0.1);
    EXPECT_EQ(Scene->Hud()->ArrowFlags, 0u);
    EXPECT_EQ(Scene->Camera->GetPosition().x, after.x);

    // Scrolling far to one side stops once the view's centre has left the map.
    InputMouseMove(1023, 384, false, false);
    for (int i = 0; i < 400; ++i)
        Scene->EdgeScroll(0.1);
    TMyVector3f c;
    ASSERT_TRUE(Scene->GroundAtHeight(512, 384, 0.0f, c));
    EXPECT_GT(c.x, -10.0f);
    EXPECT_LT(c.x, Cols + 10.0f);
    EXPECT_GT(c.y, -10.0f);
    EXPECT_LT(c.y, Rows + 10.0f);

    // Not while a button is held.
    InputButtonDown(TMouseButton::Left, 0, 0);
    const TMyVector3f held = Scene->Camera->GetPosition();
    Scene->EdgeScroll(0.1);
    EXPECT_EQ(Scene->Camera->GetPosition().x, held.x);
}

// ---------------------------------------------------------------------------
// Selection

TEST_F(Battle, BoxSelectionIsTheSameWhicheverWayTheBoxIsDrawn) {
    Build();
    Scene->BoxSelect(200, 150, 800, 600, false, true);
    const std::set<TGameUnit*> forward = AsSet(Scene->Selection);
    ASSERT_FALSE(forward.empty());
    EXPECT_LT(forward.size(), 15u);
    for (TGameUnit* u : forward)
        EXPECT_EQ(u->Owner, &Human());

    Scene->BoxSelect(800, 600, 200, 150, false, true);
    EXPECT_EQ(AsSet(Scene->Selection), forward);
    Scene->BoxSelect(200, 600, 800, 150, false, true);
    EXPECT_EQ(AsSet(Scene->Selection), forward);
    Scene->BoxSelect(800, 150, 200, 600, false, true);
    EXPECT_EQ(AsSet(Scene->Selection), forward);
    EXPECT_EQ(Scene->Selection.size(), forward.size());

    // Shift keeps what was selected; without it a box elsewhere replaces it.
    Scene->BoxSelect(0, 0, 1024, 768, true, true);
    const size_t all = Scene->Selection.size();
    EXPECT_GT(all, forward.size());
    EXPECT_EQ(AsSet(Scene->Selection).size(), all);  // no unit twice
    LookElsewhere();
    Scene->BoxSelect(0, 0, 1024, 768, false, true);
    EXPECT_TRUE(Scene->Selection.empty());
}

TEST_F(Battle, DraggingTheBoxSelectsOnRelease) {
    Build();
    InputButtonDown(TMouseButton::Left, 200, 150);
    Frame();
    InputMouseMove(800, 600, true, false);
    Frame();
    EXPECT_TRUE(Scene->Selection.empty());  // only marked while dragging
    InputButtonUp(TMouseButton::Left, 800, 600);
    Frame();
    EXPECT_FALSE(Scene->Selection.empty());
    const std::set<TGameUnit*> dragged = AsSet(Scene->Selection);
    Scene->BoxSelect(200, 768 - 150, 800, 768 - 600, false, true);
    EXPECT_EQ(AsSet(Scene->Selection), dragged);
}

TEST_F(Battle, SelectsAllAndOnScreen) {
    Build();
    PressKey('X');
    EXPECT_EQ(Scene->Selection.size(), 15u);
    LookElsewhere();
    PressKey('Z');
    EXPECT_TRUE(Scene->Selection.empty());
    PressKey('X');
    EXPECT_EQ(Scene->Selection.size(), 15u);
    Scene->ClearSelection();
    EXPECT_TRUE(Scene->Selection.empty());
}

TEST_F(Battle, GroupDoublePressCentresWithoutRestartingTheTimer) {
    Build();
    TGameUnit* a = Human().Units[3].get();
    TGameUnit* b = Human().Units[7].get();
    Scene->SelectUnit(a, false);
    Scene->SelectUnit(b, true);
    Scene->AssignGroup(1);
    EXPECT_EQ(Human().Groups[1].size(), 2u);
    Scene->ClearSelection();

    Scene->Time = 10.0;
    Scene->SelectGroup(1);
    ASSERT_EQ(Scene->Selection.size(), 2u);
    const TGameUnit* lead = Scene->Selection.front();

    LookElsewhere();
    Scene->Time = 10.5;  // second press: centre on the group
    Scene->SelectGroup(1);
    TMyVector3f c = ViewCentre();
    EXPECT_NEAR(c.x, lead->Position.x, 0.05f);
    EXPECT_NEAR(c.y, lead->Position.y, 0.05f);

    LookElsewhere();
    Scene->ClearSelection();
    Scene->SelectUnit(Human().Units[0].get(), false);
    Scene->Time = 10.7;  // still within 0.75 s of the first press: centre again
    Scene->SelectGroup(1);
    EXPECT_EQ(Scene->Selection.size(), 1u);
    c = ViewCentre();
    EXPECT_NEAR(c.x, Human().Units[0]->Position.x, 0.05f);

    Scene->Time = 10.8;  // later: the group is selected anew
    Scene->SelectGroup(1);
    EXPECT_EQ(AsSet(Scene->Selection), (std::set<TGameUnit*>{a, b}));
    EXPECT_FLOAT_EQ(Human().GroupValues[1], 10.8f);

    // Shift adds a group, Control makes one from the selection.
    Scene->ClearSelection();
    Scene->SelectUnit(Human().Units[0].get(), false);
    Scene->AddGroup(1);
    EXPECT_EQ(Scene->Selection.size(), 3u);
    Scene->AssignGroup(2);
    EXPECT_EQ(Human().Groups[2].size(), 3u);
    EXPECT_TRUE(Human().Groups[1].empty());
    Scene->AddGroup(12);  // no such group
    Scene->SelectGroup(-1);
}

TEST_F(Battle, SelectionMarksUnits) {
    Build();
    TGameUnit* u = Human().Units[0].get();
    TGameUnit* enemy = Cpu(1).Units[0].get();
    Scene->SelectUnit(u, false);
    Scene->SelectUnit(u, true);
    EXPECT_EQ(Scene->Selection.size(), 1u);
    EXPECT_TRUE(Scene->SelectionCommandable());
    Scene->ClearSelection();
    Scene->SelectUnit(enemy, false);
    EXPECT_FALSE(Scene->SelectionCommandable());
    // An enemy that cannot be seen is no longer worth keeping selected.
    enemy->Visible = false;
    Frame();
    EXPECT_TRUE(Scene->Selection.empty());
}

// ---------------------------------------------------------------------------
// Orders

TEST_F(Battle, FormationSlotsSpreadTheUnits) {
    Build();
    std::vector<TGameUnit*> one = {Human().Units[0].get()};
    const TMyVector3f p{20.3f, 30.6f, 0.0f};
    auto slots = Scene->FormationSlots(p, 0.0f, one);
    ASSERT_EQ(slots.size(), 1u);
    EXPECT_EQ(slots[0].x, p.x);
    EXPECT_EQ(slots[0].y, p.y);

    std::vector<TGameUnit*> two = {Human().Units[0].get(), Human().Units[1].get()};
    slots = Scene->FormationSlots(p, 0.0f, two);
    ASSERT_EQ(slots.size(), 2u);
    EXPECT_NEAR(std::hypot(slots[0].x - slots[1].x, slots[0].y - slots[1].y), 2.0f, 1e-4f);

    std::vector<TGameUnit*> all;
    for (auto& u : Human().Units)
        all.push_back(u.get());
    slots = Scene->FormationSlots(p, 0.7f, all);
    ASSERT_EQ(slots.size(), 15u);
    float nearest = 1e9f;
    for (size_t k = 0; k < slots.size(); ++k) {
        EXPECT_EQ(slots[k].z, p.z);
        for (size_t l = k + 1; l < slots.size(); ++l)
            nearest = std::min(nearest, std::hypot(slots[k].x - slots[l].x, slots[k].y - slots[l].y));
    }
    EXPECT_GT(nearest, 0.5f);  // spread out from the 0.4 ring
    EXPECT_EQ(Scene->FormationSlots(p, 0.0f, {}).size(), 0u);
}

TEST_F(Battle, FormationSlotsStayOffBlockedTiles) {
    // A wall of blocked tiles right of column 21.
    WriteMap([](TMapFileData& d) {
        for (int32_t row = 0; row < Rows; ++row)
            for (int32_t col = 22; col < 26; ++col)
                d.Landscape.Tiles[size_t(row * Cols + col)].Flags = 0x8;
    });
    RandomSeed(1);
    Scene = std::make_unique<TGameScene>(MapPath);
    std::vector<TGameUnit*> units;
    for (int i = 0; i < 8; ++i)
        units.push_back(Human().Units[size_t(i)].get());
    const auto slots = Scene->FormationSlots({21.5f, 30.5f, 0.0f}, 0.0f, units);
    for (const auto& s : slots)
        EXPECT_LT(s.x, 22.0f);
}

TEST_F(Battle, MoveOrderSendsEachUnitToItsSlot) {
    Build();
    std::vector<TGameUnit*> units = {Human().Units[0].get(), Human().Units[5].get(), Human().Units[10].get()};
    for (TGameUnit* u : units)
        Scene->SelectUnit(u, true);
    units[1]->SetHold(true);
    const TMyVector3f target{20.5f, 40.5f, 3.0f};
    Scene->MoveOrder(target, true);
    EXPECT_EQ(Scene->FlagTimer, 0.5f);
    const auto slots = Scene->FormationSlots({20.5f, 40.5f, 0.0f}, 0.0f, units);
    for (size_t i = 0; i < units.size(); ++i) {
        TGameUnit* u = units[i];
        EXPECT_GE(u->PathIndex, 0) << i;
        ASSERT_FALSE(u->Path.empty());
        EXPECT_EQ(u->Path.back().x, int32_t(slots[i].x)) << i;
        EXPECT_EQ(u->Path.back().y, int32_t(slots[i].y)) << i;
        EXPECT_FALSE(u->Hold);
        EXPECT_FALSE(u->Running);
        EXPECT_EQ(u->Target, nullptr);
    }

    // An enemy selection takes no orders.
    Scene->ClearSelection();
    Scene->SelectUnit(Cpu(1).Units[0].get(), false);
    Scene->FlagTimer = 0.0f;
    Scene->MoveOrder(target, true);
    EXPECT_EQ(Scene->FlagTimer, 0.0f);
    EXPECT_LT(Cpu(1).Units[0]->PathIndex, 0);
}

TEST_F(Battle, MoveOrderToBlockedGroundIsRefused) {
    WriteMap([](TMapFileData& d) { d.Landscape.Tiles[size_t(40 * Cols + 20)].Flags = 0x8; });
    RandomSeed(1);
    Scene = std::make_unique<TGameScene>(MapPath);
    Scene->SelectUnit(Human().Units[0].get(), false);
    Scene->MoveOrder({20.5f, 40.5f, 0.0f}, true);
    EXPECT_EQ(Scene->FlagTimer, 0.0f);
    EXPECT_LT(Human().Units[0]->PathIndex, 0);
}

TEST_F(Battle, RightClickOnTheGroundMovesTheSelection) {
    Build();
    PressKey('X');
    ASSERT_EQ(Scene->Selection.size(), 15u);
    // Beside the troop that 'X' centred the view on: a click on a unit in view
    // is no order to move.
    InputButtonDown(TMouseButton::Right, 250, 450);
    Frame();
    InputButtonUp(TMouseButton::Right, 250, 450);
    Frame();
    int moving = 0;
    for (auto& u : Human().Units)
        moving += u->PathIndex >= 0;
    EXPECT_GT(moving, 10);
    EXPECT_GT(Scene->FlagTimer, 0.0f);
    for (auto& u : Human().Units)
        EXPECT_LT(u->PendingYaw, 0.0f);  // a click sets no facing
}

TEST_F(Battle, RightDragShowsTheFacingArrowAndSetsTheFacing) {
    Build();
    PressKey('X');
    InputButtonDown(TMouseButton::Right, 400, 300);
    Frame();
    InputMouseMove(400, 200, false, true);  // dragged towards the bottom of the screen
    Frame();
    EXPECT_TRUE(DragMoved);
    EXPECT_TRUE(Scene->ArrowVisible);
    EXPECT_EQ(Scene->SmallArrows.size(), 0u);  // the model is missing from this folder
    InputButtonUp(TMouseButton::Right, 400, 200);
    Frame();
    EXPECT_FALSE(Scene->ArrowVisible);
    float yaw = -1.0f;
    for (auto& u : Human().Units)
        if (u->PendingYaw >= 0.0f) {
            if (yaw < 0.0f)
                yaw = u->PendingYaw;
            EXPECT_FLOAT_EQ(u->PendingYaw, yaw);
            EXPECT_LT(u->PendingYaw, 2.0f * Pi);
        }
    EXPECT_GE(yaw, 0.0f);
}

TEST_F(Battle, LeftPressInMoveModeOrdersAndDoesNotSelect) {
    Build();
    PressKey('X');
    PressKey('M');
    EXPECT_EQ(Scene->OrderMode, TOrderMode::Move);
    InputButtonDown(TMouseButton::Left, 400, 300);
    Frame();
    EXPECT_EQ(Scene->OrderMode, TOrderMode::None);
    EXPECT_GT(Scene->FlagTimer, 0.0f);
    InputMouseMove(700, 600, true, false);
    Frame();
    InputButtonUp(TMouseButton::Left, 700, 600);
    Frame();
    EXPECT_EQ(Scene->Selection.size(), 15u);

    // Attack mode: the press only ends the mode.
    PressKey('A');
    EXPECT_EQ(Scene->OrderMode, TOrderMode::Attack);
    PressKey('A');
    EXPECT_EQ(Scene->OrderMode, TOrderMode::None);
    PressKey('A');
    Scene->FlagTimer = 0.0f;
    InputButtonDown(TMouseButton::Left, 400, 300);
    Frame();
    InputButtonUp(TMouseButton::Left, 400, 300);
    Frame();
    EXPECT_EQ(Scene->OrderMode, TOrderMode::None);
    EXPECT_LE(Scene->FlagTimer, 0.0f);
    EXPECT_EQ(Scene->Selection.size(), 15u);
}

// The HUD is updated after the world's input. A press or a release made in the
// frame in which the pointer arrives over a panel is the HUD's, never an order.
TEST_F(Battle, ThePointerArrivingOverTheHudTakesThePressFromTheWorldAtOnce) {
    Build();
    const TUnitsInfo& panel = *Scene->Hud()->Screen->UnitsInfo;
    const int panelX = int(std::lround(panel.AbsX(0.9f) * 1024));
    const int panelY = int(std::lround((1.0f - panel.AbsY(0.9f)) * 768));
    PressKey('X');
    PressKey('M');
    InputMouseMove(500, 300, false, false);
    Frame();
    InputButtonDown(TMouseButton::Left, panelX, panelY);  // a fast click on the units panel
    Frame();
    InputButtonUp(TMouseButton::Left, panelX, panelY);
    Frame();
    EXPECT_LE(Scene->FlagTimer, 0.0f);              // set by every order given
    EXPECT_EQ(Scene->OrderMode, TOrderMode::Move);  // still waiting for its point
    EXPECT_EQ(Scene->Selection.size(), 15u);
    PressKey('M');

    // A right press in the world released in one jump over the panel.
    InputMouseMove(400, 300, false, false);
    Frame();
    InputButtonDown(TMouseButton::Right, 400, 300);
    Frame();
    InputButtonUp(TMouseButton::Right, panelX, panelY);
    Frame();
    EXPECT_LE(Scene->FlagTimer, 0.0f);
}

// The box shown while dragging is the box the release selects with, also while
// the pointer is over a HUD panel.
TEST_F(Battle, TheDragBoxShownIsTheOneTheReleaseSelects) {
    Build();
    const TUnitsInfo& panel = *Scene->Hud()->Screen->UnitsInfo;
    auto panelX = [&](float f) { return int(std::lround(panel.AbsX(f) * 1024)); };
    const int panelY = int(std::lround((1.0f - panel.AbsY(0.5f)) * 768));
    InputMouseMove(400, 150, false, false);
    Frame();
    InputButtonDown(TMouseButton::Left, 400, 150);
    Frame();
    InputMouseMove(panelX(0.5f), panelY, true, false);  // down onto the units panel
    Frame();
    InputMouseMove(panelX(0.7f), panelY, true, false);  // and along it
    Frame();
    const TSelectionFrame box = GetSelectionFrame();
    EXPECT_TRUE(box.Visible);
    EXPECT_EQ(box.X1, 400);
    EXPECT_EQ(box.Y1, 768 - 150);
    EXPECT_EQ(box.X2, InputState.MouseX);
    EXPECT_EQ(box.Y2, InputState.MouseY);
    InputButtonUp(TMouseButton::Left, panelX(0.7f), panelY);
    Frame();
    EXPECT_FALSE(GetSelectionFrame().Visible);
    const std::set<TGameUnit*> selected = AsSet(Scene->Selection);
    EXPECT_FALSE(selected.empty());
    Scene->BoxSelect(float(box.X1), float(box.Y1), float(box.X2), float(box.Y2), false, true);
    EXPECT_EQ(AsSet(Scene->Selection), selected);
}

TEST_F(Battle, HoldTogglesForOwnTroopsOnly) {
    Build();
    TGameUnit* a = Human().Units[0].get();
    TGameUnit* b = Human().Units[1].get();
    Scene->SelectUnit(a, false);
    Scene->SelectUnit(b, true);
    b->Engaged = true;
    PressKey('Q');
    EXPECT_TRUE(a->Hold);
    EXPECT_FALSE(b->Hold);  // fighting units do not stop
    PressKey('Q');
    EXPECT_FALSE(a->Hold);
    b->Engaged = false;

    TGameUnit* enemy = Cpu(1).Units[0].get();
    Scene->ClearSelection();
    Scene->SelectUnit(enemy, false);
    Scene->ToggleHold();
    EXPECT_FALSE(enemy->Hold);
}

TEST_F(Battle, AttackOrderSetsTheTarget) {
    Build();
    TGameUnit* a = Human().Units[5].get();
    TGameUnit* enemy = Cpu(1).Units[0].get();
    Scene->SelectUnit(a, false);
    Scene->AttackOrder(enemy);
    EXPECT_EQ(a->Target, enemy);
    Scene->ClearSelection();
    Scene->SelectUnit(enemy, false);
    Scene->AttackOrder(a);  // not our troops
    EXPECT_EQ(enemy->Target, nullptr);
}

// ---------------------------------------------------------------------------
// Melee

TEST_F(Battle, EnemiesOnOneTileEngageFacingEachOther) {
    Build();
    TGameUnit* h = Human().AddUnit(UnitTypeWarrior, TMyVector3f{30.2f, 20.3f, 0.0f}, 0.0f);
    TGameUnit* c = Cpu(1).AddUnit(UnitTypeWarrior, TMyVector3f{30.7f, 20.6f, 0.0f}, 0.0f);
    const float hHealth = h->Health, cHealth = c->Health;
    Scene->Melee(0.0);
    EXPECT_TRUE(h->Engaged);
    EXPECT_TRUE(c->Engaged);
    EXPECT_EQ(h->Target, c);
    EXPECT_EQ(c->Target, h);
    EXPECT_NEAR(AngleDiff(h->Yaw, c->Yaw), Pi, 1e-4f);
    EXPECT_NEAR(AngleDiff(c->Yaw, h->Yaw), Pi, 1e-4f);
    EXPECT_EQ(h->Health, hHealth);

    Scene->Melee(0.5);
    EXPECT_FLOAT_EQ(c->Health, cHealth - UnitFeatures[UnitTypeWarrior].MeleeDamage * 0.5f);
    EXPECT_FLOAT_EQ(h->Health, hHealth - UnitFeatures[UnitTypeWarrior].MeleeDamage * 0.5f);

    // The computer players' armies stand in heaps of ten and never fight each other.
    for (int p = 1; p <= 2; ++p)
        for (auto& u : Cpu(p).Units) {
            EXPECT_TRUE(u.get() == c || !u->Engaged);
        }
    TGameUnit* ally = Cpu(2).AddUnit(UnitTypeBowman, TMyVector3f{35.5f, 20.5f, 0.0f}, 0.0f);
    Cpu(1).AddUnit(UnitTypeBowman, TMyVector3f{35.6f, 20.4f, 0.0f}, 0.0f);
    Scene->Melee(0.1);
    EXPECT_FALSE(ally->Engaged);
}

TEST_F(Battle, NeighbouringTilesEngageButTheMapEdgeDoesNot) {
    Build();
    TGameUnit* h = Human().AddUnit(UnitTypeWarrior, TMyVector3f{30.5f, 20.5f, 0.0f}, 0.0f);
    TGameUnit* c = Cpu(1).AddUnit(UnitTypeWarrior, TMyVector3f{31.5f, 21.5f, 0.0f}, 0.0f);
    TGameUnit* far = Cpu(1).AddUnit(UnitTypeWarrior, TMyVector3f{33.5f, 20.5f, 0.0f}, 0.0f);
    TGameUnit* e1 = Human().AddUnit(UnitTypeWarrior, TMyVector3f{0.5f, 30.5f, 0.0f}, 0.0f);
    TGameUnit* e2 = Cpu(2).AddUnit(UnitTypeWarrior, TMyVector3f{0.6f, 30.5f, 0.0f}, 0.0f);
    Scene->Melee(0.0);
    EXPECT_EQ(h->Target, c);
    EXPECT_EQ(c->Target, h);
    EXPECT_FALSE(far->Engaged);
    EXPECT_FALSE(e1->Engaged);
    EXPECT_FALSE(e2->Engaged);
}

TEST_F(Battle, DamageIsSharedWithASecondAttacker) {
    Build();
    TGameUnit* a = Human().AddUnit(UnitTypeWarrior, TMyVector3f{30.5f, 20.5f, 0.0f}, 0.0f);
    TGameUnit* b = Cpu(1).AddUnit(UnitTypeCavalryman, TMyVector3f{30.5f, 20.5f, 0.0f}, 0.0f);
    TGameUnit* c = Cpu(2).AddUnit(UnitTypeBowman, TMyVector3f{30.5f, 20.5f, 0.0f}, 0.0f);
    for (TGameUnit* u : {a, b, c})
        u->Engaged = true;
    a->SetTarget(b);
    b->SetTarget(a);
    c->SetTarget(a);
    const float ha = a->Health, hb = b->Health, hc = c->Health;
    Scene->Melee(1.0);
    const float ma = UnitFeatures[UnitTypeWarrior].MeleeDamage;
    EXPECT_FLOAT_EQ(b->Health, hb - ma * 0.5f);
    EXPECT_FLOAT_EQ(c->Health, hc - ma * 0.5f);
    EXPECT_FLOAT_EQ(a->Health, ha - UnitFeatures[UnitTypeCavalryman].MeleeDamage -
                                   UnitFeatures[UnitTypeBowman].MeleeDamage);

    // A blow that kills counts for the killer's player; the fallen leave the selection.
    Scene->SelectUnit(a, false);
    Scene->SelectUnit(Human().Units[0].get(), true);
    b->Health = 1.0f;
    c->Health = 1.0f;
    Scene->Melee(1.0);
    EXPECT_EQ(Human().Kills, 2);
    EXPECT_EQ(Cpu(1).Losses, 1);
    EXPECT_EQ(Cpu(2).Losses, 1);
    EXPECT_EQ(Cpu(1).Units.size(), 10u);
    EXPECT_FALSE(a->Engaged);
    EXPECT_EQ(a->Target, nullptr);

    a->Health = 0.0f;
    Scene->Melee(0.1);
    EXPECT_EQ(Scene->Selection.size(), 1u);
    EXPECT_EQ(Scene->Selection.front(), Human().Units[0].get());
}

// ---------------------------------------------------------------------------
// Menu and the end of the battle

TEST_F(Battle, TheMenuFreezesTheBattle) {
    Build();
    Frame(0.5);
    EXPECT_DOUBLE_EQ(Scene->Battle->Time, 0.5);
    EXPECT_FALSE(Scene->HideCursorPending);

    InputKeyDown(VK::Escape);
    Frame(0.5);  // the toggle frame: no time passes at all
    EXPECT_TRUE(Scene->MenuShown);
    EXPECT_EQ(Scene->GUI, static_cast<TGUIObject*>(Scene->MenuGUI.get()));
    EXPECT_DOUBLE_EQ(Scene->Battle->Time, 0.5);
    EXPECT_DOUBLE_EQ(Scene->Time, 0.5);
    InputKeyUp(VK::Escape);
    for (int i = 0; i < 5; ++i)
        Frame(0.5);
    EXPECT_DOUBLE_EQ(Scene->Battle->Time, 0.5);
    EXPECT_DOUBLE_EQ(Scene->Time, 3.0);

    // "Continue" asks for the toggle.
    Scene->MenuToggleRequest = true;
    Frame(0.5);
    EXPECT_FALSE(Scene->MenuShown);
    EXPECT_EQ(Scene->GUI, static_cast<TGUIObject*>(Scene->Hud()));
    Frame(0.5);
    EXPECT_DOUBLE_EQ(Scene->Battle->Time, 1.0);
}

TEST_F(Battle, LosingTheLastUnitEndsTheBattle) {
    Build();
    Frame();
    for (auto& u : Human().Units)
        u->Health = 0.0f;
    Frame();  // they fall
    EXPECT_TRUE(Human().Defeated);
    EXPECT_FALSE(Scene->GameOver);
    Frame();  // announced
    EXPECT_TRUE(Scene->GameOver);
    EXPECT_TRUE(Scene->MenuToggleRequest);
    EXPECT_EQ(Scene->MenuGUI->Screen->EndGameLabel->Text, "GAME OVER");
    const double t = Scene->Battle->Time;
    Frame();  // shown
    EXPECT_TRUE(Scene->MenuShown);
    Frame();
    Frame();
    EXPECT_EQ(Scene->Battle->Time, t);

    // Escape hides the menu and the lost battle goes on; it is not announced twice.
    PressKey(VK::Escape);
    EXPECT_FALSE(Scene->MenuShown);
    Frame();
    EXPECT_GT(Scene->Battle->Time, t);
    EXPECT_FALSE(Scene->MenuToggleRequest);
    EXPECT_TRUE(Scene->StatusJson().find("\"name\": \"Human\", \"units\": 0, \"kills\": 0, \"losses\": 15") !=
                std::string::npos);
}

// The menu comes up in the middle of a press and the release goes to the menu:
// nothing of that press is left when the battle goes on.
TEST_F(Battle, NoPressSurvivesTheGameMenu) {
    Build();
    TGameGUI& hud = *Scene->Hud();
    TMiniMap& miniMap = *hud.Screen->MiniMap;
    TMenuFrame1& menu = *Scene->MenuGUI->Screen->MenuFrame;
    // Window pixels (y downward) of a GUI point.
    auto px = [](float x) { return int(std::lround(x * 1024)); };
    auto py = [](float y) { return int(std::lround((1.0f - y) * 768)); };
    auto escape = [&] {
        InputKeyDown(VK::Escape);
        Frame();
        InputKeyUp(VK::Escape);
    };
    auto clickAt = [&](int x, int y) {
        InputMouseMove(x, y, false, false);
        Frame();
        InputButtonDown(TMouseButton::Left, x, y);
        Frame();
        InputButtonUp(TMouseButton::Left, x, y);
        Frame();
    };
    const TMenuButton& continueButton = *menu.Buttons[0];
    const int continueX = px(continueButton.AbsX(0.5f)), continueY = py(continueButton.AbsY(0.5f));
    auto clickContinue = [&] {
        ASSERT_TRUE(Scene->MenuShown);
        clickAt(continueX, continueY);
        Frame();  // the menu closes
        ASSERT_FALSE(Scene->MenuShown);
    };
    auto movingUnits = [&] {
        int moving = 0;
        for (auto& u : Human().Units)
            moving += u->PathIndex >= 0;
        return moving;
    };

    // A press on the minimap, Escape, the release in the menu, "Continue".
    PressKey('X');
    const TRectf& picture = miniMap.PictureRect;
    const TMyVector2f onMap =
        miniMap.PanelToScreen((picture.Left + picture.Right) / 2, (picture.Bottom + picture.Top) / 2);
    InputMouseMove(px(onMap.x), py(onMap.y), false, false);
    Frame();
    InputButtonDown(TMouseButton::Left, px(onMap.x), py(onMap.y));
    Frame();
    ASSERT_TRUE(hud.PressCaptured);
    ASSERT_TRUE(miniMap.Dragging);
    escape();
    InputButtonUp(TMouseButton::Left, px(onMap.x), py(onMap.y));
    Frame();
    clickContinue();
    EXPECT_FALSE(hud.PressCaptured);
    EXPECT_FALSE(miniMap.Dragging);
    EXPECT_EQ(hud.Screen->PressRegion, RegionNone);
    // Right clicks order again...
    InputMouseMove(400, 300, false, false);
    Frame();
    InputButtonDown(TMouseButton::Right, 400, 300);
    Frame();
    InputButtonUp(TMouseButton::Right, 400, 300);
    Frame();
    EXPECT_GT(movingUnits(), 10);
    // ...and a left press in the world is no minimap drag: the view stays.
    const TMyVector3f view = ViewCentre();
    InputMouseMove(600, 300, false, false);
    Frame();
    InputButtonDown(TMouseButton::Left, 600, 300);
    Frame();
    const TMyVector3f after = ViewCentre();
    EXPECT_NEAR(after.x, view.x, 0.01f);
    EXPECT_NEAR(after.y, view.y, 0.01f);
    InputButtonUp(TMouseButton::Left, 600, 300);
    Frame();

    // A move-mode press released while the menu is shown: the first press after
    // "Continue" is a press like any other, and its box selects.
    PressKey('X');
    PressKey('M');
    InputButtonDown(TMouseButton::Left, 500, 380);
    Frame();
    ASSERT_EQ(Scene->OrderMode, TOrderMode::None);  // the order was given
    escape();
    InputButtonUp(TMouseButton::Left, 500, 380);
    Frame();
    clickContinue();
    Scene->ClearSelection();
    Scene->CenterOn(Human().Units[0]->Position.x, Human().Units[0]->Position.y);
    InputMouseMove(400, 100, false, false);
    Frame();
    InputButtonDown(TMouseButton::Left, 400, 100);
    Frame();
    InputMouseMove(1000, 500, true, false);
    Frame();
    InputButtonUp(TMouseButton::Left, 1000, 500);
    Frame();
    EXPECT_FALSE(Scene->Selection.empty());

    // A menu button held when the menu goes away: it does not click later on a
    // press elsewhere in the menu released over it.
    escape();
    ASSERT_TRUE(Scene->MenuShown);
    InputMouseMove(continueX, continueY, false, false);
    Frame();
    InputButtonDown(TMouseButton::Left, continueX, continueY);
    Frame();
    escape();
    ASSERT_FALSE(Scene->MenuShown);
    InputButtonUp(TMouseButton::Left, continueX, continueY);
    Frame();
    escape();
    ASSERT_TRUE(Scene->MenuShown);
    const int besideX = px(menu.AbsX(0.5f)), besideY = py(menu.AbsY(0.2f));
    InputMouseMove(besideX, besideY, false, false);
    Frame();
    InputButtonDown(TMouseButton::Left, besideX, besideY);
    Frame();
    InputMouseMove(continueX, continueY, true, false);
    Frame();
    InputButtonUp(TMouseButton::Left, continueX, continueY);
    Frame();
    Frame();
    EXPECT_TRUE(Scene->MenuShown);

    // A right press in the world held while the menu comes and goes orders
    // nothing when it is released.
    escape();
    ASSERT_FALSE(Scene->MenuShown);
    PressKey('X');
    InputMouseMove(400, 300, false, false);
    Frame();
    InputButtonDown(TMouseButton::Right, 400, 300);
    Frame();
    escape();
    Frame();
    ASSERT_TRUE(Scene->MenuShown);
    escape();
    Frame();
    ASSERT_FALSE(Scene->MenuShown);
    Scene->FlagTimer = 0.0f;  // an order would plant the flag again
    InputButtonUp(TMouseButton::Right, 400, 300);
    Frame();
    EXPECT_LE(Scene->FlagTimer, 0.0f);
}

TEST_F(Battle, RunsManyFramesOfBattle) {
    Build(3);
    // Everyone marches to the middle.
    PressKey('X');
    Scene->MoveOrder({7.5f, 36.5f, 0.0f}, true);
    for (int i = 0; i < 3000 && !Scene->GameOver; ++i) {
        Scene->Draw();
        Frame(0.05);
    }
    int32_t losses = 0;
    for (int p = 0; p < 3; ++p)
        losses += Scene->Battle->Players[size_t(p)]->Losses;
    EXPECT_GT(losses, 0);
    for (TGameUnit* u : Scene->Selection)
        EXPECT_GT(u->Health, 0.0f);
}

// ---------------------------------------------------------------------------
// Sounds

TEST_F(Battle, SoundsPlayOnTheirSources) {
    ASSERT_TRUE(InitSound(Root, "Data/Sounds/"));
    InitSoundStorage(Log, Root, "Data/Sounds/");
    soundtest::WaveSpec wave;
    wave.samples.assign(22050 * 2 * 3, 0x10);  // three seconds
    for (const char* name : {"Finish", "Battle1", "Dead1", "YesSir", "Aga"})
        WriteBytes(Root + "Data/Sounds/" + name + ".wav", soundtest::MakeWave(wave));
    Build();
    EXPECT_GE(Scene->VoiceSound, 0);
    EXPECT_GE(Scene->ArrowSound, 0);

    Scene->SelectUnit(Human().Units[0].get(), false);
    EXPECT_TRUE(IsSourcePlaying(Scene->VoiceSound));  // "Aga"

    TGameUnit* h = Human().AddUnit(UnitTypeWarrior, TMyVector3f{30.5f, 20.5f, 0.0f}, 0.0f);
    Cpu(1).AddUnit(UnitTypeWarrior, TMyVector3f{30.5f, 20.5f, 0.0f}, 0.0f);
    Scene->Melee(0.1);
    EXPECT_TRUE(IsSourcePlaying(Scene->BattleSound));
    h->SetTarget(nullptr);
    h->Health = 0.0f;
    Scene->Melee(0.1);  // the last blow, and a death cry
    EXPECT_TRUE(IsSourcePlaying(Scene->DeathSound));
    Scene->Melee(0.1);  // nobody fights any more: the din stops
    EXPECT_FALSE(IsSourcePlaying(Scene->BattleSound));

    // The end of the battle is heard, also through the frame that announced it.
    for (auto& u : Human().Units)
        u->Health = 0.0f;
    Frame();
    Frame();
    ASSERT_TRUE(Scene->GameOver);
    EXPECT_TRUE(IsSourcePlaying(Scene->BattleSound));

    Scene.reset();
    DoneSoundStorage();
    DoneSound();
}

// ---------------------------------------------------------------------------
// Robustness

// Random mouse and keyboard input for many frames never crashes the battle,
// also on a map smaller than the starting positions.
void Pound(Battle& test, std::unique_ptr<TGameScene>& scene, uint32_t seed) {
    std::mt19937 rng(seed);
    const int keys[] = {VK::Escape, VK::Tab,      VK::Shift, VK::Control, VK::Space, VK::Prior, VK::Next,
                        VK::Add,    VK::Subtract, 'X',       'Z',         'Q',       'A',       'M',
                        '0',        '1',          '2',       '5',         '9'};
    for (int frame = 0; frame < 1500; ++frame) {
        const int x = int(rng() % 1100) - 40, y = int(rng() % 850) - 40;
        switch (rng() % 9) {
        case 0:
            InputButtonDown(TMouseButton::Left, x, y);
            break;
        case 1:
            InputButtonUp(TMouseButton::Left, x, y);
            break;
        case 2:
            InputButtonDown(TMouseButton::Right, x, y);
            break;
        case 3:
            InputButtonUp(TMouseButton::Right, x, y);
            break;
        case 4:
            InputDoubleClick(rng() % 2 ? TMouseButton::Left : TMouseButton::Right, x, y);
            break;
        case 5:
            InputKeyDown(keys[rng() % std::size(keys)]);
            break;
        case 6:
            InputKeyUp(keys[rng() % std::size(keys)]);
            break;
        default:
            InputMouseMove(x, y, InputState.LeftButton, InputState.RightButton);
            break;
        }
        if (frame % 97 == 0)
            scene->MenuToggleRequest = true;
        scene->Draw();
        scene->Update(rng() % 50 == 0 ? 0.0 : 0.04);
        EndInputFrame();
        // Arrows may fell a selected unit after the fallen left the selection;
        // it stays among the living until the next frame's melee step.
        for (TGameUnit* u : scene->Selection) {
            const auto& units = u->Owner->Units;
            ASSERT_TRUE(std::any_of(units.begin(), units.end(), [u](const auto& p) { return p.get() == u; }));
        }
        if (TGameUnit* h = scene->Hover) {
            auto has = [h](const auto& list) {
                return std::any_of(list.begin(), list.end(), [h](const auto& p) { return p.get() == h; });
            };
            ASSERT_TRUE(has(h->Owner->Units) || has(h->Owner->DeadUnits));
        }
    }
    (void)test;
}

TEST_F(Battle, SurvivesRandomInput) {
    Build(5);
    Pound(*this, Scene, 1);
}

TEST_F(Battle, SurvivesATinyMap) {
    TMapFileData data;
    data.Landscape = MakeSection(3, 2);
    std::filesystem::create_directories(Root + "Data/Maps");
    ASSERT_TRUE(SaveMapFile(MapPath, data));
    Scene = std::make_unique<TGameScene>(MapPath);
    EXPECT_EQ(Human().Units.size(), 15u);
    Pound(*this, Scene, 2);
}

// The same with the game's own data (models, so that units can be pointed at),
// when it has been generated into the build folder.
TEST_F(Battle, SurvivesRandomInputWithTheGameData) {
    const std::string data = std::string(MYGAME_BINARY_DIR) + "/";
    if (!FileExistsNoCase(data + "Data/Maps/FirstBlood.map"))
        GTEST_SKIP() << "no game data in " << data;
    FreeResourceSystem();
    AppPath = data;
    InitResourceSystem(Log, data, "Data/Textures/", "Data/Modeles/", "Data/Animates/");
    RandomSeed(9);
    Scene = std::make_unique<TGameScene>(data + "Data/Maps/FirstBlood.map");
    // Some unit can be pointed at once the players have drawn their troops.
    Scene->Draw();
    bool picked = false;
    for (int y = 0; y < 768 && !picked; y += 8)
        for (int x = 0; x < 1024 && !picked; x += 8)
            picked = Scene->PickUnit(float(x), float(y)) != nullptr;
    EXPECT_TRUE(picked);
    Pound(*this, Scene, 3);
}

}  // namespace
