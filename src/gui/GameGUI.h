#pragma once
// The battle HUD: unit groups, the player's score, the turned minimap, the
// selected units with their health and gauge bars, the command buttons, the
// frame counter, the battle clock, and the labels that float over the units.
//
// State and drawing are kept apart: Update works from the shared input state,
// the screen size (ScreenWidth / ScreenHeight) and the scene, and needs no GL
// context; only Draw does.

#include "app/e_GUiObject.h"
#include "gui/GameMiniMap.h"
#include "gui/v_Classes.h"
#include "world/e_Math.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TGameScene;
class TGameUnit;
class TVisScreen;

// Edge arrows (TGameGUI::ArrowFlags), set by the scene while it scrolls.
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

// "hh:mm:ss" of a number of seconds (hours are not wrapped).
std::string FormatBattleTime(double seconds);
// The frame rate with one decimal ("59.9").
std::string FormatFps(double value);

class TGroupsInfo : public TFramePanel {
public:
    TGroupsInfo(TInterfaceObj* parent, TGameScene* scene);
    void Draw() override;
    // The group (1..9) under the screen x.
    int32_t SlotAt(float x) const;
    void Click(float x, float y);

    TGameScene* Scene;
    int32_t Background = -1;
};

class TPlayerStat : public TFramePanel {
public:
    TPlayerStat(TInterfaceObj* parent, TGameScene* scene);
    void Draw() override;
    // The three value texts from the human player's counters.
    void Refresh();

    TGameScene* Scene;
    int32_t Background = -1;
    TStaticText* KillLabel = nullptr;
    TStaticText* LossLabel = nullptr;
    TStaticText* PointsLabel = nullptr;
};

class TUnitsInfo : public TFramePanel {
public:
    TUnitsInfo(TInterfaceObj* parent, TGameScene* scene);
    void Draw() override;
    // Lists the selected units of the human player by type and lays out the
    // icons and cells (panel fractions).
    void Rebuild();
    void Click(float x, float y);
    // The unit whose cell contains the screen point, or null; `cell` gets its
    // screen rectangle.
    TGameUnit* UnitAt(float x, float y, TRectf* cell = nullptr) const;
    // The screen rectangle of the unit's cell; false when it has none.
    bool CellOf(const TGameUnit* unit, TRectf& cell) const;
    TRectf ScreenRect(const TRectf& fraction) const;

    TGameScene* Scene;
    int32_t Background = -1;
    std::array<std::vector<TGameUnit*>, 4> TypeUnits;
    std::array<std::vector<TRectf>, 4> Cells;  // panel fractions, one per unit of TypeUnits
    std::array<TRectf, 4> IconRects{};         // panel fractions; empty for an empty type
    std::array<int32_t, 4> Icons{-1, -1, -1, -1};
};

struct TCommandButton {
    bool Visible = false;
    bool Enabled = false;
    bool Down = false;
    void (*OnClick)(TGameScene& scene) = nullptr;
    float Left = 0, Top = 0, Right = 0, Bottom = 0;  // panel fractions
    float U1 = 0, V2 = 0, U2 = 0, V1 = 0;            // atlas cell
};

class TCommandPanel : public TFramePanel {
public:
    static constexpr int Columns = 4;
    static constexpr int Rows = 3;

    TCommandPanel(TInterfaceObj* parent, TGameScene* scene);
    void Draw() override;
    // The Down state of each button from the scene (hold, order mode).
    void Refresh();
    // Runs the first visible, enabled button under the screen point; false
    // when none is there.
    bool Click(float x, float y);
    TCommandButton& Button(int column, int row) { return Buttons[row][column]; }

    TGameScene* Scene;
    int32_t Background = -1;
    int32_t ButtonsTexture = -1;
    int32_t GrayButtonsTexture = -1;
    TRectf ButtonArea{0.05f, 0.05f, 0.85f, 0.78f};
    std::array<std::array<TCommandButton, Columns>, Rows> Buttons{};  // [row][column], row 0 at the bottom
};

class TVisScreen : public TFramePanel {
public:
    explicit TVisScreen(TGameScene* scene);
    void Draw() override;

    // The panel under the screen point (Region*), the minimap tested in its
    // turned frame.
    uint8_t RegionAt(float x, float y) const;

    // Unit labels: which units get one, where, pushed apart (needs the scene's camera).
    void RebuildLabels();
    // The first label whose square contains the screen point, or null.
    TGameUnit* LabelAt(float x, float y) const;
    // The lower-left corner of the hovered-unit box in GUI space, kept inside
    // the screen; false when there is no hovered unit to describe.
    bool HoverBoxOrigin(float& x, float& y) const;

    void DrawLabels();
    void DrawHoverBox();
    void DrawMovementLines();

    bool HudHidden = false;
    TGameScene* Scene;
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
    explicit TGameGUI(TGameScene* scene);
    ~TGameGUI() override;

    // Once per frame, after the scene's own input handling.
    void Update(double dt) override;
    // Inside BeginGUI / End2D.
    void Draw() override;

    void SetFps(double value);
    void SetBattleTime(double seconds);
    // The four ground points (map positions) of the screen corners, in order
    // round the screen; the scene gives them after each view refresh.
    void SetViewCorners(const TMyVector3f& c1, const TMyVector3f& c2, const TMyVector3f& c3,
                        const TMyVector3f& c4);
    void SetViewCorners(const std::array<TMyVector3f, 4>& corners);
    // When the pointer lies on a unit's label: that unit becomes the scene's
    // Hover and the result is true.
    bool PickTroopLabel();
    // The pointer (InputState, this frame) is over one of the HUD's panels or
    // the minimap; false while the HUD is hidden. Unlike PointerOverHud, which
    // Update sets, this looks at the pointer now.
    bool MouseOverPanels() const;
    // Forgets the left press the HUD holds (its capture, the panel it began on,
    // a minimap drag): for when the HUD stops seeing the mouse before the release.
    void ReleasePress();

    TGameScene* Scene;
    std::unique_ptr<TVisScreen> Screen;
    uint32_t ArrowFlags = 0;  // ArrowLeft | ArrowRight | ArrowTop | ArrowBottom
};
