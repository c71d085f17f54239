#pragma once
// What the model generators (gen_models.cpp, gen_models_figures.cpp) and the skin painter
// (gen_skins.cpp) agree on: the texture names the models' materials use and the layout of
// the soldiers' skin atlas.

#include "mesh_builder.h"

#include <string>

namespace gen {

// ---------------------------------------------------------------------------------------------
// The soldiers' skins. Every figure has one 256 x 256 diffuse map of 4 x 4 cells; its seven
// variant maps (Name_1.tga .. Name_7.tga) repaint the clothes, hair and horse so that troops
// of one type differ. The tabard cell is kept light: the player tint of the renderer mixes
// into the whole figure and shows best on it.

enum TSkinCell : int32_t {
    // top row
    CellFace = 0,  // the head: the face at u = 0.5 of the cell, hair above and behind
    CellHair,
    CellSkin,
    CellSteel,
    // second row
    CellTabard,  // light cloth
    CellCloth,   // the main clothes
    CellTrousers,
    CellLeather,
    // third row
    CellWood,
    CellCape,
    CellShield,
    CellHide,  // the horse's coat
    // bottom row
    CellMane,
    CellBlanket,
    CellFeather,
    CellIron,
    SkinCellCount
};

// The cell as a texture rectangle, kept two texels inside the cell's edge so that filtering
// does not pick up the neighbouring cells.
TUVRect SkinCell(int32_t cell);

inline constexpr int32_t SkinSize = 256;
inline constexpr int32_t SkinVariants = 7;

// The figures the game asks for and the skin each wears.
inline constexpr const char* FigureNames[3] = {"Kestrin", "SirGuy", "Sheriff"};

// ---------------------------------------------------------------------------------------------
// Texture files of the static models (all in Data/Textures).

inline constexpr const char* TexKnife = "Knife.tga";
inline constexpr const char* TexStand = "Stand.tga";
inline constexpr const char* TexMarker = "Marker.tga";          // flag, pole and the arrow of a shot
inline constexpr const char* TexOrderArrow = "OrderArrow.tga";  // the translucent order arrows
inline constexpr const char* TexBaseUnit = "BaseUnit.tga";
inline constexpr const char* TexBark = "Bark.tga";
inline constexpr const char* TexBirchBark = "BirchBark.tga";
inline constexpr const char* TexLeavesOak = "LeavesOak.tga";
inline constexpr const char* TexLeavesPine = "LeavesPine.tga";
inline constexpr const char* TexLeavesBirch = "LeavesBirch.tga";
inline constexpr const char* TexRock = "Rock.tga";
inline constexpr const char* TexHouse = "House.tga";
inline constexpr const char* TexFence = "Fence.tga";
inline constexpr const char* TexRuin = "Ruin.tga";

// Cells of the 2 x 2 atlases House.tga and Knife.tga and Marker.tga (0 top left, 1 top
// right, 2 bottom left, 3 bottom right).
TUVRect QuarterCell(int32_t cell);

// Writes every texture above and the figure skins into outDir/Data/Textures.
bool GenerateModelTextures(const std::string& outDir);
// Writes the static models into outDir/Data/Modeles.
bool GenerateStaticModels(const std::string& outDir);
// Writes the skinned figures and their clips into outDir/Data/Animates.
bool GenerateFigures(const std::string& outDir);

// Writes a model stream file; false with a message on stderr.
bool WriteModelFile(const std::string& path, TModelStreamData& model);

}  // namespace gen
