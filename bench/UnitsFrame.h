#pragma once
// What the simulation benchmarks share: the battle's three players on a map a
// benchmark built, one frame as the battle scene runs it (units/Battle.h), and
// armies grown round a place.

#include "units/Battle.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"
#include "world/MapObject.h"

#include <algorithm>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

// "Human" in slot 0 against "CPU1" and "CPU2", with no units yet.
inline void AddBattlePlayers(TBattle& battle) {
    battle.Players[0] = std::make_unique<TPlayerObject>(SideHuman, "Human", 1, &battle.Map);
    battle.Players[1] = std::make_unique<TPlayerObject>(SideComputer, "CPU1", 0, &battle.Map);
    battle.Players[2] = std::make_unique<TPlayerObject>(SideComputer, "CPU2", 2, &battle.Map);
    battle.PlayerCount = 3;
    battle.ControlledPlayer = battle.Players[0].get();
}

// One battle frame without input: the clock, melee, every player's Think and Update.
inline void SimulateFrame(TBattle& battle, double dt) {
    battle.BeginFrame(dt);
    battle.Melee(dt);
    battle.RunPlayers(dt);
}

inline size_t LivingUnits(const TBattle& battle) {
    size_t n = 0;
    for (int32_t i = 0; i < battle.PlayerCount; ++i)
        n += battle.Players[size_t(i)]->Units.size();
    return n;
}

// Adds units of the player round (col, row) until it has `count`, one to a
// tile, on the nearest tiles its unit types may stand on.
inline void GrowArmy(TGameMap& map, TPlayerObject& player, size_t count, int32_t col, int32_t row) {
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
        if (map.IsPassable(c, r, UnitTypeCavalryman) && map.IsPassable(c, r, type) &&
            !map.OccupancyAt(c, r)) {
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
