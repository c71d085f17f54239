#include "gui/HudPanels.h"

#include "gui/BattleView.h"
#include "gui/HudCommon.h"
#include "resources/e_ResourceManager.h"
#include "units/Battle.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"

#include <algorithm>
#include <cmath>

using namespace hud;

namespace {

const TColor4f kSlotFill{111.0f / 255.0f, 99.0f / 255.0f, 87.0f / 255.0f, 1.0f};
const TColor4f kSlotText{0.8f, 0.8f, 0.8f, 1.0f};
const TColor4f kValueFill{0.25f, 0.25f, 0.25f, 0.6f};
const TColor4f kValueText{0.75f, 0.75f, 0.75f, 0.6f};
const TColor4f kButtonShadow{0.1f, 0.1f, 0.1f, 1.0f};
const TColor4f kButtonUp{0.75f, 0.75f, 0.75f, 1.0f};
const TColor4f kButtonGray{0.5f, 0.5f, 0.5f, 1.0f};

const TPlayerObject* Controlled(const TBattleView* view) {
    const TBattle* battle = view ? view->ViewedBattle() : nullptr;
    return battle ? battle->ControlledPlayer : nullptr;
}

// ---- command button actions ----

// The view gives hold only to the player's own troops; an enemy picked out for a
// look takes no orders.
void HoldAction(TBattleView& view) { view.ToggleHold(); }
void MoveModeAction(TBattleView& view) { view.ToggleOrderMode(TOrderMode::Move); }
void AttackModeAction(TBattleView& view) { view.ToggleOrderMode(TOrderMode::Attack); }

}  // namespace

void DrawPanelBackground(const TInterfaceObj& panel, int32_t texture) {
    SetBlending(true);
    DrawTexturedQuad(texture, panel.AbsX(0), panel.AbsY(0), panel.AbsX(1), panel.AbsY(1), clWhite);
    SetBlending(false);
}

// ---- TGroupsInfo ----

TGroupsInfo::TGroupsInfo(TInterfaceObj* parent, TBattleView* view)
    : TFramePanel("GroupsInfo", parent, 0.0025f, 0.94f, 0.34f, 0.9965f, "", clTransparent), View(view) {
    Background = LoadTexture("GroupsInfo", false);
}

int32_t TGroupsInfo::SlotAt(float x) const {
    const float x0 = AbsX(0), w = AbsX(1) - x0;
    if (!(w > 0.0f))
        return 1;
    const float slot = std::trunc((x - x0) / (w / 9.0f));
    return static_cast<int32_t>(std::clamp(slot, 0.0f, 8.0f)) + 1;
}

void TGroupsInfo::Click(float x, float) {
    if (View)
        View->SelectGroup(SlotAt(x));
}

void TGroupsInfo::Draw() {
    if (!Visible)
        return;
    DrawPanelBackground(*this, Background);
    if (const TPlayerObject* human = Controlled(View)) {
        const float x0 = AbsX(0), y0 = AbsY(0), y1 = AbsY(1);
        const float w = AbsX(1) - x0, h = y1 - y0;
        for (int k = 0; k < 9; ++k) {
            const size_t group = static_cast<size_t>(k) + 1;
            if (group >= human->Groups.size() || human->Groups[group].empty())
                continue;
            const float fk = static_cast<float>(k);
            FillRect(x0 + (0.11f * fk + 0.01f) * w, y0 + 0.06f * h, x0 + (0.11f * fk + 0.107f) * w,
                     y1 - 0.05f * h, kSlotFill);
            SetFontColor(Canvas.Font, kSlotText);
            Canvas.TextRect(std::to_string(human->Groups[group].size()), x0 + (fk + 0.2f) * w / 9.0f,
                            y1 - 0.05f * h, 0.4f * h, w / 9.0f);
            // A small pyramid of troops.
            static const float rows[4][3] = {
                {0.2f, 0.02f, 0.1f}, {0.3f, 0.03f, 0.09f}, {0.38f, 0.04f, 0.08f}, {0.47f, 0.05f, 0.07f}};
            Canvas.Pen.Width = 1;
            SetPenColor(Canvas.Pen, clGreen);
            for (const auto& r : rows) {
                const float y = y0 + r[0] * h;
                Canvas.Line(x0 + (0.11f * fk + r[1]) * w, y, x0 + (0.11f * fk + r[2]) * w, y);
            }
        }
    }
    TFramePanel::Draw();
}

// ---- TPlayerStat ----

TPlayerStat::TPlayerStat(TInterfaceObj* parent, TBattleView* view)
    : TFramePanel("PlayerStat", parent, 0.0025f, 0.8f, 0.18f, 0.935f, "", clTransparent), View(view) {
    Background = LoadTexture("PlayerStat", false);
    new TStaticText("", this, 0.05f, 0.6f, 0.5f, 0.25f, "Killed     -", clTransparent, clTransparent, kBlack);
    new TStaticText("", this, 0.05f, 0.35f, 0.5f, 0.25f, "Losses  -", clTransparent, clTransparent, kBlack);
    new TStaticText("", this, 0.05f, 0.1f, 0.5f, 0.25f, "Points   -", clTransparent, clTransparent, kBlack);
    KillLabel = new TStaticText("killLab", this, 0.6f, 0.62f, 0.3f, 0.22f, "0", kValueFill, clTransparent,
                                kValueText);
    LossLabel = new TStaticText("lossLab", this, 0.6f, 0.37f, 0.3f, 0.22f, "0", kValueFill, clTransparent,
                                kValueText);
    PointsLabel = new TStaticText("pointsLab", this, 0.6f, 0.12f, 0.3f, 0.22f, "0", kValueFill, clTransparent,
                                  kValueText);
}

void TPlayerStat::Refresh() {
    const TPlayerObject* human = Controlled(View);
    if (!human)
        return;
    KillLabel->Text = std::to_string(human->Kills);
    LossLabel->Text = std::to_string(human->Losses);
    PointsLabel->Text = std::to_string(human->Points);
}

void TPlayerStat::Draw() {
    if (!Visible)
        return;
    DrawPanelBackground(*this, Background);
    TFramePanel::Draw();
}

// ---- TUnitsInfo ----

TUnitsInfo::TUnitsInfo(TInterfaceObj* parent, TBattleView* view)
    : TFramePanel("UnitsInfo", parent, 0.2f, 0.0025f, 0.8f, 0.2f, "", clTransparent), View(view) {
    Background = LoadTexture("UnitsInfo", false);
    for (int t = 0; t < 4; ++t)
        Icons[static_cast<size_t>(t)] = LoadTexture("Unit" + std::to_string(t + 1) + "ico", false);
}

void TUnitsInfo::Rebuild() {
    for (auto& list : TypeUnits)
        list.clear();
    if (View) {
        const TPlayerObject* human = Controlled(View);
        for (TGameUnit* unit : View->SelectedUnits())
            if (unit && unit->Owner == human && IsValidUnitType(unit->UnitType))
                TypeUnits[unit->UnitType].push_back(unit);
    }

    float o = 0.065f;
    int c = 0;
    for (size_t t = 0; t < TypeUnits.size(); ++t) {
        Cells[t].clear();
        if (TypeUnits[t].empty()) {
            IconRects[t] = TRectf{};
            continue;
        }
        const float left = 0.15f * static_cast<float>(c) + o;
        IconRects[t] = TRectf{left, 0.25f, left + 0.13f, 0.75f};
        for (size_t u = 0; u < TypeUnits[t].size(); ++u) {
            const float cellLeft = left + 0.14f + 0.015f * static_cast<float>(u);
            Cells[t].push_back(TRectf{cellLeft, 0.25f, cellLeft + 0.01f, 0.75f});
        }
        ++c;
        o += 0.02f * static_cast<float>(TypeUnits[t].size());
    }
}

TRectf TUnitsInfo::ScreenRect(const TRectf& r) const {
    return TRectf{AbsX(r.Left), AbsY(r.Bottom), AbsX(r.Right), AbsY(r.Top)};
}

TGameUnit* TUnitsInfo::UnitAt(float x, float y, TRectf* cell) const {
    for (size_t t = 0; t < TypeUnits.size(); ++t)
        for (size_t u = 0; u < TypeUnits[t].size() && u < Cells[t].size(); ++u) {
            const TRectf r = ScreenRect(Cells[t][u]);
            if (Inside(r, x, y)) {
                if (cell)
                    *cell = r;
                return TypeUnits[t][u];
            }
        }
    return nullptr;
}

bool TUnitsInfo::CellOf(const TGameUnit* unit, TRectf& cell) const {
    for (size_t t = 0; t < TypeUnits.size(); ++t)
        for (size_t u = 0; u < TypeUnits[t].size() && u < Cells[t].size(); ++u)
            if (TypeUnits[t][u] == unit) {
                cell = ScreenRect(Cells[t][u]);
                return true;
            }
    return false;
}

void TUnitsInfo::Click(float x, float y) {
    if (!View)
        return;
    for (size_t t = 0; t < TypeUnits.size(); ++t) {
        if (TypeUnits[t].empty() || !Inside(ScreenRect(IconRects[t]), x, y))
            continue;
        // A copy: the request changes the selection these lists were built from.
        const std::vector<TGameUnit*> units = TypeUnits[t];
        View->SelectOnly(units);
        return;
    }
    if (TGameUnit* unit = UnitAt(x, y))
        View->SelectOnly({unit});
}

void TUnitsInfo::Draw() {
    if (!Visible)
        return;
    SetAlphaCut(true);
    DrawTexturedQuad(Background, AbsX(0), AbsY(0), AbsX(1), AbsY(1), clWhite);
    for (size_t t = 0; t < TypeUnits.size(); ++t)
        if (!TypeUnits[t].empty()) {
            const TRectf r = ScreenRect(IconRects[t]);
            DrawTexturedQuad(Icons[t], r.Left, r.Bottom, r.Right, r.Top, clWhite);
        }
    SetAlphaCut(false);

    const TGameUnit* hover = View ? View->HoveredUnit() : nullptr;
    const float px = PixelW(), py = PixelH();
    for (size_t t = 0; t < TypeUnits.size(); ++t)
        for (size_t u = 0; u < TypeUnits[t].size() && u < Cells[t].size(); ++u) {
            const TGameUnit& unit = *TypeUnits[t][u];
            const TRectf r = ScreenRect(Cells[t][u]);
            const float mid = r.Bottom + (r.Top - r.Bottom) * 0.5f;
            FillRect(r.Left - px, r.Bottom - py, r.Right + px, r.Top + py, &unit == hover ? clWhite : kBlack);
            FillRect(r.Left, r.Bottom, r.Right, r.Top, kBlack);
            const TUnitFeatures& f = FeaturesOf(unit);
            FillRect(r.Left, mid, r.Right, mid + (r.Top - mid) * Share(unit.Health, f.MaxHealth), clGreen);
            FillRect(r.Left, r.Bottom, r.Right,
                     r.Bottom + (mid - r.Bottom) * (1.0f - Share(unit.Gauge2, f.MaxGauge2)), kGauge2);
        }
    TFramePanel::Draw();
}

// ---- TCommandPanel ----

TCommandPanel::TCommandPanel(TInterfaceObj* parent, TBattleView* view)
    : TFramePanel("CommandPanel", parent, 0.8f, 0.0025f, 0.9975f, 0.225f, "", clTransparent), View(view) {
    Background = LoadTexture("CommandPanel", false);
    ButtonsTexture = LoadTexture("CommandButtons", false);
    GrayButtonsTexture = LoadTexture("CommandButtonsGray", false);

    const float cw = (ButtonArea.Right - ButtonArea.Left) / Columns;
    const float ch = (ButtonArea.Top - ButtonArea.Bottom) / Rows;
    const float mw = cw / 20.0f, mh = ch / 20.0f;
    for (int j = 0; j < Rows; ++j)
        for (int i = 0; i < Columns; ++i) {
            TCommandButton& b = Button(i, j);
            b.Left = ButtonArea.Left + static_cast<float>(i) * cw + mw;
            b.Right = ButtonArea.Left + static_cast<float>(i + 1) * cw - mw;
            b.Bottom = ButtonArea.Bottom + static_cast<float>(j) * ch + mh;
            b.Top = ButtonArea.Bottom + static_cast<float>(j + 1) * ch - mh;
            b.U1 = static_cast<float>(i) / Columns;
            b.U2 = static_cast<float>(i + 1) / Columns;
            b.V1 = static_cast<float>(j) / Rows;
            b.V2 = static_cast<float>(j + 1) / Rows;
        }
    auto set = [this](int column, int row, bool enabled, void (*action)(TBattleView&)) {
        TCommandButton& b = Button(column, row);
        b.Visible = true;
        b.Enabled = enabled;
        b.OnClick = action;
    };
    set(0, 1, true, HoldAction);
    set(0, 2, true, MoveModeAction);
    set(1, 2, true, AttackModeAction);
    set(2, 2, false, nullptr);
    set(3, 2, false, nullptr);
}

void TCommandPanel::Refresh() {
    bool hold = false;
    TOrderMode mode = TOrderMode::None;
    if (View) {
        for (const TGameUnit* unit : View->SelectedUnits())
            if (unit && unit->Hold)
                hold = true;
        mode = View->CurrentOrderMode();
    }
    Button(0, 1).Down = hold;
    Button(0, 2).Down = mode == TOrderMode::Move;
    Button(1, 2).Down = mode == TOrderMode::Attack;
}

bool TCommandPanel::Click(float x, float y) {
    for (auto& row : Buttons)
        for (TCommandButton& b : row) {
            if (!b.Visible || !b.Enabled)
                continue;
            const TRectf r{AbsX(b.Left), AbsY(b.Bottom), AbsX(b.Right), AbsY(b.Top)};
            if (!Inside(r, x, y))
                continue;
            if (b.OnClick && View) {
                b.OnClick(*View);
                Refresh();
            }
            return true;
        }
    return false;
}

void TCommandPanel::Draw() {
    if (!Visible)
        return;
    DrawPanelBackground(*this, Background);
    for (const auto& row : Buttons)
        for (const TCommandButton& b : row) {
            if (!b.Visible)
                continue;
            const float l = AbsX(b.Left), r = AbsX(b.Right), bottom = AbsY(b.Bottom), top = AbsY(b.Top);
            const float inset = b.Down ? 0.0f : 0.1f * (r - l);
            FillRect(l + inset, bottom - inset, r + inset, top - inset, kButtonShadow);
            SetBlending(true);
            if (b.Enabled)
                DrawTexturedQuad(ButtonsTexture, l, bottom, r, top, b.Down ? clWhite : kButtonUp, b.U1, b.V1,
                                 b.U2, b.V2);
            else
                DrawTexturedQuad(GrayButtonsTexture, l, bottom, r, top, kButtonGray, b.U1, b.V1, b.U2, b.V2);
            SetBlending(false);
        }
    TFramePanel::Draw();
}
