#pragma once
// Map positions and world positions, and the one conversion between them.
//
// A map position is (mx, my, h): mx runs along the tile columns, my along the rows, one tile is
// one unit, and h is the height above the ground's zero. The world, where the camera, the
// renderer and the models live, is y-up: the world position of (mx, my, h) is (x = my, y = h,
// z = mx). Units, missiles and entities keep their map positions in a TMyVector3f with
// x = mx, y = my, z = h; MapToWorld and WorldToMap are the conversion for those, so that the
// swap of the axes is written here and nowhere else.

#include <cmath>
#include <cstdint>

#include "world/e_Math.h"

struct TMapPoint {
    float mx = 0.0f;
    float my = 0.0f;
    float h = 0.0f;
};

inline TMyVector3f ToWorld(const TMapPoint& p) { return {p.my, p.h, p.mx}; }
inline TMapPoint FromWorld(const TMyVector3f& w) { return {w.z, w.x, w.y}; }

// The same for a map position kept in a TMyVector3f (x = mx, y = my, z = h).
inline TMyVector3f MapToWorld(const TMyVector3f& p) { return ToWorld({p.x, p.y, p.z}); }
inline TMyVector3f WorldToMap(const TMyVector3f& w) {
    const TMapPoint p = FromWorld(w);
    return {p.mx, p.my, p.h};
}

// The tile of a map position; a position left of or above the map lies on no tile.
inline void TileOfPoint(const TMyVector3f& p, int32_t& col, int32_t& row) {
    col = int32_t(std::floor(p.x));
    row = int32_t(std::floor(p.y));
}
