#pragma once
// The minimap of the battle HUD: the map picture turned by 45 degrees about the
// panel's top-left corner, the darkening of the tiles out of sight, the camera's
// view on the ground and the units the controlled player can see.
//
// It reads the battle through the view (gui/BattleView.h) and asks it for two
// things: a left press or drag on the picture centres the view there (CenterOn),
// a right click orders the selection there (MoveTo). The scene hands it the
// corners of the view on the ground (ViewCorners) whenever the camera moves.
//
// Three spaces: the screen (GUI space, turned), the panel (GUI space before the
// turn: ScreenToPanel / PanelToScreen) and the map (one picture pixel per tile:
// PanelToMap / MapToPanel).

#include "gui/v_Classes.h"
#include "world/e_Math.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TBattleView;

struct TMiniMapDot {
    float MX = 0.0f, MY = 0.0f;  // map position
    TColor4f Color;
};

class TMiniMap : public TFramePanel {
public:
    // The picture is the texture beside the map file, named like it
    // (one pixel per tile).
    TMiniMap(TInterfaceObj* parent, TBattleView* view, const std::string& mapPath);
    void Draw() override;
    // Its background as Draw draws it (TGUIObject::DrawCover).
    void DrawCover();

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

    TBattleView* View;
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
