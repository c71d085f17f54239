#pragma once
// One side's army: the human player ("Human") or a computer player ("CPU1",
// "CPU2"). A player owns its living units, the bodies of its fallen units and the
// arrows its units have shot; keeps ten unit groups, a fog-of-war grid and the
// kill, loss and point counters. Each frame the battle scene calls, for every
// player, Think, Update, RemoveDead, then UpdateVisibility and Draw.
//
// Sides: 0 is the human side, 1 the computer side; units of players on
// different sides are enemies, so the two computer players are allies.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "units/GameUnits.h"
#include "units/UnitDecision.h"
#include "world/e_Math.h"

class TFrustum;
class TGameMap;

// For each tile (row * MapCols + col) the number of a player's units that see it;
// 0 = unseen.
using TFogGrid = std::vector<int32_t>;

inline constexpr int32_t SideHuman = 0;
inline constexpr int32_t SideComputer = 1;
inline constexpr int32_t GroupCount = 10;
inline constexpr int32_t PlayerColourCount = 3;
// Player colours by colour index; other indices draw white.
inline constexpr TMyVector3f PlayerColours[PlayerColourCount] = {
    {1.0f, 0.25f, 0.25f}, {0.5f, 1.0f, 0.5f}, {0.25f, 0.25f, 1.0f}};

// A computer player with fewer units than this gets reinforcements...
inline constexpr int32_t ReinforceBelow = 8;
// ...this many at a time.
inline constexpr int32_t ReinforceCount = 5;

class TPlayerObject {
public:
    // The map is not owned and must outlive the player. colourIndex picks the
    // player colour and the units' model variant.
    TPlayerObject(int32_t side, std::string name, int32_t colourIndex, TGameMap* map);
    // Frees the missiles, the units and the fallen units, releasing every
    // reference other players' units and missiles hold to them.
    ~TPlayerObject();
    TPlayerObject(const TPlayerObject&) = delete;
    TPlayerObject& operator=(const TPlayerObject&) = delete;

    // Creates a unit of this player (unitType 0..3; null for any other), tints its
    // personage with the player colour, lets it see, puts it in group 0 and on its
    // tile. Both argument orders are accepted.
    TGameUnit* AddUnit(int32_t unitType, const TMyVector3f& position, float yaw);
    TGameUnit* AddUnit(int32_t unitType, float yaw, const TMyVector3f& position);

    // Iteration over Units through UnitCursor; null outside the array.
    TGameUnit* FirstUnit();
    TGameUnit* NextUnit();
    TGameUnit* CurrentUnit() const;

    // Moves a living unit of this player into group 0..9; nothing when it is
    // already there or the arguments do not fit.
    void AssignToGroup(int32_t group, TGameUnit* unit);
    // Moves the units of group 1..9 into group 0; group 0 and other numbers are ignored.
    void DissolveGroup(int32_t group);

    // Shoots an arrow from shooter to target, carrying damage. Null (and nothing
    // shot) when either unit is missing or dead.
    PMissile AddMissile(TGameUnit* shooter, TGameUnit* target, float damage);

    // Moves the arrows (an arrow that kills counts in Kills), steps every living
    // unit, lets bodies older than 2 s go and poses the others. dt in seconds
    // (anything but a finite dt >= 0 counts as 0), time = game time. True when a
    // unit fired this frame.
    bool Update(float dt, double time);
    // Targeting for every unit whose decision is due, the computer side's
    // behaviour and its reinforcements.
    void Think(float dt);
    // Carries out one of this player's own decisions (UnitDecision.h) at once;
    // one for a unit of another player does nothing. Think's only way into the
    // units; tests may use it as well.
    void Apply(const TUnitDecision& decision);
    // Moves the units whose health is 0 or less to DeadUnits, releasing them. True
    // when a unit fell.
    bool RemoveDead(double time);
    // What the viewer sees of this army, worked out in the frame's update before
    // anything is drawn: an arrow, unit or body counts when its tile is seen in
    // viewerFog and it is inside the frustum. Sets the Visible flags, which the
    // next frame's simulation reads (water rings, ground tint) as well as the
    // picking, the labels and Draw.
    void UpdateVisibility(const TFrustum& frustum, const TFogGrid& viewerFog);
    // Queues (through the draw queue) what UpdateVisibility found visible.
    void Draw() const;

    // Owners on different sides are enemies.
    bool IsEnemy(const TPlayerObject& other) const { return Side != other.Side; }
    // The player colour.
    TMyVector3f Colour() const;
    // Whether this player's units see the tile (false off the map).
    bool Sees(int32_t col, int32_t row) const;
    int32_t FogAt(int32_t col, int32_t row) const;
    // The fog as seen / unseen flags in the same order (for the fog texture).
    std::vector<bool> FogVisibility() const;
    int32_t MissileCount() const;

    std::string PlayerName;
    int32_t Side = SideHuman;
    int32_t ColourIndex = 0;
    std::vector<std::unique_ptr<TGameUnit>> Units;
    std::vector<std::unique_ptr<TGameUnit>> DeadUnits;
    TGameMap* Map = nullptr;
    int32_t UnitCursor = 0;
    std::unique_ptr<TMissile> MissileHead;
    bool Defeated = false;
    TFogGrid Fog;           // MapCols * MapRows at creation
    int32_t UnitsMade = 0;  // the next unit's Serial
    int32_t Losses = 0;
    int32_t Kills = 0;
    int32_t Points = 0;
    std::array<std::vector<TGameUnit*>, GroupCount> Groups;
    std::array<float, GroupCount> GroupValues{};

private:
    friend class TGameUnit;

    // Vision of a unit that has moved to (col, row): its old view is taken out of
    // Fog and the view from the new tile put in. Nothing when the tile is the same.
    void MoveVision(TGameUnit& unit, int32_t col, int32_t row);
    // Takes the unit's view out of Fog and clears its mask.
    void RemoveVision(TGameUnit& unit);
    void RemoveFromGroups(TGameUnit& unit);
    void RemoveMissile(TMissile* missile);
    void FreeMissiles();
    bool FogIndex(int32_t col, int32_t row, size_t& index) const;
    bool SeesTileOf(const TGameUnit& unit) const;
    void Decide(TGameUnit& unit);
    // The map's route, from the routes already found when it is one of them.
    TWay Route(TWayPoint start, TWayPoint goal, int32_t unitType);

    // Routes found, by ends and unit type, for the path finder they came from;
    // forgotten all at once when there are this many.
    static constexpr size_t MaxKeptRoutes = 4096;
    std::unordered_map<uint64_t, TWay> Routes;
    const TPathFinder* RoutesFinder = nullptr;

    // Scratch lists of Think.
    std::vector<TGameUnit*> Seen;
    std::vector<TGameUnit*> Revealed;

public:
    // The units of a list by where they stand, in square buckets of tiles, for the
    // nearest one to a point. The answer is the list's own: the nearest by
    // Vec3Length, the earliest in the list on a tie, among the units standing on
    // tiles the asking unit may enter.
    class TNearIndex {
    public:
        static constexpr int32_t Bucket = 4;  // tiles along a bucket's side

        // The list must stay as it is, its units in place, until the next Build.
        void Build(const std::vector<TGameUnit*>& list, const TGameMap& map);
        // The nearest unit closer than `limit`, or null; distance is its distance
        // (PlusInfinity without one).
        TGameUnit* Nearest(const TGameUnit& unit, float& distance, float limit = PlusInfinity);

    private:
        bool Passable(int32_t item, int32_t unitType);
        bool Better(int32_t item, const TGameUnit& unit, float& best, int32_t& bestItem);

        const std::vector<TGameUnit*>* List = nullptr;
        const TGameMap* Map = nullptr;
        int32_t Cols = 0, Rows = 0;   // buckets
        std::vector<int32_t> First;   // per bucket, its first entry in Items; one more at the end
        std::vector<int32_t> Items;   // list positions, bucket by bucket, ascending in each
        std::vector<int32_t> Strays;  // list positions of units off the map, ascending
        std::vector<uint8_t> Pass;    // per list position: bit t known, bit 4 + t passable for type t
    };

private:
    TNearIndex SeenIndex;
    TNearIndex RevealedIndex;
};
