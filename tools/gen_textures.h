#pragma once
// The texture generator: every picture of the game except the minimap, painted from code with
// fixed seeds. One file per kind of picture:
//   gen_textures.cpp          the tile atlas and its materials, the water's clouds, the rings
//   gen_textures_cursors.cpp  the mouse cursors and the shapes they share with the HUD
//   gen_textures_hud.cpp      the HUD's panels, buttons, medals, labels and emblems
//   gen_textures_screens.cpp  the title, loading and start pictures
// This header holds what those files share; gen_terrain.h what the map generator uses.

#include "gen_common.h"

#include <cstdint>
#include <numbers>
#include <string>

namespace gen::pictures {

inline constexpr float Pi = std::numbers::pi_v<float>;

// Writes Data/Textures/<name>.tga.
bool WriteTexture(const std::string& outDir, const std::string& name, const TImage& image);

// Paints a shape with a dark outline, as cursors and icons are drawn.
void Inked(TImage& img, const TShape& shape, const TColour& fill, float outline = 1.5f,
           const TColour& ink = Rgb(0.08f, 0.06f, 0.04f));
// A sword lying along +x from the pommel at the origin side; `len` is the whole length.
TShape Sword(float cx, float cy, float len, float angle);
// A heater shield centred at (cx, cy), `w` wide.
TShape Shield(float cx, float cy, float w);
// A small flag in the colour on its pole.
void DrawFlag(TImage& img, float cx, float cy, float s, const TColour& colour);
// The parchment of the HUD's fields and of the loading screen's map.
TColour Parchment(float x, float y, uint32_t seed);

}  // namespace gen::pictures
