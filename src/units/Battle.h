#pragma once
// The battle as a simulation of its own: the players with their units and
// arrows on one map, the battle clock, melee and the removal of the fallen,
// every player's decisions and moves, and the orders given to the troops.
// It knows nothing of input, windows, sound or drawing: the battle scene owns
// one, feeds it the frame's time step and the players' commands, and reads its
// state to draw, to play sounds (from the events a step reports) and to show
// the HUD. Tests and replays drive it the same way.
//
// A frame, in the order the scene calls it:
//   BeginFrame(dt)     the clock and the map's clock
//   Execute(...)       the commands given while handling the mouse
//   Melee(dt)          engagement, damage, dropping the fallen
//   RunPlayers(dt)     every player's Think, then every player's Update
//   Execute(...)       the commands of the keyboard and the HUD
//   UpdateVisibility   what the viewer sees, once the camera has moved
// and, when the frame is drawn, Draw.
// The random generator is drawn only inside these calls (and in Deploy), in an
// order that depends on nothing but the battle, so a seed and a list of
// commands give the same battle on every machine.

#include "units/BattleCommand.h"
#include "units/PlayerObject.h"
#include "world/e_Math.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class TFrustum;
class TGameMap;
class TGameUnit;

// What a step did that the scene may want to make heard.
struct TMeleeEvents {
    bool Fighting = false;  // some unit dealt melee damage
    bool Fell = false;      // some unit was removed as fallen
};

// What an order did.
struct TCommandResult {
    bool Ordered = false;  // at least one unit took the order
    bool Refused = false;  // some unit of the group cannot go there
};

class TBattle {
public:
    static constexpr int32_t MaxPlayers = 8;

    // The map is not owned and must outlive the battle.
    explicit TBattle(TGameMap& map);
    // Frees the players (and so every unit and arrow) before the map goes.
    ~TBattle();
    TBattle(const TBattle&) = delete;
    TBattle& operator=(const TBattle&) = delete;

    // The opening of the battle on its map: "Human" in slot 0 against "CPU1"
    // and "CPU2", with the random draws in a fixed order.
    void Deploy();

    // ---- the frame ----

    void BeginFrame(double dt);
    TMeleeEvents Melee(double dt);
    // True when some unit fired an arrow.
    bool RunPlayers(double dt);
    // What the viewer (with its fog and the camera's frustum) sees of every
    // army: the last step of a frame's update, before anything is drawn.
    void UpdateVisibility(const TFrustum& frustum, const TFogGrid& viewerFog);
    // Queues the models UpdateVisibility found visible.
    void Draw() const;
    // The controlled player has lost every unit.
    bool Lost() const { return ControlledPlayer && ControlledPlayer->Defeated; }

    // ---- commands ----

    // Carries out a command of a player; a command that names no such player
    // or unit, or that does not fit the state, does nothing. Every command is
    // passed to the Recorder first, if there is one.
    TCommandResult Execute(const TBattleCommand& command);
    std::function<void(const TBattleCommand&)> Recorder;

    // The units the controlled player's next order is for, in order.
    const std::vector<TGameUnit*>& OrderGroup() const { return OrderGroup_; }
    // The formation slots round point for the units (in this order), facing `facing`.
    std::vector<TMyVector3f> FormationSlots(const TMyVector3f& point, float facing,
                                            const std::vector<TGameUnit*>& units) const;

    // ---- state ----

    // The living unit with that owner slot and serial, or null.
    TGameUnit* FindUnit(int32_t player, int32_t serial) const;
    // The slot of a player of this battle, or -1.
    int32_t SlotOf(const TPlayerObject* player) const;
    uint64_t Checksum() const;

    TGameMap& Map;
    std::array<std::unique_ptr<TPlayerObject>, MaxPlayers> Players;
    int32_t PlayerCount = 0;
    TPlayerObject* ControlledPlayer = nullptr;
    double Time = 0.0;

private:
    void Engage();
    TCommandResult Move(const TBattleCommand& c);
    TCommandResult Attack(const TBattleCommand& c);

    std::vector<TGameUnit*> OrderGroup_;
    // Per tile, a bit for each side standing there (scratch of Engage).
    std::vector<uint8_t> TileSides;
};
