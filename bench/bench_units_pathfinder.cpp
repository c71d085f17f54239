// Path finder timings on a 512 x 512 map: everyday routes, and goals that cannot be
// reached, which a search without a closed set would answer by flooding every
// reachable tile. FloodReference runs that flood alone, for comparison.
//
// BM_Routes/<grid>/<finder>: the same questions on the same grids answered by our
// finder and by boost::astar_search on an 8-connected graph with the same costs and
// estimate, one question per iteration. The grids are those whose routes
// tests/test_units_pathfinder.cpp pins; bench/run prints our time over boost's.

#include "../tests/RouteGrids.h"
#include "units/GameUnits.h"
#include "units/my_PathFinder.h"
#include "world/LandshaftObject.h"
#include "world/MapObject.h"

#include <benchmark/benchmark.h>
#include <boost/graph/adjacency_list.hpp>
#include <boost/graph/astar_search.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int32_t MapSize = 512;

struct TBenchMap {
    std::vector<uint8_t> Grid;
    TWayPoint LakeCentre{};  // blocked, with only blocked neighbours
    TWayPoint LakeShore{};   // blocked, next to open land
    TWayPoint FarTree{};     // a blocked tile near the far corner
    TWayPoint Enclosed{};    // open, but walled in
};

// Scattered trees, round lakes and one walled yard.
const TBenchMap& BenchMap() {
    static const TBenchMap map = [] {
        TBenchMap m;
        m.Grid.assign(MapSize * MapSize, 0);
        auto at = [&](int x, int y) -> uint8_t& { return m.Grid[y * MapSize + x]; };
        std::mt19937 rng(12345);
        std::uniform_int_distribution<int> coord(0, MapSize - 1);
        for (int i = 0; i < MapSize * MapSize / 12; ++i)
            at(coord(rng), coord(rng)) = 255;
        auto lake = [&](int cx, int cy, int r) {
            for (int y = cy - r; y <= cy + r; ++y)
                for (int x = cx - r; x <= cx + r; ++x)
                    if ((x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r)
                        at(x, y) = 255;
        };
        lake(256, 256, 40);
        lake(120, 380, 25);
        lake(400, 130, 30);
        m.LakeCentre = {256, 256};
        m.LakeShore = {256, 216};
        // A yard with a solid wall two tiles thick.
        for (int y = 440; y <= 490; ++y)
            for (int x = 40; x <= 90; ++x) {
                const bool wall = x <= 41 || x >= 89 || y <= 441 || y >= 489;
                at(x, y) = wall ? 255 : 0;
            }
        m.Enclosed = {65, 465};
        // Keep the corners used as starts open.
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                at(x, y) = 0;
        m.FarTree = {500, 500};
        for (int y = 497; y <= 503; ++y)
            for (int x = 497; x <= 503; ++x)
                at(x, y) = 0;
        at(500, 500) = 255;
        return m;
    }();
    return map;
}

TPathFinder& BenchFinder() {
    static TPathFinder finder(MapSize, BenchMap().Grid, MapSize);
    return finder;
}

void Run(benchmark::State& state, TWayPoint start, TWayPoint goal) {
    TPathFinder& finder = BenchFinder();
    size_t points = 0;
    for (auto _ : state) {
        TWay way = finder.FindPath(start, goal, 0);
        points = way.size();
        benchmark::DoNotOptimize(way.data());
    }
    state.counters["points"] = static_cast<double>(points);
}

void BM_ShortRoute(benchmark::State& state) { Run(state, {3, 3}, {14, 9}); }
void BM_AcrossTheMap(benchmark::State& state) { Run(state, {2, 2}, {505, 505}); }
void BM_AroundALake(benchmark::State& state) { Run(state, {200, 256}, {312, 256}); }
void BM_UnreachableGoalInYard(benchmark::State& state) { Run(state, {2, 2}, BenchMap().Enclosed); }
void BM_BlockedGoalMidLake(benchmark::State& state) { Run(state, {2, 2}, BenchMap().LakeCentre); }
void BM_BlockedGoalOnShore(benchmark::State& state) { Run(state, {2, 2}, BenchMap().LakeShore); }
void BM_BlockedGoalFarTree(benchmark::State& state) { Run(state, {2, 2}, BenchMap().FarTree); }

// What an unreachable goal would cost without the shortcuts: the same search run
// until its heap is empty.
void BM_FloodReference(benchmark::State& state) {
    const auto& grid = BenchMap().Grid;
    constexpr int DX[8] = {-1, 1, 0, 0, -1, -1, 1, 1};
    constexpr int DY[8] = {0, 0, -1, 1, -1, 1, 1, -1};
    constexpr int64_t Mult[8] = {65536, 65536, 65536, 65536, 92682, 92682, 92682, 92682};
    std::vector<int32_t> dist(grid.size());
    THeap heap;
    const TWayPoint goal = BenchMap().Enclosed;
    size_t expanded = 0;
    for (auto _ : state) {
        std::fill(dist.begin(), dist.end(), TPathFinder::MaxCost);
        dist[2 * MapSize + 2] = 0;
        heap.Push({TPathFinder::Heuristic(2, 2, goal.x, goal.y), 0, 2, 2, 2 * MapSize + 2, 2 * MapSize + 2});
        expanded = 0;
        while (!heap.Empty()) {
            const TNode node = heap.Pop();
            ++expanded;
            for (int i = 0; i < 8; ++i) {
                const int nx = node.X + DX[i], ny = node.Y + DY[i];
                if (nx < 0 || ny < 0 || nx >= MapSize || ny >= MapSize)
                    continue;
                const int n = ny * MapSize + nx;
                if (grid[n] == 255)
                    continue;
                const int64_t g = (200 + 3 * grid[n]) * Mult[i] / 65536 + node.G;
                if (dist[n] > g) {
                    dist[n] = static_cast<int32_t>(g);
                    heap.Push({g + TPathFinder::Heuristic(nx, ny, goal.x, goal.y), g, nx, ny, n, n});
                }
            }
        }
        benchmark::DoNotOptimize(dist.data());
    }
    state.counters["expanded"] = static_cast<double>(expanded);
}

void BM_CreateFinderWithFourGrids(benchmark::State& state) {
    const auto& grid = BenchMap().Grid;
    for (auto _ : state) {
        TPathFinder finder(MapSize, grid, MapSize);
        for (int t = 1; t < 4; ++t)
            finder.AddGrid(grid);
        benchmark::DoNotOptimize(finder.GetGridCount());
    }
}

// ---------------------------------------------------------------------------
// The route grids (tests/RouteGrids.h, shared with the tests that record their routes)
// ---------------------------------------------------------------------------

// The battle map, when the game data has been generated into the build folder.
bool BattleGrid(TRouteGrid& g) {
    const std::string path = std::string(MYGAME_BINARY_DIR) + "/Data/Maps/FirstBlood.map";
    if (!std::filesystem::exists(path))
        return false;
    TMapStream stream = TMapStream::FromFile(path);
    const TLandscapeSection land = ReadMapFile(stream).Landscape;
    g = TRouteGrid{"battle", land.Cols, land.Rows, {}, UnitTypeWarrior, {}};
    for (int32_t t = 0; t < UnitTypeCount; ++t) {
        std::vector<uint8_t> grid(land.Tiles.size());
        for (size_t i = 0; i < grid.size(); ++i)
            grid[i] = TilePassable(TileTypeOfByte(land.Tiles[i].TileType), land.Tiles[i].Flags, t) ? 0 : 255;
        g.Types.push_back(grid);
    }
    return true;
}

// What the searches need of one grid: our finder and boost's graph of it.
struct TRouteBench {
    using Graph = boost::adjacency_list<boost::vecS, boost::vecS, boost::directedS, boost::no_property,
                                        boost::property<boost::edge_weight_t, int64_t>>;
    TRouteGrid Grid;
    std::unique_ptr<TPathFinder> Finder;
    std::unique_ptr<Graph> G;
    std::vector<Graph::vertex_descriptor> Pred;
    std::vector<int64_t> Dist, Rank;
    std::vector<boost::default_color_type> Color;
};

// Pairs of open tiles that can reach each other: the everyday question.
void AddQueries(TRouteBench& b, uint32_t seed, int count) {
    TRouteGrid& g = b.Grid;
    const std::vector<uint8_t>& pass = g.Types[g.UnitType];
    std::mt19937 rng(seed);
    auto open = [&] {
        for (;;) {
            const TWayPoint p{static_cast<int32_t>(rng() % static_cast<uint32_t>(g.W)),
                              static_cast<int32_t>(rng() % static_cast<uint32_t>(g.H))};
            if (pass[static_cast<size_t>(p.y) * g.W + p.x] != 255)
                return p;
        }
    };
    while (static_cast<int>(g.Queries.size()) < count) {
        const TWayPoint a = open(), c = open();
        const TWay way = b.Finder->FindPath(a, c, g.UnitType);
        if (a != c && way.front() == a)
            g.Queries.push_back({a, c});
    }
}

std::unique_ptr<TRouteBench> MakeRouteBench(TRouteGrid grid, uint32_t seed) {
    auto b = std::make_unique<TRouteBench>();
    b->Grid = std::move(grid);
    const TRouteGrid& g = b->Grid;
    b->Finder = std::make_unique<TPathFinder>(g.W, g.Types[0], g.H);
    for (size_t t = 1; t < g.Types.size(); ++t)
        b->Finder->AddGrid(g.Types[t]);
    // Boost's graph: an edge into every open neighbour, weighted with the step cost
    // into that tile, neighbours in the same order as ours.
    const size_t cells = static_cast<size_t>(g.W) * g.H;
    b->G = std::make_unique<TRouteBench::Graph>(cells);
    constexpr int DX[8] = {-1, 1, 0, 0, -1, -1, 1, 1};
    constexpr int DY[8] = {0, 0, -1, 1, -1, 1, 1, -1};
    constexpr int64_t Mult[8] = {65536, 65536, 65536, 65536, 92682, 92682, 92682, 92682};
    const std::vector<uint8_t>& pass = g.Types[g.UnitType];
    for (int32_t y = 0; y < g.H; ++y)
        for (int32_t x = 0; x < g.W; ++x)
            for (int i = 0; i < 8; ++i) {
                const int32_t nx = x + DX[i], ny = y + DY[i];
                if (nx < 0 || ny < 0 || nx >= g.W || ny >= g.H)
                    continue;
                const uint8_t p = pass[static_cast<size_t>(ny) * g.W + nx];
                if (p == 255)
                    continue;
                boost::add_edge(static_cast<size_t>(y) * g.W + x, static_cast<size_t>(ny) * g.W + nx,
                                (200 + 3 * int64_t(p)) * Mult[i] / 65536, *b->G);
            }
    b->Pred.resize(cells);
    b->Dist.resize(cells);
    b->Rank.resize(cells);
    b->Color.resize(cells);
    AddQueries(*b, seed, 64);
    return b;
}

const std::vector<std::unique_ptr<TRouteBench>>& RouteBenches() {
    static const std::vector<std::unique_ptr<TRouteBench>> benches = [] {
        std::vector<std::unique_ptr<TRouteBench>> v;
        TRouteGrid battle;
        if (BattleGrid(battle))
            v.push_back(MakeRouteBench(std::move(battle), 50));
        v.push_back(MakeRouteBench(FieldGrid(), 51));
        v.push_back(MakeRouteBench(MazeGrid(), 52));
        v.push_back(MakeRouteBench(RandomBlocksGrid("random20", 256, 256, 20, 31), 53));
        v.push_back(MakeRouteBench(RandomBlocksGrid("random35", 200, 150, 35, 32), 54));
        return v;
    }();
    return benches;
}

const TRouteBench* FindRouteBench(const std::string& name) {
    for (const auto& b : RouteBenches())
        if (b->Grid.Name == name)
            return b.get();
    return nullptr;
}

struct TFoundGoal {};

// Ends boost's search when the goal leaves the queue, its usual way of stopping early.
class TGoalVisitor : public boost::default_astar_visitor {
public:
    explicit TGoalVisitor(size_t goal) : Goal(goal) {}
    template <class G>
    void examine_vertex(size_t v, const G&) {
        if (v == Goal)
            throw TFoundGoal{};
    }

private:
    size_t Goal;
};

class TGameEstimate : public boost::astar_heuristic<TRouteBench::Graph, int64_t> {
public:
    TGameEstimate(int32_t width, TWayPoint goal) : Width(width), Goal(goal) {}
    int64_t operator()(size_t v) const {
        return TPathFinder::Heuristic(static_cast<int32_t>(v % Width), static_cast<int32_t>(v / Width),
                                      Goal.x, Goal.y);
    }

private:
    int32_t Width;
    TWayPoint Goal;
};

TWay BoostRoute(TRouteBench& b, TWayPoint start, TWayPoint goal) {
    const int32_t w = b.Grid.W;
    const size_t s = static_cast<size_t>(start.y) * w + start.x;
    const size_t t = static_cast<size_t>(goal.y) * w + goal.x;
    try {
        boost::astar_search(*b.G, s, TGameEstimate(w, goal),
                            boost::predecessor_map(b.Pred.data())
                                .distance_map(b.Dist.data())
                                .rank_map(b.Rank.data())
                                .color_map(b.Color.data())
                                .visitor(TGoalVisitor(t)));
    } catch (const TFoundGoal&) {
    }
    TWay way;
    for (size_t v = t; v != s && b.Pred[v] != v; v = b.Pred[v])
        way.push_back({static_cast<int32_t>(v % w), static_cast<int32_t>(v / w)});
    way.push_back(start);
    std::reverse(way.begin(), way.end());
    return way;
}

void BM_Routes(benchmark::State& state, const std::string& grid, bool boostFinder) {
    auto* b = const_cast<TRouteBench*>(FindRouteBench(grid));
    if (!b) {
        state.SkipWithError("no game data: build the gamedata target first");
        return;
    }
    size_t q = 0;
    size_t points = 0;
    for (auto _ : state) {
        const auto& [a, c] = b->Grid.Queries[q];
        TWay way = boostFinder ? BoostRoute(*b, a, c) : b->Finder->FindPath(a, c, b->Grid.UnitType);
        points += way.size();
        benchmark::DoNotOptimize(way.data());
        q = q + 1 == b->Grid.Queries.size() ? 0 : q + 1;
    }
    state.counters["points"] =
        benchmark::Counter(static_cast<double>(points), benchmark::Counter::kAvgIterations);
}

// The human troop's start to CPU1's for a warrior, the battle map's typical order.
void BM_BattleTypicalRoute(benchmark::State& state, bool boostFinder) {
    auto* b = const_cast<TRouteBench*>(FindRouteBench("battle"));
    if (!b) {
        state.SkipWithError("no game data: build the gamedata target first");
        return;
    }
    const TWayPoint a{b->Grid.W - 30, 60}, c{7, 10};
    for (auto _ : state) {
        TWay way = boostFinder ? BoostRoute(*b, a, c) : b->Finder->FindPath(a, c, UnitTypeWarrior);
        benchmark::DoNotOptimize(way.data());
    }
}

}  // namespace

BENCHMARK_CAPTURE(BM_BattleTypicalRoute, ours, false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_BattleTypicalRoute, boost, true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Routes, battle / ours, std::string("battle"), false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Routes, battle / boost, std::string("battle"), true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Routes, field / ours, std::string("field"), false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Routes, field / boost, std::string("field"), true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Routes, maze / ours, std::string("maze"), false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Routes, maze / boost, std::string("maze"), true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Routes, random20 / ours, std::string("random20"), false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Routes, random20 / boost, std::string("random20"), true)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Routes, random35 / ours, std::string("random35"), false)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Routes, random35 / boost, std::string("random35"), true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShortRoute)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AcrossTheMap)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AroundALake)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnreachableGoalInYard)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlockedGoalMidLake)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlockedGoalOnShore)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlockedGoalFarTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloodReference)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CreateFinderWithFourGrids)->Unit(benchmark::kMillisecond);
