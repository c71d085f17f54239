// Players on a small map built in memory: counters, groups, fog of war, the
// targeting step of both sides and the computer side's reinforcements.

#include "units/GameUnits.h"
#include "units/PlayerObject.h"

#include "test_units_support.h"

#include "app/e_Platform.h"
#include "world/LandshaftObject.h"
#include "world/MapObject.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace {

class Players : public ::testing::Test {
protected:
    void SetUp() override {
        RandomSeed(11);
        Use(TTestLand(64, 64));
    }
    void TearDown() override { Drop(); }
    void Drop() {
        Human.reset();
        Cpu1.reset();
        Cpu2.reset();
        Map.reset();
    }
    void Use(const TTestLand& land) {
        Drop();
        Map = land.Build();
        Human = std::make_unique<TPlayerObject>(SideHuman, "Human", 1, Map.get());
        Cpu1 = std::make_unique<TPlayerObject>(SideComputer, "CPU1", 0, Map.get());
        Cpu2 = std::make_unique<TPlayerObject>(SideComputer, "CPU2", 2, Map.get());
    }
    // Moves a unit along a route in one long step, so that its tile chain and
    // vision follow.
    void WalkTo(TGameUnit& u, int32_t col, int32_t row) {
        ASSERT_TRUE(u.SetPath(Map->FindPath({u.TileCol, u.TileRow}, {col, row}, u.UnitType)));
        u.Owner->Update(1000.0f, 0.0);
        ASSERT_EQ(u.TileCol, col);
        ASSERT_EQ(u.TileRow, row);
    }
    int64_t FogSum(const TPlayerObject& p) const {
        int64_t sum = 0;
        for (int32_t v : p.Fog) {
            EXPECT_GE(v, 0);
            sum += v;
        }
        return sum;
    }

    std::unique_ptr<TGameMap> Map;
    std::unique_ptr<TPlayerObject> Human, Cpu1, Cpu2;
};

// Tiles within a radius of R tiles (dx^2 + dy^2 < R^2).
int64_t DiscTiles(int32_t r) {
    int64_t n = 0;
    for (int32_t dy = -r; dy <= r; ++dy)
        for (int32_t dx = -r; dx <= r; ++dx)
            if (dx * dx + dy * dy < r * r)
                ++n;
    return n;
}

// ---------------------------------------------------------------------------
// Counters, iteration, groups

TEST_F(Players, StartEmptyAndCountPoints) {
    EXPECT_EQ(Human->Fog.size(), size_t(64 * 64));
    EXPECT_EQ(FogSum(*Human), 0);
    EXPECT_FALSE(Human->Defeated);
    EXPECT_EQ(Human->FirstUnit(), nullptr);
    EXPECT_EQ(Cpu2->Colour().z, 1.0f);
    TPlayerObject odd(SideHuman, "Odd", 9, Map.get());
    EXPECT_EQ(odd.Colour().x, 1.0f);
    EXPECT_EQ(odd.Colour().y, 1.0f);

    Human->Kills = 2;
    Human->Losses = 3;
    Human->Update(0.1f, 0.1);
    EXPECT_EQ(Human->Points, -100);
}

TEST_F(Players, IterateTheirUnits) {
    TGameUnit* a = Human->AddUnit(UnitTypeBowman, {5.5f, 5.5f, 0}, 0);
    TGameUnit* b =
        Human->AddUnit(UnitTypeWarrior, 1.0f, TMyVector3f{6.5f, 5.5f, 0});  // the other argument order
    EXPECT_EQ(b->Yaw, 1.0f);
    EXPECT_EQ(Human->FirstUnit(), a);
    EXPECT_EQ(Human->CurrentUnit(), a);
    EXPECT_EQ(Human->NextUnit(), b);
    EXPECT_EQ(Human->NextUnit(), nullptr);
    EXPECT_EQ(Human->NextUnit(), nullptr);
    EXPECT_EQ(Human->CurrentUnit(), nullptr);
    Human->UnitCursor = -4;
    EXPECT_EQ(Human->CurrentUnit(), nullptr);
}

TEST_F(Players, KeepEveryUnitInExactlyOneGroup) {
    std::vector<TGameUnit*> u;
    for (int i = 0; i < 5; ++i)
        u.push_back(Human->AddUnit(UnitTypeWarrior, {5.5f + i, 5.5f, 0}, 0));
    EXPECT_EQ(Human->Groups[0], u);

    Human->AssignToGroup(3, u[1]);
    Human->AssignToGroup(3, u[3]);
    Human->AssignToGroup(3, u[3]);  // already there
    EXPECT_EQ(Human->Groups[3], (std::vector<TGameUnit*>{u[1], u[3]}));
    EXPECT_EQ(u[3]->Group, 3);
    // Removal swaps the last entry into the gap.
    EXPECT_EQ(Human->Groups[0], (std::vector<TGameUnit*>{u[0], u[4], u[2]}));

    Human->AssignToGroup(5, u[1]);
    EXPECT_EQ(Human->Groups[3], std::vector<TGameUnit*>{u[3]});
    EXPECT_EQ(Human->Groups[5], std::vector<TGameUnit*>{u[1]});

    TGameUnit* foreign = Cpu1->AddUnit(UnitTypeWarrior, {9.5f, 9.5f, 0}, 0);
    Human->AssignToGroup(5, foreign);
    Human->AssignToGroup(10, u[0]);
    Human->AssignToGroup(-1, u[0]);
    Human->AssignToGroup(5, nullptr);
    EXPECT_EQ(Human->Groups[5].size(), 1u);
    EXPECT_EQ(foreign->Group, 0);

    Human->DissolveGroup(0);
    Human->DissolveGroup(10);
    Human->DissolveGroup(-3);
    EXPECT_EQ(Human->Groups[0].size(), 3u);
    Human->DissolveGroup(3);
    EXPECT_TRUE(Human->Groups[3].empty());
    EXPECT_EQ(u[3]->Group, 0);
    EXPECT_EQ(Human->Groups[0].size(), 4u);

    size_t total = 0;
    for (const auto& g : Human->Groups)
        total += g.size();
    EXPECT_EQ(total, 5u);

    u[1]->Health = 0;
    Human->RemoveDead(1.0);
    EXPECT_TRUE(Human->Groups[5].empty());
}

// ---------------------------------------------------------------------------
// Fog of war

TEST_F(Players, SeeADiscAroundEachUnit) {
    TGameUnit* u = Human->AddUnit(UnitTypeBowman, {30.5f, 30.5f, 0}, 0);
    EXPECT_EQ(FogSum(*Human), DiscTiles(20));
    EXPECT_TRUE(Human->Sees(30 + 19, 30));
    EXPECT_FALSE(Human->Sees(30 + 20, 30));
    EXPECT_TRUE(Human->Sees(30 + 14, 30 + 14));   // 392 < 400
    EXPECT_FALSE(Human->Sees(30 + 12, 30 + 16));  // exactly 400
    EXPECT_FALSE(Human->Sees(-1, 30));
    EXPECT_FALSE(Human->Sees(64, 30));
    const std::vector<bool> visible = Human->FogVisibility();
    ASSERT_EQ(visible.size(), Human->Fog.size());
    EXPECT_EQ(std::count(visible.begin(), visible.end(), true), DiscTiles(20));

    // Two units seeing the same tile count twice; moving keeps the total right.
    TGameUnit* v = Human->AddUnit(UnitTypeWarrior, {31.5f, 30.5f, 0}, 0);
    EXPECT_EQ(Human->FogAt(31, 30), 2);
    WalkTo(*u, 40, 30);
    EXPECT_EQ(FogSum(*Human), 2 * DiscTiles(20));  // 40 + 19 is still on the map
    WalkTo(*u, 60, 30);
    EXPECT_LT(FogSum(*Human), 2 * DiscTiles(20));  // the map edge cuts the far side
    EXPECT_TRUE(Human->Sees(63, 30));
    EXPECT_FALSE(Human->Sees(10, 30));

    // Deaths take their view away; nothing else sees for a player without units.
    u->Health = 0;
    v->Health = 0;
    EXPECT_TRUE(Human->RemoveDead(3.0));
    EXPECT_EQ(FogSum(*Human), 0);
    EXPECT_TRUE(Human->Defeated);
    EXPECT_EQ(Human->Losses, 2);
}

TEST_F(Players, SeeNothingFromTheCornerTileUntilTheyMove) {
    TGameUnit* u = Human->AddUnit(UnitTypeWarrior, {0.5f, 0.5f, 0}, 0);
    EXPECT_EQ(FogSum(*Human), 0);
    WalkTo(*u, 2, 0);
    EXPECT_GT(FogSum(*Human), 0);
    EXPECT_TRUE(Human->Sees(0, 0));
    WalkTo(*u, 0, 0);  // back in the corner, now seeing from there
    EXPECT_TRUE(Human->Sees(0, 0));
    EXPECT_TRUE(Human->Sees(19, 0));
}

TEST_F(Players, SeeOverLowGroundButNotPastHighGround) {
    TTestLand land(48, 48);
    for (int32_t r = 0; r < 48; ++r)
        land.SetHeight(20, r, 3.0f);  // a ridge along column 20
    land.SetHeight(26, 20, 4.5f);     // higher than 3 + 1 + a little
    land.SetHeight(20, 26, 3.9f);     // along the ridge, not above the eye
    land.SetHeight(14, 20, 3.5f);     // lower side: a mound the eye still clears
    Use(land);
    Human->AddUnit(UnitTypeWarrior, {20.5f, 20.5f, 3.0f}, 0);

    EXPECT_TRUE(Human->Sees(25, 20));
    EXPECT_FALSE(Human->Sees(26, 20));  // the high tile itself
    EXPECT_FALSE(Human->Sees(27, 20));  // and what lies behind it
    EXPECT_FALSE(Human->Sees(38, 20));
    EXPECT_TRUE(Human->Sees(27, 24));  // not behind it
    EXPECT_TRUE(Human->Sees(20, 26));
    EXPECT_TRUE(Human->Sees(20, 38));
    EXPECT_TRUE(Human->Sees(14, 20));
    EXPECT_TRUE(Human->Sees(5, 20));  // over lower ground

    // A unit down in the plain does not see up onto the ridge.
    Use(land);
    Human->AddUnit(UnitTypeWarrior, {10.5f, 30.5f, 0.0f}, 0);
    EXPECT_TRUE(Human->Sees(19, 30));
    EXPECT_FALSE(Human->Sees(20, 30));
    EXPECT_FALSE(Human->Sees(22, 30));
    EXPECT_FALSE(Human->Sees(14, 20));  // the mound
    EXPECT_FALSE(Human->Sees(16, 15));  // and behind it
}

// ---------------------------------------------------------------------------
// Targeting

TEST_F(Players, HumanUnitsPickTheNearestEnemyInReach) {
    TGameUnit* bow = Human->AddUnit(UnitTypeBowman, {10.5f, 10.5f, 0}, 0);
    TGameUnit* far = Cpu1->AddUnit(UnitTypeWarrior, {10.5f, 27.5f, 0}, 0);  // 17 away
    Human->Think(1.0f);
    EXPECT_EQ(bow->Target, far);   // within the sight radius of 20
    EXPECT_EQ(bow->PathIndex, 0);  // and goes for it
    EXPECT_EQ(bow->Path.back(), (TWayPoint{10, 27}));

    // Holding: a bowman only within its range of 15, a warrior never.
    bow->SetTarget(nullptr);
    bow->SetHold(true);
    Human->Think(1.0f);
    EXPECT_EQ(bow->Target, nullptr);
    TGameUnit* near = Cpu1->AddUnit(UnitTypeWarrior, {10.5f, 24.5f, 0}, 0);  // 14 away
    Human->Think(1.0f);
    EXPECT_EQ(bow->Target, near);
    EXPECT_EQ(bow->PathIndex, -1);  // holding: stays

    TGameUnit* guard = Human->AddUnit(UnitTypeWarrior, {11.5f, 23.5f, 0}, 0);
    guard->SetHold(true);
    Human->Think(1.0f);
    EXPECT_EQ(guard->Target, nullptr);

    // A holding bowman lets go once the target is out of range.
    near->MoveTo({10.5f, 25.5f, 0});  // exactly 15
    Human->Think(1.0f);
    EXPECT_EQ(bow->Target, nullptr);

    // A walking unit picks nothing by itself; a decision waits for its timer.
    TGameUnit* walker = Human->AddUnit(UnitTypeWarrior, {12.5f, 12.5f, 0}, 0);
    walker->SetPath(Map->FindPath({12, 12}, {12, 14}, walker->UnitType));
    Human->Think(1.0f);
    EXPECT_EQ(walker->Target, nullptr);
    walker->StopMoving();
    walker->ThinkTimer = 0.3f;
    Human->Think(0.2f);
    EXPECT_EQ(walker->Target, nullptr);
    Human->Think(0.2f);
    EXPECT_NE(walker->Target, nullptr);
    EXPECT_NEAR(walker->ThinkTimer, ThinkInterval, 1e-6f);
}

TEST_F(Players, TargetsOnBlockedTilesAreNotPicked) {
    TTestLand land(32, 32);
    land.SetType(10, 14, 3);  // water: warriors cannot go there
    Use(land);
    TGameUnit* w = Human->AddUnit(UnitTypeWarrior, {10.5f, 10.5f, 0}, 0);
    TGameUnit* wader = Cpu1->AddUnit(UnitTypeBowman, {10.5f, 14.5f, 0}, 0);
    TGameUnit* other = Cpu1->AddUnit(UnitTypeBowman, {10.5f, 18.5f, 0}, 0);
    Human->Think(1.0f);
    EXPECT_EQ(w->Target, other);
    TGameUnit* b = Human->AddUnit(UnitTypeBowman, {10.5f, 10.5f, 0}, 0);
    Human->Think(1.0f);
    EXPECT_EQ(b->Target, wader);
}

TEST_F(Players, DropATargetThatWalksOutOfSight) {
    TGameUnit* w = Human->AddUnit(UnitTypeWarrior, {10.5f, 10.5f, 0}, 0);
    TGameUnit* e = Cpu1->AddUnit(UnitTypeCavalryman, {10.5f, 15.5f, 0}, 0);
    w->ThinkTimer = 0.0f;
    Human->Think(0.01f);
    ASSERT_EQ(w->Target, e);
    WalkTo(*e, 10, 45);  // 35 tiles away
    EXPECT_FALSE(Human->Sees(10, 45));
    for (int i = 0; i < 10; ++i)
        Human->Think(0.05f);  // within half a second
    EXPECT_EQ(w->Target, nullptr);
    EXPECT_TRUE(e->Attackers.empty());
}

TEST_F(Players, ComputerUnitsAttackWhatTheySee) {
    TGameUnit* c = Cpu1->AddUnit(UnitTypeWarrior, {20.5f, 20.5f, 0}, 0);
    Cpu1->AddUnit(UnitTypeWarrior, {40.5f, 40.5f, 0}, 0);
    for (int i = 0; i < 6; ++i)
        Cpu1->AddUnit(UnitTypeWarrior, {50.5f, 50.5f, 0}, 0);  // enough to stay below reinforcements
    TGameUnit* near = Human->AddUnit(UnitTypeBowman, {25.5f, 20.5f, 0}, 0);
    TGameUnit* nearer = Human->AddUnit(UnitTypeBowman, {20.5f, 24.5f, 0}, 0);
    TGameUnit* ally = Cpu2->AddUnit(UnitTypeBowman, {20.5f, 21.5f, 0}, 0);
    Cpu1->Think(1.0f);
    EXPECT_EQ(c->Target, nearer);
    EXPECT_EQ(ally->Target, nullptr);  // not Cpu1's
    Cpu2->Think(1.0f);
    EXPECT_NE(ally->Target, nullptr);
    EXPECT_NE(ally->Target->Owner, Cpu1.get());  // allies never fight
    (void)near;

    // At the next decision the unit goes for its target.
    Cpu1->Think(1.0f);
    EXPECT_EQ(c->PathIndex, 0);
    EXPECT_EQ(c->Path.back(), (TWayPoint{20, 24}));
}

TEST_F(Players, ComputerUnitsGoWhereArrowsComeFromOrWander) {
    for (int i = 0; i < 8; ++i)
        Cpu1->AddUnit(UnitTypeWarrior, {50.5f, 50.5f, 0}, 0);
    TGameUnit* c = Cpu1->AddUnit(UnitTypeCavalryman, {10.5f, 10.5f, 0}, 0);
    TGameUnit* archer = Human->AddUnit(UnitTypeBowman, {10.5f, 40.5f, 0}, 0);  // unseen
    Cpu1->Think(1.0f);
    EXPECT_EQ(c->Target, nullptr);
    archer->State = TUnitState::Shooting;
    c->StopMoving();
    Cpu1->Think(1.0f);
    EXPECT_EQ(c->Target, nullptr);
    ASSERT_EQ(c->PathIndex, 0);
    EXPECT_EQ(c->Path.back(), (TWayPoint{10, 40}));

    // Without anything to go for, a standing unit now and then walks off somewhere.
    archer->State = TUnitState::Idle;
    int wandered = 0;
    for (int i = 0; i < 200; ++i) {
        c->StopMoving();
        Cpu1->Think(1.0f);
        if (c->PathIndex == 0) {
            ++wandered;
            EXPECT_TRUE(Map->IsPassable(c->Path.back().x, c->Path.back().y, c->UnitType));
        }
    }
    EXPECT_GT(wandered, 5);
    EXPECT_LT(wandered, 50);
}

// ---------------------------------------------------------------------------
// Reinforcements

TEST_F(Players, ComputerPlayersAreReinforcedBelowEightUnits) {
    for (int i = 0; i < 3; ++i)
        Cpu1->AddUnit(UnitTypeWarrior, {30.5f, 30.5f, 0}, 0);
    Cpu1->Think(0.0f);
    ASSERT_EQ(Cpu1->Units.size(), 8u);
    for (size_t i = 3; i < 8; ++i) {
        const TGameUnit& u = *Cpu1->Units[i];
        EXPECT_GE(u.UnitType, 1);
        EXPECT_LE(u.UnitType, 3);
        EXPECT_EQ(u.Position.x, 7.0f);
        EXPECT_EQ(u.Position.y, 10.0f);
        EXPECT_FLOAT_EQ(u.Yaw, std::numbers::pi_v<float>);
        EXPECT_EQ(u.Group, 0);
        EXPECT_EQ(u.TileCol, 7);
        EXPECT_EQ(u.TileRow, 10);
    }
    Cpu1->Think(0.0f);
    EXPECT_EQ(Cpu1->Units.size(), 8u);

    Cpu2->Think(0.0f);
    ASSERT_EQ(Cpu2->Units.size(), 5u);
    EXPECT_EQ(Cpu2->Units[0]->Position.y, 64.0f - 8.0f);
    EXPECT_FLOAT_EQ(Cpu2->Units[0]->Yaw, 2.0f * std::numbers::pi_v<float> / 3.0f);
    Cpu2->Think(0.0f);
    EXPECT_EQ(Cpu2->Units.size(), 10u);

    Human->Think(0.0f);
    EXPECT_TRUE(Human->Units.empty());

    // A map smaller than the landing place still takes them.
    Use(TTestLand(4, 4));
    Cpu2->Think(0.0f);
    EXPECT_EQ(Cpu2->Units.size(), 5u);
    EXPECT_EQ(Cpu2->Units[0]->TileCol, 3);
    EXPECT_EQ(Cpu2->Units[0]->TileRow, 0);
}

// ---------------------------------------------------------------------------
// A whole battle: three players, every step of a frame, many frames. Checks the
// bookkeeping that must hold whatever happens.

TEST_F(Players, ABattleKeepsItsBookkeeping) {
    for (int i = 0; i < 15; ++i)
        Human->AddUnit(1 + i % 3, {40.5f + float(i % 5), 40.5f + float(i / 5), 0}, 0);
    for (int i = 0; i < 10; ++i) {
        Cpu1->AddUnit(1 + i % 3, {7.0f, 10.0f, 0}, 0);
        Cpu2->AddUnit(1 + i % 3, {7.0f, 56.0f, 0}, 0);
    }
    TPlayerObject* players[3] = {Human.get(), Cpu1.get(), Cpu2.get()};
    double time = 0;
    int shots = 0, deaths = 0;
    for (int frame = 0; frame < 3000; ++frame) {
        const float dt = 1.0f / 30.0f;
        time += dt;
        // Melee as the battle scene runs it, simplified to one tile.
        for (TPlayerObject* p : players)
            for (auto& u : p->Units)
                if (!u->Engaged)
                    for (TBaseTroopObj* o = Map->OccupancyAt(u->TileCol, u->TileRow); o; o = o->Next) {
                        auto* v = dynamic_cast<TGameUnit*>(o);
                        if (v && u->IsEnemyOf(*v)) {
                            u->Engaged = true;
                            u->SetTarget(v);
                            break;
                        }
                    }
        for (TPlayerObject* p : players)
            for (auto& u : p->Units)
                if (u->Engaged && u->Target) {
                    float amount = UnitFeatures[u->UnitType].MeleeDamage * dt;
                    int32_t kills = 0;
                    u->DistributeDamage(amount, kills);
                    p->Kills += kills;
                    if (u->Target->TakeDamage(amount))
                        ++p->Kills;
                }
        for (TPlayerObject* p : players)
            if (p->RemoveDead(time))
                ++deaths;
        for (TPlayerObject* p : players)
            p->Think(dt);
        for (TPlayerObject* p : players)
            if (p->Update(dt, time))
                ++shots;
        if (frame % 100 == 0 && Human->Units.empty())
            Human->AddUnit(UnitTypeCavalryman, {40.5f, 40.5f, 0}, 0);
    }
    EXPECT_GT(shots, 0);

    size_t chained = 0;
    for (TBaseTroopObj* head : Map->Occupancy)
        for (TBaseTroopObj* o = head; o; o = o->Next)
            ++chained;
    size_t living = 0;
    for (TPlayerObject* p : players) {
        living += p->Units.size();
        size_t grouped = 0;
        for (const auto& g : p->Groups)
            grouped += g.size();
        EXPECT_EQ(grouped, p->Units.size());
        // The fog is exactly the sum of the living units' masks.
        TFogGrid fog(p->Fog.size(), 0);
        for (auto& u : p->Units) {
            EXPECT_TRUE(u->InChain);
            const int32_t r = u->SightRadius, n = 2 * r + 1;
            for (int32_t i = 0; i < n; ++i)
                for (int32_t j = 0; j < n; ++j)
                    if (u->VisionMask[size_t(i * n + j)])
                        ++fog[size_t((u->VisionRow + i - r) * Map->MapCols + u->VisionCol + j - r)];
            if (u->Target) {
                EXPECT_EQ(std::count(u->Target->Attackers.begin(), u->Target->Attackers.end(), u.get()), 1);
                EXPECT_FALSE(u->Target->IsDead());
            }
            for (TGameUnit* a : u->Attackers)
                EXPECT_EQ(a->Target, u.get());
        }
        EXPECT_EQ(fog, p->Fog);
        EXPECT_EQ(p->Points, 100 * p->Kills - 100 * p->Losses);
    }
    EXPECT_EQ(chained, living);
    EXPECT_GT(deaths, 0);
}

// The search through buckets of tiles must give what reading the whole list
// gives: the nearest by Vec3Length, the earliest in the list on an exact tie,
// never a unit on a tile the asker may not enter, and units standing off the map
// or far from the asker found as well.
TEST_F(Players, FindTheNearestOfACrowdAsTheWholeListWould) {
    TTestLand land(64, 64);
    for (int32_t row = 20; row < 30; ++row)
        for (int32_t col = 5; col < 60; ++col)
            land.SetType(col, row, 3);  // water: no warrior goes there
    for (int32_t col = 0; col < 64; ++col)
        land.SetHeight(col, 40, 3.0f);
    Use(land);
    auto reference = [&](const std::vector<TGameUnit*>& list, const TGameUnit& u, float& distance) {
        TGameUnit* best = nullptr;
        distance = PlusInfinity;
        for (TGameUnit* other : list) {
            if (!Map->IsPassable(other->TileCol, other->TileRow, u.UnitType))
                continue;
            const float d = Vec3Length(other->Position - u.Position);
            if (d < distance) {
                distance = d;
                best = other;
            }
        }
        return best;
    };
    std::mt19937 rng(5);
    auto uniform = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    std::vector<TGameUnit*> crowd;
    for (int32_t i = 0; i < 300; ++i) {
        // Tile centres make exact ties; some stand off the map or nowhere at all.
        const bool centre = i % 3 != 0;
        float x = centre ? float(16 + rng() % 32) + 0.5f : uniform(0.0f, 64.0f);
        float y = centre ? float(16 + rng() % 32) + 0.5f : uniform(0.0f, 64.0f);
        TGameUnit* u = Cpu1->AddUnit(1 + i % 3, {x, y, Map->GetHeight(x, y)}, 0.0f);
        if (i % 37 == 5)
            u->MoveTo({-4.0f - float(i % 5), y, 0.0f});
        if (i % 53 == 7)
            u->MoveTo({x, 70.0f, 1.0f});
        if (i == 100)
            u->MoveTo({std::nanf(""), y, 0.0f});
        crowd.push_back(u);
    }
    TPlayerObject::TNearIndex index;
    auto check = [&](const std::vector<TGameUnit*>& list, size_t askers) {
        index.Build(list, *Map);
        for (size_t i = 0; i < askers; ++i) {
            const bool centre = i % 2 == 0;
            const float x = centre ? float(16 + rng() % 32) + 0.5f : uniform(-8.0f, 72.0f);
            const float y = centre ? float(16 + rng() % 32) + 0.5f : uniform(-8.0f, 72.0f);
            TGameUnit* asker = Human->AddUnit(1 + int32_t(i % 3), {x, y, 0.0f}, 0.0f);
            asker->MoveTo({x, y, Map->GetHeight(x, y)});
            float want, got;
            TGameUnit* expected = reference(list, *asker, want);
            ASSERT_EQ(index.Nearest(*asker, got), expected) << "asker " << i << " at " << x << ", " << y;
            if (expected)
                EXPECT_EQ(got, want);
            else
                EXPECT_EQ(got, PlusInfinity);
            // Within a limit: the same unit whenever it is closer than the limit.
            TGameUnit* limited = index.Nearest(*asker, got, 6.0f);
            if (want < 6.0f)
                EXPECT_EQ(limited, expected) << "asker " << i;
            else
                EXPECT_TRUE(!limited || got >= 6.0f) << "asker " << i;
        }
    };
    check(crowd, 400);
    // Few and far apart: a corner of the map against the other.
    std::vector<TGameUnit*> corner;
    for (TGameUnit* u : crowd)
        if (u->Position.x > 56.0f && u->Position.y > 50.0f)
            corner.push_back(u);
    while (corner.size() < 70)
        corner.push_back(
            Cpu1->AddUnit(UnitTypeBowman, {63.5f, 63.5f - float(corner.size() % 4), 0.0f}, 0.0f));
    check(corner, 100);
    // Shuffled: ties go by the list's order, not by where the units stand.
    std::shuffle(crowd.begin(), crowd.end(), rng);
    check(crowd, 400);
    check({}, 5);
}

}  // namespace
