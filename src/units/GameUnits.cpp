#include "units/GameUnits.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <exception>
#include <mutex>
#include <set>

#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "resources/e_ModelObject.h"
#include "units/PlayerObject.h"
#include "world/GameEntity.h"
#include "world/MapObject.h"
#include "world/e_Frustum.h"

// ---------------------------------------------------------------------------
// Models
// ---------------------------------------------------------------------------

namespace {

// A model a unit or an arrow is drawn with; null when it cannot be loaded. Each
// missing name is logged once, not for every arrow and every reinforcement.
template <class TModel, class... TArgs>
std::unique_ptr<TGameModel> TryLoadModel(const std::string& name, TArgs... args) {
    try {
        return std::make_unique<TModel>(name, args...);
    } catch (const std::exception& e) {
        static std::mutex lock;
        static std::set<std::string> reported;
        bool first;
        {
            std::lock_guard guard(lock);
            first = reported.insert(name).second;
        }
        if (first) {
            try {
                Log("Model \"" + name + "\" cannot be loaded (" + e.what() + "); it will not be drawn.");
            } catch (...) {
                // The battle goes on without a log.
            }
        }
        return nullptr;
    }
}

float Frac(double x) { return float(x - std::floor(x)); }

bool Finite(float x) { return std::isfinite(x); }

// Removes one entry from an unordered list of pointers; false when it is not there.
template <class T>
bool EraseOne(std::vector<T*>& list, const T* item) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i] == item) {
            list[i] = list.back();
            list.pop_back();
            return true;
        }
    return false;
}

TMatrix4f UnitMatrix(const TMyVector3f& p, float yaw) {
    const TMyVector3f w = MapToWorld(p);
    return MatMultiply(MatTranslation(w.x, w.y, w.z), MatRotationY(-yaw));
}

}  // namespace

// ---------------------------------------------------------------------------
// TGameUnit
// ---------------------------------------------------------------------------

TGameUnit::TGameUnit(TPlayerObject* owner, const TMyVector3f& position, float yaw, int32_t unitType,
                     int32_t colourIndex)
    : Owner(owner), Position(position), Yaw(yaw) {
    IsGameUnit = true;
    assert(IsValidUnitType(unitType));
    if (!IsValidUnitType(unitType))
        unitType = UnitTypeDebug;
    const TUnitFeatures& f = UnitFeatures[size_t(unitType)];
    UnitType = uint8_t(unitType);
    TypeName = f.Name;
    Health = float(f.MaxHealth);
    Gauge2 = float(f.MaxGauge2);
    WalkSpeed = f.WalkSpeed;
    RunSpeed = f.RunSpeed;
    SightRadius = std::max(f.SightRadius, 0);
    VisionMask.assign(size_t(2 * SightRadius + 1) * size_t(2 * SightRadius + 1), 0);
    RingTimer = RingInterval * float(RandomFloat());
    ThinkTimer = ThinkInterval * float(RandomFloat());
    IsRanged = f.ShootRange > 0;
    ReloadTimer = f.ReloadTime;
    TileOf(Map(), Position, TileCol, TileRow);

    if (unitType == UnitTypeDebug)
        Model = TryLoadModel<TGameModel>(UnitModelNames[unitType]);
    else
        Model = TryLoadModel<TGamePersonage>(UnitModelNames[unitType], colourIndex);
    PlaceModel();
}

TGameUnit::~TGameUnit() {
    SetTarget(nullptr);
    // Whoever still fights this unit or flies at it lets go; nothing else changes
    // for them, the game may be ending.
    for (TGameUnit* a : Attackers) {
        a->Target = nullptr;
        a->Engaged = false;
    }
    Attackers.clear();
    for (PMissile m : Missiles)
        m->Forget(this);
    Missiles.clear();
    LeaveTileChain();
}

TGameMap* TGameUnit::Map() const { return Owner ? Owner->Map : nullptr; }

TGamePersonage* TGameUnit::Personage() const { return dynamic_cast<TGamePersonage*>(Model.get()); }

bool TGameUnit::IsEnemyOf(const TGameUnit& other) const {
    return Owner && other.Owner && Owner->IsEnemy(*other.Owner);
}

void TGameUnit::TileOf(const TGameMap* map, const TMyVector3f& position, int32_t& col, int32_t& row) {
    const int32_t cols = map ? map->MapCols : 0;
    const int32_t rows = map ? map->MapRows : 0;
    // Truncation toward zero; anything off the map (or not a number) is kept on its edge.
    auto clampTile = [](float v, int32_t count) {
        if (count <= 0 || !(v > 0.0f))
            return 0;
        if (v >= float(count))
            return count - 1;
        return std::min(int32_t(v), count - 1);
    };
    col = clampTile(position.x, cols);
    row = clampTile(position.y, rows);
}

void TGameUnit::PlaceModel() {
    if (Model)
        ::PlaceModel(*Model, UnitMatrix(Position, Yaw));
}

void TGameUnit::SetYaw(float yaw) {
    Yaw = yaw;
    PlaceModel();
}

void TGameUnit::Face(const TMyVector3f& point) {
    const float dx = point.x - Position.x, dy = point.y - Position.y;
    if (dx != 0.0f || dy != 0.0f)
        SetYaw(ArcTan2(dx, dy));
}

void TGameUnit::MoveTo(const TMyVector3f& position) {
    const float dx = position.x - Position.x, dy = position.y - Position.y;
    if (dx != 0.0f || dy != 0.0f)
        Yaw = ArcTan2(dx, dy);
    Position = position;
    PlaceModel();
}

void TGameUnit::SetTarget(TGameUnit* unit) {
    if (unit == this || unit == Target)
        return;
    if (unit && unit->State == TUnitState::Dead)
        return;  // a body cannot be fought; it goes away in two seconds
    if (Target) {
        const bool listed = EraseOne(Target->Attackers, this);
        assert(listed);
        (void)listed;
    }
    Target = unit;
    if (Target)
        Target->Attackers.push_back(this);
    else
        Engaged = false;
}

void TGameUnit::SetHold(bool flag) {
    if (flag == Hold)
        return;
    Hold = flag;
    if (!flag)
        return;
    if (!Engaged)
        SetTarget(nullptr);
    PathIndex = -1;
    PendingYaw = -1.0f;
    Running = false;
}

bool TGameUnit::TakeDamage(float amount) {
    assert(State != TUnitState::Dead && "damage to a dead unit");
    if (State == TUnitState::Dead || !Finite(amount))
        return false;
    const bool wasAlive = Health > 0.0f;
    Health -= amount;
    return wasAlive && Health <= 0.0f;
}

void TGameUnit::DistributeDamage(float& amount, int32_t& kills) {
    kills = 0;
    int32_t count = 0;
    for (const TGameUnit* a : Attackers)
        if (a->Engaged && a != Target && IsEnemyOf(*a))
            ++count;
    if (count == 0)
        return;
    const float share = amount / float(count);
    // TakeDamage changes no attacker list, so the loop may run over Attackers itself.
    for (TGameUnit* a : Attackers)
        if (a->Engaged && a != Target && IsEnemyOf(*a) && a->State != TUnitState::Dead &&
            a->TakeDamage(share))
            ++kills;
    amount = 0.0f;
}

void TGameUnit::ReleaseAll() {
    // SetTarget(nullptr) takes each attacker out of Attackers, so work from a copy.
    const std::vector<TGameUnit*> attackers = Attackers;
    for (TGameUnit* a : attackers) {
        a->Engaged = false;
        a->PathIndex = -1;
        a->SetTarget(nullptr);
    }
    assert(Attackers.empty());
    Attackers.clear();
    for (PMissile m : Missiles)
        m->Forget(this);
    Missiles.clear();
}

void TGameUnit::SetAnimation(TUnitState state, double time) {
    TGamePersonage* p = Personage();
    if (!p)
        return;
    p->SetClip(AnimationRole(state));
    if (state == TUnitState::Dead)
        p->PlayOnce(float(time - double(DeathTime)));
    else
        p->Animate(time);
}

bool TGameUnit::IsInView(const TFrustum& frustum) const { return frustum.PointVisible(WorldPosition()); }

bool TGameUnit::RayHit(const TMyVector3f& origin, const TMyVector3f& direction, float& t) const {
    return Model && RayOrientedBox(origin, direction, Model->WorldBox, t);
}

void TGameUnit::ResetReloadTimer() { ReloadTimer = Features().ReloadTime; }

bool TGameUnit::SetPath(TWay way) {
    PathIndex = -1;
    const TGameMap* map = Map();
    int32_t col, row;
    TileOf(map, Position, col, row);
    if (way.size() >= 2 && way.front() == TWayPoint{col, row}) {
        // The finder ends a route in a blocked goal when it touches open tiles; the
        // unit stops in front of it instead of stepping in.
        if (map && !map->IsPassable(way.back().x, way.back().y, UnitType))
            way.pop_back();
        if (way.size() >= 2) {
            Path = std::move(way);
            PathIndex = 0;
            return true;
        }
    }
    Path.clear();
    return false;
}

float TGameUnit::GroundHeight(float mx, float my) const {
    const TGameMap* map = Map();
    return map ? map->GetHeight(mx, my) : 0.0f;
}

void TGameUnit::LeaveTileChain() {
    if (!InChain)
        return;
    TGameMap* map = Map();
    if (map && map->OnMap(TileCol, TileRow) &&
        map->Occupancy.size() == size_t(map->MapCols) * size_t(map->MapRows)) {
        Unlink(map->OccupancyAt(TileCol, TileRow));
    } else {
        // The map has let its grid go; the neighbours in the chain are still units.
        if (Prev)
            Prev->Next = Next;
        if (Next)
            Next->Prev = Prev;
        Next = Prev = nullptr;
    }
    InChain = false;
}

void TGameUnit::EnterTileChain(int32_t col, int32_t row) {
    LeaveTileChain();
    TileCol = col;
    TileRow = row;
    TGameMap* map = Map();
    if (map && map->OnMap(col, row) && map->Occupancy.size() == size_t(map->MapCols) * size_t(map->MapRows)) {
        LinkTo(map->OccupancyAt(col, row));
        InChain = true;
    }
}

void TGameUnit::WalkPath(float dt) {
    float budget = (Running ? RunSpeed : WalkSpeed) * dt;
    while (budget > 0.0f && PathIndex >= 0 && size_t(PathIndex) + 1 < Path.size()) {
        const TWayPoint& next = Path[size_t(PathIndex) + 1];
        const float px = float(next.x) + 0.5f, py = float(next.y) + 0.5f;
        const TMyVector3f point{px, py, GroundHeight(px, py)};
        const TMyVector3f v = point - Position;
        const float length = Vec3Length(v);
        if (length <= budget) {
            budget -= length;
            MoveTo(point);
            ++PathIndex;
            if (size_t(PathIndex) + 1 >= Path.size()) {
                PathIndex = -1;
                break;
            }
        } else {
            TMyVector3f p = Position + v * (budget / length);
            p.z = GroundHeight(p.x, p.y);
            MoveTo(p);
            break;
        }
    }
}

bool TGameUnit::Step(float dt, double time) {
    if (Engaged) {
        State = TUnitState::Melee;
        SetAnimation(State, time);
        return false;
    }
    bool fired = false;

    // 1. Shooting.
    if (IsRanged) {
        ReloadTimer -= dt;
        if (Target) {
            const TUnitFeatures& f = Features();
            float range = float(f.ShootRange);
            if (State != TUnitState::Shooting)
                range *= ShootRangeToStart;
            const float d = Vec3Length(Target->Position - Position);
            if (d < range) {
                if (ReloadTimer <= 0.0f && f.ReloadTime > 0.0f) {
                    const TGamePersonage* p = Personage();
                    const float phase =
                        Frac(double(Frac(time / double(f.ReloadTime))) + (p ? p->Phase : 0.0f));
                    if (phase >= 0.75f && Owner && Owner->AddMissile(this, Target, f.MissileDamage)) {
                        ReloadTimer = f.ReloadTime;
                        fired = true;
                    }
                }
                Face(Target->Position);
                State = TUnitState::Shooting;
                SetAnimation(State, time);
                return fired;
            }
        }
    }

    if (PathIndex >= 0 && size_t(PathIndex) + 1 >= Path.size())
        PathIndex = -1;  // a route that was cut short under the unit

    if (PathIndex < 0 || Hold) {
        // 2. Standing.
        if (PendingYaw >= 0.0f) {
            SetYaw(PendingYaw);
            PendingYaw = -1.0f;
        }
        State = TUnitState::Idle;
        SetAnimation(State, time);
        Running = false;
    } else {
        // 3. Walking the path, 4. then on to the new tile.
        WalkPath(dt);
        int32_t col, row;
        TileOf(Map(), Position, col, row);
        if (col != TileCol || row != TileRow || !InChain) {
            if (Owner)
                Owner->MoveVision(*this, col, row);
            EnterTileChain(col, row);
        }
        State = Running ? TUnitState::Running : TUnitState::Walking;
        SetAnimation(State, time);
    }
    AfterStep(dt);
    return fired;
}

void TGameUnit::AfterStep(float dt) {
    // 5. Tint on type-6 ground, ripples in type-3 water, for units in view.
    if (!Visible)
        return;
    TGameMap* map = Map();
    const TTileType type = map ? map->GetTileType(TileCol, TileRow) : TTileType::OffMap;
    if (TGamePersonage* p = Personage())
        p->UseColor = type == TTileType::Woods;
    if (type == TTileType::Shallow) {
        RingTimer -= dt;
        if (RingTimer <= 0.0f) {
            map->AddRing(Position);
            RingTimer = RingInterval;
        }
    }
}
