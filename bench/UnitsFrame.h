#pragma once
// One battle frame of the units library as the battle scene runs it, for the
// simulation benchmarks: the melee engagement walk over the tile chains, melee
// damage, then every player's RemoveDead, Think and Update.

#include "units/GameUnits.h"
#include "units/PlayerObject.h"
#include "world/MapObject.h"

#include <memory>
#include <vector>

inline void SimulateFrame(TGameMap& map, std::vector<std::unique_ptr<TPlayerObject>>& players, float dt,
                          double time)
{
    for (int32_t row = 1; row < map.MapRows - 1; ++row)
        for (int32_t col = 1; col < map.MapCols - 1; ++col)
            for (TBaseTroopObj* o = map.OccupancyAt(col, row); o; o = o->Next) {
                auto* u = static_cast<TGameUnit*>(o);
                if (u->Engaged)
                    continue;
                TGameUnit* enemy = nullptr;
                for (int32_t dy = -1; dy <= 1 && !enemy; ++dy)
                    for (int32_t dx = -1; dx <= 1 && !enemy; ++dx)
                        for (TBaseTroopObj* q = map.OccupancyAt(col + dx, row + dy); q && !enemy; q = q->Next)
                            if (q != o && u->IsEnemyOf(*static_cast<TGameUnit*>(q)))
                                enemy = static_cast<TGameUnit*>(q);
                if (!enemy)
                    continue;
                u->Engaged = true;
                u->SetTarget(enemy);
                if (!enemy->Engaged) {
                    enemy->Engaged = true;
                    enemy->SetTarget(u);
                }
            }
    for (auto& p : players)
        for (auto& u : p->Units)
            if (u->Engaged && u->Target) {
                float amount = UnitFeatures[u->UnitType].MeleeDamage * dt;
                const float half = amount * 0.5f, rest = amount - half;
                float shared = half;
                int32_t kills = 0;
                u->DistributeDamage(shared, kills);
                p->Kills += kills;
                if (u->Target->TakeDamage(shared + rest))
                    ++p->Kills;
            }
    for (auto& p : players)
        p->RemoveDead(time);
    for (auto& p : players)
        p->Think(dt);
    for (auto& p : players)
        p->Update(dt, time);
}
