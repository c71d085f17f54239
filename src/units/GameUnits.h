#pragma once
// Game units: the table that sets the unit types apart, the soldiers on the
// battlefield and the arrows they shoot.
//
// Units do not update themselves: the owning player (PlayerObject.h) runs the
// per-frame steps of its units and missiles, and the battle scene runs melee.
//
// Units, players and the map refer to each other through plain pointers. Every
// such reference is kept symmetric so that a unit can be freed at any moment:
//  - u.Target == v  exactly when u is listed once in v.Attackers;
//  - a missile is listed in the Missiles of its Shooter and of its Target;
//  - a living unit is in exactly one tile chain of the map's Occupancy grid and in
//    exactly one of its owner's groups.
// A unit that dies is released from all of them (ReleaseAll, RemoveDead), and the
// destructor of a unit or a missile undoes whatever is still left, so no pointer
// to a freed unit or missile survives. The map must outlive the players.
//
// Map coordinates (mx, my, h): mx along the tile columns, my along the rows; the
// world position is (my, h, mx). Time comes only from the dt and time arguments.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "units/UnitFeatures.h"
#include "resources/GameDataNames.h"
#include "units/my_PathFinder.h"
#include "world/MapObject.h"
#include "world/e_Math.h"

class TFrustum;
class TGameMap;
class TGameModel;
class TGamePersonage;
class TPlayerObject;

// ---------------------------------------------------------------------------
// Units and missiles
// ---------------------------------------------------------------------------

// What a unit is doing. The values are fixed: each is also the animation role
// the unit's personage plays (IDLE, WALK, RUN, ATTACK, ATTACK2, DEATH, so
// shooting plays the second attack clip), and the battle's checksum, and with
// it the golden battles and the replays' end states, count them as numbers.
enum class TUnitState : int32_t {
    Idle = 0,
    Walking = 1,
    Running = 2,
    Melee = 3,
    Shooting = 4,
    Dead = 5,
};

// The personage clip a state plays.
constexpr int32_t AnimationRole(TUnitState state) { return static_cast<int32_t>(state); }

// The models units and arrows are drawn with, by unit type.
inline constexpr const auto& UnitModelNames = GameNames::UnitModels;
static_assert(GameNames::UnitModels.size() == UnitTypeCount);
inline constexpr const char* MissileModelName = GameNames::MissileModel;

inline constexpr float MissileSpeed = 12.0f;       // map units per second, horizontally
inline constexpr float MissileHitDistance = 0.5f;  // an arrow this close to its aim has arrived
inline constexpr float MissileAimHeight = 1.0f;    // arrows leave and strike this far above the feet
inline constexpr float RingInterval = 0.3f;        // seconds between two water rings of a wading unit
inline constexpr float ThinkInterval = 0.5f;       // seconds between two targeting decisions
inline constexpr float DeadBodySeconds = 2.0f;     // a fallen unit is shown this long
inline constexpr float ShootRangeToStart = 0.95f;  // share of the range at which shooting starts

// Booleans, one byte each.
using TArrayB = std::vector<uint8_t>;

class TGameUnit;
struct TMissile;
using PMissile = TMissile*;

// An arrow in flight. Owned by the shooting player's missile list (Next owns the
// rest of the list); Shooter and Target are cleared when those units die.
struct TMissile {
    // Leaves 1.0 above the shooter's feet, aimed 1.0 above the target's. The
    // caller links it into a list and into the two units' Missiles.
    TMissile(TGameUnit* shooter, TGameUnit* target, float damage);
    // Takes itself out of its shooter's and target's Missiles.
    ~TMissile();
    TMissile(const TMissile&) = delete;
    TMissile& operator=(const TMissile&) = delete;

    // One frame of flight. True when the arrow had already arrived at the start
    // of this frame: the caller then deals the damage and frees it.
    bool Step(float dt);
    // The height of the arc at the current position (the flight's t in [0, 1]).
    static float ArcHeight(const TMyVector3f& start, const TMyVector3f& targetPos, float t);
    // Places the model at Pos, pointed along the last step.
    void PlaceModel();
    // Forgets a unit that is about to go away.
    void Forget(const TGameUnit* unit);

    PMissile Prev = nullptr;
    std::unique_ptr<TMissile> Next;
    TGameUnit* Shooter = nullptr;
    TGameUnit* Target = nullptr;
    TMyVector3f Start;
    TMyVector3f TargetPos;
    TMyVector3f PrevPos;
    TMyVector3f Pos;
    float Damage = 0.0f;
    std::unique_ptr<TGameModel> Model;  // null when "Pica" cannot be loaded
    bool Visible = false;               // seen by the viewer (TPlayerObject::UpdateVisibility)
};

// One soldier. Created and owned by its TPlayerObject (AddUnit).
class TGameUnit : public TBaseTroopObj {
public:
    // Fills the unit from its type's features and creates its model (a model that
    // cannot be loaded is logged once and the unit goes on without one: it is
    // simulated but neither drawn nor picked). unitType must be 0..3.
    TGameUnit(TPlayerObject* owner, const TMyVector3f& position, float yaw, int32_t unitType,
              int32_t colourIndex);
    // Releases every reference to this unit that is still held elsewhere.
    ~TGameUnit() override;
    TGameUnit(const TGameUnit&) = delete;
    TGameUnit& operator=(const TGameUnit&) = delete;

    // Attacks `unit` (nullptr: none). Ignored for itself, for the current target
    // and for a dead unit. Clearing the target also ends the melee (Engaged).
    void SetTarget(TGameUnit* unit);
    // Only a change counts. Holding stops the unit and, unless it is in melee,
    // drops its target.
    void SetHold(bool flag);
    // Health -= amount; true when this blow killed the unit. An amount that is not
    // a finite number is ignored (false). Damage to a dead unit (TUnitState::Dead) is a
    // programming error: asserted in debug builds, ignored otherwise.
    bool TakeDamage(float amount);
    // Passes `amount` on to the engaged enemy attackers other than this unit's own
    // target, in equal shares; amount becomes 0 then. kills (set to 0 first)
    // counts the attackers killed.
    void DistributeDamage(float& amount, int32_t& kills);
    // On death: attackers stop fighting and moving and lose their target; missiles
    // forget this unit.
    void ReleaseAll();
    // Stands at the position, facing the way it moved (a move without horizontal
    // displacement keeps the yaw).
    void MoveTo(const TMyVector3f& position);
    void SetYaw(float yaw);
    // Plays the clip of a state at the game time; the death clip plays once from
    // DeathTime. Nothing happens for a unit without a personage.
    void SetAnimation(TUnitState state, double time);
    bool IsInView(const TFrustum& frustum) const;
    // The ray against the model's box in world space; false without a model.
    bool RayHit(const TMyVector3f& origin, const TMyVector3f& direction, float& t) const;

    // Follows `way` (start first) from its first point: PathIndex = 0. A way that
    // does not start on the unit's tile (the path finder's answer for a goal it
    // cannot reach) or has fewer than two points stops the unit instead; a last
    // point the unit may not stand on is dropped. True when the unit moves.
    bool SetPath(TWay way);
    // PathIndex = -1.
    void StopMoving() { PathIndex = -1; }

    // The timers: decreased by dt, reset to their intervals.
    void DecRingTimer(float dt) { RingTimer -= dt; }
    void ResetRingTimer() { RingTimer = RingInterval; }
    void DecThinkTimer(float dt) { ThinkTimer -= dt; }
    void ResetThinkTimer() { ThinkTimer = ThinkInterval; }
    void DecReloadTimer(float dt) { ReloadTimer -= dt; }
    void ResetReloadTimer();

    // One frame of a living unit (run by the owner's Update): shooting, walking
    // its path, animation, water rings. True when it fired an arrow.
    bool Step(float dt, double time);

    // The unit's owner's map, or null.
    TGameMap* Map() const;
    // The model as a personage, or null (debug units, missing models).
    TGamePersonage* Personage() const;
    const TUnitFeatures& Features() const { return UnitFeatures[UnitType]; }
    // World position (my, h, mx).
    TMyVector3f WorldPosition() const { return MapToWorld(Position); }
    // Owners on different sides.
    bool IsEnemyOf(const TGameUnit& other) const;
    bool IsDead() const { return State == TUnitState::Dead; }
    // The units standing on a tile: the first (null off the map or when the map has
    // no occupancy grid), then the next on the same tile.
    static TGameUnit* FirstOnTile(TGameMap* map, int32_t col, int32_t row);
    TGameUnit* NextOnTile() const { return AsUnit(Next); }
    // The object as a unit, or null (also for null).
    static TGameUnit* AsUnit(TBaseTroopObj* obj) {
        return obj && obj->IsGameUnit ? static_cast<TGameUnit*>(obj) : nullptr;
    }
    // Map tile of a position: trunc of mx and my, kept inside the map.
    static void TileOf(const TGameMap* map, const TMyVector3f& position, int32_t& col, int32_t& row);

    TPlayerObject* Owner = nullptr;
    // How many units the owner had made before this one: with the owner's slot,
    // the unit's name in commands and replays.
    int32_t Serial = -1;
    std::unique_ptr<TGameModel> Model;
    TMyVector3f Position;
    float Yaw = 0.0f;
    TWay Path;
    int32_t PathIndex = -1;  // last point of Path reached; -1 when not moving
    TArrayB VisionMask;      // (2R + 1)^2 entries, row by row, centred on VisionCol/VisionRow
    uint8_t UnitType = 0;
    std::string TypeName;
    float Health = 0.0f;
    float Gauge2 = 0.0f;
    float WalkSpeed = 0.0f;
    float RunSpeed = 0.0f;
    int32_t SightRadius = 0;
    bool Running = false;
    bool Visible = false;
    float RingTimer = 0.0f;
    TGameUnit* Target = nullptr;
    std::vector<TGameUnit*> Attackers;
    std::vector<PMissile> Missiles;
    float ThinkTimer = 0.0f;
    bool Engaged = false;
    float PendingYaw = -1.0f;
    bool IsRanged = false;
    int32_t Group = -1;
    float ReloadTimer = 0.0f;
    TUnitState State = TUnitState::Idle;
    float DeathTime = 0.0f;
    bool Hold = false;

    // Where the unit is kept: the tile whose chain holds it (InChain) and the tile
    // its VisionMask is centred on.
    int32_t TileCol = 0;
    int32_t TileRow = 0;
    bool InChain = false;
    int32_t VisionCol = 0;
    int32_t VisionRow = 0;

private:
    friend class TPlayerObject;

    void PlaceModel();
    void Face(const TMyVector3f& point);
    void LeaveTileChain();
    void EnterTileChain(int32_t col, int32_t row);
    float GroundHeight(float mx, float my) const;
    void WalkPath(float dt);
    void AfterStep(float dt);
};

inline TGameUnit* TGameUnit::FirstOnTile(TGameMap* map, int32_t col, int32_t row) {
    if (!map || !map->OnMap(col, row) || map->Occupancy.size() != size_t(map->MapCols) * size_t(map->MapRows))
        return nullptr;
    return AsUnit(map->OccupancyAt(col, row));
}
