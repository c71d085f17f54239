// Unit type table and path finder.
//
// The path finder's routes are defined by a plain A* without a closed set, a trace
// down the cost field and a line-of-sight pass. LiteralFinder below is that
// algorithm written out step by step with no shortcuts; the real finder must give
// exactly its routes on every grid.

#include "RouteGrids.h"
#include "units/GameUnits.h"
#include "units/my_PathFinder.h"
#include "world/LandshaftObject.h"
#include "world/MapObject.h"
#include "world/e_Math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// The reference: every step as written, nothing skipped
// ---------------------------------------------------------------------------

class LiteralFinder {
public:
    static constexpr int32_t MaxCost = 2147483647;

    LiteralFinder(int32_t width, const std::vector<uint8_t>& pass, int32_t height) : W(width), H(height) {
        dist.resize(static_cast<size_t>(W * H));
        for (int i = 0; i < 8; ++i)
            offset[i] = W * DY[i] + DX[i];
        AddGrid(pass);
    }

    void AddGrid(const std::vector<uint8_t>& pass) {
        std::vector<int32_t> cost(pass.size());
        for (size_t i = 0; i < pass.size(); ++i)
            cost[i] = pass[i] == 255 ? MaxCost : 200 + 3 * pass[i];
        grids.push_back(cost);
    }

    TWay FindPath(TWayPoint start, TWayPoint goal, int type) {
        Search(start, goal, grids[type]);
        TWay trace = Trace(start, goal);
        TWay result;
        int last = static_cast<int>(trace.size()) - 1;
        result.push_back(trace[last]);
        int a = last;
        int k = last - 1;
        while (k >= 1) {
            if (Los(trace[a], trace[k - 1], grids[type])) {
                --k;
            } else {
                result.push_back(trace[k]);
                a = k;
                --k;
            }
        }
        result.push_back(trace[0]);
        return result;
    }

private:
    struct Node {
        int32_t F, G, X, Y, CostIndex, DistIndex;
    };
    static constexpr int DX[8] = {-1, 1, 0, 0, -1, -1, 1, 1};
    static constexpr int DY[8] = {0, 0, -1, 1, -1, 1, 1, -1};
    static constexpr int32_t Mult[8] = {65536, 65536, 65536, 65536, 92682, 92682, 92682, 92682};

    int32_t W, H;
    int32_t offset[8];
    std::vector<std::vector<int32_t>> grids;
    std::vector<int32_t> dist;
    std::vector<Node> heap;

    static int32_t Heur(int x1, int y1, int x2, int y2) {
        int a = std::abs(x1 - x2), b = std::abs(y1 - y2);
        int h = b < a ? a + (b * 27146) / 65536 : b + (a * 27146) / 65536;
        return h * 200;
    }

    void Push(const Node& n) {
        heap.push_back(n);
        size_t i = heap.size() - 1;
        // Rise while the parent's F is not smaller.
        while (i > 0 && !(heap[(i - 1) / 2].F < heap[i].F)) {
            std::swap(heap[(i - 1) / 2], heap[i]);
            i = (i - 1) / 2;
        }
    }

    Node Pop() {
        Node top = heap[0];
        heap[0] = heap.back();
        heap.pop_back();
        size_t i = 0;
        while (true) {
            size_t l = 2 * i + 1, r = 2 * i + 2, c;
            if (l >= heap.size())
                break;
            if (r >= heap.size())
                c = l;
            else
                c = heap[l].F < heap[r].F ? l : r;
            if (heap[i].F <= heap[c].F)
                break;
            std::swap(heap[i], heap[c]);
            i = c;
        }
        return top;
    }

    void Search(TWayPoint s, TWayPoint g, const std::vector<int32_t>& C) {
        for (auto& d : dist)
            d = MaxCost;
        heap.clear();
        int si = s.y * W + s.x;
        Push({Heur(s.x, s.y, g.x, g.y), 0, s.x, s.y, si, si});
        dist[si] = 0;
        while (!heap.empty()) {
            Node n = Pop();
            for (int i = 0; i < 8; ++i) {
                int nx = n.X + DX[i], ny = n.Y + DY[i];
                if (nx < 0 || ny < 0 || nx >= W || ny >= H)
                    continue;
                int ci = n.CostIndex + offset[i];
                if (C[ci] >= MaxCost)
                    continue;
                int32_t g2 = static_cast<int32_t>((static_cast<int64_t>(C[ci]) * Mult[i]) / 65536) + n.G;
                int32_t f2 = g2 + Heur(nx, ny, g.x, g.y);
                if (dist[ci] > g2) {
                    Push({f2, g2, nx, ny, ci, ci});
                    dist[ci] = g2;
                }
                if (nx == g.x && ny == g.y)
                    return;
            }
        }
    }

    TWay Trace(TWayPoint s, TWayPoint g) {
        TWay trace;
        int cx = g.x, cy = g.y;
        while (!(cx == s.x && cy == s.y)) {
            trace.push_back({cx, cy});
            int32_t best = MaxCost;
            int bx = -1, by = -1;
            for (int i = 0; i < 8; ++i) {
                int nx = cx + DX[i], ny = cy + DY[i];
                if (nx < 0 || ny < 0 || nx >= W || ny >= H)
                    continue;
                if (dist[ny * W + nx] < best) {
                    best = dist[ny * W + nx];
                    bx = nx;
                    by = ny;
                }
            }
            if (bx < 0)
                break;
            dist[cy * W + cx] = MaxCost;
            cx = bx;
            cy = by;
        }
        trace.push_back({cx, cy});
        return trace;
    }

public:
    bool Los(TWayPoint a, TWayPoint b, int type) const { return Los(a, b, grids[type]); }

private:
    bool Los(TWayPoint a, TWayPoint b, const std::vector<int32_t>& C) const {
        TMyVector2f A{static_cast<float>(a.x), static_cast<float>(a.y)};
        TMyVector2f B{static_cast<float>(b.x), static_cast<float>(b.y)};
        TMyVector2f d = Vec2Sub(B, A);
        float L = Vec2Length(d);
        Vec2Normalize(d);
        auto blocked = [&](float x, float y) {
            int cx = static_cast<int>(x), cy = static_cast<int>(y);
            if (cx < 0 || cy < 0 || cx >= W || cy >= H)
                return true;
            return C[cy * W + cx] >= MaxCost;
        };
        for (float s = 0; s < L; s += 0.2f) {
            TMyVector2f p = Vec2Add(A, Vec2Scale(d, s));
            if (blocked(p.x, p.y) || blocked(p.x + 0.4f, p.y + 0.4f) || blocked(p.x - 0.4f, p.y + 0.4f) ||
                blocked(p.x + 0.4f, p.y - 0.4f) || blocked(p.x - 0.4f, p.y - 0.4f))
                return false;
        }
        return true;
    }
};

// ---------------------------------------------------------------------------
// Grid helpers
// ---------------------------------------------------------------------------

// Rows of text: '#' blocked, anything else open.
std::vector<uint8_t> GridFromText(const std::vector<std::string>& rows) {
    std::vector<uint8_t> grid;
    for (const auto& row : rows)
        for (char c : row)
            grid.push_back(c == '#' ? 255 : 0);
    return grid;
}

std::string WayText(const TWay& way) {
    std::string s;
    for (const auto& p : way)
        s += "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
    return s;
}

// Random grids of several shapes: scattered blocks, walls with gaps, closed rooms,
// and occasionally uneven costs.
std::vector<uint8_t> RandomGrid(std::mt19937& rng, int w, int h) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<uint8_t> grid(static_cast<size_t>(w * h), 0);
    const double density = std::uniform_int_distribution<int>(0, 6)(rng) * 0.1;
    const bool uneven = unit(rng) < 0.25;
    for (auto& c : grid) {
        if (unit(rng) < density)
            c = 255;
        else if (uneven)
            c = static_cast<uint8_t>(std::uniform_int_distribution<int>(0, 254)(rng));
    }
    const int shapes = std::uniform_int_distribution<int>(0, 3)(rng);
    for (int k = 0; k < shapes; ++k) {
        int x0 = std::uniform_int_distribution<int>(0, w - 1)(rng);
        int y0 = std::uniform_int_distribution<int>(0, h - 1)(rng);
        int x1 = std::uniform_int_distribution<int>(x0, w - 1)(rng);
        int y1 = std::uniform_int_distribution<int>(y0, h - 1)(rng);
        bool gaps = unit(rng) < 0.5;
        // The outline of a rectangle: a closed room, or one with a few doors.
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if ((x == x0 || x == x1 || y == y0 || y == y1) && !(gaps && unit(rng) < 0.15))
                    grid[y * w + x] = 255;
    }
    return grid;
}

TWayPoint RandomCell(std::mt19937& rng, int w, int h) {
    return {std::uniform_int_distribution<int>(0, w - 1)(rng),
            std::uniform_int_distribution<int>(0, h - 1)(rng)};
}

// ---------------------------------------------------------------------------
// Unit types
// ---------------------------------------------------------------------------

TEST(UnitFeatures, TableSetsTheTypesApart) {
    ASSERT_EQ(UnitFeatures.size(), 4u);
    EXPECT_STREQ(UnitFeatures[UnitTypeDebug].Name, "Debug Unit");
    EXPECT_STREQ(UnitFeatures[UnitTypeBowman].Name, "Bowman");
    EXPECT_STREQ(UnitFeatures[UnitTypeWarrior].Name, "Warrior");
    EXPECT_STREQ(UnitFeatures[UnitTypeCavalryman].Name, "Cavalryman");

    // Only the bowman shoots.
    for (int t = 0; t < UnitTypeCount; ++t)
        EXPECT_EQ(IsRangedType(t), t == UnitTypeBowman) << t;
    EXPECT_EQ(UnitFeatures[UnitTypeBowman].ShootRange, 15);
    EXPECT_FLOAT_EQ(UnitFeatures[UnitTypeBowman].MissileDamage, 200.0f);
    EXPECT_FALSE(IsRangedType(-1));
    EXPECT_FALSE(IsRangedType(UnitTypeCount));

    // Terrain: warriors stay off type 3, cavalry off type 6, the debug unit off both.
    const int32_t by3[4] = {1, 0, 1, 0};
    const int32_t by6[4] = {1, 0, 0, 1};
    for (int t = 0; t < UnitTypeCount; ++t) {
        EXPECT_EQ(UnitFeatures[t].BlockedByType3, by3[t]) << t;
        EXPECT_EQ(UnitFeatures[t].BlockedByType6, by6[t]) << t;
    }

    // The field types run twice as fast as they walk; 1.4 and 2.8 are the nearest singles.
    for (int t = UnitTypeBowman; t < UnitTypeCount; ++t)
        EXPECT_EQ(UnitFeatures[t].RunSpeed, 2.0f * UnitFeatures[t].WalkSpeed) << t;
    EXPECT_EQ(UnitFeatures[UnitTypeWarrior].WalkSpeed, 1.4f);
    EXPECT_EQ(UnitFeatures[UnitTypeWarrior].RunSpeed, 2.8f);

    const int32_t health[4] = {1000, 1500, 3000, 2500};
    for (int t = 0; t < UnitTypeCount; ++t) {
        EXPECT_EQ(UnitFeatures[t].MaxHealth, health[t]);
        EXPECT_EQ(UnitFeatures[t].MaxGauge2, 1000);
    }
}

// ---------------------------------------------------------------------------
// Path finder
// ---------------------------------------------------------------------------

TEST(PathFinderHeap, EqualPrioritiesLeaveInTheFixedTieOrder) {
    // Four equal F values pushed as 0, 1, 2, 3: a pushed node rises above an equal
    // parent, and a sinking one prefers the right child on a tie.
    THeap heap;
    for (int32_t i = 0; i < 4; ++i)
        heap.Push({100, 0, i, 0, 0, 0});
    std::vector<int32_t> order;
    while (!heap.Empty())
        order.push_back(heap.Pop().X);
    EXPECT_EQ(order, (std::vector<int32_t>{3, 0, 1, 2}));

    // Mixed priorities still come out smallest first.
    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i)
        heap.Push({std::uniform_int_distribution<int>(0, 50)(rng), 0, i, 0, 0, 0});
    int64_t previous = -1;
    while (!heap.Empty()) {
        int64_t f = heap.Pop().F;
        EXPECT_LE(previous, f);
        previous = f;
    }
}

TEST(PathFinder, MatchesLiteralSearchOnRandomGrids) {
    std::mt19937 rng(20240611);
    int compared = 0;
    int blockedGoals = 0;
    int sameCell = 0;
    int unreachable = 0;
    for (int gridIndex = 0; gridIndex < 1200; ++gridIndex) {
        const int side = gridIndex % 100 == 0 ? 120 : gridIndex % 10 == 0 ? 48 : 16;
        const int w = std::uniform_int_distribution<int>(1, side)(rng);
        const int h = std::uniform_int_distribution<int>(1, side)(rng);
        std::vector<uint8_t> g0 = RandomGrid(rng, w, h);
        std::vector<uint8_t> g1 = RandomGrid(rng, w, h);
        TPathFinder finder(w, g0, h);
        finder.AddGrid(g1);
        LiteralFinder literal(w, g0, h);
        literal.AddGrid(g1);

        // One finder answers many questions in a row, so stale scratch state would show.
        for (int q = 0; q < 12; ++q) {
            const int type = q % 2;
            const auto& grid = type == 0 ? g0 : g1;
            TWayPoint start = RandomCell(rng, w, h);
            TWayPoint goal = RandomCell(rng, w, h);
            if (q == 0)
                goal = start;
            if (q == 1 || q == 2) {
                // Aim at a blocked cell when there is one.
                for (int tries = 0; tries < 20 && grid[goal.y * w + goal.x] != 255; ++tries)
                    goal = RandomCell(rng, w, h);
            }
            if (q == 3) {
                for (int tries = 0; tries < 20 && grid[start.y * w + start.x] != 255; ++tries)
                    start = RandomCell(rng, w, h);
            }
            const TWay expected = literal.FindPath(start, goal, type);
            const TWay actual = finder.FindPath(start, goal, type);
            ASSERT_EQ(WayText(actual), WayText(expected))
                << "grid " << gridIndex << " (" << w << "x" << h << ") type " << type << " from " << start.x
                << "," << start.y << " to " << goal.x << "," << goal.y;
            ASSERT_GE(actual.size(), 2u);
            EXPECT_TRUE(actual.front() == start || actual == (TWay{goal, goal}));
            EXPECT_EQ(actual.back(), goal);
            // Line of sight on its own, between any two tiles, edges and corners included.
            const TWayPoint a = RandomCell(rng, w, h),
                            b = q % 3 == 0 ? TWayPoint{w - 1, h - 1} : RandomCell(rng, w, h);
            ASSERT_EQ(finder.LineOfSight(a, b, type), literal.Los(a, b, type))
                << "grid " << gridIndex << " type " << type << " from " << a.x << "," << a.y << " to " << b.x
                << "," << b.y;
            ASSERT_EQ(finder.LineOfSight(b, a, type), literal.Los(b, a, type))
                << "grid " << gridIndex << " type " << type << " from " << b.x << "," << b.y << " to " << a.x
                << "," << a.y;
            ++compared;
            blockedGoals += grid[goal.y * w + goal.x] == 255;
            sameCell += start == goal;
            unreachable += actual.front() != start;
        }
    }
    // The random mix really covers the cases that take the shortcuts.
    EXPECT_GT(blockedGoals, 1000);
    EXPECT_GE(sameCell, 1200);
    EXPECT_GT(unreachable, 500);
    EXPECT_EQ(compared, 1200 * 12);
}

TEST(PathFinder, SpecialRoutes) {
    // Open 10x5 field.
    std::vector<uint8_t> open(50, 0);
    TPathFinder finder(10, open, 5);

    // Start equal to goal.
    EXPECT_EQ(finder.FindPath({3, 2}, {3, 2}, 0), (TWay{{3, 2}, {3, 2}}));

    // A straight run keeps only its ends.
    EXPECT_EQ(finder.FindPath({0, 2}, {9, 2}, 0), (TWay{{0, 2}, {9, 2}}));
    EXPECT_EQ(finder.FindPath({9, 4}, {0, 0}, 0), (TWay{{9, 4}, {0, 0}}));

    // A goal walled in on every side: nothing near it has a cost.
    TPathFinder walled(5, GridFromText({".....", "..###", "..#.#", "..###", "....."}), 5);
    EXPECT_EQ(walled.FindPath({0, 0}, {3, 2}, 0), (TWay{{3, 2}, {3, 2}}));
    // A corner goal whose only neighbours are blocked.
    TPathFinder corner(4, GridFromText({"..#.", "..##", "....", "...."}), 4);
    EXPECT_EQ(corner.FindPath({0, 3}, {3, 0}, 0), (TWay{{3, 0}, {3, 0}}));
}

TEST(PathFinder, BlockedGoalEndsNextToItThenOnIt) {
    // A tree at (6, 2): the route goes to the field beside it and ends on the tree.
    TPathFinder finder(9, GridFromText({".........", ".........", "......#..", ".........", "........."}), 5);
    const TWay way = finder.FindPath({0, 2}, {6, 2}, 0);
    ASSERT_GE(way.size(), 2u);
    EXPECT_EQ(way.front(), (TWayPoint{0, 2}));
    EXPECT_EQ(way.back(), (TWayPoint{6, 2}));
    EXPECT_EQ(way, (TWay{{0, 2}, {5, 2}, {6, 2}}));
}

TEST(PathFinder, RouteKeepsCornersAroundObstacles) {
    // A wall with one door at row 1; going from the left bottom to the right bottom
    // the unit must pass the door, so some kept point sits in or beside it and every
    // leg between kept points is clear.
    const std::vector<std::string> rows = {"....#....", ".........", "....#....",
                                           "....#....", "....#....", "....#...."};
    TPathFinder finder(9, GridFromText(rows), 6);
    const TWay way = finder.FindPath({1, 5}, {7, 5}, 0);
    ASSERT_GE(way.size(), 3u) << WayText(way);
    EXPECT_EQ(way.front(), (TWayPoint{1, 5}));
    EXPECT_EQ(way.back(), (TWayPoint{7, 5}));
    for (size_t i = 1; i + 1 < way.size(); ++i)
        EXPECT_NE(rows[way[i].y][way[i].x], '#') << WayText(way);
    bool nearDoor = false;
    for (const auto& p : way)
        nearDoor = nearDoor || (p.y <= 2 && p.x >= 3 && p.x <= 5);
    EXPECT_TRUE(nearDoor) << WayText(way);
    EXPECT_FALSE(finder.LineOfSight({1, 5}, {7, 5}, 0));
}

TEST(PathFinder, EachUnitTypeUsesItsOwnGrid) {
    // Type 1 has a river across the middle column that type 0 may cross.
    std::vector<uint8_t> land(25, 0);
    std::vector<uint8_t> river = GridFromText({"..#..", "..#..", "..#..", "..#..", "....."});
    TPathFinder finder(5, land, 5);
    finder.AddGrid(river);
    EXPECT_EQ(finder.GetGridCount(), 2);
    EXPECT_EQ(finder.FindPath({0, 0}, {4, 0}, 0), (TWay{{0, 0}, {4, 0}}));
    const TWay around = finder.FindPath({0, 0}, {4, 0}, 1);
    ASSERT_GT(around.size(), 2u);
    bool ford = false;
    for (const auto& p : around)
        ford = ford || p.y == 4 || p.y == 3;
    EXPECT_TRUE(ford) << WayText(around);

    EXPECT_EQ(finder.CellCost(1, 2, 0), TPathFinder::MaxCost);
    EXPECT_EQ(finder.CellCost(0, 2, 0), 200);
    EXPECT_EQ(finder.CellCost(2, 0, 0), TPathFinder::MaxCost);
}

TEST(PathFinder, CostsFromPassBytes) {
    std::vector<uint8_t> grid = {0, 1, 254, 255};
    TPathFinder finder(2, grid, 2);
    EXPECT_EQ(finder.CellCost(0, 0, 0), 200);
    EXPECT_EQ(finder.CellCost(0, 1, 0), 203);
    EXPECT_EQ(finder.CellCost(0, 0, 1), 200 + 3 * 254);
    EXPECT_EQ(finder.CellCost(0, 1, 1), TPathFinder::MaxCost);
    EXPECT_EQ(finder.CellCost(0, -1, 0), TPathFinder::MaxCost);
    EXPECT_EQ(finder.CellCost(0, 0, 2), TPathFinder::MaxCost);

    // 27146/65536 of the shorter side is added, truncated, then scaled by 200.
    EXPECT_EQ(TPathFinder::Heuristic(0, 0, 10, 0), 2000);
    EXPECT_EQ(TPathFinder::Heuristic(0, 0, 10, 10), 200 * (10 + 4));
    EXPECT_EQ(TPathFinder::Heuristic(5, 9, 2, 1), 200 * (8 + 1));
}

TEST(PathFinder, RefusesBadInputWithoutTouchingMemory) {
    std::vector<uint8_t> grid(12, 0);
    TPathFinder finder(4, grid, 3);
    EXPECT_TRUE(finder.FindPath({-1, 0}, {1, 1}, 0).empty());
    EXPECT_TRUE(finder.FindPath({0, 0}, {4, 0}, 0).empty());
    EXPECT_TRUE(finder.FindPath({0, 0}, {0, 3}, 0).empty());
    EXPECT_TRUE(finder.FindPath({0, 0}, {1, 1}, 1).empty());
    EXPECT_TRUE(finder.FindPath({0, 0}, {1, 1}, -1).empty());
    EXPECT_FALSE(finder.LineOfSight({0, 0}, {1, 1}, 3));
    // A good question afterwards is still answered.
    EXPECT_EQ(finder.FindPath({0, 0}, {3, 2}, 0), (TWay{{0, 0}, {3, 2}}));

    EXPECT_THROW(finder.AddGrid(std::vector<uint8_t>(11, 0)), std::invalid_argument);
    EXPECT_THROW(TPathFinder(4, std::vector<uint8_t>(13, 0), 3), std::invalid_argument);
    EXPECT_THROW(TPathFinder(-4, std::vector<uint8_t>(), 3), std::invalid_argument);
    EXPECT_THROW(TPathFinder(100000, std::vector<uint8_t>(), 100000), std::invalid_argument);

    // An empty map answers nothing but works.
    TPathFinder empty(0, std::vector<uint8_t>(), 0);
    EXPECT_TRUE(empty.FindPath({0, 0}, {0, 0}, 0).empty());
}

// ---------------------------------------------------------------------------
// Routes recorded on the grids the route benchmark runs on
// ---------------------------------------------------------------------------
//
// The grids are the route benchmark's (RouteGrids.h).

std::vector<TRouteGrid> BenchmarkGrids() {
    std::vector<TRouteGrid> grids;
    grids.push_back(FieldGrid());
    grids.push_back(MazeGrid());
    grids.push_back(RandomBlocksGrid("random 20%", 256, 256, 20, 31));
    grids.push_back(RandomBlocksGrid("random 35%", 200, 150, 35, 32));
    return grids;
}

// Questions of every kind: mostly open tiles, some blocked goals and starts, the same tile.
std::vector<std::pair<TWayPoint, TWayPoint>> MixedQueries(const std::vector<uint8_t>& pass, int32_t w,
                                                          int32_t h, uint32_t seed, int count) {
    std::mt19937 rng(seed);
    auto cell = [&] {
        return TWayPoint{static_cast<int32_t>(rng() % static_cast<uint32_t>(w)),
                         static_cast<int32_t>(rng() % static_cast<uint32_t>(h))};
    };
    auto open = [&] {
        TWayPoint p = cell();
        for (int tries = 0; tries < 100 && pass[static_cast<size_t>(p.y) * w + p.x] == 255; ++tries)
            p = cell();
        return p;
    };
    std::vector<std::pair<TWayPoint, TWayPoint>> queries;
    for (int i = 0; i < count; ++i) {
        const int kind = i % 8;
        const TWayPoint a = kind == 6 ? cell() : open();
        const TWayPoint b = kind == 7 ? a : kind >= 5 ? cell() : open();
        queries.push_back({a, b});
    }
    return queries;
}

uint64_t HashRoute(uint64_t h, const TWay& way) {
    auto mix = [&](uint64_t v) {
        for (int i = 0; i < 4; ++i) {
            h ^= (v >> (8 * i)) & 0xff;
            h *= 1099511628211ull;
        }
    };
    mix(way.size());
    for (const auto& p : way) {
        mix(static_cast<uint32_t>(p.x));
        mix(static_cast<uint32_t>(p.y));
    }
    return h;
}

TEST(PathFinder, RoutesUnchangedOnTheBenchmarkGrids) {
    // Recorded from the finder as it was before any speed work, which itself matched
    // LiteralFinder on every one of these questions.
    const uint64_t recorded[] = {0x4caaa36c28aff93bull, 0x615aaa3e4d030ccdull, 0x08212baabfef22f2ull,
                                 0xa02ed7169bf969d5ull};
    const std::vector<TRouteGrid> grids = BenchmarkGrids();
    for (size_t gi = 0; gi < grids.size(); ++gi) {
        const TRouteGrid& g = grids[gi];
        TPathFinder finder(g.W, g.Types[0], g.H);
        for (size_t t = 1; t < g.Types.size(); ++t)
            finder.AddGrid(g.Types[t]);
        uint64_t hash = 14695981039346656037ull;
        size_t points = 0;
        for (int32_t t = 0; t < 4; ++t)
            for (const auto& [a, b] : MixedQueries(g.Types[t], g.W, g.H, 100 + 10 * gi + t, 48)) {
                const TWay way = finder.FindPath(a, b, t);
                hash = HashRoute(hash, way);
                points += way.size();
            }
        EXPECT_EQ(hash, recorded[gi]) << g.Name << ": " << points << " points";
    }
}

// The battle map with its four unit types, against the literal search (the map comes
// from the data generator, which may change it; the rules for routes do not change).
TEST(PathFinder, BattleMapRoutesMatchTheLiteralSearch) {
    const std::string path = std::string(MYGAME_BINARY_DIR) + "/Data/Maps/FirstBlood.map";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "no game data: build the gamedata target first";
    TMapStream stream = TMapStream::FromFile(path);
    const TLandscapeSection land = ReadMapFile(stream).Landscape;
    std::vector<std::vector<uint8_t>> types;
    for (int32_t t = 0; t < UnitTypeCount; ++t) {
        std::vector<uint8_t> grid(land.Tiles.size());
        for (size_t i = 0; i < grid.size(); ++i)
            grid[i] = TilePassable(TileTypeOfByte(land.Tiles[i].TileType), land.Tiles[i].Flags, t) ? 0 : 255;
        types.push_back(grid);
    }
    TPathFinder finder(land.Cols, types[0], land.Rows);
    LiteralFinder literal(land.Cols, types[0], land.Rows);
    for (int32_t t = 1; t < UnitTypeCount; ++t) {
        finder.AddGrid(types[t]);
        literal.AddGrid(types[t]);
    }
    for (int32_t t = 0; t < UnitTypeCount; ++t) {
        auto queries = MixedQueries(types[t], land.Cols, land.Rows, 900 + t, 40);
        queries.push_back({{land.Cols - 30, 60}, {7, 10}});  // the human troop's start to CPU1's
        for (const auto& [a, b] : queries)
            ASSERT_EQ(WayText(finder.FindPath(a, b, t)), WayText(literal.FindPath(a, b, t)))
                << "type " << t << " from " << a.x << "," << a.y << " to " << b.x << "," << b.y;
    }
}

}  // namespace
