// Path finder timings on a 512 x 512 map: everyday routes, and goals that cannot be
// reached, which a search without a closed set would answer by flooding every
// reachable tile. FloodReference runs that flood alone, for comparison.

#include "units/my_PathFinder.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr int32_t MapSize = 512;

struct TBenchMap {
    std::vector<uint8_t> Grid;
    TWayPoint LakeCentre{};   // blocked, with only blocked neighbours
    TWayPoint LakeShore{};    // blocked, next to open land
    TWayPoint FarTree{};      // a blocked tile near the far corner
    TWayPoint Enclosed{};     // open, but walled in
};

// Scattered trees, round lakes and one walled yard.
const TBenchMap& BenchMap()
{
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

TPathFinder& BenchFinder()
{
    static TPathFinder finder(MapSize, BenchMap().Grid, MapSize);
    return finder;
}

void Run(benchmark::State& state, TWayPoint start, TWayPoint goal)
{
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
void BM_FloodReference(benchmark::State& state)
{
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

void BM_CreateFinderWithFourGrids(benchmark::State& state)
{
    const auto& grid = BenchMap().Grid;
    for (auto _ : state) {
        TPathFinder finder(MapSize, grid, MapSize);
        for (int t = 1; t < 4; ++t)
            finder.AddGrid(grid);
        benchmark::DoNotOptimize(finder.GetGridCount());
    }
}

}  // namespace

BENCHMARK(BM_ShortRoute)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AcrossTheMap)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_AroundALake)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnreachableGoalInYard)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlockedGoalMidLake)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlockedGoalOnShore)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BlockedGoalFarTree)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FloodReference)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CreateFinderWithFourGrids)->Unit(benchmark::kMillisecond);
