#include "units/PlayerObject.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <map>
#include <mutex>
#include <numbers>

#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "resources/e_ModelObject.h"
#include "world/LandshaftObject.h"
#include "world/BattleLayout.h"
#include "world/MapObject.h"
#include "world/e_Frustum.h"

namespace {

// A frame length that cannot poison timers and positions.
float SaneDt(float dt) { return std::isfinite(dt) && dt > 0.0f ? dt : 0.0f; }

// ---------------------------------------------------------------------------
// Sight lines: from the centre of a vision mask to each of its border cells, as
// mask indices without the centre. The same for every unit of one sight radius,
// so they are made once per radius and kept.

// A line of integer points from one cell to another, both ends included, one
// point per step along the longer axis.
using TPointsMas = std::vector<TWayPoint>;

TPointsMas BresenhamLine(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    TPointsMas line;
    const int32_t dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int32_t dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int32_t err = dx + dy;
    for (;;) {
        line.push_back({x0, y0});
        if (x0 == x1 && y0 == y1)
            break;
        const int32_t e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
    return line;
}

using TSightLines = std::vector<std::vector<int32_t>>;

const TSightLines& SightLines(int32_t radius) {
    static std::mutex lock;
    static std::map<int32_t, std::unique_ptr<TSightLines>> cache;
    std::lock_guard guard(lock);
    auto& slot = cache[radius];
    if (!slot) {
        slot = std::make_unique<TSightLines>();
        const int32_t n = 2 * radius + 1;
        const int32_t last = 2 * radius;
        auto add = [&](int32_t x, int32_t y) {
            const TPointsMas points = BresenhamLine(radius, radius, x, y);
            std::vector<int32_t> line;
            for (size_t k = 1; k < points.size(); ++k)
                line.push_back(points[k].y * n + points[k].x);
            slot->push_back(std::move(line));
        };
        if (radius > 0) {
            for (int32_t i = 0; i <= last; ++i) {
                add(i, 0);
                add(i, last);
            }
            for (int32_t i = 1; i < last; ++i) {
                add(0, i);
                add(last, i);
            }
        }
    }
    return *slot;
}

}  // namespace

// ---------------------------------------------------------------------------
// Creation and destruction

TPlayerObject::TPlayerObject(int32_t side, std::string name, int32_t colourIndex, TGameMap* map)
    : PlayerName(std::move(name)), Side(side), ColourIndex(colourIndex), Map(map) {
    if (Map && Map->MapCols > 0 && Map->MapRows > 0)
        Fog.assign(size_t(Map->MapCols) * size_t(Map->MapRows), 0);
}

TPlayerObject::~TPlayerObject() {
    FreeMissiles();
    for (auto& group : Groups)
        group.clear();
    // Each unit's destructor lets go of what other players' units and arrows hold.
    Units.clear();
    DeadUnits.clear();
}

void TPlayerObject::FreeMissiles() {
    // One by one, so that a long list does not free itself recursively.
    while (MissileHead) {
        std::unique_ptr<TMissile> next = std::move(MissileHead->Next);
        MissileHead = std::move(next);
    }
}

TMyVector3f TPlayerObject::Colour() const {
    if (ColourIndex >= 0 && ColourIndex < PlayerColourCount)
        return PlayerColours[ColourIndex];
    return {1.0f, 1.0f, 1.0f};
}

// ---------------------------------------------------------------------------
// Units

TGameUnit* TPlayerObject::AddUnit(int32_t unitType, const TMyVector3f& position, float yaw) {
    if (!IsValidUnitType(unitType)) {
        try {
            Log("Player \"" + PlayerName + "\": no unit of type " + std::to_string(unitType) + " exists.");
        } catch (...) {
        }
        return nullptr;
    }
    Units.push_back(std::make_unique<TGameUnit>(this, position, yaw, unitType, ColourIndex));
    TGameUnit& unit = *Units.back();
    unit.Serial = UnitsMade++;
    if (TGamePersonage* p = unit.Personage())
        p->Color = Colour();
    // As for a move from tile (0, 0): a unit made there sees nothing until it moves.
    MoveVision(unit, unit.TileCol, unit.TileRow);
    Groups[0].push_back(&unit);
    unit.Group = 0;
    unit.EnterTileChain(unit.TileCol, unit.TileRow);
    return &unit;
}

TGameUnit* TPlayerObject::AddUnit(int32_t unitType, float yaw, const TMyVector3f& position) {
    return AddUnit(unitType, position, yaw);
}

TGameUnit* TPlayerObject::FirstUnit() {
    UnitCursor = 0;
    return CurrentUnit();
}

TGameUnit* TPlayerObject::NextUnit() {
    if (UnitCursor < int32_t(Units.size()))
        ++UnitCursor;
    return CurrentUnit();
}

TGameUnit* TPlayerObject::CurrentUnit() const {
    if (UnitCursor < 0 || UnitCursor >= int32_t(Units.size()))
        return nullptr;
    return Units[size_t(UnitCursor)].get();
}

// ---------------------------------------------------------------------------
// Groups

void TPlayerObject::RemoveFromGroups(TGameUnit& unit) {
    for (auto& group : Groups)
        for (size_t i = 0; i < group.size(); ++i)
            if (group[i] == &unit) {
                group[i] = group.back();
                group.pop_back();
                break;
            }
}

void TPlayerObject::AssignToGroup(int32_t group, TGameUnit* unit) {
    if (!unit || unit->Owner != this || unit->IsDead() || group < 0 || group >= GroupCount)
        return;
    auto& target = Groups[size_t(group)];
    if (std::find(target.begin(), target.end(), unit) != target.end())
        return;
    RemoveFromGroups(*unit);
    target.push_back(unit);
    unit->Group = group;
}

void TPlayerObject::DissolveGroup(int32_t group) {
    if (group < 1 || group >= GroupCount)
        return;
    for (TGameUnit* unit : Groups[size_t(group)]) {
        Groups[0].push_back(unit);
        unit->Group = 0;
    }
    Groups[size_t(group)].clear();
}

// ---------------------------------------------------------------------------
// Missiles

PMissile TPlayerObject::AddMissile(TGameUnit* shooter, TGameUnit* target, float damage) {
    if (!shooter || !target || shooter == target || shooter->IsDead() || target->IsDead())
        return nullptr;
    auto missile = std::make_unique<TMissile>(shooter, target, damage);
    PMissile m = missile.get();
    shooter->Missiles.push_back(m);
    target->Missiles.push_back(m);
    missile->Next = std::move(MissileHead);
    if (missile->Next)
        missile->Next->Prev = m;
    MissileHead = std::move(missile);
    return m;
}

void TPlayerObject::RemoveMissile(TMissile* missile) {
    std::unique_ptr<TMissile>& link = missile->Prev ? missile->Prev->Next : MissileHead;
    assert(link.get() == missile);
    std::unique_ptr<TMissile> doomed = std::move(link);
    link = std::move(doomed->Next);
    if (link)
        link->Prev = doomed->Prev;
    // doomed leaves its units' lists as it goes.
}

int32_t TPlayerObject::MissileCount() const {
    int32_t n = 0;
    for (const TMissile* m = MissileHead.get(); m; m = m->Next.get())
        ++n;
    return n;
}

// ---------------------------------------------------------------------------
// Fog of war

bool TPlayerObject::FogIndex(int32_t col, int32_t row, size_t& index) const {
    if (!Map || col < 0 || row < 0 || col >= Map->MapCols || row >= Map->MapRows)
        return false;
    index = size_t(row) * size_t(Map->MapCols) + size_t(col);
    return index < Fog.size();
}

int32_t TPlayerObject::FogAt(int32_t col, int32_t row) const {
    size_t i;
    return FogIndex(col, row, i) ? Fog[i] : 0;
}

bool TPlayerObject::Sees(int32_t col, int32_t row) const { return FogAt(col, row) > 0; }

std::vector<bool> TPlayerObject::FogVisibility() const {
    std::vector<bool> visible(Fog.size());
    for (size_t i = 0; i < Fog.size(); ++i)
        visible[i] = Fog[i] != 0;
    return visible;
}

bool TPlayerObject::SeesTileOf(const TGameUnit& unit) const { return Sees(unit.TileCol, unit.TileRow); }

void TPlayerObject::RemoveVision(TGameUnit& unit) {
    const int32_t r = unit.SightRadius, n = 2 * r + 1;
    for (int32_t i = 0; i < n; ++i)
        for (int32_t j = 0; j < n; ++j) {
            uint8_t& seen = unit.VisionMask[size_t(i) * size_t(n) + size_t(j)];
            if (!seen)
                continue;
            seen = 0;
            size_t f;
            if (FogIndex(unit.VisionCol + j - r, unit.VisionRow + i - r, f)) {
                assert(Fog[f] > 0);
                if (Fog[f] > 0)
                    --Fog[f];
            }
        }
}

void TPlayerObject::MoveVision(TGameUnit& unit, int32_t col, int32_t row) {
    if (col == unit.VisionCol && row == unit.VisionRow)
        return;
    RemoveVision(unit);
    unit.VisionCol = col;
    unit.VisionRow = row;
    if (!Map || Fog.empty())
        return;

    const int32_t r = unit.SightRadius, n = 2 * r + 1;
    const float eye = unit.Position.z + 1.0f;
    const int32_t cols = Map->MapCols, rows = Map->MapRows;
    // The mask is settled first and the fog counts follow it once: a tile the
    // sight lines take back out then costs nothing in the fog.
    uint8_t* mask = unit.VisionMask.data();
    // Tile heights straight from the landscape's vertices (each tile's centre
    // vertex) where it covers the map, as GetTileHeight reads them.
    const TLandshaftObject* land = Map->Landshaft.get();
    const bool direct = land && land->TileCols == cols && land->TileRows == rows &&
                        land->VertCols >= 2 * cols + 1 && land->VertRows >= 2 * rows + 1 &&
                        land->Verts.size() >= size_t(land->VertCols) * size_t(land->VertRows);
    auto tileHeight = [&](int32_t tileCol, int32_t tileRow) {
        return direct
                   ? land->Verts[size_t(2 * tileRow + 1) * size_t(land->VertCols) + size_t(2 * tileCol + 1)]
                         .Position.y
                   : Map->GetTileHeight(tileCol, tileRow);
    };
    const int32_t i0 = std::max(0, r - row), i1 = std::min(n, rows - row + r);
    const int32_t j0 = std::max(0, r - col), j1 = std::min(n, cols - col + r);
    for (int32_t i = i0; i < i1; ++i) {
        const int32_t dy = i - r;
        for (int32_t j = j0; j < j1; ++j) {
            const int32_t dx = j - r;
            const size_t f = size_t(row + dy) * size_t(cols) + size_t(col + dx);
            if (dx * dx + dy * dy >= r * r || f >= Fog.size())
                continue;
            if (tileHeight(col + dx, row + dy) > eye)
                continue;
            mask[size_t(i) * size_t(n) + size_t(j)] = 1;
        }
    }

    // Anything behind a tile the unit cannot see (one that rises above its eye) is
    // hidden too. A tile one line hides blocks the lines after it as well.
    for (const std::vector<int32_t>& line : SightLines(r)) {
        bool blocked = false;
        for (const int32_t k : line) {
            uint8_t& seen = mask[size_t(k)];
            if (!seen)
                blocked = true;
            else if (blocked)
                seen = 0;
        }
    }

    for (int32_t i = i0; i < i1; ++i) {
        const uint8_t* line = mask + size_t(i) * size_t(n);
        const size_t first = size_t(row + i - r) * size_t(cols) + size_t(col + j0 - r);
        for (int32_t j = j0; j < j1; ++j)
            if (line[j])
                ++Fog[first + size_t(j - j0)];
    }
}

// ---------------------------------------------------------------------------
// Per frame

bool TPlayerObject::Update(float dt, double time) {
    dt = SaneDt(dt);
    Points = 100 * Kills - 100 * Losses;

    for (TMissile* m = MissileHead.get(); m;) {
        TMissile* next = m->Next.get();
        if (m->Step(dt)) {
            if (m->Target && !m->Target->IsDead() && m->Target->TakeDamage(m->Damage))
                ++Kills;
            RemoveMissile(m);
        }
        m = next;
    }

    bool fired = false;
    for (size_t i = 0; i < Units.size(); ++i)
        if (Units[i]->Step(dt, time))
            fired = true;

    std::erase_if(DeadUnits, [time](const std::unique_ptr<TGameUnit>& u) {
        return !(time - double(u->DeathTime) <= double(DeadBodySeconds));
    });
    for (auto& u : DeadUnits) {
        u->State = TUnitState::Dead;
        u->SetAnimation(TUnitState::Dead, time);
    }
    return fired;
}

bool TPlayerObject::RemoveDead(double time) {
    bool fell = false;
    size_t kept = 0;
    for (size_t i = 0; i < Units.size(); ++i) {
        std::unique_ptr<TGameUnit>& u = Units[i];
        if (u->Health > 0.0f) {
            if (kept != i)
                Units[kept] = std::move(u);
            ++kept;
            continue;
        }
        u->SetTarget(nullptr);
        u->ReleaseAll();
        RemoveVision(*u);
        RemoveFromGroups(*u);
        u->Group = -1;
        u->LeaveTileChain();
        u->PathIndex = -1;
        u->Engaged = false;
        if (u->Model)
            u->Model->ShowOutline = false;
        u->DeathTime = float(time);
        u->State = TUnitState::Dead;
        DeadUnits.push_back(std::move(u));
        ++Losses;
        fell = true;
    }
    Units.resize(kept);
    if (fell && Units.empty())
        Defeated = true;
    return fell;
}

void TPlayerObject::Think(float dt) {
    dt = SaneDt(dt);
    Seen.clear();
    Revealed.clear();
    if (Map && Map->Occupancy.size() == size_t(Map->MapCols) * size_t(Map->MapRows)) {
        for (size_t tile = 0; tile < Map->Occupancy.size(); ++tile) {
            const bool seen = tile < Fog.size() && Fog[tile] > 0;
            for (TBaseTroopObj* obj = Map->Occupancy[tile]; obj; obj = obj->Next) {
                TGameUnit* unit = TGameUnit::AsUnit(obj);
                if (!unit || !unit->Owner || !IsEnemy(*unit->Owner))
                    continue;
                if (seen)
                    Seen.push_back(unit);
                else if (unit->State == TUnitState::Shooting)
                    Revealed.push_back(unit);
            }
        }
    }

    if (Map) {
        SeenIndex.Build(Seen, *Map);
        RevealedIndex.Build(Revealed, *Map);
    }

    for (size_t i = 0; i < Units.size(); ++i) {
        TGameUnit& unit = *Units[i];
        unit.ThinkTimer -= dt;
        if (unit.ThinkTimer > 0.0f)
            continue;
        unit.ThinkTimer = ThinkInterval;
        Decide(unit);
    }

    // Nothing may hold on to units that can be freed before the next call.
    Seen.clear();
    Revealed.clear();

    if (Side == SideComputer && Units.size() < size_t(ReinforceBelow) && Map) {
        const bool first = PlayerName == "CPU1";
        const TMyVector3f at = first ? BattleLayout::Cpu1Camp() : BattleLayout::Cpu2Camp(Map->MapRows);
        const float yaw = first ? BattleLayout::Cpu1Yaw : BattleLayout::Cpu2Yaw;
        for (int32_t k = 0; k < ReinforceCount; ++k)
            Apply(TUnitDecision::Reinforcement(RandomInt(3) + 1, at, yaw));
    }
}

// ---------------------------------------------------------------------------
// The nearest unit of a list

void TPlayerObject::TNearIndex::Build(const std::vector<TGameUnit*>& list, const TGameMap& map) {
    List = &list;
    Map = &map;
    Cols = (std::max(map.MapCols, 0) + Bucket - 1) / Bucket;
    Rows = (std::max(map.MapRows, 0) + Bucket - 1) / Bucket;
    Pass.assign(list.size(), 0);
    Strays.clear();
    Items.clear();
    First.assign(size_t(Cols) * size_t(Rows) + 1, 0);
    if (list.empty())
        return;
    // Buckets by position, not by tile: distances are measured between positions.
    // Whatever stands off the map is searched through always.
    std::vector<int32_t>& bucketOf = Items;  // reused before the items are placed
    bucketOf.resize(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        const TMyVector3f& p = list[i]->Position;
        if (p.x >= 0.0f && p.y >= 0.0f && p.x < float(map.MapCols) && p.y < float(map.MapRows)) {
            const int32_t b =
                std::min(int32_t(p.y) / Bucket, Rows - 1) * Cols + std::min(int32_t(p.x) / Bucket, Cols - 1);
            bucketOf[i] = b;
            ++First[size_t(b) + 1];
        } else {
            bucketOf[i] = -1;
            Strays.push_back(int32_t(i));
        }
    }
    for (size_t b = 1; b < First.size(); ++b)
        First[b] += First[b - 1];
    std::vector<int32_t> items(size_t(First.back()));
    std::vector<int32_t> fill(First.begin(), First.end() - 1);
    for (size_t i = 0; i < list.size(); ++i)
        if (bucketOf[i] >= 0)
            items[size_t(fill[size_t(bucketOf[i])]++)] = int32_t(i);
    Items = std::move(items);
}

bool TPlayerObject::TNearIndex::Passable(int32_t item, int32_t unitType) {
    uint8_t& bits = Pass[size_t(item)];
    const uint8_t known = uint8_t(1u << unitType), open = uint8_t(16u << unitType);
    if (!(bits & known)) {
        const TGameUnit& other = *(*List)[size_t(item)];
        bits = uint8_t(bits | known | (Map->IsPassable(other.TileCol, other.TileRow, unitType) ? open : 0));
    }
    return bits & open;
}

bool TPlayerObject::TNearIndex::Better(int32_t item, const TGameUnit& unit, float& best, int32_t& bestItem) {
    const TGameUnit& other = *(*List)[size_t(item)];
    const float d = Vec3Length(other.Position - unit.Position);
    if (!(d < best || (d == best && d < PlusInfinity && item < bestItem)) || !Passable(item, unit.UnitType))
        return false;
    best = d;
    bestItem = item;
    return true;
}

TGameUnit* TPlayerObject::TNearIndex::Nearest(const TGameUnit& unit, float& distance, float limit) {
    distance = PlusInfinity;
    if (!List || List->empty() || unit.UnitType >= 4)
        return nullptr;
    const std::vector<TGameUnit*>& list = *List;
    float best = PlusInfinity;
    int32_t bestItem = int32_t(list.size());
    auto answer = [&]() -> TGameUnit* {
        if (bestItem >= int32_t(list.size()))
            return nullptr;
        distance = best;
        return list[size_t(bestItem)];
    };
    auto everything = [&]() {
        for (int32_t i = 0; i < int32_t(list.size()); ++i)
            Better(i, unit, best, bestItem);
        return answer();
    };
    // A short list is read through faster than the buckets round it.
    if (list.size() < 64 || !std::isfinite(unit.Position.x) || !std::isfinite(unit.Position.y))
        return everything();

    for (const int32_t i : Strays)
        Better(i, unit, best, bestItem);
    // Rings of buckets round the one under the unit (the nearest on the map when
    // it stands off it): ring k lies at least (k - 1) buckets away. The margin
    // covers rounding, so a tie at the edge of a ring is not missed.
    const float px = std::clamp(unit.Position.x, 0.0f, std::nextafter(float(Cols * Bucket), 0.0f));
    const float py = std::clamp(unit.Position.y, 0.0f, std::nextafter(float(Rows * Bucket), 0.0f));
    const int32_t bx = std::min(int32_t(px) / Bucket, Cols - 1),
                  by = std::min(int32_t(py) / Bucket, Rows - 1);
    const int32_t rings = std::max({bx, by, Cols - 1 - bx, Rows - 1 - by});
    size_t visited = 0;
    for (int32_t k = 0; k <= rings; ++k) {
        const float nearest = float(std::max(k - 1, 0) * Bucket) - 0.01f;
        if (nearest > best || nearest >= limit)
            break;
        const int32_t r0 = std::max(by - k, 0), r1 = std::min(by + k, Rows - 1);
        for (int32_t r = r0; r <= r1; ++r) {
            const bool edge = r == by - k || r == by + k;
            const int32_t step = edge ? 1 : 2 * k;
            for (int32_t c = bx - k; c <= bx + k; c += std::max(step, 1)) {
                if (c < 0 || c >= Cols)
                    continue;
                const size_t b = size_t(r) * size_t(Cols) + size_t(c);
                for (int32_t e = First[b]; e < First[b + 1]; ++e)
                    Better(Items[size_t(e)], unit, best, bestItem);
            }
            visited += size_t(edge ? 2 * k + 1 : 2);
        }
        // Far and few: reading the whole list costs less than the empty buckets.
        if (visited > list.size()) {
            best = PlusInfinity;
            bestItem = int32_t(list.size());
            return everything();
        }
    }
    return answer();
}

TWay TPlayerObject::Route(TWayPoint start, TWayPoint goal, int32_t unitType) {
    // A route depends on nothing but its ends, the unit type and the grids, which
    // stay as they are for a battle. A chasing unit asks again at every decision,
    // for the same route as long as neither it nor its target has changed tiles
    // (in melee neither moves), and a crowd on a tile chasing one target asks for
    // one route many times.
    constexpr int32_t Limit = 1 << 15;
    const TPathFinder* finder = Map->PathFinder.get();
    if (!finder || start.x < 0 || start.y < 0 || goal.x < 0 || goal.y < 0 || start.x >= Limit ||
        start.y >= Limit || goal.x >= Limit || goal.y >= Limit || unitType < 0 || unitType >= 16)
        return Map->FindPath(start, goal, unitType);
    if (finder != RoutesFinder || Routes.size() >= MaxKeptRoutes) {
        Routes.clear();
        RoutesFinder = finder;
    }
    const uint64_t key = uint64_t(start.x) | uint64_t(start.y) << 15 | uint64_t(goal.x) << 30 |
                         uint64_t(goal.y) << 45 | uint64_t(unitType) << 60;
    auto [it, added] = Routes.try_emplace(key);
    if (added)
        it->second = Map->FindPath(start, goal, unitType);
    return it->second;
}

void TPlayerObject::Apply(const TUnitDecision& d) {
    switch (d.Kind) {
    case TUnitDecision::TKind::Target:
        if (d.Unit && d.Unit->Owner == this)
            d.Unit->SetTarget(d.Target);
        break;
    case TUnitDecision::TKind::Go:
        if (!d.Unit || d.Unit->Owner != this || !Map)
            break;
        d.Unit->SetPath(Route({d.Unit->TileCol, d.Unit->TileRow}, d.Goal, d.Unit->UnitType));
        if (d.Pace != TUnitDecision::TPace::Keep)
            d.Unit->Running = d.Pace == TUnitDecision::TPace::Run;
        break;
    case TUnitDecision::TKind::Reinforce:
        AddUnit(d.UnitType, d.At, d.Yaw);
        break;
    }
}

void TPlayerObject::Decide(TGameUnit& unit) {
    if (!Map)
        return;
    const TUnitFeatures& f = unit.Features();
    const TWayPoint here{unit.TileCol, unit.TileRow};

    // a. The human side's units pick the nearest enemy in reach by themselves.
    if (!unit.Target && Side == SideHuman) {
        // Only a unit at rest picks, and only within its radius.
        if (unit.PathIndex == -1) {
            float radius;
            if (!unit.Hold)
                radius = float(f.SightRadius);
            else
                radius = unit.IsRanged ? float(f.ShootRange) : -1.0f;
            float d;
            TGameUnit* nearest = SeenIndex.Nearest(unit, d, radius);
            if (nearest && d < radius)
                Apply(TUnitDecision::Attack(unit, nearest));
        }
    }

    // b. Chase a target that is still in sight.
    if (unit.Target && !unit.Hold) {
        TGameUnit& target = *unit.Target;
        if (!SeesTileOf(target)) {
            Apply(TUnitDecision::Attack(unit, nullptr));
        } else if (Map->IsPassable(target.TileCol, target.TileRow, unit.UnitType) &&
                   (target.TileCol != here.x || target.TileRow != here.y)) {
            Apply(TUnitDecision::GoTo(unit, {target.TileCol, target.TileRow}));
        }
    }

    // c. A bowman holding its ground lets go of a target out of range.
    if (unit.Target && unit.Hold && unit.IsRanged &&
        Vec3Length(unit.Target->Position - unit.Position) >= float(f.ShootRange))
        Apply(TUnitDecision::Attack(unit, nullptr));

    // d. The computer side attacks what it sees, goes where arrows come from, and
    // otherwise now and then wanders off.
    if (Side != SideComputer)
        return;
    float d;
    if (TGameUnit* nearest = SeenIndex.Nearest(unit, d)) {
        Apply(TUnitDecision::Attack(unit, nearest));
        return;
    }
    if (unit.PathIndex != -1)
        return;
    bool haveGoal = false;
    TWayPoint goal;
    if (TGameUnit* shooter = RevealedIndex.Nearest(unit, d)) {
        goal = {shooter->TileCol, shooter->TileRow};
        haveGoal = true;
    } else if (RandomFloat() > 0.9) {
        const int32_t col = RandomInt(Map->MapCols);
        const int32_t row = RandomInt(Map->MapRows);
        if (Map->IsPassable(col, row, unit.UnitType)) {
            goal = {col, row};
            haveGoal = true;
        }
    }
    if (haveGoal && goal != here) {
        // The pace is drawn after the route is found, which draws nothing.
        const auto pace = RandomFloat() < 0.5 ? TUnitDecision::TPace::Run : TUnitDecision::TPace::Walk;
        Apply(TUnitDecision::GoTo(unit, goal, pace));
    }
}

void TPlayerObject::UpdateVisibility(const TFrustum& frustum, const TFogGrid& viewerFog) {
    auto seenBy = [&](int32_t col, int32_t row) {
        if (!Map || col < 0 || row < 0 || col >= Map->MapCols || row >= Map->MapRows)
            return false;
        const size_t i = size_t(row) * size_t(Map->MapCols) + size_t(col);
        return i < viewerFog.size() && viewerFog[i] != 0;
    };

    for (TMissile* m = MissileHead.get(); m; m = m->Next.get()) {
        int32_t col, row;
        TGameUnit::TileOf(Map, m->Pos, col, row);
        m->Visible = seenBy(col, row) && frustum.PointVisible(MapToWorld(m->Pos));
    }
    for (auto* list : {&Units, &DeadUnits})
        for (auto& u : *list)
            u->Visible = seenBy(u->TileCol, u->TileRow) && u->IsInView(frustum);
}

void TPlayerObject::Draw() const {
    for (const TMissile* m = MissileHead.get(); m; m = m->Next.get())
        if (m->Visible && m->Model)
            DrawQueue().QueueModel(*m->Model);
    for (auto* list : {&Units, &DeadUnits})
        for (auto& u : *list)
            if (u->Visible && u->Model)
                DrawQueue().QueueModel(*u->Model);
}
