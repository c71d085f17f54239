#pragma once
// The one way a player's own decisions change the battle: what the computer
// side chooses for its units, the automatic targeting of every side's units
// and the computer side's reinforcements. Think makes them and applies each at
// once (TPlayerObject::Apply); nothing else in a decision touches a unit.
//
// They are deliberately not battle commands (BattleCommand.h). A command is
// what a person orders: it goes into the replay and is given between the
// steps of a frame. A decision follows from the battle's state and the random
// generator inside Think, a few hundred a frame in a large battle, and the
// decisions taken later in the same Think read the effect of the earlier ones
// (a target taken, a path set, a unit added) and draw the generator after
// them. Queuing them as commands would change that order; recording them would
// only repeat what a replay works out again by itself from the seed.

#include <cstdint>

#include "units/my_PathFinder.h"
#include "world/e_Math.h"

class TGameUnit;

struct TUnitDecision {
    enum class TKind : uint8_t {
        Target,     // Unit attacks Target; a null Target drops the one it has
        Go,         // Unit sets out along the route to the tile Goal, at Pace
        Reinforce,  // the player gets a new unit of UnitType at At, facing Yaw
    };
    enum class TPace : uint8_t {
        Keep,
        Walk,
        Run
    };

    TKind Kind = TKind::Target;
    TGameUnit* Unit = nullptr;
    TGameUnit* Target = nullptr;
    TWayPoint Goal{};
    TPace Pace = TPace::Keep;
    int32_t UnitType = 0;
    TMyVector3f At{};
    float Yaw = 0.0f;

    static TUnitDecision Attack(TGameUnit& unit, TGameUnit* target) {
        TUnitDecision d;
        d.Unit = &unit;
        d.Target = target;
        return d;
    }
    static TUnitDecision GoTo(TGameUnit& unit, TWayPoint goal, TPace pace = TPace::Keep) {
        TUnitDecision d;
        d.Kind = TKind::Go;
        d.Unit = &unit;
        d.Goal = goal;
        d.Pace = pace;
        return d;
    }
    static TUnitDecision Reinforcement(int32_t unitType, const TMyVector3f& at, float yaw) {
        TUnitDecision d;
        d.Kind = TKind::Reinforce;
        d.UnitType = unitType;
        d.At = at;
        d.Yaw = yaw;
        return d;
    }
};
