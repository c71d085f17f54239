#include "gui/GameGUI.h"

#include "app/e_CameraObject.h"
#include "app/my_Input.h"
#include "resources/e_ModelObject.h"
#include "resources/e_ResourceManager.h"
#include "scenes/GameScene.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"
#include "world/MapObject.h"

#include <epoxy/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

const TColor4f kBlack{0.0f, 0.0f, 0.0f, 1.0f};
const TColor4f kGauge2{0.45f, 0.5f, 1.0f, 1.0f};
const TColor4f kSlotFill{111.0f / 255.0f, 99.0f / 255.0f, 87.0f / 255.0f, 1.0f};
const TColor4f kSlotText{0.8f, 0.8f, 0.8f, 1.0f};
const TColor4f kValueFill{0.25f, 0.25f, 0.25f, 0.6f};
const TColor4f kValueText{0.75f, 0.75f, 0.75f, 0.6f};
const TColor4f kButtonShadow{0.1f, 0.1f, 0.1f, 1.0f};
const TColor4f kButtonUp{0.75f, 0.75f, 0.75f, 1.0f};
const TColor4f kButtonGray{0.5f, 0.5f, 0.5f, 1.0f};
const TColor4f kAura{0.9f, 0.9f, 0.0f, 1.0f};
const TColor4f kBoxFill{0.0f, 0.0f, 0.0f, 0.75f};
const TColor4f kBoxFrame{1.0f, 0.8f, 0.2f, 1.0f};
const TColor4f kBoxHealth{0.2f, 0.8f, 1.0f, 1.0f};
const TColor4f kLineToTarget{0.5f, 0.7f, 1.0f, 1.0f};
const TColor4f kLineToGoal{0.8f, 0.8f, 0.8f, 1.0f};

constexpr int32_t BoxWidthPx = 100;
constexpr int32_t BoxHeightPx = 48;

// The pointer in GUI space.
void Pointer(float& x, float& y) {
    x = static_cast<float>(InputState.MouseX) / static_cast<float>(ScreenWidth);
    y = static_cast<float>(InputState.MouseY) / static_cast<float>(ScreenHeight);
}

float PixelW() { return 1.0f / static_cast<float>(ScreenWidth); }
float PixelH() { return 1.0f / static_cast<float>(ScreenHeight); }
float SnapX(float x) { return static_cast<float>(RoundEven(static_cast<double>(x) * ScreenWidth)) * PixelW(); }
float SnapY(float y) { return static_cast<float>(RoundEven(static_cast<double>(y) * ScreenHeight)) * PixelH(); }

bool Inside(const TRectf& r, float x, float y) {
    return x >= r.Left && x <= r.Right && y >= r.Bottom && y <= r.Top;
}

TColor4f PlayerColor(const TPlayerObject* player) {
    if (!player)
        return clWhite;
    const TMyVector3f c = player->Colour();
    return {c.x, c.y, c.z, 1.0f};
}

// A share of a maximum for a bar, kept within 0..1 (a dying unit's health may dip below 0).
float Share(float value, int32_t maximum) {
    if (maximum <= 0 || !std::isfinite(value))
        return 0.0f;
    return std::clamp(value / static_cast<float>(maximum), 0.0f, 1.0f);
}

void Fill(float x1, float y1, float x2, float y2, const TColor4f& c) {
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(c.R, c.G, c.B, c.A);
    glBegin(GL_QUADS);
    glVertex2f(x1, y1);
    glVertex2f(x2, y1);
    glVertex2f(x2, y2);
    glVertex2f(x1, y2);
    glEnd();
    glDisable(GL_BLEND);
}

void AlphaTest(bool on) {
    if (on) {
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GREATER, 0.4f);
    } else {
        glDisable(GL_ALPHA_TEST);
    }
}

// A panel's background texture over its whole rectangle, blended.
void DrawBackground(const TInterfaceObj& panel, int32_t texture) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    DrawTexturedQuad(texture, panel.AbsX(0), panel.AbsY(0), panel.AbsX(1), panel.AbsY(1), clWhite);
    glDisable(GL_BLEND);
}

const TUnitFeatures& FeaturesOf(const TGameUnit& unit) {
    return UnitFeatures[IsValidUnitType(unit.UnitType) ? unit.UnitType : 0];
}

// ---- command button actions ----

void HoldAction(TGameScene& scene) {
    // Only the player's own troops take orders; an enemy picked out for a look does not.
    if (scene.SelectionCommandable())
        scene.ToggleHold();
}
void MoveModeAction(TGameScene& scene) { scene.OrderMode = scene.OrderMode == 1 ? 0 : 1; }
void AttackModeAction(TGameScene& scene) { scene.OrderMode = scene.OrderMode == 2 ? 0 : 2; }

}  // namespace

std::string FormatBattleTime(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0.0)
        seconds = 0.0;
    const double hours = std::trunc(seconds / 3600.0);
    const double minutes = std::trunc((seconds - 3600.0 * hours) / 60.0);
    const double rest = std::trunc(seconds - 3600.0 * hours - 60.0 * minutes);
    auto part = [](double v) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%02.0f", v);
        return std::string(buffer);
    };
    return part(hours) + ":" + part(minutes) + ":" + part(rest);
}

std::string FormatFps(double value) {
    if (!std::isfinite(value))
        return "0.0";
    char buffer[64];
    // Five significant digits at most, shown with one decimal; beyond that the
    // number goes to exponent form rather than growing the label.
    if (std::fabs(value) >= 1e5) {
        std::snprintf(buffer, sizeof buffer, "%.4E", value);
        return buffer;
    }
    if (value != 0.0) {
        const double magnitude = std::floor(std::log10(std::fabs(value)));
        const double scale = std::pow(10.0, 4.0 - magnitude);
        value = std::round(value * scale) / scale;
    }
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
    if (std::string(buffer) == "-0.0")
        return "0.0";
    return buffer;
}

// ---- TGroupsInfo ----

TGroupsInfo::TGroupsInfo(TInterfaceObj* parent, TGameScene* scene)
    : TFramePanel("GroupsInfo", parent, 0.0025f, 0.94f, 0.34f, 0.9965f, "", clTransparent), Scene(scene) {
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
    if (Scene)
        Scene->SelectGroup(SlotAt(x));
}

void TGroupsInfo::Draw() {
    if (!Visible)
        return;
    DrawBackground(*this, Background);
    const TPlayerObject* human = Scene ? Scene->Battle->ControlledPlayer : nullptr;
    if (human) {
        const float x0 = AbsX(0), y0 = AbsY(0), y1 = AbsY(1);
        const float w = AbsX(1) - x0, h = y1 - y0;
        for (int k = 0; k < 9; ++k) {
            const size_t group = static_cast<size_t>(k) + 1;
            if (group >= human->Groups.size() || human->Groups[group].empty())
                continue;
            const float fk = static_cast<float>(k);
            Fill(x0 + (0.11f * fk + 0.01f) * w, y0 + 0.06f * h, x0 + (0.11f * fk + 0.107f) * w, y1 - 0.05f * h,
                 kSlotFill);
            SetFontColor(Canvas.Font, kSlotText);
            Canvas.TextRect(std::to_string(human->Groups[group].size()), x0 + (fk + 0.2f) * w / 9.0f, y1 - 0.05f * h,
                            0.4f * h, w / 9.0f);
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

TPlayerStat::TPlayerStat(TInterfaceObj* parent, TGameScene* scene)
    : TFramePanel("PlayerStat", parent, 0.0025f, 0.8f, 0.18f, 0.935f, "", clTransparent), Scene(scene) {
    Background = LoadTexture("PlayerStat", false);
    new TStaticText("", this, 0.05f, 0.6f, 0.5f, 0.25f, "Killed     -", clTransparent, clTransparent, kBlack);
    new TStaticText("", this, 0.05f, 0.35f, 0.5f, 0.25f, "Losses  -", clTransparent, clTransparent, kBlack);
    new TStaticText("", this, 0.05f, 0.1f, 0.5f, 0.25f, "Points   -", clTransparent, clTransparent, kBlack);
    KillLabel = new TStaticText("killLab", this, 0.6f, 0.62f, 0.3f, 0.22f, "0", kValueFill, clTransparent, kValueText);
    LossLabel = new TStaticText("lossLab", this, 0.6f, 0.37f, 0.3f, 0.22f, "0", kValueFill, clTransparent, kValueText);
    PointsLabel =
        new TStaticText("pointsLab", this, 0.6f, 0.12f, 0.3f, 0.22f, "0", kValueFill, clTransparent, kValueText);
}

void TPlayerStat::Refresh() {
    const TPlayerObject* human = Scene ? Scene->Battle->ControlledPlayer : nullptr;
    if (!human)
        return;
    KillLabel->Text = std::to_string(human->Kills);
    LossLabel->Text = std::to_string(human->Losses);
    PointsLabel->Text = std::to_string(human->Points);
}

void TPlayerStat::Draw() {
    if (!Visible)
        return;
    DrawBackground(*this, Background);
    TFramePanel::Draw();
}

// ---- TUnitsInfo ----

TUnitsInfo::TUnitsInfo(TInterfaceObj* parent, TGameScene* scene)
    : TFramePanel("UnitsInfo", parent, 0.2f, 0.0025f, 0.8f, 0.2f, "", clTransparent), Scene(scene) {
    Background = LoadTexture("UnitsInfo", false);
    for (int t = 0; t < 4; ++t)
        Icons[static_cast<size_t>(t)] = LoadTexture("Unit" + std::to_string(t + 1) + "ico", false);
}

void TUnitsInfo::Rebuild() {
    for (auto& list : TypeUnits)
        list.clear();
    if (Scene)
        for (TGameUnit* unit : Scene->Selection)
            if (unit && unit->Owner == Scene->Battle->ControlledPlayer && IsValidUnitType(unit->UnitType))
                TypeUnits[unit->UnitType].push_back(unit);

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
    if (!Scene)
        return;
    for (size_t t = 0; t < TypeUnits.size(); ++t) {
        if (TypeUnits[t].empty() || !Inside(ScreenRect(IconRects[t]), x, y))
            continue;
        const std::vector<TGameUnit*> units = TypeUnits[t];
        Scene->ClearSelection();
        for (TGameUnit* unit : units)
            Scene->SelectUnit(unit, true);
        return;
    }
    if (TGameUnit* unit = UnitAt(x, y)) {
        Scene->ClearSelection();
        Scene->SelectUnit(unit, false);
    }
}

void TUnitsInfo::Draw() {
    if (!Visible)
        return;
    AlphaTest(true);
    DrawTexturedQuad(Background, AbsX(0), AbsY(0), AbsX(1), AbsY(1), clWhite);
    for (size_t t = 0; t < TypeUnits.size(); ++t)
        if (!TypeUnits[t].empty()) {
            const TRectf r = ScreenRect(IconRects[t]);
            DrawTexturedQuad(Icons[t], r.Left, r.Bottom, r.Right, r.Top, clWhite);
        }
    AlphaTest(false);

    const TGameUnit* hover = Scene ? Scene->Hover : nullptr;
    const float px = PixelW(), py = PixelH();
    for (size_t t = 0; t < TypeUnits.size(); ++t)
        for (size_t u = 0; u < TypeUnits[t].size() && u < Cells[t].size(); ++u) {
            const TGameUnit& unit = *TypeUnits[t][u];
            const TRectf r = ScreenRect(Cells[t][u]);
            const float mid = r.Bottom + (r.Top - r.Bottom) * 0.5f;
            Fill(r.Left - px, r.Bottom - py, r.Right + px, r.Top + py, &unit == hover ? clWhite : kBlack);
            Fill(r.Left, r.Bottom, r.Right, r.Top, kBlack);
            const TUnitFeatures& f = FeaturesOf(unit);
            Fill(r.Left, mid, r.Right, mid + (r.Top - mid) * Share(unit.Health, f.MaxHealth), clGreen);
            Fill(r.Left, r.Bottom, r.Right, r.Bottom + (mid - r.Bottom) * (1.0f - Share(unit.Gauge2, f.MaxGauge2)),
                 kGauge2);
        }
    TFramePanel::Draw();
}

// ---- TCommandPanel ----

TCommandPanel::TCommandPanel(TInterfaceObj* parent, TGameScene* scene)
    : TFramePanel("CommandPanel", parent, 0.8f, 0.0025f, 0.9975f, 0.225f, "", clTransparent), Scene(scene) {
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
    auto set = [this](int column, int row, bool enabled, void (*action)(TGameScene&)) {
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
    int32_t mode = 0;
    if (Scene) {
        for (const TGameUnit* unit : Scene->Selection)
            if (unit && unit->Hold)
                hold = true;
        mode = Scene->OrderMode;
    }
    Button(0, 1).Down = hold;
    Button(0, 2).Down = mode == 1;
    Button(1, 2).Down = mode == 2;
}

bool TCommandPanel::Click(float x, float y) {
    for (auto& row : Buttons)
        for (TCommandButton& b : row) {
            if (!b.Visible || !b.Enabled)
                continue;
            const TRectf r{AbsX(b.Left), AbsY(b.Bottom), AbsX(b.Right), AbsY(b.Top)};
            if (!Inside(r, x, y))
                continue;
            if (b.OnClick && Scene) {
                b.OnClick(*Scene);
                Refresh();
            }
            return true;
        }
    return false;
}

void TCommandPanel::Draw() {
    if (!Visible)
        return;
    DrawBackground(*this, Background);
    for (const auto& row : Buttons)
        for (const TCommandButton& b : row) {
            if (!b.Visible)
                continue;
            const float l = AbsX(b.Left), r = AbsX(b.Right), bottom = AbsY(b.Bottom), top = AbsY(b.Top);
            const float inset = b.Down ? 0.0f : 0.1f * (r - l);
            Fill(l + inset, bottom - inset, r + inset, top - inset, kButtonShadow);
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            if (b.Enabled)
                DrawTexturedQuad(ButtonsTexture, l, bottom, r, top, b.Down ? clWhite : kButtonUp, b.U1, b.V1, b.U2,
                                 b.V2);
            else
                DrawTexturedQuad(GrayButtonsTexture, l, bottom, r, top, kButtonGray, b.U1, b.V1, b.U2, b.V2);
            glDisable(GL_BLEND);
        }
    TFramePanel::Draw();
}

// ---- TVisScreen ----

TVisScreen::TVisScreen(TGameScene* scene)
    : TFramePanel("Main", nullptr, 0.0f, 0.0f, 1.0f, 1.0f, "", TColor4f{0.75f, 0.75f, 0.75f, 0.0f}), Scene(scene) {
    FpsTitle = new TStaticText("fpsTitle", this, 0.465f, 0.95f, 0.035f, 0.03f, "fps:", clTransparent, clTransparent,
                               clGreen);
    FpsLabel = new TStaticText("fpsLab", this, 0.5f, 0.95f, 0.05f, 0.03f, "0.0", clTransparent, clTransparent, clWhite);
    TimeLabel = new TStaticText("timeLab", this, 0.915f, 0.96f, 0.075f, 0.03f, "00:00:00", clTransparent,
                                clTransparent, clYellow);
    GroupsInfo = new TGroupsInfo(this, scene);
    PlayerStat = new TPlayerStat(this, scene);
    MiniMap = new TMiniMap(this, scene, scene ? scene->MapPath : std::string());
    UnitsInfo = new TUnitsInfo(this, scene);
    CommandPanel = new TCommandPanel(this, scene);

    LabelTexture = LoadTexture("TroopLabel", false);
    EmblemTexture = LoadTexture("Znak", false);
    EmblemTexture1 = LoadTexture("Znak1", false);
    AuraTexture = LoadTexture("Aura", false);
}

uint8_t TVisScreen::RegionAt(float x, float y) const {
    if (GroupsInfo->HitTest(x, y))
        return RegionGroups;
    if (PlayerStat->HitTest(x, y))
        return RegionPlayerStat;
    if (UnitsInfo->HitTest(x, y))
        return RegionUnitsInfo;
    if (CommandPanel->HitTest(x, y))
        return RegionCommands;
    if (MiniMap->Contains(x, y))
        return RegionMiniMap;
    return RegionNone;
}

void TVisScreen::RebuildLabels() {
    Labels.clear();
    if (!Scene || !Scene->Camera)
        return;
    const TMatrix4f combined = Scene->Camera->GetCombinedMatrix();
    float mx, my;
    Pointer(mx, my);
    for (int32_t k = 0; k < Scene->Battle->PlayerCount && k < TGameScene::MaxPlayers; ++k) {
        const TPlayerObject* player = Scene->Battle->Players[static_cast<size_t>(k)].get();
        if (!player)
            continue;
        for (const auto& unit : player->Units) {
            if (!unit || !unit->Visible)
                continue;
            float x, y;
            if (!ProjectToScreen(combined, unit->WorldPosition(), x, y))
                continue;
            const bool marked = unit->Model && (unit->Model->ShowOutline || unit->Model->ShowCollision);
            const float dx = x - mx, dy = y - my;
            if (marked || unit->Engaged || dx * dx + dy * dy < 0.03f)
                Labels.push_back({unit.get(), x + 0.03f, y + 0.05f});
        }
    }
    SeparateLabels(Labels, LabelSize);
}

namespace {

// The snapped square of a label: (left, bottom, right, top).
TRectf LabelSquare(const TTroopLabel& label, float size) {
    const float x = SnapX(label.X), y = SnapY(label.Y);
    const float half = size * static_cast<float>(ScreenHeight) / static_cast<float>(ScreenWidth);
    return TRectf{x - half, y - size, x + half, y + size};
}

}  // namespace

TGameUnit* TVisScreen::LabelAt(float x, float y) const {
    for (const TTroopLabel& label : Labels)
        if (Inside(LabelSquare(label, LabelSize), x, y))
            return label.Unit;
    return nullptr;
}

bool TVisScreen::HoverBoxOrigin(float& x, float& y) const {
    const TGameUnit* unit = Scene ? Scene->Hover : nullptr;
    if (!unit)
        return false;
    float ax = 0.0f, ay = 0.0f;
    float px, py;
    Pointer(px, py);
    TRectf cell;
    if (HoverRegion == RegionUnitsInfo && UnitsInfo->CellOf(unit, cell) && Inside(cell, px, py)) {
        ax = cell.Left - 0.09f;
        ay = cell.Top + 0.005f;
    } else {
        if (!Scene->Camera || !ProjectToScreen(Scene->Camera->GetCombinedMatrix(), unit->WorldPosition(), ax, ay))
            return false;
        ax -= 0.05f;
        ay += 0.08f;
    }
    int32_t bx = std::max(0, RoundEven(static_cast<double>(ax) * ScreenWidth));
    int32_t by = std::max(0, RoundEven(static_cast<double>(ay) * ScreenHeight));
    bx = std::max(0, std::min(bx, ScreenWidth - BoxWidthPx));
    by = std::max(0, std::min(by, ScreenHeight - BoxHeightPx));
    x = static_cast<float>(bx) * PixelW();
    y = static_cast<float>(by) * PixelH();
    return true;
}

void TVisScreen::Draw() {
    if (!Visible)
        return;
    DrawMovementLines();
    if (HudHidden) {
        FpsTitle->Draw();
        FpsLabel->Draw();
        TimeLabel->Draw();
        return;
    }
    DrawLabels();
    TFramePanel::Draw();
    DrawHoverBox();
}

void TVisScreen::DrawLabels() {
    const float s = LabelSize;
    for (const TTroopLabel& label : Labels) {
        const TGameUnit& unit = *label.Unit;
        const TRectf q = LabelSquare(label, s);
        const float L = q.Left, R = q.Right, B = q.Bottom, T = q.Top;
        if (unit.Hold) {
            glEnable(GL_BLEND);
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            DrawTexturedQuad(AuraTexture, L - 0.004f, B + 0.005f, R + 0.004f, T + 0.017f, kAura);
            glDisable(GL_BLEND);
        }
        AlphaTest(true);
        DrawTexturedQuad(LabelTexture, L, T, R, T + 0.02f, clWhite);
        AlphaTest(false);
        Fill(L + 0.0025f, B + 0.014f, R - 0.0025f, T, PlayerColor(unit.Owner));
        AlphaTest(true);
        const bool humanSide = !unit.Owner || unit.Owner->Side == 0;
        DrawTexturedQuad(humanSide ? EmblemTexture : EmblemTexture1, L + 0.0025f, B + 0.015f, R - 0.0025f, T,
                         clWhite);
        AlphaTest(false);
        const TUnitFeatures& f = FeaturesOf(unit);
        Fill(L, B + 0.0035f, R + 0.002f, B + 0.01f, kBlack);
        Fill(L, B + 0.005f, L + (R - L) * Share(unit.Health, f.MaxHealth), B + 0.01f, clGreen);
        Fill(L, B - 0.0055f, R + 0.002f, B + 0.001f, kBlack);
        Fill(L, B - 0.004f, L + (R - L) * Share(unit.Gauge2, f.MaxGauge2), B + 0.001f, kGauge2);
    }
}

void TVisScreen::DrawHoverBox() {
    float x, y;
    if (!HoverBoxOrigin(x, y))
        return;
    const TGameUnit& unit = *Scene->Hover;
    const float pw = PixelW(), ph = PixelH();
    const float w = BoxWidthPx * pw, h = BoxHeightPx * ph;
    Fill(x, y, x + w, y + h, kBoxFill);
    glDisable(GL_TEXTURE_2D);
    glLineWidth(1.0f);
    glColor4f(kBoxFrame.R, kBoxFrame.G, kBoxFrame.B, kBoxFrame.A);
    glBegin(GL_LINE_LOOP);
    glVertex2f(x + pw, y + ph);
    glVertex2f(x + w - 2 * pw, y + ph);
    glVertex2f(x + w - 2 * pw, y + h - 2 * ph);
    glVertex2f(x + pw, y + h - 2 * ph);
    glEnd();

    TFont& font = Canvas.Font;
    SetFontName(font, "Tahoma");
    font.LogFont.Weight = 700;
    font.LogFont.Italic = true;
    const float top = y + h, left = x + 5 * pw, width = w - 10 * pw, line = 16 * ph;
    SetFontColor(font, PlayerColor(unit.Owner));
    Canvas.TextRect(unit.Owner ? unit.Owner->PlayerName : std::string(), left, top - 2 * ph, line, width);
    SetFontColor(font, clWhite);
    const TUnitFeatures& f = FeaturesOf(unit);
    Canvas.TextRect(unit.TypeName.empty() ? std::string(f.Name) : unit.TypeName, left, top - 16 * ph, line, width);
    SetFontColor(font, kBoxHealth);
    const long health = std::isfinite(unit.Health) ? std::lround(unit.Health) : 0;
    Canvas.TextRect(std::to_string(health) + " / " + std::to_string(f.MaxHealth), left, top - 30 * ph, line, width);
}

void TVisScreen::DrawMovementLines() {
    if (!Scene || !Scene->Camera || !InputState.Keys[VK::Shift])
        return;
    const TMatrix4f combined = Scene->Camera->GetCombinedMatrix();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0x00FF);
    glLineWidth(3.0f);
    for (const TGameUnit* unit : Scene->Selection) {
        if (!unit || unit->PathIndex < 0)
            continue;
        TMyVector3f goal;
        TColor4f colour;
        if (unit->Target) {
            goal = unit->Target->WorldPosition();
            colour = kLineToTarget;
        } else if (!unit->Path.empty()) {
            const float mx = static_cast<float>(unit->Path.back().x) + 0.5f;
            const float my = static_cast<float>(unit->Path.back().y) + 0.5f;
            const float h = Scene->Map ? Scene->Map->GetHeight(mx, my) : unit->Position.z;
            goal = {my, h, mx};
            colour = kLineToGoal;
        } else {
            continue;
        }
        float x1, y1, x2, y2;
        if (!ProjectToScreen(combined, unit->WorldPosition(), x1, y1) || !ProjectToScreen(combined, goal, x2, y2))
            continue;
        glColor4f(colour.R, colour.G, colour.B, colour.A);
        glBegin(GL_LINES);
        glVertex2f(x1, y1);
        glVertex2f(x2, y2);
        glEnd();
    }
    glLineWidth(1.0f);
    glDisable(GL_LINE_STIPPLE);
}

// ---- TGameGUI ----

TGameGUI::TGameGUI(TGameScene* scene) : Scene(scene), Screen(std::make_unique<TVisScreen>(scene)) {}

TGameGUI::~TGameGUI() = default;

void TGameGUI::SetFps(double value) { Screen->FpsLabel->Text = FormatFps(value); }

void TGameGUI::SetBattleTime(double seconds) { Screen->TimeLabel->Text = FormatBattleTime(seconds); }

void TGameGUI::SetViewCorners(const TMyVector3f& c1, const TMyVector3f& c2, const TMyVector3f& c3,
                              const TMyVector3f& c4) {
    Screen->MiniMap->ViewCorners = {c1, c2, c3, c4};
}

void TGameGUI::SetViewCorners(const std::array<TMyVector3f, 4>& corners) { Screen->MiniMap->ViewCorners = corners; }

bool TGameGUI::PickTroopLabel() {
    if (!Enabled || !Scene)
        return false;
    float x, y;
    Pointer(x, y);
    TGameUnit* unit = Screen->LabelAt(x, y);
    if (!unit)
        return false;
    Scene->Hover = unit;
    if (unit->Model)
        unit->Model->ShowCollision = true;
    return true;
}

bool TGameGUI::MouseOverPanels() const {
    if (!Enabled)
        return false;
    float x, y;
    Pointer(x, y);
    return Screen->RegionAt(x, y) != RegionNone;
}

void TGameGUI::ReleasePress() {
    PressCaptured = false;
    Screen->PressRegion = RegionNone;
    Screen->MiniMap->Dragging = false;
}

void TGameGUI::Update(double) {
    TVisScreen& s = *Screen;
    if (!Enabled) {
        // Hidden panels take no input, and nothing may keep the world from it.
        s.HudHidden = true;
        s.HoverRegion = RegionNone;
        s.Labels.clear();
        PointerOverHud = false;
        ReleasePress();
        return;
    }
    s.HudHidden = false;

    s.UnitsInfo->Rebuild();
    s.CommandPanel->Refresh();
    s.PlayerStat->Refresh();
    s.MiniMap->UpdateLayout();
    s.RebuildLabels();
    s.MiniMap->RebuildDots();

    float x, y;
    Pointer(x, y);
    s.HoverRegion = s.RegionAt(x, y);
    PointerOverHud = s.HoverRegion != RegionNone;

    if (InputState.LeftButton && !PrevInputState.LeftButton && PointerOverHud) {
        switch (s.HoverRegion) {
            case RegionGroups: s.GroupsInfo->Click(x, y); break;
            case RegionUnitsInfo: s.UnitsInfo->Click(x, y); break;
            case RegionCommands: s.CommandPanel->Click(x, y); break;
            case RegionMiniMap: s.MiniMap->Click(x, y); break;
            default: break;
        }
        s.PressRegion = s.HoverRegion;
        PressCaptured = true;
        return;
    }
    if (InputState.RightButton && !PrevInputState.RightButton && s.HoverRegion == RegionMiniMap)
        s.MiniMap->RightClick(x, y);
    if (!InputState.LeftButton && PrevInputState.LeftButton)
        ReleasePress();

    const uint8_t region = PressCaptured ? s.PressRegion : s.HoverRegion;
    if (region == RegionUnitsInfo) {
        if (TGameUnit* unit = s.UnitsInfo->UnitAt(x, y); unit && Scene) {
            Scene->Hover = unit;
            if (unit->Model)
                unit->Model->ShowCollision = true;
        }
    } else if (region == RegionMiniMap && InputState.LeftButton) {
        s.MiniMap->Drag(x, y);
    }
}

void TGameGUI::Draw() {
    Screen->Draw();
    if (ArrowFlags == 0)
        return;

    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(-2.0, 2.0, -1.5, 1.5);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_LINE_SMOOTH);

    // Each arrow points out of its edge: the tip just inside the edge, the base
    // 0.06 further in, two triangles that fade from the tip's middle outwards.
    struct TArrow {
        uint32_t Bit;
        float TipX, TipY, DirX, DirY;  // DirX/DirY: from the tip into the screen
    };
    const TArrow arrows[] = {{ArrowLeft, -1.98f, 0.0f, 1.0f, 0.0f},
                             {ArrowRight, 1.98f, 0.0f, -1.0f, 0.0f},
                             {ArrowTop, 0.0f, 1.48f, 0.0f, -1.0f},
                             {ArrowBottom, 0.0f, -1.48f, 0.0f, 1.0f}};
    const float depth = 0.06f, half = 0.05f;
    glBegin(GL_TRIANGLES);
    for (const TArrow& a : arrows) {
        if (!(ArrowFlags & a.Bit))
            continue;
        const float bx = a.TipX + a.DirX * depth, by = a.TipY + a.DirY * depth;
        const float sx = -a.DirY * half, sy = a.DirX * half;  // across the arrow
        for (float side : {1.0f, -1.0f}) {
            glColor4f(1.0f, 1.0f, 0.0f, 0.9f);
            glVertex2f(a.TipX, a.TipY);
            glColor4f(1.0f, 1.0f, 0.0f, 0.5f);
            glVertex2f(bx, by);
            glColor4f(1.0f, 1.0f, 0.0f, 0.1f);
            glVertex2f(bx + side * sx, by + side * sy);
        }
    }
    glEnd();

    glDisable(GL_LINE_SMOOTH);
    glDisable(GL_BLEND);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}
