#pragma once
// What a player can tell the battle to do, as plain values. The battle scene
// turns mouse, keyboard, HUD and minimap input into these and hands them to
// TBattle::Execute; tests build them directly, and a replay is a list of them.
// A command names units by (player slot, serial), never by address, so the
// same command means the same thing in every run of the same battle.
//
// Orders act on the battle's order group: the units the last Select commands
// named. The scene sends the selection it shows only when an order needs it,
// so looking around (selecting enemies, boxes that are given up) costs nothing
// and is not recorded.

#include <cstdint>
#include <string>

enum class TCommandType : uint8_t {
    ClearOrderGroup = 0,  // the order group becomes empty
    AddToOrderGroup = 1,  // Unit joins the order group (own units only)
    Move = 2,             // to X, Y (map), height Z, in formation facing Facing; flags below
    Attack = 3,           // the order group attacks Unit
    ToggleHold = 4,       // hold when nobody holds, else release
    AssignGroup = 5,      // the order group becomes group Group (0..9) of the player
};
inline constexpr int32_t CommandTypeCount = 6;

// Move flags.
inline constexpr uint8_t CommandRun = 1;      // run instead of walking
inline constexpr uint8_t CommandFlat = 2;     // from the minimap: ground height at the point, facing 0
inline constexpr uint8_t CommandDragged = 4;  // the facing was dragged out: units turn to it on arrival

// Where in the battle's frame a command was given; a replay gives it at the same place.
enum class TFrameStep : uint8_t {
    Input = 0,  // the scene's mouse handling, before melee
    Keys = 1,   // the keyboard commands, after every player's update
    Hud = 2,    // the HUD's update (command panel, groups, minimap), last
};
inline constexpr int32_t FrameStepCount = 3;

struct TBattleCommand {
    TCommandType Type = TCommandType::ClearOrderGroup;
    TFrameStep Step = TFrameStep::Input;
    int32_t Player = 0;       // the slot of the player who gives it
    int32_t UnitPlayer = -1;  // the unit's owner slot, for AddToOrderGroup and Attack
    int32_t Unit = -1;        // the unit's serial
    int32_t Group = 0;        // AssignGroup
    float X = 0.0f, Y = 0.0f, Z = 0.0f;
    float Facing = 0.0f;
    uint8_t Flags = 0;

    friend bool operator==(const TBattleCommand&, const TBattleCommand&) = default;
};

// One line of text, and back: "TYPE STEP PLAYER UNITPLAYER UNIT GROUP X Y Z FACING FLAGS",
// floats as exact hex floats. Parse returns false (and leaves `out` alone) for
// anything that is not such a line with values in range.
std::string FormatCommand(const TBattleCommand& command);
bool ParseCommand(const std::string& text, TBattleCommand& out);
