// Units and arrows on a small map built in memory: walking a route, turning,
// holding, targets and attackers, melee and arrow damage, death and removal.
// Run under AddressSanitizer the death tests also prove that nothing keeps a
// pointer to a freed unit or arrow.

#include "units/GameUnits.h"
#include "units/PlayerObject.h"

#include "test_units_support.h"

#include "TestDrawQueue.h"
#include "TestSupport.h"
#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "resources/e_ModelLoader.h"
#include "resources/e_ModelObject.h"
#include "resources/e_ResourceManager.h"
#include "world/LandshaftObject.h"
#include "world/MapObject.h"
#include "world/e_Frustum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <numbers>
#include <vector>

namespace {

// Whether a unit stands in the chain of a tile.
bool InChainOf(TGameMap& map, int32_t col, int32_t row, const TGameUnit* unit) {
    for (TBaseTroopObj* o = map.OccupancyAt(col, row); o; o = o->Next)
        if (o == unit)
            return true;
    return false;
}

size_t ChainLength(TGameMap& map) {
    size_t n = 0;
    for (TBaseTroopObj* head : map.Occupancy)
        for (TBaseTroopObj* o = head; o; o = o->Next)
            ++n;
    return n;
}

class Units : public ::testing::Test {
protected:
    void SetUp() override {
        RandomSeed(7);
        Map = TTestLand(32, 32).Build();
        Human = std::make_unique<TPlayerObject>(SideHuman, "Human", 1, Map.get());
        Cpu = std::make_unique<TPlayerObject>(SideComputer, "CPU1", 0, Map.get());
    }
    void TearDown() override {
        Human.reset();
        Cpu.reset();
    }
    // Runs the owner's update for `seconds` in steps of dt.
    void Run(TPlayerObject& p, float seconds, float dt = 0.05f) {
        for (float t = 0; t < seconds - 1e-4f; t += dt) {
            Time += dt;
            p.Update(dt, Time);
        }
    }

    std::unique_ptr<TGameMap> Map;
    std::unique_ptr<TPlayerObject> Human;
    std::unique_ptr<TPlayerObject> Cpu;
    double Time = 0.0;
};

// ---------------------------------------------------------------------------

TEST_F(Units, StartFromTheirTypeAndGoOnWithoutModels) {
    TGameUnit* b = Human->AddUnit(UnitTypeBowman, {4.5f, 6.5f, 0.0f}, 1.0f);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->TypeName, "Bowman");
    EXPECT_EQ(b->Health, 1500.0f);
    EXPECT_EQ(b->Gauge2, 1000.0f);
    EXPECT_EQ(b->RunSpeed, 2.0f * b->WalkSpeed);
    EXPECT_TRUE(b->IsRanged);
    EXPECT_EQ(b->ReloadTimer, 1.0f);
    EXPECT_EQ(b->PathIndex, -1);
    EXPECT_EQ(b->PendingYaw, -1.0f);
    EXPECT_EQ(b->Group, 0);
    EXPECT_EQ(b->State, TUnitState::Idle);
    EXPECT_GE(b->RingTimer, 0.0f);
    EXPECT_LT(b->RingTimer, RingInterval);
    EXPECT_GE(b->ThinkTimer, 0.0f);
    EXPECT_LT(b->ThinkTimer, ThinkInterval);
    EXPECT_EQ(b->VisionMask.size(), size_t(41 * 41));
    EXPECT_EQ(b->TileCol, 4);
    EXPECT_EQ(b->TileRow, 6);
    EXPECT_TRUE(InChainOf(*Map, 4, 6, b));
    EXPECT_EQ(TGameUnit::FirstOnTile(Map.get(), 4, 6), b);
    EXPECT_EQ(b->NextOnTile(), nullptr);
    EXPECT_EQ(TGameUnit::FirstOnTile(Map.get(), 5, 6), nullptr);
    EXPECT_EQ(TGameUnit::FirstOnTile(Map.get(), 32, 6), nullptr);
    EXPECT_EQ(TGameUnit::FirstOnTile(nullptr, 4, 6), nullptr);
    // No resource system here: the unit has no model, and is neither drawn nor picked.
    EXPECT_EQ(b->Model, nullptr);
    float t;
    EXPECT_FALSE(b->RayHit({6.5f, 5.0f, 4.5f}, {0, -1, 0}, t));

    TGameUnit* w = Human->AddUnit(UnitTypeWarrior, {1, 1, 0}, 0);
    EXPECT_FALSE(w->IsRanged);
    EXPECT_EQ(Human->AddUnit(4, {1, 1, 0}, 0), nullptr);
    EXPECT_EQ(Human->AddUnit(-1, {1, 1, 0}, 0), nullptr);
    EXPECT_EQ(Human->Units.size(), 2u);
}

TEST_F(Units, TilesStayOnTheMap) {
    int32_t c, r;
    TGameUnit::TileOf(Map.get(), {32.0f, 32.0f, 0}, c, r);  // the far edge belongs to the last tile
    EXPECT_EQ(c, 31);
    EXPECT_EQ(r, 31);
    TGameUnit::TileOf(Map.get(), {-3.0f, 1e9f, 0}, c, r);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(r, 31);
    TGameUnit::TileOf(Map.get(), {std::nanf(""), 2.7f, 0}, c, r);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(r, 2);
    // A reinforcement placed off a small map still lands in a chain.
    TGameUnit* u = Human->AddUnit(UnitTypeWarrior, {-5.0f, 100.0f, 0.0f}, 0);
    EXPECT_TRUE(InChainOf(*Map, 0, 31, u));
}

TEST_F(Units, WalkTheirRouteAndStopAtItsEnd) {
    TGameUnit* u = Human->AddUnit(UnitTypeBowman, {2.5f, 3.5f, 0.0f}, 0.0f);
    ASSERT_TRUE(u->SetPath(Map->FindPath({2, 3}, {10, 3}, u->UnitType)));
    ASSERT_EQ(u->Path.size(), 2u);  // a straight run keeps only start and goal
    EXPECT_EQ(u->PathIndex, 0);

    Run(*Human, 1.0f);
    EXPECT_EQ(u->State, TUnitState::Walking);
    EXPECT_NEAR(u->Position.x, 2.5f + 1.5f, 1e-3f);  // walk speed 1.5
    EXPECT_NEAR(u->Position.y, 3.5f, 1e-5f);
    EXPECT_NEAR(u->Yaw, Pi / 2, 1e-5f);  // facing +mx
    EXPECT_TRUE(InChainOf(*Map, 4, 3, u));
    EXPECT_FALSE(InChainOf(*Map, 2, 3, u));

    u->Running = true;
    Run(*Human, 1.0f);
    EXPECT_NEAR(u->Position.x, 4.0f + 3.0f, 1e-3f);
    EXPECT_EQ(u->State, TUnitState::Running);

    Run(*Human, 2.0f);
    EXPECT_EQ(u->PathIndex, -1);
    EXPECT_FLOAT_EQ(u->Position.x, 10.5f);
    EXPECT_FLOAT_EQ(u->Position.y, 3.5f);
    Run(*Human, 0.05f);
    EXPECT_EQ(u->State, TUnitState::Idle);
    EXPECT_FALSE(u->Running);
    EXPECT_TRUE(InChainOf(*Map, 10, 3, u));
    EXPECT_EQ(ChainLength(*Map), 1u);
}

TEST_F(Units, FollowHeightAndCornersOfTheRoute) {
    TTestLand land(16, 16);
    for (int32_t r = 0; r < 12; ++r)
        land.SetType(8, r, 2);  // a wall with a gap at the bottom rows
    land.SetTileHeight(12, 3, 2.0f);
    Map = land.Build();
    Human = std::make_unique<TPlayerObject>(SideHuman, "Human", 1, Map.get());
    TGameUnit* u = Human->AddUnit(UnitTypeWarrior, {3.5f, 3.5f, 0.0f}, 0.0f);
    ASSERT_TRUE(u->SetPath(Map->FindPath({3, 3}, {12, 3}, u->UnitType)));
    EXPECT_GT(u->Path.size(), 2u);  // round the wall
    bool crossedWall = false;
    for (int i = 0; i < 2000 && u->PathIndex >= 0; ++i) {
        Time += 0.05;
        Human->Update(0.05f, Time);
        if (int32_t(u->Position.x) == 8 && int32_t(u->Position.y) < 12)
            crossedWall = true;
        EXPECT_NEAR(u->Position.z, Map->GetHeight(u->Position.x, u->Position.y), 1e-4f);
    }
    EXPECT_FALSE(crossedWall);
    EXPECT_EQ(u->PathIndex, -1);
    EXPECT_FLOAT_EQ(u->Position.x, 12.5f);
    EXPECT_FLOAT_EQ(u->Position.z, 2.0f);
}

TEST_F(Units, RefuseRoutesThatDoNotLeadThere) {
    TTestLand land(12, 12);
    for (int32_t r = 0; r < 12; ++r)
        land.SetType(6, r, 2);  // splits the map in two
    land.SetType(3, 8, 2);
    Map = land.Build();
    Human = std::make_unique<TPlayerObject>(SideHuman, "Human", 1, Map.get());
    TGameUnit* u = Human->AddUnit(UnitTypeWarrior, {2.5f, 2.5f, 0.0f}, 0.0f);

    // Across the wall the finder answers [goal, goal]: walking it would cross the wall.
    const TWay across = Map->FindPath({2, 2}, {9, 2}, u->UnitType);
    ASSERT_EQ(across.size(), 2u);
    EXPECT_FALSE(u->SetPath(across));
    EXPECT_EQ(u->PathIndex, -1);
    EXPECT_TRUE(u->Path.empty());
    EXPECT_FALSE(u->SetPath({}));
    EXPECT_FALSE(u->SetPath({{2, 2}}));
    EXPECT_FALSE(u->SetPath({{5, 5}, {2, 2}}));  // not where the unit stands

    // A blocked goal next to open ground: the unit stops in front of it.
    ASSERT_TRUE(u->SetPath(Map->FindPath({2, 2}, {3, 8}, u->UnitType)));
    EXPECT_NE(u->Path.back(), (TWayPoint{3, 8}));
    Run(*Human, 10.0f);
    EXPECT_EQ(u->PathIndex, -1);
    EXPECT_TRUE(Map->IsPassable(u->TileCol, u->TileRow, u->UnitType));
}

TEST_F(Units, TurnWhenTheyComeToRest) {
    TGameUnit* u = Human->AddUnit(UnitTypeWarrior, {5.5f, 5.5f, 0.0f}, 0.25f);
    u->MoveTo(u->Position);  // no displacement keeps the heading
    EXPECT_EQ(u->Yaw, 0.25f);
    u->MoveTo({5.5f, 4.5f, 0.0f});
    EXPECT_NEAR(u->Yaw, Pi, 1e-5f);  // facing -my

    u->SetPath({{5, 4}, {5, 6}});
    u->PendingYaw = 1.0f;
    Run(*Human, 0.5f);
    EXPECT_NEAR(u->Yaw, 0.0f, 1e-5f);  // walking +my; the facing waits for the stop
    Run(*Human, 2.0f);
    EXPECT_EQ(u->Yaw, 1.0f);
    EXPECT_EQ(u->PendingYaw, -1.0f);
    u->SetYaw(2.0f);
    Run(*Human, 0.1f);
    EXPECT_EQ(u->Yaw, 2.0f);  // turned once only
}

TEST_F(Units, HoldStopsAndKeepsThemInPlace) {
    TGameUnit* u = Human->AddUnit(UnitTypeWarrior, {5.5f, 5.5f, 0.0f}, 0.0f);
    TGameUnit* e = Cpu->AddUnit(UnitTypeWarrior, {8.5f, 5.5f, 0.0f}, 0.0f);
    u->SetTarget(e);
    u->SetPath(Map->FindPath({5, 5}, {12, 5}, u->UnitType));
    u->Running = true;
    u->PendingYaw = 1.0f;
    u->SetHold(true);
    EXPECT_TRUE(u->Hold);
    EXPECT_EQ(u->PathIndex, -1);
    EXPECT_EQ(u->PendingYaw, -1.0f);
    EXPECT_FALSE(u->Running);
    EXPECT_EQ(u->Target, nullptr);
    EXPECT_TRUE(e->Attackers.empty());

    // An engaged unit keeps its opponent when told to hold.
    u->SetHold(false);
    u->SetTarget(e);
    u->Engaged = true;
    u->SetHold(true);
    EXPECT_EQ(u->Target, e);

    // Only a change counts: holding again does not stop a new route.
    u->Engaged = false;
    u->SetPath(Map->FindPath({5, 5}, {12, 5}, u->UnitType));
    u->SetHold(true);
    EXPECT_EQ(u->PathIndex, 0);
    const TMyVector3f before = u->Position;
    Run(*Human, 1.0f);
    EXPECT_EQ(u->Position.x, before.x);  // a holding unit does not walk
    EXPECT_EQ(u->State, TUnitState::Idle);
}

TEST_F(Units, KeepTargetsAndAttackersInStep) {
    TGameUnit* a = Human->AddUnit(UnitTypeWarrior, {5.5f, 5.5f, 0}, 0);
    TGameUnit* b = Cpu->AddUnit(UnitTypeWarrior, {6.5f, 5.5f, 0}, 0);
    TGameUnit* c = Cpu->AddUnit(UnitTypeWarrior, {7.5f, 5.5f, 0}, 0);
    a->SetTarget(a);
    EXPECT_EQ(a->Target, nullptr);
    a->SetTarget(b);
    a->SetTarget(b);
    EXPECT_EQ(b->Attackers, std::vector<TGameUnit*>{a});
    a->Engaged = true;
    a->SetTarget(c);
    EXPECT_TRUE(b->Attackers.empty());
    EXPECT_EQ(c->Attackers, std::vector<TGameUnit*>{a});
    EXPECT_TRUE(a->Engaged);
    a->SetTarget(nullptr);
    EXPECT_FALSE(a->Engaged);
    EXPECT_TRUE(c->Attackers.empty());
}

TEST_F(Units, TakeAndShareMeleeDamage) {
    TGameUnit* u = Human->AddUnit(UnitTypeWarrior, {5.5f, 5.5f, 0}, 0);
    TGameUnit* own = Cpu->AddUnit(UnitTypeWarrior, {6.5f, 5.5f, 0}, 0);
    TGameUnit* other = Cpu->AddUnit(UnitTypeCavalryman, {4.5f, 5.5f, 0}, 0);
    TGameUnit* friendly = Human->AddUnit(UnitTypeWarrior, {5.5f, 6.5f, 0}, 0);

    // Only engaged enemy attackers besides the own target share the blow.
    u->SetTarget(own);
    own->SetTarget(u);
    own->Engaged = true;
    friendly->SetTarget(u);
    friendly->Engaged = true;
    float amount = 50.0f;
    int32_t kills = 7;
    u->DistributeDamage(amount, kills);
    EXPECT_EQ(amount, 50.0f);  // stays for the own target
    EXPECT_EQ(kills, 0);

    other->SetTarget(u);
    u->DistributeDamage(amount, kills);
    EXPECT_EQ(amount, 50.0f);  // not engaged yet
    other->Engaged = true;
    u->DistributeDamage(amount, kills);
    EXPECT_EQ(amount, 0.0f);
    EXPECT_EQ(other->Health, 2500.0f - 50.0f);
    EXPECT_EQ(own->Health, 3000.0f);

    other->Health = 10.0f;
    amount = 30.0f;
    u->DistributeDamage(amount, kills);
    EXPECT_EQ(kills, 1);

    EXPECT_FALSE(u->TakeDamage(2999.0f));
    EXPECT_TRUE(u->TakeDamage(1.0f));   // the blow that killed
    EXPECT_FALSE(u->TakeDamage(1.0f));  // already down
    EXPECT_FALSE(u->TakeDamage(std::nanf("")));
    EXPECT_EQ(u->Health, -1.0f);
}

TEST_F(Units, FightInPlaceWhileEngaged) {
    TGameUnit* u = Human->AddUnit(UnitTypeBowman, {5.5f, 5.5f, 0}, 0);
    TGameUnit* e = Cpu->AddUnit(UnitTypeWarrior, {6.5f, 5.5f, 0}, 0);
    u->SetTarget(e);
    u->Engaged = true;
    u->SetPath(Map->FindPath({5, 5}, {12, 5}, u->UnitType));
    const float reload = u->ReloadTimer;
    EXPECT_FALSE(Human->Update(0.1f, 0.1));
    EXPECT_EQ(u->State, TUnitState::Melee);
    EXPECT_EQ(u->Position.x, 5.5f);
    EXPECT_EQ(u->ReloadTimer, reload);  // no shooting in melee
    EXPECT_EQ(Human->MissileCount(), 0);
}

TEST_F(Units, BowmenStartShootingInsideTheRangeAndKeepOnToItsEdge) {
    TGameUnit* b = Human->AddUnit(UnitTypeBowman, {5.5f, 5.5f, 0}, 0);
    TGameUnit* e = Cpu->AddUnit(UnitTypeWarrior, {5.5f, 20.0f, 0}, 0);  // 14.5 away
    b->SetTarget(e);
    Human->Update(0.01f, 0.01);
    EXPECT_NE(b->State, TUnitState::Shooting);  // 15 x 0.95 = 14.25
    e->MoveTo({5.5f, 19.5f, 0});
    Human->Update(0.01f, 0.02);
    EXPECT_EQ(b->State, TUnitState::Shooting);
    EXPECT_NEAR(b->Yaw, 0.0f, 1e-6f);  // faces the target along +my
    e->MoveTo({5.5f, 20.49f, 0});
    Human->Update(0.01f, 0.03);
    EXPECT_EQ(b->State, TUnitState::Shooting);
    e->MoveTo({5.5f, 20.5f, 0});
    Human->Update(0.01f, 0.04);
    EXPECT_NE(b->State, TUnitState::Shooting);

    // Melee types never shoot.
    TGameUnit* w = Human->AddUnit(UnitTypeWarrior, {5.5f, 8.5f, 0}, 0);
    w->SetTarget(e);
    Human->Update(0.01f, 0.05);
    EXPECT_NE(w->State, TUnitState::Shooting);
}

TEST_F(Units, BowmenShootOncePerReload) {
    TGameUnit* b = Human->AddUnit(UnitTypeBowman, {5.5f, 5.5f, 0}, 0);
    TGameUnit* e = Cpu->AddUnit(UnitTypeWarrior, {5.5f, 15.5f, 0}, 0);
    b->SetTarget(e);
    std::vector<double> shots;
    for (int k = 1; k <= 400; ++k) {
        Time = k * 0.01;
        if (Human->Update(0.01f, Time))
            shots.push_back(Time);
    }
    ASSERT_GE(shots.size(), 3u);
    // Without a personage the phase is the fraction of the reload cycle: shots go
    // at three quarters past each second, once per second.
    EXPECT_NEAR(shots[0], 1.75, 0.02);  // reloaded at 1.0, then waits for the late phase
    for (size_t i = 1; i < shots.size(); ++i)
        EXPECT_NEAR(shots[i] - shots[i - 1], 1.0, 0.03);
    EXPECT_LT(e->Health, 3000.0f);
    EXPECT_EQ(e->Health, 3000.0f - 200.0f * float(shots.size() - (Human->MissileCount())));
}

TEST_F(Units, ArrowsFlyAnArcAndHitOnArrival) {
    TGameUnit* s = Human->AddUnit(UnitTypeBowman, {5.5f, 5.5f, 0}, 0);
    TGameUnit* t = Cpu->AddUnit(UnitTypeWarrior, {17.5f, 5.5f, 0}, 0);
    PMissile m = Human->AddMissile(s, t, 200.0f);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->Pos.z, 1.0f);
    EXPECT_EQ(m->TargetPos.x, 17.5f);
    EXPECT_EQ(m->TargetPos.z, 1.0f);
    EXPECT_EQ(s->Missiles, std::vector<PMissile>{m});
    EXPECT_EQ(t->Missiles, std::vector<PMissile>{m});
    EXPECT_EQ(Human->MissileHead.get(), m);

    // 12 map units at 12 per second: halfway after 0.5 s, at the top of the arc.
    for (int i = 0; i < 10; ++i)
        Human->Update(0.05f, 0.05 * (i + 1));
    EXPECT_NEAR(m->Pos.x, 11.5f, 1e-4f);
    EXPECT_NEAR(m->Pos.z, 1.0f + 0.375f * 12.0f, 1e-3f);
    EXPECT_NEAR(m->Pos.z, TMissile::ArcHeight(m->Start, m->TargetPos, 0.5f), 1e-5f);
    EXPECT_EQ(t->Health, 3000.0f);

    int frames = 0;
    while (Human->MissileCount() > 0 && frames < 100) {
        Human->Update(0.05f, 1.0);
        ++frames;
    }
    EXPECT_LE(frames, 12);
    EXPECT_EQ(t->Health, 2800.0f);
    EXPECT_TRUE(s->Missiles.empty());
    EXPECT_TRUE(t->Missiles.empty());
    EXPECT_EQ(Human->Kills, 0);

    // Nothing is shot by or at a missing or dead unit, nor at oneself.
    EXPECT_EQ(Human->AddMissile(s, nullptr, 1), nullptr);
    EXPECT_EQ(Human->AddMissile(nullptr, t, 1), nullptr);
    EXPECT_EQ(Human->AddMissile(s, s, 1), nullptr);
}

TEST_F(Units, ArrowsFollowAMovingTargetAndKillCounts) {
    TGameUnit* s = Human->AddUnit(UnitTypeBowman, {5.5f, 5.5f, 0}, 0);
    TGameUnit* t = Cpu->AddUnit(UnitTypeCavalryman, {5.5f, 15.5f, 0}, 0);
    t->Health = 150.0f;
    Human->AddMissile(s, t, 200.0f);
    // The target rides round the shooter; the arrow keeps after it and stays on a sane arc.
    for (int i = 0; i < 200 && Human->MissileCount() > 0; ++i) {
        const float a = 0.02f * float(i);
        t->MoveTo({5.5f + 10.0f * std::sin(a), 5.5f + 10.0f * std::cos(a), 0});
        Human->Update(0.05f, 0.05 * i);
        if (Human->MissileCount() > 0) {
            const TMissile& m = *Human->MissileHead;
            EXPECT_TRUE(std::isfinite(m.Pos.z));
            EXPECT_GE(m.Pos.z, 1.0f - 1e-4f);
        }
    }
    EXPECT_EQ(Human->MissileCount(), 0);
    EXPECT_LE(t->Health, 0.0f);
    EXPECT_EQ(Human->Kills, 1);
}

TEST_F(Units, AnArrowWhoseTargetDiesFliesOnAndHitsNothing) {
    TGameUnit* s = Human->AddUnit(UnitTypeBowman, {5.5f, 5.5f, 0}, 0);
    TGameUnit* t = Cpu->AddUnit(UnitTypeWarrior, {5.5f, 15.5f, 0}, 0);
    TGameUnit* near = Cpu->AddUnit(UnitTypeWarrior, {5.5f, 15.5f, 0}, 0);
    PMissile m = Human->AddMissile(s, t, 200.0f);
    Human->Update(0.1f, 0.1);
    const TMyVector3f aim = m->TargetPos;
    t->Health = 0.0f;
    EXPECT_TRUE(Cpu->RemoveDead(0.1));
    EXPECT_EQ(m->Target, nullptr);
    EXPECT_EQ(m->Shooter, s);
    t->MoveTo({9.5f, 9.5f, 0});  // the body is not followed
    TMyVector3f last{};
    for (int i = 0; i < 40 && Human->MissileCount() > 0; ++i) {
        last = Human->MissileHead->Pos;
        Human->Update(0.05f, 0.1 + 0.05 * i);
    }
    EXPECT_EQ(Human->MissileCount(), 0);
    EXPECT_EQ(last.x, aim.x);
    EXPECT_EQ(last.y, aim.y);
    EXPECT_EQ(near->Health, 3000.0f);
    EXPECT_EQ(t->Health, 0.0f);
    EXPECT_EQ(Human->Kills, 0);
}

TEST_F(Units, WadingUnitsInViewLeaveRings) {
    TTestLand land(20, 8);
    for (int32_t c = 0; c < 20; ++c)
        land.SetType(c, 3, 3);
    Map = land.Build();
    Human = std::make_unique<TPlayerObject>(SideHuman, "Human", 1, Map.get());
    TGameUnit* u = Human->AddUnit(UnitTypeBowman, {1.5f, 3.5f, 0}, 0);
    TGameUnit* hidden = Human->AddUnit(UnitTypeBowman, {1.5f, 3.5f, 0}, 0);
    u->SetPath(Map->FindPath({1, 3}, {15, 3}, u->UnitType));
    hidden->SetPath(Map->FindPath({1, 3}, {15, 3}, u->UnitType));
    u->RingTimer = 0.0f;
    u->Visible = true;
    hidden->Visible = false;
    for (int i = 0; i < 30; ++i)  // 1.5 s
        Human->Update(0.05f, 0.05 * (i + 1));
    // One ring at once, then one every 0.3 s: 0, 0.3, 0.6, 0.9, 1.2, (1.5).
    EXPECT_GE(Map->Rings.size(), 5u);
    EXPECT_LE(Map->Rings.size(), 6u);
    for (const TWaterRing& r : Map->Rings)
        EXPECT_NEAR(r.x, 3.5f, 1e-5f);  // world x is my
}

// ---------------------------------------------------------------------------
// Death and removal: no pointer to a dead or freed unit survives.

TEST_F(Units, DeathReleasesEveryReference) {
    TGameUnit* victim = Cpu->AddUnit(UnitTypeWarrior, {10.5f, 10.5f, 0}, 0);
    TGameUnit* fighter = Human->AddUnit(UnitTypeWarrior, {11.5f, 10.5f, 0}, 0);
    TGameUnit* archer = Human->AddUnit(UnitTypeBowman, {10.5f, 4.5f, 0}, 0);
    TGameUnit* ally = Cpu->AddUnit(UnitTypeWarrior, {10.5f, 11.5f, 0}, 0);
    Cpu->AssignToGroup(3, victim);
    fighter->SetTarget(victim);
    fighter->Engaged = true;
    fighter->SetPath(Map->FindPath({11, 10}, {15, 10}, fighter->UnitType));
    victim->SetTarget(fighter);
    victim->Engaged = true;
    PMissile in = Human->AddMissile(archer, victim, 200);
    PMissile out = Cpu->AddMissile(victim, archer, 200);

    EXPECT_FALSE(Cpu->RemoveDead(1.0));
    victim->TakeDamage(5000.0f);
    EXPECT_TRUE(Cpu->RemoveDead(1.0));

    EXPECT_EQ(fighter->Target, nullptr);
    EXPECT_FALSE(fighter->Engaged);
    EXPECT_EQ(fighter->PathIndex, -1);
    EXPECT_EQ(in->Target, nullptr);
    EXPECT_EQ(out->Shooter, nullptr);
    EXPECT_EQ(out->Target, archer);
    EXPECT_TRUE(fighter->Attackers.empty());
    EXPECT_TRUE(victim->Attackers.empty());
    EXPECT_TRUE(victim->Missiles.empty());
    EXPECT_EQ(victim->Target, nullptr);
    EXPECT_EQ(victim->State, TUnitState::Dead);
    EXPECT_EQ(victim->DeathTime, 1.0f);
    EXPECT_EQ(victim->Group, -1);
    EXPECT_FALSE(InChainOf(*Map, 10, 10, victim));
    EXPECT_TRUE(InChainOf(*Map, 10, 11, ally));
    for (const auto& g : Cpu->Groups)
        EXPECT_EQ(std::count(g.begin(), g.end(), victim), 0);
    EXPECT_EQ(Cpu->Units.size(), 1u);
    ASSERT_EQ(Cpu->DeadUnits.size(), 1u);
    EXPECT_EQ(Cpu->Losses, 1);
    EXPECT_FALSE(Cpu->Defeated);

    // A body can be neither targeted nor shot at, nor regrouped.
    fighter->SetTarget(victim);
    EXPECT_EQ(fighter->Target, nullptr);
    EXPECT_EQ(Human->AddMissile(archer, victim, 1), nullptr);
    Cpu->AssignToGroup(2, victim);
    EXPECT_TRUE(Cpu->Groups[2].empty());

    // The body stays for two seconds of game time, then goes.
    Cpu->Update(0.1f, 2.9);
    EXPECT_EQ(Cpu->DeadUnits.size(), 1u);
    Cpu->Update(0.1f, 3.0);
    EXPECT_EQ(Cpu->DeadUnits.size(), 1u);
    Cpu->Update(0.1f, 3.01);
    EXPECT_TRUE(Cpu->DeadUnits.empty());

    // Everything that pointed at it goes on working.
    for (int i = 0; i < 60; ++i) {
        Human->Update(0.05f, 3.0 + 0.05 * i);
        Cpu->Update(0.05f, 3.0 + 0.05 * i);
    }
    EXPECT_EQ(Human->MissileCount(), 0);
    EXPECT_EQ(Cpu->MissileCount(), 0);
    EXPECT_EQ(archer->Health, 1500.0f - 200.0f);  // the dead shooter's arrow still landed

    ally->Health = -1.0f;
    Cpu->RemoveDead(5.0);
    EXPECT_TRUE(Cpu->Defeated);
}

TEST_F(Units, PlayersCanGoInAnyOrderWhileTheirUnitsFight) {
    for (int order = 0; order < 2; ++order) {
        Human.reset();
        Cpu.reset();
        SetUp();
        TGameUnit* a = Human->AddUnit(UnitTypeBowman, {5.5f, 5.5f, 0}, 0);
        TGameUnit* b = Cpu->AddUnit(UnitTypeBowman, {5.5f, 12.5f, 0}, 0);
        TGameUnit* c = Cpu->AddUnit(UnitTypeWarrior, {6.5f, 5.5f, 0}, 0);
        a->SetTarget(b);
        b->SetTarget(a);
        c->SetTarget(a);
        c->Engaged = true;
        a->SetTarget(c);
        a->Engaged = true;
        Human->AddMissile(a, b, 10);
        Cpu->AddMissile(b, a, 10);
        Cpu->AddMissile(b, c, 10);  // arrows at allies cannot happen, but must not hurt either
        Human->AssignToGroup(4, a);
        if (order == 0) {
            Human.reset();
            EXPECT_EQ(b->Target, nullptr);
            EXPECT_EQ(c->Target, nullptr);
            EXPECT_FALSE(c->Engaged);
            EXPECT_EQ(Cpu->MissileHead->Next->Target, nullptr);
            for (int i = 0; i < 40; ++i)
                Cpu->Update(0.05f, 0.05 * i);
            EXPECT_EQ(Cpu->MissileCount(), 0);
            Cpu.reset();
        } else {
            Cpu.reset();
            EXPECT_EQ(a->Target, nullptr);
            EXPECT_EQ(Human->MissileHead->Target, nullptr);
            for (int i = 0; i < 40; ++i)
                Human->Update(0.05f, 0.05 * i);
            Human.reset();
        }
        EXPECT_EQ(ChainLength(*Map), 0u);
    }
}

TEST_F(Units, ManyArrowsAreFreedWithoutRecursion) {
    TGameUnit* a = Human->AddUnit(UnitTypeBowman, {5.5f, 5.5f, 0}, 0);
    TGameUnit* b = Cpu->AddUnit(UnitTypeBowman, {5.5f, 12.5f, 0}, 0);
    for (int i = 0; i < 100000; ++i)
        Human->AddMissile(a, b, 1);
    EXPECT_EQ(Human->MissileCount(), 100000);
    Human.reset();
    EXPECT_TRUE(b->Missiles.empty());
}

TEST_F(Units, StrangeFrameTimesChangeNothing) {
    TGameUnit* u = Human->AddUnit(UnitTypeBowman, {5.5f, 5.5f, 0}, 0);
    TGameUnit* e = Cpu->AddUnit(UnitTypeWarrior, {5.5f, 15.5f, 0}, 0);
    u->SetTarget(e);
    Human->AddMissile(u, e, 10);
    const float reload = u->ReloadTimer, think = u->ThinkTimer;
    for (float dt : {std::nanf(""), -1.0f, PlusInfinity, MinusInfinity}) {
        Human->Update(dt, 1.0);
        Human->Think(dt);
    }
    EXPECT_EQ(u->ReloadTimer, reload);
    EXPECT_EQ(u->ThinkTimer, think);
    EXPECT_EQ(Human->MissileHead->Pos.y, 5.5f);
}

// ---------------------------------------------------------------------------
// With models: a static box stands in for every model.

class UnitsWithModels : public Units {
protected:
    void SetUp() override {
        SetMessageBoxesEnabled(false);
        SavedAppPath = AppPath;
        AppPath = Dir.path() + "/";
        StartLog();
        std::filesystem::create_directories(Dir.path() + "/Data/Modeles");
        TModelStreamData box;
        TStoredRenderMesh mesh;
        mesh.Name = "box";
        mesh.BoxMin = {-0.5f, 0.0f, -0.5f};
        mesh.BoxMax = {0.5f, 2.0f, 0.5f};
        for (const TMyVector3f& p : {mesh.BoxMin, mesh.BoxMax, TMyVector3f{0.5f, 0.0f, -0.5f}}) {
            const float v[14] = {p.x, p.y, p.z, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 0};
            mesh.Vertices.insert(mesh.Vertices.end(), v, v + 14);
        }
        mesh.Triangles = {{0, 1, 2}};
        box.RendData.Meshes.push_back(mesh);
        for (const char* name : {"BaseUnit", "Pica"})
            WriteBytes(Dir.path() + "/Data/Modeles/" + name + ".PRM", WriteModelStream(box));
        InitResourceSystem([](const std::string&) {}, Dir.path() + "/", "Data/Textures/", "Data/Modeles/",
                           "Data/Animates/");
        Units::SetUp();
        Queue = std::make_unique<TTestDrawQueue>();
    }
    void TearDown() override {
        Queue.reset();
        Units::TearDown();
        FreeResourceSystem();
        AppPath = SavedAppPath;
    }

    TempDir Dir;
    std::string SavedAppPath;
    std::unique_ptr<TTestDrawQueue> Queue;
    std::vector<TGameModel*>& Queued() { return Queue->Models; }
};

// Sees everything / nothing.
TFrustum FrustumOf(float w) {
    TFrustum f;
    for (auto& p : f.Planes)
        p = {0, 0, 0, w};
    return f;
}

TEST_F(UnitsWithModels, ModelsStandWhereTheUnitsStand) {
    TGameUnit* u = Human->AddUnit(UnitTypeDebug, {4.5f, 6.5f, 0.0f}, Pi / 2);
    ASSERT_NE(u->Model, nullptr);
    EXPECT_EQ(u->Personage(), nullptr);
    // World (my, h, mx); the yaw turns the model about the vertical.
    EXPECT_NEAR(u->Model->ModelMatrix[12], 6.5f, 1e-6f);
    EXPECT_NEAR(u->Model->ModelMatrix[13], 0.0f, 1e-6f);
    EXPECT_NEAR(u->Model->ModelMatrix[14], 4.5f, 1e-6f);
    float t = 0;
    EXPECT_TRUE(u->RayHit({6.5f, 10.0f, 4.5f}, {0, -1, 0}, t));
    EXPECT_NEAR(t, 8.0f, 1e-4f);  // the top of the 2-unit box
    EXPECT_FALSE(u->RayHit({8.5f, 10.0f, 4.5f}, {0, -1, 0}, t));
    u->MoveTo({5.5f, 8.5f, 0.0f});
    EXPECT_TRUE(u->RayHit({8.5f, 10.0f, 5.5f}, {0, -1, 0}, t));

    TGameUnit* e = Cpu->AddUnit(UnitTypeDebug, {4.5f, 12.5f, 0.0f}, 0);
    PMissile m = Human->AddMissile(u, e, 1);
    ASSERT_NE(m->Model, nullptr);
    EXPECT_NEAR(m->Model->ModelMatrix[13], 1.0f, 1e-6f);
}

TEST_F(UnitsWithModels, OnlySeenUnitsInViewAreDrawn) {
    TGameUnit* own = Human->AddUnit(UnitTypeDebug, {4.5f, 4.5f, 0}, 0);
    TGameUnit* nearEnemy = Cpu->AddUnit(UnitTypeDebug, {4.5f, 10.5f, 0}, 0);
    TGameUnit* farEnemy = Cpu->AddUnit(UnitTypeDebug, {30.5f, 30.5f, 0}, 0);  // 26 x 26 away: beyond 30 tiles
    Human->AddMissile(own, farEnemy, 1);
    Human->AddMissile(own, nearEnemy, 1);

    const TFrustum all = FrustumOf(1.0f), none = FrustumOf(-1.0f);
    Human->UpdateVisibility(all, Human->Fog);
    Cpu->UpdateVisibility(all, Human->Fog);
    EXPECT_TRUE(own->Visible);
    EXPECT_TRUE(nearEnemy->Visible);
    EXPECT_FALSE(farEnemy->Visible);
    EXPECT_TRUE(Queued().empty());  // looking queues nothing
    Human->Draw();
    Cpu->Draw();
    EXPECT_EQ(Queued().size(), 2u + 2u);  // two units, two arrows on a seen tile

    Queued().clear();
    Human->UpdateVisibility(none, Human->Fog);
    Cpu->UpdateVisibility(all, TFogGrid{});  // a grid of the wrong size sees nothing
    EXPECT_FALSE(own->Visible);
    EXPECT_FALSE(nearEnemy->Visible);
    Human->Draw();
    Cpu->Draw();
    EXPECT_TRUE(Queued().empty());

    // Drawing queues what was found visible and does not look again: the view
    // of the frame's update is the one drawn.
    Human->UpdateVisibility(all, Human->Fog);
    Cpu->UpdateVisibility(all, Human->Fog);
    nearEnemy->Visible = false;
    Cpu->Draw();
    EXPECT_TRUE(Queued().empty());
    Human->Draw();
    EXPECT_EQ(Queued().size(), 1u + 2u);  // its own unit and both arrows, still at the bow
    Queued().clear();

    // The fallen are drawn for as long as they are kept.
    nearEnemy->Health = 0;
    Cpu->RemoveDead(1.0);
    Cpu->UpdateVisibility(all, Human->Fog);
    Cpu->Draw();
    EXPECT_EQ(Queued().size(), 1u);
    EXPECT_FALSE(nearEnemy->Model->ShowOutline);
}

}  // namespace
