#pragma once
// The unit type table: what sets bowmen, warriors and cavalrymen apart. It sits
// below the map (which builds a cost grid per type from it) and the units, and
// needs nothing but the standard library.

#include <array>
#include <cstdint>

// ---------------------------------------------------------------------------
// Unit types and their features
// ---------------------------------------------------------------------------

// Unit type indices: the row of UnitFeatures and the path finder's cost grid.
enum : int32_t {
    UnitTypeDebug = 0,
    UnitTypeBowman = 1,
    UnitTypeWarrior = 2,
    UnitTypeCavalryman = 3,
};
constexpr int32_t UnitTypeCount = 4;

// One row of the unit type table. Field order and widths are fixed: sixteen
// 32-bit fields after the name. Reserved3..5 and Reserved7 carry values that
// nothing reads yet.
struct TUnitFeatures {
    const char* Name;
    int32_t MaxHealth;
    int32_t MaxGauge2;  // full value of the second HUD gauge; nothing lowers it
    int32_t Reserved3;
    int32_t Reserved4;
    int32_t Reserved5;
    int32_t BlockedByType3;  // 1: tiles of terrain type 3 are impassable
    int32_t Reserved7;
    int32_t BlockedByType6;  // 1: tiles of terrain type 6 are impassable
    float WalkSpeed;         // map units per second
    float RunSpeed;          // map units per second
    int32_t SightRadius;     // tiles
    int32_t ShootRange;      // map units; above 0 makes a ranged type
    float MeleeDamage;       // per second
    float MissileDamage;     // per missile
    float ReloadTime;        // seconds between two shots
};

// Indexed by unit type (0..UnitTypeCount-1); never changes.
extern const std::array<TUnitFeatures, UnitTypeCount> UnitFeatures;

inline bool IsValidUnitType(int32_t unitType) { return unitType >= 0 && unitType < UnitTypeCount; }

// A type with a shooting range above 0 shoots missiles.
inline bool IsRangedType(int32_t unitType) {
    return IsValidUnitType(unitType) && UnitFeatures[unitType].ShootRange > 0;
}
