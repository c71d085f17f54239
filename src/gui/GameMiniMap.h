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
    // mapName: the map file's name without folder and extension; the picture
    // is the texture of that name in the maps folder (one pixel per tile).
    TMiniMap(TInterfaceObj* parent, TGameScene* scene, const std::string& mapName);
    void Draw() override;

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

// The four separation passes over the labels (in list order), labels closer
// than 2 * labelSize pushed apart.
void SeparateLabels(std::vector<TTroopLabel>& labels, float labelSize);
