#pragma once
// The grids the route benchmark measures and the path finder's tests record
// routes on: a field of trees and lakes, a maze with loops, and random blocks
// with rooms, each with four unit types that see the ground differently. The
// same seeds give the same grids on every machine (std::mt19937 is fully
// specified).

#include "units/my_PathFinder.h"

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

struct TRouteGrid {
    std::string Name;
    int32_t W = 0;
    int32_t H = 0;
    std::vector<std::vector<uint8_t>> Types;  // one pass grid per unit type
    int32_t UnitType = 0;                     // the type a benchmark asks its questions for
    std::vector<std::pair<TWayPoint, TWayPoint>> Queries;
};

// The unit types see the same ground differently: type 1 has extra small obstacles,
// type 2 a river with fords, type 3 uneven ground costs.
inline void AddUnitTypes(TRouteGrid& g, uint32_t seed) {
    std::mt19937 rng(seed);
    const std::vector<uint8_t> base = g.Types[0];
    std::vector<uint8_t> t1 = base, t2 = base, t3 = base;
    for (auto& c : t1)
        if (rng() % 100 < 4)
            c = 255;
    const int32_t river = g.W / 3 + static_cast<int32_t>(rng() % static_cast<uint32_t>(g.W / 3 + 1));
    for (int32_t y = 0; y < g.H; ++y)
        for (int32_t x = river; x < std::min(g.W, river + 3); ++x)
            if (y % 40 >= 4)
                t2[static_cast<size_t>(y) * g.W + x] = 255;
    for (auto& c : t3)
        if (c != 255)
            c = static_cast<uint8_t>(rng() % 255);
    g.Types.push_back(t1);
    g.Types.push_back(t2);
    g.Types.push_back(t3);
}

// A 512 x 512 field: scattered trees, round lakes and a walled yard.
inline TRouteGrid FieldGrid() {
    TRouteGrid g{"field", 512, 512, {}, 0, {}};
    std::vector<uint8_t> m(512 * 512, 0);
    auto at = [&](int x, int y) -> uint8_t& { return m[static_cast<size_t>(y) * 512 + x]; };
    std::mt19937 rng(12345);
    for (int i = 0; i < 512 * 512 / 12; ++i) {
        const int x = static_cast<int>(rng() % 512);
        at(x, static_cast<int>(rng() % 512)) = 255;
    }
    auto lake = [&](int cx, int cy, int r) {
        for (int y = cy - r; y <= cy + r; ++y)
            for (int x = cx - r; x <= cx + r; ++x)
                if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
                    at(x, y) = 255;
    };
    lake(256, 256, 40);
    lake(120, 380, 25);
    lake(400, 130, 30);
    for (int y = 440; y <= 490; ++y)
        for (int x = 40; x <= 90; ++x)
            at(x, y) = (x <= 41 || x >= 89 || y <= 441 || y >= 489) ? 255 : 0;
    g.Types.push_back(m);
    AddUnitTypes(g, 1);
    return g;
}

// A 255 x 255 maze of one-tile corridors, with a few walls knocked out to make loops.
inline TRouteGrid MazeGrid() {
    constexpr int32_t N = 127;
    TRouteGrid g{"maze", 2 * N + 1, 2 * N + 1, {}, 0, {}};
    std::vector<uint8_t> m(static_cast<size_t>(g.W) * g.H, 255);
    auto at = [&](int x, int y) -> uint8_t& { return m[static_cast<size_t>(y) * g.W + x]; };
    std::mt19937 rng(777);
    std::vector<bool> seen(N * N, false);
    std::vector<int> stack{0};
    seen[0] = true;
    at(1, 1) = 0;
    const int DX[4] = {1, -1, 0, 0}, DY[4] = {0, 0, 1, -1};
    while (!stack.empty()) {
        const int c = stack.back();
        const int cx = c % N, cy = c / N;
        int options[4], count = 0;
        for (int i = 0; i < 4; ++i) {
            const int nx = cx + DX[i], ny = cy + DY[i];
            if (nx >= 0 && ny >= 0 && nx < N && ny < N && !seen[ny * N + nx])
                options[count++] = i;
        }
        if (count == 0) {
            stack.pop_back();
            continue;
        }
        const int i = options[rng() % static_cast<uint32_t>(count)];
        const int nx = cx + DX[i], ny = cy + DY[i];
        seen[ny * N + nx] = true;
        at(2 * cx + 1 + DX[i], 2 * cy + 1 + DY[i]) = 0;
        at(2 * nx + 1, 2 * ny + 1) = 0;
        stack.push_back(ny * N + nx);
    }
    for (int y = 1; y < g.H - 1; ++y)
        for (int x = 1; x < g.W - 1; ++x)
            if (at(x, y) == 255 && rng() % 100 < 3)
                at(x, y) = 0;
    g.Types.push_back(m);
    AddUnitTypes(g, 2);
    return g;
}

// Random blocks of a given density with a few rectangular rooms (some with doors).
inline TRouteGrid RandomBlocksGrid(const char* name, int32_t w, int32_t h, uint32_t percent, uint32_t seed) {
    TRouteGrid g{name, w, h, {}, 0, {}};
    std::vector<uint8_t> m(static_cast<size_t>(w) * h, 0);
    std::mt19937 rng(seed);
    for (auto& c : m)
        if (rng() % 100 < percent)
            c = 255;
    for (int k = 0; k < 6; ++k) {
        const int x0 = static_cast<int>(rng() % static_cast<uint32_t>(w));
        const int y0 = static_cast<int>(rng() % static_cast<uint32_t>(h));
        const int x1 = std::min(w - 1, x0 + 4 + static_cast<int>(rng() % 40));
        const int y1 = std::min(h - 1, y0 + 4 + static_cast<int>(rng() % 40));
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if ((x == x0 || x == x1 || y == y0 || y == y1) && rng() % 100 >= 10)
                    m[static_cast<size_t>(y) * w + x] = 255;
    }
    g.Types.push_back(m);
    AddUnitTypes(g, seed + 1);
    return g;
}
