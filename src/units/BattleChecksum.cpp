#include "units/BattleChecksum.h"

#include "units/GameUnits.h"
#include "units/PlayerObject.h"

#include <bit>
#include <cstdio>
#include <unordered_map>

namespace {

class TFnv64 {
public:
    void Bytes(const void* data, size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            Hash ^= p[i];
            Hash *= 0x100000001b3ULL;
        }
    }
    void U32(uint32_t v) {
        // Little-endian whatever the machine, so every machine hashes the same bytes.
        const unsigned char b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        Bytes(b, 4);
    }
    void I32(int32_t v) { U32(uint32_t(v)); }
    void F32(float v) { U32(std::bit_cast<uint32_t>(v)); }
    void F64(double v) {
        const uint64_t bits = std::bit_cast<uint64_t>(v);
        U32(uint32_t(bits));
        U32(uint32_t(bits >> 32));
    }
    void Vec(const TMyVector3f& v) {
        F32(v.x);
        F32(v.y);
        F32(v.z);
    }
    uint64_t Hash = 0xcbf29ce484222325ULL;
};

// (player, unit) of every unit, living or fallen, so that references hash the
// same whatever the addresses.
using TUnitIds = std::unordered_map<const TGameUnit*, int32_t>;

int32_t IdOf(const TUnitIds& ids, const TGameUnit* unit) {
    if (!unit)
        return -1;
    auto it = ids.find(unit);
    return it == ids.end() ? -2 : it->second;
}

void HashUnit(TFnv64& h, const TUnitIds& ids, const TGameUnit& u) {
    h.Vec(u.Position);
    h.F32(u.Yaw);
    h.F32(u.Health);
    h.I32(static_cast<int32_t>(u.State));
    h.I32(IdOf(ids, u.Target));
    h.I32(u.PathIndex);
    h.I32(int32_t(u.Path.size()));
    for (const auto& p : u.Path) {
        h.I32(p.x);
        h.I32(p.y);
    }
    h.I32(u.UnitType);
    h.I32(u.Group);
    h.F32(u.ThinkTimer);
    h.F32(u.ReloadTimer);
    h.F32(u.RingTimer);
    h.F32(u.PendingYaw);
    h.F32(u.DeathTime);
    h.U32((u.Running ? 1u : 0u) | (u.Engaged ? 2u : 0u) | (u.Hold ? 4u : 0u));
}

}  // namespace

uint64_t BattleChecksum(const std::vector<const TPlayerObject*>& players, uint32_t randomState,
                        double battleTime) {
    TUnitIds ids;
    for (size_t p = 0; p < players.size(); ++p) {
        const TPlayerObject& player = *players[p];
        int32_t n = 0;
        for (const auto& u : player.Units)
            ids[u.get()] = int32_t(p) << 20 | n++;
        for (const auto& u : player.DeadUnits)
            ids[u.get()] = int32_t(p) << 20 | n++;
    }

    TFnv64 h;
    h.U32(randomState);
    h.F64(battleTime);
    h.I32(int32_t(players.size()));
    for (const TPlayerObject* player : players) {
        h.I32(player->Kills);
        h.I32(player->Losses);
        h.I32(player->Points);
        h.U32(player->Defeated ? 1u : 0u);
        h.I32(int32_t(player->Units.size()));
        for (const auto& u : player->Units)
            HashUnit(h, ids, *u);
        h.I32(int32_t(player->DeadUnits.size()));
        for (const auto& u : player->DeadUnits)
            HashUnit(h, ids, *u);
        int32_t missiles = 0;
        for (const TMissile* m = player->MissileHead.get(); m; m = m->Next.get()) {
            h.I32(IdOf(ids, m->Shooter));
            h.I32(IdOf(ids, m->Target));
            h.Vec(m->Start);
            h.Vec(m->TargetPos);
            h.Vec(m->Pos);
            h.F32(m->Damage);
            ++missiles;
        }
        h.I32(missiles);
    }
    return h.Hash;
}

std::string ChecksumHex(uint64_t checksum) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(checksum));
    return text;
}
