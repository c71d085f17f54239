// Routes on the battle map itself: the typical order across the field, a goal
// no unit can reach, and a spread of random tile pairs (median and worst case
// are read off the per-pair times). Also the whole simulation on it with 1000 to
// 10 000 units. Needs the game data: build the gamedata target.

#include "UnitsFrame.h"
#include "app/e_Platform.h"
#include "units/BattleChecksum.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"
#include "units/my_PathFinder.h"
#include "world/LandshaftObject.h"
#include "world/MapObject.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <deque>
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
        grid[i] = TilePassable(land.Tiles[i].TileType, land.Tiles[i].Flags, type) ? 0 : 255;
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
            if (map->Finder->CellCost(UnitTypeCavalryman, col, row) == TPathFinder::MaxCost && col + row > best) {
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
            times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
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
    std::vector<std::unique_ptr<TPlayerObject>> Players;
    double Time = 0.0;

    TMapBattle(const TLandscapeSection& land, size_t total, bool contact)
    {
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
        Players.push_back(std::make_unique<TPlayerObject>(SideHuman, "Human", 1, Map.get()));
        Players.push_back(std::make_unique<TPlayerObject>(SideComputer, "CPU1", 0, Map.get()));
        Players.push_back(std::make_unique<TPlayerObject>(SideComputer, "CPU2", 2, Map.get()));
        const size_t human = total * 15 / 35, cpu = (total - human) / 2;
        const int32_t cols = land.Cols, rows = land.Rows;
        if (contact) {
            Grow(*Players[0], human, cols / 2, rows / 2);
            Grow(*Players[1], cpu, cols / 2 - 22, rows / 2 - 8);
            Grow(*Players[2], total - human - cpu, cols / 2 - 22, rows / 2 + 8);
        } else {
            Grow(*Players[0], human, cols - 30, 60);
            Grow(*Players[1], cpu, 7, 10);
            Grow(*Players[2], total - human - cpu, 7, rows - 8);
        }
    }
    ~TMapBattle() { Players.clear(); }

    void Grow(TPlayerObject& player, size_t count, int32_t col, int32_t row)
    {
        TGameMap& map = *Map;
        col = std::clamp(col, 1, map.MapCols - 2);
        row = std::clamp(row, 1, map.MapRows - 2);
        std::vector<bool> seen(size_t(map.MapCols) * size_t(map.MapRows), false);
        std::deque<std::pair<int32_t, int32_t>> open{{col, row}};
        seen[size_t(row) * size_t(map.MapCols) + size_t(col)] = true;
        int32_t kind = 0;
        while (player.Units.size() < count && !open.empty()) {
            const auto [c, r] = open.front();
            open.pop_front();
            const int32_t type = 1 + kind % 3;
            if (map.IsPassable(c, r, UnitTypeCavalryman) && map.IsPassable(c, r, type) && !map.OccupancyAt(c, r)) {
                player.AddUnit(type, TMyVector3f{float(c) + 0.5f, float(r) + 0.5f, 0.0f}, 0.0f);
                ++kind;
            }
            static constexpr int32_t Steps[4][2] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
            for (const auto& st : Steps) {
                const int32_t nc = c + st[0], nr = r + st[1];
                if (nc < 1 || nr < 1 || nc >= map.MapCols - 1 || nr >= map.MapRows - 1)
                    continue;
                const size_t i = size_t(nr) * size_t(map.MapCols) + size_t(nc);
                if (!seen[i]) {
                    seen[i] = true;
                    open.emplace_back(nc, nr);
                }
            }
        }
    }
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
        battle.Time += 1.0 / 60.0;
        SimulateFrame(*battle.Map, battle.Players, 1.0f / 60.0f, battle.Time);
        for (auto& p : battle.Players)
            living += p->Units.size();
        ++frames;
    }
    state.counters["units"] = frames ? double(living) / double(frames) : 0.0;  // on average
    std::vector<const TPlayerObject*> players;
    for (auto& p : battle.Players)
        players.push_back(p.get());
    state.counters["state"] = double(BattleChecksum(players, RandomGetSeed(), battle.Time) & 0xffffffffu);
}
BENCHMARK(Simulation)
    ->ArgNames({"units", "contact"})
    ->ArgsProduct({{1000, 2000, 5000, 10000}, {0, 1}})
    ->Iterations(SIM_FRAMES)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
