#include "units/UnitFeatures.h"

// ---------------------------------------------------------------------------
// Unit types and their features
// ---------------------------------------------------------------------------

// clang-format off
const std::array<TUnitFeatures, UnitTypeCount> UnitFeatures = {{
    // Name          Health Gauge2 R3  R4  R5 By3 R7 By6  Walk  Run   Sight Range Melee   Missile Reload
    {"Debug Unit",   1000,  1000,  40, 30, 0, 1,  0, 1,   10.0f, 10.0f, 30,   0,    1000.0f, 0.0f,   0.0f},
    {"Bowman",       1500,  1000,  60, 30, 0, 0,  0, 0,   1.5f,  3.0f,  20,   15,   50.0f,   200.0f, 1.0f},
    {"Warrior",      3000,  1000,  60, 30, 0, 1,  0, 0,   1.4f,  2.8f,  20,   0,    100.0f,  0.0f,   0.0f},
    {"Cavalryman",   2500,  1000,  60, 30, 0, 0,  0, 1,   2.0f,  4.0f,  20,   0,    100.0f,  0.0f,   0.0f},
}};
// clang-format on
