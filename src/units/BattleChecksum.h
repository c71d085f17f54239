#pragma once
// A fingerprint of everything that decides how a battle goes on: two runs whose
// checksums agree at a frame will play the same from there. Headless runs print
// it so that scripted battles can be compared across builds, window sizes and
// machines, and replays prove with it that they play back what was recorded.
//
// Only simulation state goes in (positions, headings, health, states, targets,
// routes, missiles, the players' counters, the random generator and the battle
// clock), never what depends on the window or the renderer (visibility, models,
// animation poses). Floats are hashed by their bit patterns, so "the same" means
// bit for bit; references between units are hashed as (player, unit) indices,
// never as addresses.

#include <cstdint>
#include <string>
#include <vector>

class TPlayerObject;

// 64-bit FNV-1a over the state of the players (in slot order), the random
// generator's state and the battle clock.
uint64_t BattleChecksum(const std::vector<const TPlayerObject*>& players, uint32_t randomState,
                        double battleTime);

// Sixteen lower-case hex digits.
std::string ChecksumHex(uint64_t checksum);
