// Simulation cost of one battle frame: the melee engagement walk over the tile
// chains, every player's Think, Update and RemoveDead, with 35 units (the
// opening of a battle: 15 against 10 + 10) and with 1000 to 10 000 (on a map
// large enough to hold the armies at their places). Also one unit's fog of
// war update, which runs whenever a unit steps onto another tile.
//
// The battle runs on from iteration to iteration and is set up anew (outside the
// timing) every 600 frames (10 s at 60 frames a second). The armies start either
// at their far-apart places (marching and looking) or within sight of each other
// (shooting, melee, deaths and reinforcements).

#include "UnitsFrame.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"

#include "app/e_Platform.h"
#include "world/LandshaftObject.h"
#include "world/MapObject.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

// A profiler run may want fewer: -DSIM_FRAMES=60.
#ifndef SIM_FRAMES
#define SIM_FRAMES 300
#endif

namespace {

std::unique_ptr<TGameMap> BuildMap(int32_t cols, int32_t rows) {
    TLandscapeSection s;
    s.Cols = cols;
    s.Rows = rows;
    s.Tiles.assign(size_t(cols) * size_t(rows), TTileRecord{});
    s.Verts.assign(size_t(2 * cols + 1) * size_t(2 * rows + 1), TVertRecord{});
    std::mt19937 rng(4321);
    // Gentle hills, some water (type 3) and rocks (type 2).
    for (int32_t r = 0; r < 2 * rows + 1; ++r)
        for (int32_t c = 0; c < 2 * cols + 1; ++c)
            s.Verts[size_t(r) * size_t(2 * cols + 1) + size_t(c)].Height =
                int16_t(200.0 * (1.5 + std::sin(r * 0.05) + std::cos(c * 0.07)));
    for (auto& t : s.Tiles) {
        const uint32_t v = rng() % 100;
        t.TileType = v < 3 ? 2 : v < 8 ? 3 : 0;
    }
    auto map = std::make_unique<TGameMap>();
    map->Landshaft = std::make_unique<TLandshaftObject>();
    map->Landshaft->Build(s, 1024, 1024);
    map->MapCols = cols;
    map->MapRows = rows;
    map->PathFinder = std::make_unique<TPathFinder>(cols, map->PassGrid(0), rows);
    for (int32_t t = 1; t < UnitTypeCount; ++t)
        map->PathFinder->AddGrid(map->PassGrid(t));
    map->Occupancy.assign(size_t(cols) * size_t(rows), nullptr);
    return map;
}

// A battle on a map of its own, with the units at their places.
struct TSimBattle {
    std::unique_ptr<TGameMap> Map;
    std::unique_ptr<TBattle> Battle;  // goes before the map it stands on

    // contact: the armies start within sight of each other instead of at their
    // far-apart places.
    TSimBattle(int32_t units, bool contact) {
        RandomSeed(99);
        const int32_t size = units <= 35 ? 128 : units <= 2000 ? 256 : 384;
        Map = BuildMap(size, size);
        Battle = std::make_unique<TBattle>(*Map);
        AddBattlePlayers(*Battle);
        auto& players = Battle->Players;
        const int32_t human = units * 15 / 35, cpu = (units - human) / 2;
        auto place = [&](TPlayerObject& p, int32_t count, float x0, float y0) {
            const int32_t side = int32_t(std::ceil(std::sqrt(double(count))));
            for (int32_t i = 0; i < count; ++i)
                p.AddUnit(1 + i % 3, {x0 + float(i % side) * 1.5f, y0 + float(i / side) * 1.5f, 0.0f},
                          float(i) * 0.3f);
        };
        if (contact) {
            const float mid = float(size) / 2.0f, span = 1.5f * std::ceil(std::sqrt(float(human)));
            place(*players[0], human, mid - span / 2.0f, mid - span / 2.0f);
            place(*players[1], cpu, mid - span / 2.0f, mid + span / 2.0f + 8.0f);
            place(*players[2], cpu, mid - span / 2.0f, mid - span / 2.0f - 8.0f - span);
        } else {
            place(*players[0], human, float(size) - 30.0f - float(human) / 20.0f, 60.0f);
            place(*players[1], cpu, 7.0f, 10.0f);
            place(*players[2], cpu, 7.0f, float(size) - 8.0f - float(cpu) / 20.0f);
        }
    }
    ~TSimBattle() { Battle.reset(); }
};

void BM_BattleFrame(benchmark::State& state) {
    const int32_t units = int32_t(state.range(0));
    const bool contact = state.range(1) != 0;
    auto battle = std::make_unique<TSimBattle>(units, contact);
    int frame = 0;
    size_t living = 0, frames = 0;
    for (auto _ : state) {
        if (++frame == 600) {
            state.PauseTiming();
            battle.reset();
            battle = std::make_unique<TSimBattle>(units, contact);
            frame = 0;
            state.ResumeTiming();
        }
        SimulateFrame(*battle->Battle, 1.0 / 60.0);
        living += LivingUnits(*battle->Battle);
        ++frames;
    }
    state.counters["units"] = double(living) / double(std::max<size_t>(frames, 1));  // on average
    // Where the battle stood at the end (the low half of its checksum): with a
    // fixed number of frames, two builds that simulate alike show the same.
    state.counters["state"] = double(battle->Battle->Checksum() & 0xffffffffu);
}
BENCHMARK(BM_BattleFrame)
    ->ArgNames({"units", "contact"})
    ->Args({35, 0})
    ->Args({35, 1})
    ->Unit(benchmark::kMicrosecond);
// The large armies over the same first 5 s of their battle (300 frames) in every
// run: a unit decides every half second, so fewer frames than that would leave
// out most of the decisions, and a count chosen by the clock would not compare.
BENCHMARK(BM_BattleFrame)
    ->ArgNames({"units", "contact"})
    ->ArgsProduct({{1000, 2000, 5000, 10000}, {0, 1}})
    ->Iterations(SIM_FRAMES)
    ->Unit(benchmark::kMicrosecond);

// One unit walking one tile further: its old view out of the fog, the new one in.
void BM_FogStep(benchmark::State& state) {
    auto map = BuildMap(128, 128);
    {
        TPlayerObject player(SideHuman, "Human", 1, map.get());
        TGameUnit* u = player.AddUnit(UnitTypeBowman, {60.5f, 60.5f, 0.0f}, 0.0f);
        bool east = true;
        for (auto _ : state) {
            u->SetPath({{u->TileCol, u->TileRow}, {u->TileCol + (east ? 1 : -1), u->TileRow}});
            player.Update(1.0f, 0.0);
            east = !east;
        }
        benchmark::DoNotOptimize(player.Fog.data());
    }
}
BENCHMARK(BM_FogStep)->Unit(benchmark::kMicrosecond);

}  // namespace
