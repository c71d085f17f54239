#pragma once
// The terrain type of a map tile. It is what decides who may walk on the tile (TilePassable in
// MapObject.h), which cursor the ground shows and whether a unit wades or is tinted. The map file
// stores it in one byte of the tile record; the map generator writes these same values, so a
// value's meaning must never change. A file may hold any byte: values that are not named here
// are impassable for everyone.

#include <cstdint>

enum class TTileType : int32_t {
    OffMap = -1,    // not a tile: what the map answers for a place outside it
    Ground = 0,     // passable
    Road = 1,       // passable
    DeepWater = 2,  // impassable
    Shallow = 3,    // water: blocks the unit types with BlockedByType3, leaves rings
    Grass = 4,      // passable
    Sand = 5,       // passable
    Woods = 6,      // blocks the unit types with BlockedByType6, tints the soldiers
    Rocky = 7,      // impassable
    Cliff = 8,      // impassable
    Clear = 9,      // passable; the generator lays none
};

// The byte of a tile record, and back.
inline TTileType TileTypeOfByte(uint8_t stored) { return static_cast<TTileType>(stored); }
inline uint8_t TileTypeByte(TTileType type) { return static_cast<uint8_t>(type); }
