#pragma once
// Where the battle is fought: where each army starts, where the computer players' reinforcements
// come from and where the light stands. The battle deploys the armies from it, the computer
// players call up their reinforcements at its camps, the battle scene lights the map from it and
// the map generator keeps its ground flat and open and bakes the same light into the terrain.
// Change a number here and all four follow; the generated map must then be made again.
//
// Positions are map coordinates (mx, my, h) on a map of `cols` x `rows` tiles, as the players'
// AddUnit takes them; the light is in world coordinates.

#include <cstdint>

#include "world/e_Math.h"

namespace BattleLayout {

// The human army is drawn up round this point, at most 7 tiles from it along each axis.
inline TMyVector3f HumanBase(int32_t cols) { return {float(cols - 30), 60.0f, 0.0f}; }

// The generator's flat ground for the human army, a map rectangle round HumanBase.
struct TArea {
    float X0, Y0, X1, Y1;
};
inline TArea HumanStartArea(int32_t cols) {
    const TMyVector3f s = HumanBase(cols);
    return {s.x - 7.0f, s.y - 7.0f, s.x + 8.0f, s.y + 8.0f};
}

// The two computer players' camps, where their first units stand and their reinforcements
// appear, and the way those units face.
inline TMyVector3f Cpu1Camp() { return {7.0f, 10.0f, 0.0f}; }
inline TMyVector3f Cpu2Camp(int32_t rows) { return {7.0f, float(rows - 8), 0.0f}; }
inline constexpr float Cpu1Yaw = Radians(180);
inline constexpr float Cpu2Yaw = Radians(120);
// How far round a camp's tile centre the generator keeps the ground clear.
inline constexpr float CampRadius = 7.0f;

// The battle's light, world coordinates: the scene's light position and the direction the
// generator bakes the terrain's light from.
inline constexpr TMyVector3f LightPos{-500.0f, 1000.0f, -300.0f};

}  // namespace BattleLayout
