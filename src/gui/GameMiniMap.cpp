#include "gui/GameMiniMap.h"

#include "app/e_Platform.h"
#include "app/my_Input.h"
#include "render/my_Viewer.h"
#include "resources/e_ResourceManager.h"
#include "scenes/GameScene.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"
#include "world/MapObject.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

// The map parts turn clockwise about the panel's top-left corner and move right by this much.
constexpr float TurnShift = 0.0925f;

const TColor4f kViewFrameColor{0.8f, 0.8f, 0.8f, 1.0f};

TColor4f PlayerColor(const TPlayerObject* player) {
    if (!player)
        return clWhite;
    const TMyVector3f c = player->Colour();
    return {c.x, c.y, c.z, 1.0f};
}

}  // namespace

bool DrawTexturedQuad(int32_t texture, float x1, float y1, float x2, float y2, const TColor4f& tint, float u1,
                      float v1, float u2, float v2) {
    if (texture < 0 || !GetTextureData(texture))
        return false;
    try {
        BindTexture(texture, 0);
    } catch (const std::exception&) {
        return false;
    }
    glEnable(GL_TEXTURE_2D);
    glColor4f(tint.R, tint.G, tint.B, tint.A);
    glBegin(GL_QUADS);
    glTexCoord2f(u1, v1);
    glVertex2f(x1, y1);
    glTexCoord2f(u2, v1);
    glVertex2f(x2, y1);
    glTexCoord2f(u2, v2);
    glVertex2f(x2, y2);
    glTexCoord2f(u1, v2);
    glVertex2f(x1, y2);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    return true;
}

bool ProjectToScreen(const TMatrix4f& combined, const TMyVector3f& world, float& x, float& y) {
    const TMyVector4f clip = MatTransformVec4(combined, {world.x, world.y, world.z, 1.0f});
    if (!(clip.w > 1e-6f))
        return false;
    x = (clip.x / clip.w + 1.0f) * 0.5f;
    y = (clip.y / clip.w + 1.0f) * 0.5f;
    return std::isfinite(x) && std::isfinite(y);
}

void SeparateLabels(std::vector<TTroopLabel>& labels, float labelSize) {
    const float d = 2.0f * labelSize;
    for (int pass = 0; pass < 4; ++pass)
        for (size_t i = 0; i < labels.size(); ++i)
            for (size_t j = i + 1; j < labels.size(); ++j) {
                TMyVector2f v{labels[j].X - labels[i].X, labels[j].Y - labels[i].Y};
                if (std::fabs(v.x) >= d || std::fabs(v.y) >= d)
                    continue;
                const float lengthSq = v.x * v.x + v.y * v.y;
                if (lengthSq >= d * d)
                    continue;
                const float length = std::sqrt(lengthSq);
                // Labels on the same spot have no direction of their own: they part sideways.
                if (length == 0.0f)
                    v = {static_cast<float>(i + 1), 0.0f};
                const float scale = (d - length) * 0.5f / std::sqrt(v.x * v.x + v.y * v.y);
                v = {v.x * scale, v.y * scale};
                labels[i].X -= v.x;
                labels[i].Y -= v.y;
                labels[j].X += v.x;
                labels[j].Y += v.y;
            }
}

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

TMiniMap::TMiniMap(TInterfaceObj* parent, TGameScene* scene, const std::string& mapPath)
    : TFramePanel("MiniMap", parent, 0.0025f, 0.007f, 0.256f, 0.25f, "", clTransparent), Scene(scene) {
    Background = LoadTexture("MiniMap", false);
    if (!mapPath.empty())
        MapTexture = LoadTexture(PictureName(mapPath), false);
    if (const TStoredTextureData* data = GetTextureData(MapTexture)) {
        MapImageWidth = data->Width;
        MapImageHeight = data->Height;
    }
    // Without its picture the minimap still shows the view and the units, laid
    // out on the map's own grid (one tile per pixel, as the picture would be).
    if ((MapImageWidth == 0 || MapImageHeight == 0) && Scene && Scene->Map) {
        MapImageWidth = static_cast<uint16_t>(std::clamp(Scene->Map->MapCols, 0, 65535));
        MapImageHeight = static_cast<uint16_t>(std::clamp(Scene->Map->MapRows, 0, 65535));
    }
    if (MapImageWidth == 0 || MapImageHeight == 0)
        MapImageWidth = MapImageHeight = 1;
    UpdateLayout();
}

void TMiniMap::UpdateLayout() {
    const float x0 = AbsX(0), y0 = AbsY(0), x1 = AbsX(1), y1 = AbsY(1);
    const float w = x1 - x0, h = y1 - y0;
    ViewMatrix = MatMultiply(
        MatTranslation(TurnShift + x0, y1, 0.0f),
        MatMultiply(MatRotationZ(-0.25f * Pi), MatTranslation(-x0, -y1, 0.0f)));
    InverseViewMatrix = MatMultiply(
        MatTranslation(x0, y1, 0.0f),
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
    if (!Scene || !Scene->Battle->ControlledPlayer)
        return;
    const TPlayerObject* human = Scene->Battle->ControlledPlayer;
    for (int32_t k = 0; k < Scene->Battle->PlayerCount && k < TGameScene::MaxPlayers; ++k) {
        const TPlayerObject* player = Scene->Battle->Players[static_cast<size_t>(k)].get();
        if (!player)
            continue;
        const TColor4f colour = PlayerColor(player);
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
    if (p.x < PictureRect.Left || p.x > PictureRect.Right || p.y < PictureRect.Bottom || p.y > PictureRect.Top)
        return;
    Dragging = true;
    if (Scene) {
        const TMyVector2f m = PanelToMap(p.x, p.y);
        Scene->CenterOn(m.x, m.y);
    }
}

void TMiniMap::Drag(float x, float y) {
    if (!Dragging)
        return;
    TMyVector2f p = ScreenToPanel(x, y);
    p.x = std::clamp(p.x, PictureRect.Left, PictureRect.Right);
    p.y = std::clamp(p.y, PictureRect.Bottom, PictureRect.Top);
    if (Scene) {
        const TMyVector2f m = PanelToMap(p.x, p.y);
        Scene->CenterOn(m.x, m.y);
    }
}

void TMiniMap::RightClick(float x, float y) {
    const TMyVector2f p = ScreenToPanel(x, y);
    if (p.x < PictureRect.Left || p.x > PictureRect.Right || p.y < PictureRect.Bottom || p.y > PictureRect.Top)
        return;
    if (Scene) {
        const TMyVector2f m = PanelToMap(p.x, p.y);
        Scene->MoveOrder({m.x, m.y, 0.0f}, true);
    }
}

void TMiniMap::Draw() {
    if (!Visible)
        return;
    UpdateLayout();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixf(ViewMatrix.m);

    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    DrawTexturedQuad(Background, AbsX(0), AbsY(0), AbsX(1), AbsY(1), clWhite);
    DrawTexturedQuad(MapTexture, PictureRect.Left, PictureRect.Bottom, PictureRect.Right, PictureRect.Top, clWhite);
    glDisable(GL_BLEND);
    // Tiles the player does not see are darkened as on the ground.
    DrawFogOverlay(PictureRect.Left, PictureRect.Bottom, PictureRect.Right, PictureRect.Top);

    glDisable(GL_TEXTURE_2D);
    glLineWidth(1.0f);
    glColor4f(kViewFrameColor.R, kViewFrameColor.G, kViewFrameColor.B, kViewFrameColor.A);
    glBegin(GL_LINE_LOOP);
    for (const TMyVector3f& c : ViewCorners) {
        const TMyVector2f p = MapToPanel(c.x, c.y);
        glVertex2f(p.x, p.y);
    }
    glEnd();

    glPointSize(3.0f);
    glBegin(GL_POINTS);
    for (const TMiniMapDot& dot : Dots) {
        const TMyVector2f p = MapToPanel(dot.MX, dot.MY);
        glColor4f(dot.Color.R, dot.Color.G, dot.Color.B, dot.Color.A);
        glVertex2f(p.x, p.y);
    }
    glEnd();
    glPointSize(1.0f);

    TFramePanel::Draw();
    glPopMatrix();
}
