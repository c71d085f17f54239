#pragma once
// The four panels of the battle HUD, each a frame of the screen that draws from
// the battle view and turns a click into one request of it:
//   TGroupsInfo    top left: groups 1..9 of the controlled player, their sizes;
//                  a click selects the group under it (SelectGroup);
//   TPlayerStat    below it: kills, losses and points of the controlled player;
//   TUnitsInfo     bottom middle: the player's selected units by type, an icon per
//                  type and a cell per unit with its health and gauge; a click on
//                  an icon keeps that type, one on a cell that unit (SelectOnly),
//                  and the cell under the pointer is the hover (HoverUnit);
//   TCommandPanel  bottom right: a 4 x 3 grid of buttons, of which hold, move mode
//                  and attack mode act (ToggleHold, ToggleOrderMode).
// Rebuild / Refresh read the view (TGameGUI::Update calls them once a frame)
// and need no GL context; Draw does, and draws only through the canvas.
// Rectangles are panel fractions unless a name says screen.

#include "gui/v_Classes.h"

#include <array>
#include <cstdint>
#include <vector>

class TBattleView;
class TGameUnit;

class TGroupsInfo : public TFramePanel {
public:
    TGroupsInfo(TInterfaceObj* parent, TBattleView* view);
    void Draw() override;
    // The group (1..9) under the screen x.
    int32_t SlotAt(float x) const;
    void Click(float x, float y);

    TBattleView* View;
    int32_t Background = -1;
};

class TPlayerStat : public TFramePanel {
public:
    TPlayerStat(TInterfaceObj* parent, TBattleView* view);
    void Draw() override;
    // The three value texts from the controlled player's counters.
    void Refresh();

    TBattleView* View;
    int32_t Background = -1;
    TStaticText* KillLabel = nullptr;
    TStaticText* LossLabel = nullptr;
    TStaticText* PointsLabel = nullptr;
};

class TUnitsInfo : public TFramePanel {
public:
    TUnitsInfo(TInterfaceObj* parent, TBattleView* view);
    void Draw() override;
    // Lists the selected units of the controlled player by type and lays out
    // the icons and cells.
    void Rebuild();
    void Click(float x, float y);
    // The unit whose cell contains the screen point, or null; `cell` gets its
    // screen rectangle.
    TGameUnit* UnitAt(float x, float y, TRectf* cell = nullptr) const;
    // The screen rectangle of the unit's cell; false when it has none.
    bool CellOf(const TGameUnit* unit, TRectf& cell) const;
    TRectf ScreenRect(const TRectf& fraction) const;

    TBattleView* View;
    int32_t Background = -1;
    std::array<std::vector<TGameUnit*>, 4> TypeUnits;
    std::array<std::vector<TRectf>, 4> Cells;  // one per unit of TypeUnits
    std::array<TRectf, 4> IconRects{};         // empty for an empty type
    std::array<int32_t, 4> Icons{-1, -1, -1, -1};
};

struct TCommandButton {
    bool Visible = false;
    bool Enabled = false;
    bool Down = false;
    void (*OnClick)(TBattleView& view) = nullptr;
    float Left = 0, Top = 0, Right = 0, Bottom = 0;  // panel fractions
    float U1 = 0, V2 = 0, U2 = 0, V1 = 0;            // atlas cell
};

class TCommandPanel : public TFramePanel {
public:
    static constexpr int Columns = 4;
    static constexpr int Rows = 3;

    TCommandPanel(TInterfaceObj* parent, TBattleView* view);
    void Draw() override;
    // The Down state of each button from the view (hold, order mode).
    void Refresh();
    // Runs the first visible, enabled button under the screen point; false
    // when none is there.
    bool Click(float x, float y);
    TCommandButton& Button(int column, int row) { return Buttons[row][column]; }

    TBattleView* View;
    int32_t Background = -1;
    int32_t ButtonsTexture = -1;
    int32_t GrayButtonsTexture = -1;
    TRectf ButtonArea{0.05f, 0.05f, 0.85f, 0.78f};
    std::array<std::array<TCommandButton, Columns>, Rows> Buttons{};  // [row][column], row 0 at the bottom
};

// A panel's background texture over its whole rectangle, blended.
void DrawPanelBackground(const TInterfaceObj& panel, int32_t texture);
