#include "gui/GameMiniMap.h"

#include "app/e_Platform.h"
#include "gui/BattleView.h"
#include "gui/HudCommon.h"
#include "render/my_Viewer.h"
#include "resources/e_ResourceManager.h"
#include "units/Battle.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"
#include "world/MapObject.h"

#include <algorithm>
#include <cmath>

namespace {

// The map parts turn clockwise about the panel's top-left corner and move right by this much.
constexpr float TurnShift = 0.0925f;

const TColor4f kViewFrameColor{0.8f, 0.8f, 0.8f, 1.0f};

}  // namespace

// ---- TMiniMap ----

std::string TMiniMap::PictureName(const std::string& mapPath) {
    std::string path = NormalizeSlashes(mapPath);
    const size_t slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = file.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        file.resize(dot);
    if (folder.empty())
        folder = AppPath + "Data/Maps/";
    return folder + file;
}

TMiniMap::TMiniMap(TInterfaceObj* parent, TBattleView* view, const std::string& mapPath)
    : TFramePanel("MiniMap", parent, 0.0025f, 0.007f, 0.256f, 0.25f, "", clTransparent), View(view) {
    Background = LoadTexture("MiniMap", false);
    if (!mapPath.empty())
        MapTexture = LoadTexture(PictureName(mapPath), false);
    if (const TStoredTextureData* data = GetTextureData(MapTexture)) {
        MapImageWidth = data->Width;
        MapImageHeight = data->Height;
    }
    // Without its picture the minimap still shows the view and the units, laid
    // out on the map's own grid (one tile per pixel, as the picture would be).
    const TGameMap* map = View ? View->ViewedMap() : nullptr;
    if ((MapImageWidth == 0 || MapImageHeight == 0) && map) {
        MapImageWidth = static_cast<uint16_t>(std::clamp(map->MapCols, 0, 65535));
        MapImageHeight = static_cast<uint16_t>(std::clamp(map->MapRows, 0, 65535));
    }
    if (MapImageWidth == 0 || MapImageHeight == 0)
        MapImageWidth = MapImageHeight = 1;
    UpdateLayout();
}

void TMiniMap::UpdateLayout() {
    const float x0 = AbsX(0), y0 = AbsY(0), x1 = AbsX(1), y1 = AbsY(1);
    const float w = x1 - x0, h = y1 - y0;
    ViewMatrix = MatMultiply(MatTranslation(TurnShift + x0, y1, 0.0f),
                             MatMultiply(MatRotationZ(-0.25f * Pi), MatTranslation(-x0, -y1, 0.0f)));
    InverseViewMatrix =
        MatMultiply(MatTranslation(x0, y1, 0.0f),
                    MatMultiply(MatRotationZ(0.25f * Pi), MatTranslation(-x0 - TurnShift, -y1, 0.0f)));

    const float width = 0.56f * w;
    const float height = width * static_cast<float>(MapImageHeight) / static_cast<float>(MapImageWidth);
    const float areaBottom = y0 + 0.185f * h;
    const float centre = areaBottom + (y1 - areaBottom) * 0.5f;
    PictureRect.Left = x0 + 0.145f * w;
    PictureRect.Right = PictureRect.Left + width;
    PictureRect.Bottom = centre - height * 0.5f;
    PictureRect.Top = centre + height * 0.5f;
}

TMyVector2f TMiniMap::ScreenToPanel(float x, float y) const {
    const TMyVector3f p = MatTransformPoint(InverseViewMatrix, {x, y, 0.0f});
    return {p.x, p.y};
}

TMyVector2f TMiniMap::PanelToScreen(float x, float y) const {
    const TMyVector3f p = MatTransformPoint(ViewMatrix, {x, y, 0.0f});
    return {p.x, p.y};
}

TMyVector2f TMiniMap::PanelToMap(float x, float y) const {
    const float w = PictureRect.Right - PictureRect.Left, h = PictureRect.Top - PictureRect.Bottom;
    return {(x - PictureRect.Left) / w * MapImageWidth, (y - PictureRect.Bottom) / h * MapImageHeight};
}

TMyVector2f TMiniMap::MapToPanel(float mx, float my) const {
    const float w = PictureRect.Right - PictureRect.Left, h = PictureRect.Top - PictureRect.Bottom;
    return {PictureRect.Left + mx / MapImageWidth * w, PictureRect.Bottom + my / MapImageHeight * h};
}

bool TMiniMap::Contains(float x, float y) const {
    const TMyVector2f p = ScreenToPanel(x, y);
    return HitTest(p.x, p.y);
}

void TMiniMap::RebuildDots() {
    Dots.clear();
    const TBattle* battle = View ? View->ViewedBattle() : nullptr;
    if (!battle || !battle->ControlledPlayer)
        return;
    const TPlayerObject* human = battle->ControlledPlayer;
    for (int32_t k = 0; k < battle->PlayerCount && k < TBattle::MaxPlayers; ++k) {
        const TPlayerObject* player = battle->Players[static_cast<size_t>(k)].get();
        if (!player)
            continue;
        const TColor4f colour = hud::PlayerColor(player);
        for (const auto& unit : player->Units) {
            if (!unit)
                continue;
            const TMyVector3f& p = unit->Position;
            if (player != human &&
                !human->Sees(static_cast<int32_t>(std::trunc(p.x)), static_cast<int32_t>(std::trunc(p.y))))
                continue;
            Dots.push_back({p.x, p.y, colour});
        }
    }
}

void TMiniMap::Click(float x, float y) {
    const TMyVector2f p = ScreenToPanel(x, y);
    if (p.x < PictureRect.Left || p.x > PictureRect.Right || p.y < PictureRect.Bottom ||
        p.y > PictureRect.Top)
        return;
    Dragging = true;
    if (View) {
        const TMyVector2f m = PanelToMap(p.x, p.y);
        View->CenterOn(m.x, m.y);
    }
}

void TMiniMap::Drag(float x, float y) {
    if (!Dragging)
        return;
    TMyVector2f p = ScreenToPanel(x, y);
    p.x = std::clamp(p.x, PictureRect.Left, PictureRect.Right);
    p.y = std::clamp(p.y, PictureRect.Bottom, PictureRect.Top);
    if (View) {
        const TMyVector2f m = PanelToMap(p.x, p.y);
        View->CenterOn(m.x, m.y);
    }
}

void TMiniMap::RightClick(float x, float y) {
    const TMyVector2f p = ScreenToPanel(x, y);
    if (p.x < PictureRect.Left || p.x > PictureRect.Right || p.y < PictureRect.Bottom ||
        p.y > PictureRect.Top)
        return;
    if (View) {
        const TMyVector2f m = PanelToMap(p.x, p.y);
        View->MoveTo(m.x, m.y);
    }
}

void TMiniMap::DrawCover() {
    if (!Visible)
        return;
    UpdateLayout();
    PushTransform(ViewMatrix);
    DrawTexturedQuad(Background, AbsX(0), AbsY(0), AbsX(1), AbsY(1), clWhite);
    PopTransform();
}

void TMiniMap::Draw() {
    if (!Visible)
        return;
    UpdateLayout();
    PushTransform(ViewMatrix);

    SetBlending(true);
    DrawTexturedQuad(Background, AbsX(0), AbsY(0), AbsX(1), AbsY(1), clWhite);
    DrawTexturedQuad(MapTexture, PictureRect.Left, PictureRect.Bottom, PictureRect.Right, PictureRect.Top,
                     clWhite);
    SetBlending(false);
    // Tiles the player does not see are darkened as on the ground.
    DrawFogOverlay(PictureRect.Left, PictureRect.Bottom, PictureRect.Right, PictureRect.Top);

    std::vector<TPointf> frame;
    for (const TMyVector3f& c : ViewCorners) {
        const TMyVector2f p = MapToPanel(c.x, c.y);
        frame.push_back({p.x, p.y});
    }
    DrawLineLoop(frame, kViewFrameColor, 1.0f);

    std::vector<TCanvasVertex> dots;
    dots.reserve(Dots.size());
    for (const TMiniMapDot& dot : Dots) {
        const TMyVector2f p = MapToPanel(dot.MX, dot.MY);
        dots.push_back({p.x, p.y, dot.Color});
    }
    DrawPoints(dots, 3.0f);

    TFramePanel::Draw();
    PopTransform();
}
