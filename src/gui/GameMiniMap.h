#pragma once
// The minimap of the battle HUD: the map picture turned by 45 degrees about the
// panel's top-left corner, the camera's view on the ground and the units the
// human player can see. Also the record of a unit label.

#include "gui/v_Classes.h"
#include "world/e_Math.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TGameScene;
class TGameUnit;

struct TTroopLabel {
    TGameUnit* Unit = nullptr;
    float X = 0.0f, Y = 0.0f;  // label centre in GUI space
};

struct TMiniMapDot {
    float MX = 0.0f, MY = 0.0f;  // map position
    TColor4f Color;
};

class TMiniMap : public TFramePanel {
public:
    // The picture is the texture beside the map file, named like it
    // (one pixel per tile).
    TMiniMap(TInterfaceObj* parent, TGameScene* scene, const std::string& mapPath);
    void Draw() override;

    // "Data/Maps/FirstBlood.map" -> "Data/Maps/FirstBlood"; a bare file name
    // is looked for in the game's maps folder.
    static std::string PictureName(const std::string& mapPath);

    // ViewMatrix and PictureRect from the panel's place on the screen.
    void UpdateLayout();
    // Dots from the players' units and the human player's fog.
    void RebuildDots();

    // A screen point into the unturned space of the panel and back.
    TMyVector2f ScreenToPanel(float x, float y) const;
    TMyVector2f PanelToScreen(float x, float y) const;
    // Unturned GUI point <-> map position (mx, my).
    TMyVector2f PanelToMap(float x, float y) const;
    TMyVector2f MapToPanel(float mx, float my) const;
    // The screen point (turned) lies inside the panel's rectangle.
    bool Contains(float x, float y) const;

    void Click(float x, float y);
    void Drag(float x, float y);
    void RightClick(float x, float y);

    TGameScene* Scene;
    int32_t Background = -1;
    int32_t MapTexture = -1;
    uint16_t MapImageWidth = 0;
    uint16_t MapImageHeight = 0;
    TMatrix4f ViewMatrix = IdentityMatrix;
    TMatrix4f InverseViewMatrix = IdentityMatrix;
    TRectf PictureRect{};
    std::array<TMyVector3f, 4> ViewCorners{};
    std::vector<TMiniMapDot> Dots;
    bool Dragging = false;
};

// A texture over a screen rectangle with the atlas cell (u1, v1)-(u2, v2),
// tinted. A missing texture (-1, or one the registry could not load) draws
// nothing and gives false. Needs a GL context.
bool DrawTexturedQuad(int32_t texture, float x1, float y1, float x2, float y2, const TColor4f& tint,
                      float u1 = 0.0f, float v1 = 0.0f, float u2 = 1.0f, float v2 = 1.0f);
// Clip coordinates of a world point through the camera's combined matrix, as
// GUI space ((ndc + 1) / 2); false when the point is behind the camera.
bool ProjectToScreen(const TMatrix4f& combined, const TMyVector3f& world, float& x, float& y);

// The four separation passes over the labels (in list order), labels closer
// than 2 * labelSize pushed apart.
void SeparateLabels(std::vector<TTroopLabel>& labels, float labelSize);
