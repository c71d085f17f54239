#include "units/Battle.h"

#include "app/e_Platform.h"
#include "units/BattleChecksum.h"
#include "units/GameUnits.h"
#include "world/BattleLayout.h"
#include "world/MapObject.h"

#include <algorithm>
#include <cmath>

namespace {

bool Finite(const TBattleCommand& c) {
    return std::isfinite(c.X) && std::isfinite(c.Y) && std::isfinite(c.Z) && std::isfinite(c.Facing);
}

}  // namespace

TBattle::TBattle(TGameMap& map) : Map(map) {}

TBattle::~TBattle() {
    OrderGroup_.clear();
    ControlledPlayer = nullptr;
    for (auto& p : Players)
        p.reset();
}

// ---------------------------------------------------------------------------
// The opening

void TBattle::Deploy() {
    PlayerCount = 3;
    Players[0] = std::make_unique<TPlayerObject>(SideHuman, "Human", 1, &Map);
    TPlayerObject& human = *Players[0];
    const TMyVector3f s = BattleLayout::HumanBase(Map.MapCols);
    auto at = [&](float dx, float dy) { return TMyVector3f{s.x + dx, s.y + dy, s.z}; };
    human.AddUnit(UnitTypeBowman, at(0, -3), Radians(60));
    human.AddUnit(UnitTypeBowman, at(-3, 0), Radians(0));
    human.AddUnit(UnitTypeBowman, at(0, 0), Radians(120));
    human.AddUnit(UnitTypeBowman, at(3, 3), Radians(120));
    human.AddUnit(UnitTypeBowman, at(3, 0), Radians(90));
    const float offsets[5][2] = {{5, 3}, {3, 5}, {5, 5}, {7, 5}, {3, 7}};
    for (const auto& o : offsets) {
        const float yaw = Radians(float(RandomInt(360)));
        human.AddUnit(UnitTypeWarrior, at(-o[0], -o[1]), yaw);
    }
    for (const auto& o : offsets) {
        const float yaw = Radians(float(RandomInt(360)));
        human.AddUnit(UnitTypeCavalryman, at(o[0], o[1]), yaw);
    }
    Players[1] = std::make_unique<TPlayerObject>(SideComputer, "CPU1", 0, &Map);
    for (int i = 0; i < 10; ++i)
        Players[1]->AddUnit(RandomInt(3) + 1, BattleLayout::Cpu1Camp(), BattleLayout::Cpu1Yaw);
    Players[2] = std::make_unique<TPlayerObject>(SideComputer, "CPU2", 2, &Map);
    for (int i = 0; i < 10; ++i)
        Players[2]->AddUnit(RandomInt(3) + 1, BattleLayout::Cpu2Camp(Map.MapRows), BattleLayout::Cpu2Yaw);
    ControlledPlayer = Players[0].get();
}

// ---------------------------------------------------------------------------
// The frame

void TBattle::BeginFrame(double dt) {
    Time += dt;
    Map.Update(Time);
}

void TBattle::Engage() {
    static constexpr int32_t Around[9][2] = {{0, 0}, {-1, -1}, {0, -1}, {1, -1}, {-1, 0},
                                             {1, 0}, {-1, 1},  {0, 1},  {1, 1}};
    // Which sides stand on each tile, so that a unit looks into a neighbouring
    // tile's chain only when an enemy may stand there. The chains are walked
    // exactly as below, so the first enemy found is the same one.
    constexpr uint8_t OtherSide = 4;  // an owner whose side is neither 0 nor 1
    auto sideBit = [](const TPlayerObject* owner) -> uint8_t {
        if (!owner)
            return 0;
        return owner->Side == 0 ? 1 : owner->Side == 1 ? 2 : OtherSide;
    };
    auto hostileTo = [](uint8_t own) -> uint8_t { return own == OtherSide ? uint8_t(7) : uint8_t(7 & ~own); };
    const int32_t cols = Map.MapCols, rows = Map.MapRows;
    const bool grid = cols > 0 && rows > 0 && Map.Occupancy.size() == size_t(cols) * size_t(rows);
    TileSides.assign(grid ? Map.Occupancy.size() : 0, 0);
    // Every unit in a tile chain is a living unit of one of the players (they
    // enter the chains only through AddUnit and leave them when they fall), so
    // the players' lists give the same marks as walking the chains, without
    // chasing a pointer per unit.
    if (grid)
        for (int32_t i = 0; i < PlayerCount; ++i) {
            const TPlayerObject& p = *Players[size_t(i)];
            const uint8_t bit = sideBit(&p);
            for (const auto& u : p.Units)
                if (u->InChain && Map.OnMap(u->TileCol, u->TileRow))
                    TileSides[size_t(u->TileRow) * size_t(cols) + size_t(u->TileCol)] |= bit;
        }

    for (int32_t row = 1; row <= rows - 2; ++row)
        for (int32_t col = 1; col <= cols - 2; ++col) {
            if (!grid)
                continue;
            const uint8_t* here = &TileSides[size_t(row) * size_t(cols) + size_t(col)];
            const uint8_t sides = *here;
            if (!sides)
                continue;
            // A tile with no enemy of any side on it in the 3 x 3 round it has
            // nothing to engage.
            uint8_t around = 0;
            for (const auto& d : Around)
                around = uint8_t(around | here[ptrdiff_t(d[1]) * cols + d[0]]);
            bool contact = false;
            for (const uint8_t b : {uint8_t(1), uint8_t(2), OtherSide})
                if ((sides & b) && (around & hostileTo(b)))
                    contact = true;
            if (!contact)
                continue;
            for (TGameUnit* u = TGameUnit::FirstOnTile(&Map, col, row); u; u = u->NextOnTile()) {
                if (u->Engaged || !u->Owner)
                    continue;
                const uint8_t own = sideBit(u->Owner);
                const uint8_t hostile = hostileTo(own);
                TGameUnit* enemy = nullptr;
                for (const auto& d : Around) {
                    const size_t tile = size_t(row + d[1]) * size_t(cols) + size_t(col + d[0]);
                    if (!(TileSides[tile] & hostile))
                        continue;
                    for (TGameUnit* v = TGameUnit::AsUnit(Map.Occupancy[tile]); v; v = v->NextOnTile())
                        if (v != u && u->IsEnemyOf(*v)) {
                            enemy = v;
                            break;
                        }
                    if (enemy)
                        break;
                }
                if (!enemy)
                    continue;
                u->Engaged = true;
                u->SetTarget(enemy);
                const float a = ArcTan2(enemy->Position.x - u->Position.x, enemy->Position.y - u->Position.y);
                u->SetYaw(a);
                if (!enemy->Engaged) {
                    enemy->Engaged = true;
                    enemy->SetTarget(u);
                    enemy->SetYaw(a + Pi);
                }
            }
        }
}

TMeleeEvents TBattle::Melee(double dt) {
    TMeleeEvents events;
    Engage();
    for (int32_t i = 0; i < PlayerCount; ++i) {
        TPlayerObject& p = *Players[size_t(i)];
        for (auto& unit : p.Units) {
            TGameUnit& u = *unit;
            if (!u.Engaged || !u.Target)
                continue;
            const float amount = u.Features().MeleeDamage * float(dt);
            float half = amount * 0.5f;
            const float rest = amount - half;
            int32_t kills = 0;
            u.DistributeDamage(half, kills);
            p.Kills += kills;
            if (u.Target->TakeDamage(half + rest))
                p.Kills += 1;
            events.Fighting = true;
        }
    }
    std::erase_if(OrderGroup_, [](const TGameUnit* u) { return u->Health <= 0.0f; });
    for (int32_t i = 0; i < PlayerCount; ++i)
        events.Fell = Players[size_t(i)]->RemoveDead(Time) || events.Fell;
    return events;
}

bool TBattle::RunPlayers(double dt) {
    for (int32_t i = 0; i < PlayerCount; ++i)
        Players[size_t(i)]->Think(float(dt));
    bool shot = false;
    for (int32_t i = 0; i < PlayerCount; ++i)
        shot = Players[size_t(i)]->Update(float(dt), Time) || shot;
    return shot;
}

void TBattle::UpdateVisibility(const TFrustum& frustum, const TFogGrid& viewerFog) {
    for (int32_t i = 0; i < PlayerCount; ++i)
        Players[size_t(i)]->UpdateVisibility(frustum, viewerFog);
}

void TBattle::Draw() const {
    for (int32_t i = 0; i < PlayerCount; ++i)
        Players[size_t(i)]->Draw();
}

// ---------------------------------------------------------------------------
// Commands

TCommandResult TBattle::Execute(const TBattleCommand& c) {
    if (Recorder)
        Recorder(c);
    TCommandResult result;
    // Orders are the controlled player's; the computer players decide for
    // their units themselves.
    if (!ControlledPlayer || c.Player != SlotOf(ControlledPlayer) || !Finite(c))
        return result;
    switch (c.Type) {
    case TCommandType::ClearOrderGroup:
        OrderGroup_.clear();
        break;
    case TCommandType::AddToOrderGroup:
        if (TGameUnit* u = FindUnit(c.UnitPlayer, c.Unit);
            u && u->Owner == ControlledPlayer &&
            std::find(OrderGroup_.begin(), OrderGroup_.end(), u) == OrderGroup_.end())
            OrderGroup_.push_back(u);
        break;
    case TCommandType::Move:
        return Move(c);
    case TCommandType::Attack:
        return Attack(c);
    case TCommandType::ToggleHold: {
        const bool anyHolding =
            std::any_of(OrderGroup_.begin(), OrderGroup_.end(), [](const TGameUnit* u) { return u->Hold; });
        for (TGameUnit* u : OrderGroup_) {
            if (anyHolding)
                u->SetHold(false);
            else if (!u->Engaged)
                u->SetHold(true);
        }
        result.Ordered = !OrderGroup_.empty();
        break;
    }
    case TCommandType::AssignGroup:
        if (c.Group < 0 || c.Group >= GroupCount)
            break;
        ControlledPlayer->DissolveGroup(c.Group);
        for (TGameUnit* u : OrderGroup_)
            ControlledPlayer->AssignToGroup(c.Group, u);
        break;
    }
    return result;
}

std::vector<TMyVector3f> TBattle::FormationSlots(const TMyVector3f& point, float facing,
                                                 const std::vector<TGameUnit*>& units) const {
    const size_t n = units.size();
    std::vector<TMyVector3f> slots(n, point);
    if (n == 0)
        return slots;
    const float cx = std::trunc(point.x) + 0.5f, cy = std::trunc(point.y) + 0.5f;
    for (size_t i = 1; i < n; ++i) {
        const float a = 2.0f * Pi * float(i) / float(n) - facing;
        slots[i] = TMyVector3f{cx + 0.4f * std::cos(a), cy + 0.4f * std::sin(a), point.z};
    }
    auto mayStand = [&](const TMyVector3f& p, const TGameUnit* u) {
        int32_t col, row;
        TileOfPoint(p, col, row);
        return Map.IsPassable(col, row, u->UnitType);
    };
    for (int pass = 0; pass < 5; ++pass)
        for (size_t k = 0; k < n; ++k)
            for (size_t l = k + 1; l < n; ++l) {
                TMyVector2f d{slots[k].x - slots[l].x, slots[k].y - slots[l].y};
                if (!(std::fabs(d.x) < 2.0f && std::fabs(d.y) < 2.0f))
                    continue;
                const float len2 = d.x * d.x + d.y * d.y;
                if (!(len2 < 4.0f))
                    continue;
                const float len = std::sqrt(len2);
                // Two slots on one spot part along the x axis.
                const TMyVector2f dir = len > 0.0f ? d * (1.0f / len) : TMyVector2f{1.0f, 0.0f};
                const float push = (2.0f - len) * 0.5f;
                const TMyVector3f movedK{slots[k].x + push * dir.x, slots[k].y + push * dir.y, slots[k].z};
                const TMyVector3f movedL{slots[l].x - push * dir.x, slots[l].y - push * dir.y, slots[l].z};
                if (mayStand(movedK, units[k]))
                    slots[k] = movedK;
                if (mayStand(movedL, units[l]))
                    slots[l] = movedL;
            }
    return slots;
}

TCommandResult TBattle::Move(const TBattleCommand& c) {
    TCommandResult result;
    if (OrderGroup_.empty())
        return result;
    const bool flat = c.Flags & CommandFlat;
    TMyVector3f point{c.X, c.Y, c.Z};
    float facing = c.Facing;
    if (flat) {
        point.z = Map.GetHeight(point.x, point.y);
        facing = 0.0f;
    }

    int32_t col, row;
    TileOfPoint(point, col, row);
    std::vector<TGameUnit*> units;
    for (TGameUnit* u : OrderGroup_) {
        if (Map.IsPassable(col, row, u->UnitType))
            units.push_back(u);
        else
            result.Refused = true;
    }
    const std::vector<TMyVector3f> slots = FormationSlots(point, facing, units);

    const bool dragged = c.Flags & CommandDragged;
    const bool running = c.Flags & CommandRun;
    for (size_t i = 0; i < units.size(); ++i) {
        TGameUnit* u = units[i];
        if (u->Engaged)
            continue;
        u->SetTarget(nullptr);
        int32_t slotCol, slotRow;
        TileOfPoint(slots[i], slotCol, slotRow);
        if (u->TileCol != slotCol || u->TileRow != slotRow)
            u->SetPath(Map.FindPath({u->TileCol, u->TileRow}, {slotCol, slotRow}, u->UnitType));
        else
            // Already there: whatever route it was on is over.
            u->StopMoving();
        if (!flat && dragged)
            u->PendingYaw = facing < 0.0f ? facing + 2.0f * Pi : facing;
        u->Running = running;
        u->SetHold(false);
        result.Ordered = true;
    }
    return result;
}

TCommandResult TBattle::Attack(const TBattleCommand& c) {
    TCommandResult result;
    TGameUnit* enemy = FindUnit(c.UnitPlayer, c.Unit);
    if (!enemy || OrderGroup_.empty() || !enemy->Owner || !enemy->Owner->IsEnemy(*ControlledPlayer))
        return result;
    const int32_t col = int32_t(std::lround(enemy->Position.x));
    const int32_t row = int32_t(std::lround(enemy->Position.y));
    const bool running = c.Flags & CommandRun;
    for (TGameUnit* u : OrderGroup_) {
        if (u->Engaged || !Map.IsPassable(col, row, u->UnitType))
            continue;
        u->SetTarget(enemy);
        u->Running = running;
        u->SetHold(false);
        result.Ordered = true;
    }
    return result;
}

// ---------------------------------------------------------------------------
// State

TGameUnit* TBattle::FindUnit(int32_t player, int32_t serial) const {
    if (player < 0 || player >= PlayerCount || !Players[size_t(player)])
        return nullptr;
    // Units keep the order they were made in, so serials ascend.
    const auto& units = Players[size_t(player)]->Units;
    auto it = std::lower_bound(units.begin(), units.end(), serial,
                               [](const std::unique_ptr<TGameUnit>& u, int32_t s) { return u->Serial < s; });
    return it != units.end() && (*it)->Serial == serial ? it->get() : nullptr;
}

int32_t TBattle::SlotOf(const TPlayerObject* player) const {
    for (int32_t i = 0; i < PlayerCount; ++i)
        if (Players[size_t(i)].get() == player)
            return i;
    return -1;
}

uint64_t TBattle::Checksum() const {
    std::vector<const TPlayerObject*> players;
    for (int32_t i = 0; i < PlayerCount; ++i)
        players.push_back(Players[size_t(i)].get());
    return BattleChecksum(players, RandomGetSeed(), Time);
}
