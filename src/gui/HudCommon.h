#pragma once
// Small pieces the battle HUD's panels, its screen and the minimap share: the
// pointer and pixel sizes in GUI space, a player's colour, the share of a bar,
// and the texts of the clock and the frame counter. No GL, no scene.

#include "gui/v_CanvasOpenGL.h"

#include <cstdint>
#include <string>

class TPlayerObject;
class TGameUnit;
struct TUnitFeatures;

// "hh:mm:ss" of a number of seconds (hours are not wrapped).
std::string FormatBattleTime(double seconds);
// The frame rate with one decimal ("59.9").
std::string FormatFps(double value);

namespace hud {

// Colours more than one part of the HUD paints with: the bars' black ground and
// the second gauge (stamina or arrows) of a unit.
inline const TColor4f kBlack{0.0f, 0.0f, 0.0f, 1.0f};
inline const TColor4f kGauge2{0.45f, 0.5f, 1.0f, 1.0f};

// The pointer of this frame's input state in GUI space.
void Pointer(float& x, float& y);
// One pixel of the canvas in GUI space, and a coordinate put on the pixel grid.
float PixelW();
float PixelH();
float SnapX(float x);
float SnapY(float y);
// Edges count as inside.
bool Inside(const TRectf& r, float x, float y);
// The player's colour, opaque; white for no player.
TColor4f PlayerColor(const TPlayerObject* player);
// A share of a maximum for a bar, kept within 0..1 (a dying unit's health may dip below 0).
float Share(float value, int32_t maximum);
// The unit's type row; the first type's for a unit of no known type.
const TUnitFeatures& FeaturesOf(const TGameUnit& unit);

}  // namespace hud
