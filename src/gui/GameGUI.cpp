// The battle HUD's screen: which panel is under the pointer, the press and who
// gets it, the labels over the units, the hovered-unit box, the routes of the
// selection and the edge arrows. The panels are in HudPanels.cpp, the minimap
// in GameMiniMap.cpp.

#include "gui/GameGUI.h"

#include "app/e_CameraObject.h"
#include "app/my_Input.h"
#include "gui/BattleView.h"
#include "resources/e_ResourceManager.h"
#include "units/Battle.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"
#include "world/MapObject.h"

#include <algorithm>
#include <cmath>

using namespace hud;

namespace {

const TColor4f kAura{0.9f, 0.9f, 0.0f, 1.0f};
const TColor4f kBoxFill{0.0f, 0.0f, 0.0f, 0.75f};
const TColor4f kBoxFrame{1.0f, 0.8f, 0.2f, 1.0f};
const TColor4f kBoxHealth{0.2f, 0.8f, 1.0f, 1.0f};
const TColor4f kLineToTarget{0.5f, 0.7f, 1.0f, 1.0f};
const TColor4f kLineToGoal{0.8f, 0.8f, 0.8f, 1.0f};

constexpr int32_t BoxWidthPx = 100;
constexpr int32_t BoxHeightPx = 48;

// The snapped square of a label: (left, bottom, right, top).
TRectf LabelSquare(const TTroopLabel& label, float size) {
    const float x = SnapX(label.X), y = SnapY(label.Y);
    const float half = size * static_cast<float>(ScreenHeight) / static_cast<float>(ScreenWidth);
    return TRectf{x - half, y - size, x + half, y + size};
}

}  // namespace

// ---- TVisScreen ----

TVisScreen::TVisScreen(TBattleView* view, const std::string& mapPath)
    : TFramePanel("Main", nullptr, 0.0f, 0.0f, 1.0f, 1.0f, "", TColor4f{0.75f, 0.75f, 0.75f, 0.0f}),
      View(view) {
    FpsTitle = new TStaticText("fpsTitle", this, 0.465f, 0.95f, 0.035f, 0.03f, "fps:", clTransparent,
                               clTransparent, clGreen);
    FpsLabel = new TStaticText("fpsLab", this, 0.5f, 0.95f, 0.05f, 0.03f, "0.0", clTransparent, clTransparent,
                               clWhite);
    TimeLabel = new TStaticText("timeLab", this, 0.915f, 0.96f, 0.075f, 0.03f, "00:00:00", clTransparent,
                                clTransparent, clYellow);
    GroupsInfo = new TGroupsInfo(this, view);
    PlayerStat = new TPlayerStat(this, view);
    MiniMap = new TMiniMap(this, view, mapPath);
    UnitsInfo = new TUnitsInfo(this, view);
    CommandPanel = new TCommandPanel(this, view);

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
    const TCamera* camera = View ? View->ViewCamera() : nullptr;
    const TBattle* battle = View ? View->ViewedBattle() : nullptr;
    if (!camera || !battle)
        return;
    const TMatrix4f combined = camera->GetCombinedMatrix();
    float mx, my;
    Pointer(mx, my);
    for (int32_t k = 0; k < battle->PlayerCount && k < TBattle::MaxPlayers; ++k) {
        const TPlayerObject* player = battle->Players[static_cast<size_t>(k)].get();
        if (!player)
            continue;
        for (const auto& unit : player->Units) {
            if (!unit || !unit->Visible)
                continue;
            float x, y;
            if (!ProjectToScreen(combined, unit->WorldPosition(), x, y))
                continue;
            const float dx = x - mx, dy = y - my;
            if (View->IsMarked(unit.get()) || unit->Engaged || dx * dx + dy * dy < 0.03f)
                Labels.push_back({unit.get(), x + 0.03f, y + 0.05f});
        }
    }
    SeparateLabels(Labels, LabelSize);
}

TGameUnit* TVisScreen::LabelAt(float x, float y) const {
    for (const TTroopLabel& label : Labels)
        if (Inside(LabelSquare(label, LabelSize), x, y))
            return label.Unit;
    return nullptr;
}

bool TVisScreen::HoverBoxOrigin(float& x, float& y) const {
    const TGameUnit* unit = View ? View->HoveredUnit() : nullptr;
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
        const TCamera* camera = View->ViewCamera();
        if (!camera || !ProjectToScreen(camera->GetCombinedMatrix(), unit->WorldPosition(), ax, ay))
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
            SetBlending(true);
            DrawTexturedQuad(AuraTexture, L - 0.004f, B + 0.005f, R + 0.004f, T + 0.017f, kAura);
            SetBlending(false);
        }
        SetAlphaCut(true);
        DrawTexturedQuad(LabelTexture, L, T, R, T + 0.02f, clWhite);
        SetAlphaCut(false);
        FillRect(L + 0.0025f, B + 0.014f, R - 0.0025f, T, PlayerColor(unit.Owner));
        SetAlphaCut(true);
        const bool humanSide = !unit.Owner || unit.Owner->Side == 0;
        DrawTexturedQuad(humanSide ? EmblemTexture : EmblemTexture1, L + 0.0025f, B + 0.015f, R - 0.0025f, T,
                         clWhite);
        SetAlphaCut(false);
        const TUnitFeatures& f = FeaturesOf(unit);
        FillRect(L, B + 0.0035f, R + 0.002f, B + 0.01f, kBlack);
        FillRect(L, B + 0.005f, L + (R - L) * Share(unit.Health, f.MaxHealth), B + 0.01f, clGreen);
        FillRect(L, B - 0.0055f, R + 0.002f, B + 0.001f, kBlack);
        FillRect(L, B - 0.004f, L + (R - L) * Share(unit.Gauge2, f.MaxGauge2), B + 0.001f, kGauge2);
    }
}

void TVisScreen::DrawHoverBox() {
    float x, y;
    if (!HoverBoxOrigin(x, y))
        return;
    const TGameUnit& unit = *View->HoveredUnit();
    const float pw = PixelW(), ph = PixelH();
    const float w = BoxWidthPx * pw, h = BoxHeightPx * ph;
    FillRect(x, y, x + w, y + h, kBoxFill);
    DrawLineLoop({{x + pw, y + ph},
                  {x + w - 2 * pw, y + ph},
                  {x + w - 2 * pw, y + h - 2 * ph},
                  {x + pw, y + h - 2 * ph}},
                 kBoxFrame, 1.0f);

    TFont& font = Canvas.Font;
    SetFontName(font, "Tahoma");
    font.LogFont.Weight = 700;
    font.LogFont.Italic = true;
    const float top = y + h, left = x + 5 * pw, width = w - 10 * pw, line = 16 * ph;
    SetFontColor(font, PlayerColor(unit.Owner));
    Canvas.TextRect(unit.Owner ? unit.Owner->PlayerName : std::string(), left, top - 2 * ph, line, width);
    SetFontColor(font, clWhite);
    const TUnitFeatures& f = FeaturesOf(unit);
    Canvas.TextRect(unit.TypeName.empty() ? std::string(f.Name) : unit.TypeName, left, top - 16 * ph, line,
                    width);
    SetFontColor(font, kBoxHealth);
    const long health = std::isfinite(unit.Health) ? std::lround(unit.Health) : 0;
    Canvas.TextRect(std::to_string(health) + " / " + std::to_string(f.MaxHealth), left, top - 30 * ph, line,
                    width);
}

void TVisScreen::DrawMovementLines() {
    const TCamera* camera = View ? View->ViewCamera() : nullptr;
    if (!camera || !InputState.Keys[VK::Shift])
        return;
    const TMatrix4f combined = camera->GetCombinedMatrix();
    const TGameMap* map = View->ViewedMap();
    std::vector<TCanvasVertex> lines;
    for (const TGameUnit* unit : View->SelectedUnits()) {
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
            const float h = map ? map->GetHeight(mx, my) : unit->Position.z;
            goal = {my, h, mx};
            colour = kLineToGoal;
        } else {
            continue;
        }
        float x1, y1, x2, y2;
        if (!ProjectToScreen(combined, unit->WorldPosition(), x1, y1) ||
            !ProjectToScreen(combined, goal, x2, y2))
            continue;
        lines.push_back({x1, y1, colour});
        lines.push_back({x2, y2, colour});
    }
    DrawLines(lines, 3.0f, 0x00FF);
}

// ---- TGameGUI ----

TGameGUI::TGameGUI(TBattleView* view, const std::string& mapPath)
    : View(view), Screen(std::make_unique<TVisScreen>(view, mapPath)) {}

TGameGUI::~TGameGUI() = default;

void TGameGUI::SetFps(double value) { Screen->FpsLabel->Text = FormatFps(value); }

void TGameGUI::SetBattleTime(double seconds) { Screen->TimeLabel->Text = FormatBattleTime(seconds); }

void TGameGUI::SetViewCorners(const TMyVector3f& c1, const TMyVector3f& c2, const TMyVector3f& c3,
                              const TMyVector3f& c4) {
    Screen->MiniMap->ViewCorners = {c1, c2, c3, c4};
}

void TGameGUI::SetViewCorners(const std::array<TMyVector3f, 4>& corners) {
    Screen->MiniMap->ViewCorners = corners;
}

bool TGameGUI::PickTroopLabel() {
    if (!Enabled || !View)
        return false;
    float x, y;
    Pointer(x, y);
    TGameUnit* unit = Screen->LabelAt(x, y);
    if (!unit)
        return false;
    View->HoverUnit(unit);
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
        case RegionGroups:
            s.GroupsInfo->Click(x, y);
            break;
        case RegionUnitsInfo:
            s.UnitsInfo->Click(x, y);
            break;
        case RegionCommands:
            s.CommandPanel->Click(x, y);
            break;
        case RegionMiniMap:
            s.MiniMap->Click(x, y);
            break;
        default:
            break;
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
        if (TGameUnit* unit = s.UnitsInfo->UnitAt(x, y); unit && View)
            View->HoverUnit(unit);
    } else if (region == RegionMiniMap && InputState.LeftButton) {
        s.MiniMap->Drag(x, y);
    }
}

void TVisScreen::DrawCover() {
    if (!Visible || HudHidden)
        return;
    auto cover = [](const TInterfaceObj* panel, int32_t texture) {
        if (panel && panel->Visible)
            DrawTexturedQuad(texture, panel->AbsX(0), panel->AbsY(0), panel->AbsX(1), panel->AbsY(1),
                             clWhite);
    };
    cover(GroupsInfo, GroupsInfo ? GroupsInfo->Background : -1);
    cover(PlayerStat, PlayerStat ? PlayerStat->Background : -1);
    cover(UnitsInfo, UnitsInfo ? UnitsInfo->Background : -1);
    cover(CommandPanel, CommandPanel ? CommandPanel->Background : -1);
    if (MiniMap)
        MiniMap->DrawCover();
}

void TGameGUI::DrawCover() { Screen->DrawCover(); }

void TGameGUI::Draw() {
    Screen->Draw();
    if (ArrowFlags == 0)
        return;

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
    std::vector<TCanvasVertex> corners;
    for (const TArrow& a : arrows) {
        if (!(ArrowFlags & a.Bit))
            continue;
        const float bx = a.TipX + a.DirX * depth, by = a.TipY + a.DirY * depth;
        const float sx = -a.DirY * half, sy = a.DirX * half;  // across the arrow
        for (float side : {1.0f, -1.0f}) {
            corners.push_back({a.TipX, a.TipY, {1.0f, 1.0f, 0.0f, 0.9f}});
            corners.push_back({bx, by, {1.0f, 1.0f, 0.0f, 0.5f}});
            corners.push_back({bx + side * sx, by + side * sy, {1.0f, 1.0f, 0.0f, 0.1f}});
        }
    }
    // The arrows are laid out on a 4 x 3 screen centred on the middle.
    PushSpace(-2.0, 2.0, -1.5, 1.5);
    DrawTriangles(corners);
    PopSpace();
}
