#pragma once
// The ground materials and the layout of the tile atlas "TileSet", shared by the atlas painter
// (gen_textures.cpp) and the map generator (gen_map.cpp).
//
// The atlas is 16 x 16 cells of 64 x 64 pixels. A tile shows the central 60 x 60 pixels of its
// cell; the two-pixel border around them repeats the opposite edge, so linear filtering stays
// seamless. Every material's pattern repeats every 60 pixels, so any two cells of one material
// join without a seam, and cells are used without rotation or mirroring.
//
// Cell rows count from the bottom of the picture (the game's texture rows start at the bottom):
//  - rows 0..7: material m in row m, VariantCount variants in columns 0..VariantCount-1, opaque.
//    The variants differ only in small details away from the edges.
//  - rows 8..15: material m in row 8 + m, column k (1..14) holds the material with a soft alpha
//    mask for corner set k: bit 1 the tile corner at (col, row), 2 (col + 1, row), 4 (col, row + 1),
//    8 (col + 1, row + 1). The alpha is 1 at the corners in the set and 0 at the others, and along
//    each edge it depends only on that edge's two corners, so neighbouring tiles agree.
// Layer 2 of a tile is drawn over layer 1 with the cell's alpha times the vertex alpha.

#include <cstdint>

#include "gen_common.h"

namespace gen {

// In the order of precedence: a material later in the list is painted over an earlier one where
// they meet.
enum TMaterial : int32_t {
    MatRiverBed = 0,
    MatSand,
    MatEarth,
    MatDryGrass,
    MatGrass,
    MatForest,
    MatRoad,
    MatRock,
    MaterialCount
};

inline constexpr int32_t AtlasCell = 64;   // pixels per cell side
inline constexpr int32_t AtlasTile = 60;   // pixels a tile shows
inline constexpr int32_t AtlasBorder = 2;  // pixels of border on each side
inline constexpr int32_t AtlasCells = 16;  // cells per atlas side
inline constexpr int32_t AtlasSize = AtlasCells * AtlasCell;
inline constexpr int32_t VariantCount = 8;
inline constexpr int32_t MaskRowBase = 8;

// The 60 x 60 pixels a tile of the material variant shows, top row first, opaque RGBA. The
// pattern repeats every 60 pixels.
TImage MaterialTile(int32_t material, int32_t variant);
// The mean colour of a material (its plain variant), for the minimap.
TColour MaterialAverage(int32_t material);
// The alpha of corner set `corners` (1..14) at (s, t) in 0..1 across the tile: s along the
// columns (from the tile corner at col to col + 1), t along the rows.
float CornerMask(int32_t corners, float s, float t);

}  // namespace gen
