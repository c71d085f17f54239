// Routes on the battle map itself: the typical order across the field, a goal
// no unit can reach, and a spread of random tile pairs (median and worst case
// are read off the per-pair times). Also the whole simulation on it with 1000 to
// 10 000 units. Needs the game data: build the gamedata target.

#include "UnitsFrame.h"
#include "app/e_Platform.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"
#include "units/my_PathFinder.h"
#include "world/LandshaftObject.h"
#include "world/MapObject.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <random>

// A profiler run may want fewer: -DSIM_FRAMES=60.
#ifndef SIM_FRAMES
#define SIM_FRAMES 300
#endif

namespace {

struct BattleMap {
    TLandscapeSection Land;
    std::unique_ptr<TPathFinder> Finder;
};

std::vector<uint8_t> Grid(const TLandscapeSection& land, int32_t type) {
    std::vector<uint8_t> grid(land.Tiles.size());
    for (size_t i = 0; i < grid.size(); ++i)
        grid[i] = TilePassable(TileTypeOfByte(land.Tiles[i].TileType), land.Tiles[i].Flags, type) ? 0 : 255;
    return grid;
}

const BattleMap* Load() {
    static std::unique_ptr<BattleMap> map = [] {
        std::unique_ptr<BattleMap> m;
        const std::string path = std::string(MYGAME_BINARY_DIR) + "/Data/Maps/FirstBlood.map";
        if (!std::filesystem::exists(path))
            return m;
        m = std::make_unique<BattleMap>();
        TMapStream stream = TMapStream::FromFile(path);
        m->Land = ReadMapFile(stream).Landscape;
        m->Finder = std::make_unique<TPathFinder>(m->Land.Cols, Grid(m->Land, 0), m->Land.Rows);
        for (int32_t t = 1; t < UnitTypeCount; ++t)
            m->Finder->AddGrid(Grid(m->Land, t));
        return m;
    }();
    return map.get();
}

// The human troop's start to CPU1's start, for a warrior.
void TypicalRoute(benchmark::State& state) {
    const BattleMap* map = Load();
    if (!map) {
        state.SkipWithError("no game data: build the gamedata target first");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(map->Finder->FindPath({map->Land.Cols - 30, 60}, {7, 10}, UnitTypeWarrior));
}
BENCHMARK(TypicalRoute)->Unit(benchmark::kMicrosecond);

// A blocked tile for the cavalry, as far from the start as the map allows.
void UnreachableGoal(benchmark::State& state) {
    const BattleMap* map = Load();
    if (!map) {
        state.SkipWithError("no game data: build the gamedata target first");
        return;
    }
    TWayPoint goal{-1, -1};
    int32_t best = -1;
    for (int32_t row = 0; row < map->Land.Rows; ++row)
        for (int32_t col = 0; col < map->Land.Cols; ++col)
            if (map->Finder->CellCost(UnitTypeCavalryman, col, row) == TPathFinder::MaxCost &&
                col + row > best) {
                best = col + row;
                goal = {col, row};
            }
    if (best < 0) {
        state.SkipWithError("the map has no blocked tile");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(map->Finder->FindPath({2, 2}, goal, UnitTypeCavalryman));
}
BENCHMARK(UnreachableGoal)->Unit(benchmark::kMicrosecond);

// 200 random pairs of open tiles; reports the median and the worst pair.
void RandomPairs(benchmark::State& state) {
    const BattleMap* map = Load();
    if (!map) {
        state.SkipWithError("no game data: build the gamedata target first");
        return;
    }
    std::mt19937 rng(7);
    std::vector<std::pair<TWayPoint, TWayPoint>> pairs;
    while (pairs.size() < 200) {
        TWayPoint a{int32_t(rng() % map->Land.Cols), int32_t(rng() % map->Land.Rows)};
        TWayPoint b{int32_t(rng() % map->Land.Cols), int32_t(rng() % map->Land.Rows)};
        if (map->Finder->CellCost(UnitTypeBowman, a.x, a.y) != TPathFinder::MaxCost)
            pairs.push_back({a, b});
    }
    std::vector<double> times;
    for (auto _ : state) {
        times.clear();
        for (const auto& [a, b] : pairs) {
            auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(map->Finder->FindPath(a, b, UnitTypeBowman));
            times.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        }
    }
    std::sort(times.begin(), times.end());
    state.counters["median_ms"] = times[times.size() / 2];
    state.counters["worst_ms"] = times.back();
}
BENCHMARK(RandomPairs)->Unit(benchmark::kMillisecond)->Iterations(3);

// The battle on this map with every army grown, one unit to a tile, round its
// starting place (march: the armies still have to find each other) or round the
// middle (contact: within sight, so shooting, melee and deaths start at once);
// 15 : 10 : 10 as in the opening battle. The first 5 s of it (300 frames at 60
// a second), the same frames in every run; state is the low half of the
// battle's checksum at the end, the same for builds that simulate alike.
struct TMapBattle {
    std::unique_ptr<TGameMap> Map;
    std::unique_ptr<TBattle> Battle;  // goes before the map it stands on

    TMapBattle(const TLandscapeSection& land, size_t total, bool contact) {
        RandomSeed(1);
        Map = std::make_unique<TGameMap>();
        Map->Landshaft = std::make_unique<TLandshaftObject>();
        Map->Landshaft->Build(land, 1024, 1024);
        Map->MapCols = land.Cols;
        Map->MapRows = land.Rows;
        Map->PathFinder = std::make_unique<TPathFinder>(land.Cols, Map->PassGrid(0), land.Rows);
        for (int32_t t = 1; t < UnitTypeCount; ++t)
            Map->PathFinder->AddGrid(Map->PassGrid(t));
        Map->Occupancy.assign(size_t(land.Cols) * size_t(land.Rows), nullptr);
        Battle = std::make_unique<TBattle>(*Map);
        AddBattlePlayers(*Battle);
        auto& players = Battle->Players;
        const size_t human = total * 15 / 35, cpu = (total - human) / 2;
        const int32_t cols = land.Cols, rows = land.Rows;
        if (contact) {
            GrowArmy(*Map, *players[0], human, cols / 2, rows / 2);
            GrowArmy(*Map, *players[1], cpu, cols / 2 - 22, rows / 2 - 8);
            GrowArmy(*Map, *players[2], total - human - cpu, cols / 2 - 22, rows / 2 + 8);
        } else {
            GrowArmy(*Map, *players[0], human, cols - 30, 60);
            GrowArmy(*Map, *players[1], cpu, 7, 10);
            GrowArmy(*Map, *players[2], total - human - cpu, 7, rows - 8);
        }
    }
    ~TMapBattle() { Battle.reset(); }
};

void Simulation(benchmark::State& state) {
    const BattleMap* map = Load();
    if (!map) {
        state.SkipWithError("no game data: build the gamedata target first");
        return;
    }
    TMapBattle battle(map->Land, size_t(state.range(0)), state.range(1) != 0);
    size_t living = 0, frames = 0;
    for (auto _ : state) {
        SimulateFrame(*battle.Battle, 1.0 / 60.0);
        living += LivingUnits(*battle.Battle);
        ++frames;
    }
    state.counters["units"] = frames ? double(living) / double(frames) : 0.0;  // on average
    state.counters["state"] = double(battle.Battle->Checksum() & 0xffffffffu);
}
BENCHMARK(Simulation)
    ->ArgNames({"units", "contact"})
    ->ArgsProduct({{1000, 2000, 5000, 10000}, {0, 1}})
    ->Iterations(SIM_FRAMES)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
