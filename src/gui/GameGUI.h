#pragma once
// The battle HUD: the screen over the battle with its panels (gui/HudPanels.h:
// groups, the player's score, the selected units, the command buttons), the
// turned minimap (gui/GameMiniMap.h), the frame counter, the battle clock, the
// labels that float over the units, the box that describes the unit under the
// pointer, the routes of the selection (Shift) and the arrows of edge scrolling.
//
// The HUD knows the battle only as a TBattleView (gui/BattleView.h): it reads
// the battle and what the player looks at from it, and every click becomes a
// request of it. The scene tells the HUD what only the scene knows through the
// calls of TGameGUI (SetFps, SetBattleTime, SetViewCorners, SetEdgeArrows,
// ToggleShown) and never writes its fields.
//
// State and drawing are kept apart: Update works from the shared input state,
// the screen size (ScreenWidth / ScreenHeight) and the view, and needs no GL
// context; only Draw does, and it draws through the canvas alone.
//
// A frame: the scene's mouse handling asks MouseOverPanels / PickTroopLabel
// about this frame's pointer, then Update rebuilds the panels, the labels and
// the minimap's dots and handles the press; Draw comes after the 3D frame.

#include "app/e_GUiObject.h"
#include "gui/GameMiniMap.h"
#include "gui/HudCommon.h"
#include "gui/HudLabels.h"
#include "gui/HudPanels.h"
#include "gui/v_Classes.h"
#include "world/e_Math.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TBattleView;
class TGameUnit;

// Edge arrows (TGameGUI::SetEdgeArrows), while the view scrolls.
inline constexpr uint32_t ArrowLeft = 1;
inline constexpr uint32_t ArrowRight = 2;
inline constexpr uint32_t ArrowTop = 4;
inline constexpr uint32_t ArrowBottom = 8;

// Panels under the pointer (TVisScreen::HoverRegion).
enum : uint8_t {
    RegionNone = 0,
    RegionGroups = 1,
    RegionPlayerStat = 2,
    RegionUnitsInfo = 3,
    RegionCommands = 4,
    RegionMiniMap = 5,
};

class TVisScreen : public TFramePanel {
public:
    // The minimap's picture is found beside the map file.
    TVisScreen(TBattleView* view, const std::string& mapPath);
    void Draw() override;

    // The panel under the screen point (Region*), the minimap tested in its
    // turned frame.
    uint8_t RegionAt(float x, float y) const;

    // Unit labels: which units get one (marked, fighting, or near the pointer),
    // where, pushed apart (needs the view's camera).
    void RebuildLabels();
    // The first label whose square contains the screen point, or null.
    TGameUnit* LabelAt(float x, float y) const;
    // The lower-left corner of the hovered-unit box in GUI space, kept inside
    // the screen; false when there is no hovered unit to describe.
    bool HoverBoxOrigin(float& x, float& y) const;

    void DrawLabels();
    void DrawHoverBox();
    // The panels' backgrounds as Draw draws them (TGUIObject::DrawCover).
    void DrawCover();
    void DrawMovementLines();

    bool HudHidden = false;
    TBattleView* View;
    TStaticText* FpsTitle = nullptr;
    TStaticText* FpsLabel = nullptr;
    TStaticText* TimeLabel = nullptr;
    TGroupsInfo* GroupsInfo = nullptr;
    TPlayerStat* PlayerStat = nullptr;
    TUnitsInfo* UnitsInfo = nullptr;
    TCommandPanel* CommandPanel = nullptr;
    TMiniMap* MiniMap = nullptr;
    uint8_t HoverRegion = RegionNone;
    uint8_t PressRegion = RegionNone;
    std::vector<TTroopLabel> Labels;
    int32_t LabelTexture = -1;
    int32_t EmblemTexture = -1;
    int32_t EmblemTexture1 = -1;
    int32_t AuraTexture = -1;
    float LabelSize = 0.022f;
};

class TGameGUI : public TGUIObject {
public:
    TGameGUI(TBattleView* view, const std::string& mapPath);
    ~TGameGUI() override;

    // Once per frame, after the scene's own input handling.
    void Update(double dt) override;
    // Inside BeginGUI / End2D.
    void Draw() override;
    void DrawCover() override;

    void SetFps(double value);
    void SetBattleTime(double seconds);
    // The four ground points (map positions) of the screen corners, in order
    // round the screen; the scene gives them after each view refresh.
    void SetViewCorners(const TMyVector3f& c1, const TMyVector3f& c2, const TMyVector3f& c3,
                        const TMyVector3f& c4);
    void SetViewCorners(const std::array<TMyVector3f, 4>& corners);
    // The edges the view is scrolling towards (Arrow*), 0 for none.
    void SetEdgeArrows(uint32_t flags) { ArrowFlags = flags; }
    // Hides the panels or shows them again (the Tab key).
    void ToggleShown() { Enabled = !Enabled; }
    // When the pointer lies on a unit's label: that unit becomes the view's
    // hover and the result is true.
    bool PickTroopLabel();
    // The pointer (InputState, this frame) is over one of the HUD's panels or
    // the minimap; false while the HUD is hidden. Unlike PointerOverHud, which
    // Update sets, this looks at the pointer now.
    bool MouseOverPanels() const;
    // Forgets the left press the HUD holds (its capture, the panel it began on,
    // a minimap drag): for when the HUD stops seeing the mouse before the release.
    void ReleasePress();

    TBattleView* View;
    std::unique_ptr<TVisScreen> Screen;
    uint32_t ArrowFlags = 0;  // ArrowLeft | ArrowRight | ArrowTop | ArrowBottom, shown as arrows
};
