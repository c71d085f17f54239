#include "units/BattleCommand.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

std::string FormatCommand(const TBattleCommand& c) {
    char text[256];
    std::snprintf(text, sizeof text, "%d %d %d %d %d %d %a %a %a %a %u", int(c.Type), int(c.Step), c.Player,
                  c.UnitPlayer, c.Unit, c.Group, double(c.X), double(c.Y), double(c.Z), double(c.Facing),
                  unsigned(c.Flags));
    return text;
}

namespace {

bool ParseInt(const std::string& word, long lo, long hi, int32_t& out) {
    if (word.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(word.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi)
        return false;
    out = int32_t(v);
    return true;
}

bool ParseFloat(const std::string& word, float& out) {
    if (word.empty())
        return false;
    errno = 0;
    char* end = nullptr;
    const float v = std::strtof(word.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

}  // namespace

bool ParseCommand(const std::string& text, TBattleCommand& out) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;)
        words.push_back(w);
    if (words.size() != 11)
        return false;
    TBattleCommand c;
    int32_t type = 0, step = 0, flags = 0;
    if (!ParseInt(words[0], 0, CommandTypeCount - 1, type) ||
        !ParseInt(words[1], 0, FrameStepCount - 1, step) || !ParseInt(words[2], 0, 1 << 20, c.Player) ||
        !ParseInt(words[3], -1, 1 << 20, c.UnitPlayer) || !ParseInt(words[4], -1, INT32_MAX, c.Unit) ||
        !ParseInt(words[5], -1, 1 << 20, c.Group) || !ParseFloat(words[6], c.X) ||
        !ParseFloat(words[7], c.Y) || !ParseFloat(words[8], c.Z) || !ParseFloat(words[9], c.Facing) ||
        !ParseInt(words[10], 0, 255, flags))
        return false;
    c.Type = TCommandType(type);
    c.Step = TFrameStep(step);
    c.Flags = uint8_t(flags);
    out = c;
    return true;
}
