// The HUD's pictures: the framed plates of the panels (stone border, bronze rim, parchment
// field), the command buttons, the unit type medals, the troop label's cap, emblems and aura.

#include "gen_textures.h"

#include "DataTool.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace gen {

using namespace pictures;

namespace pictures {

TColour Parchment(float x, float y, uint32_t seed) {
    const float n = FractalNoise(x / 40.0f, y / 40.0f, 0, 4, 0.55f, seed);
    const float fibre = ValueNoise(x / 3.0f, y / 30.0f, 0, 0, seed + 7);
    TColour c = Rgb(0.84f, 0.76f, 0.57f);
    c = Scale(c, 0.82f + 0.28f * n + 0.06f * (fibre - 0.5f));
    return c;
}

}  // namespace pictures

namespace {

TColour Stone(float x, float y, uint32_t seed) {
    const float n = FractalNoise(x / 24.0f, y / 24.0f, 0, 4, 0.55f, seed);
    return Scale(Rgb(0.3f, 0.27f, 0.23f), 0.8f + 0.4f * n);
}

TColour Bronze(float, float y, float top, float height) {
    const float t = Clamp01((y - top) / std::max(height, 1.0f));
    return Mix(Rgb(0.92f, 0.76f, 0.42f), Rgb(0.5f, 0.34f, 0.14f), t);
}

// A framed plate: stone border, bronze rim, parchment (or dark) field. Coordinates in pixels.
void Plate(TImage& img, float x0, float y0, float x1, float y1, float radius, float border, bool darkField,
           uint32_t seed) {
    const TShape outer = Box(x0, y0, x1, y1, radius);
    PaintWith(img, outer, [&](float x, float y) { return Stone(x, y, seed); });
    const TShape rim = Outline(Box(x0 + border * 0.5f, y0 + border * 0.5f, x1 - border * 0.5f,
                                   y1 - border * 0.5f, std::max(radius - border * 0.5f, 0.0f)),
                               std::max(2.0f, border * 0.3f));
    PaintWith(img, rim, [&](float x, float y) { return Bronze(x, y, y0, y1 - y0); });
    const TShape field =
        Box(x0 + border, y0 + border, x1 - border, y1 - border, std::max(radius - border, 0.0f));
    PaintWith(img, field, [&](float x, float y) {
        return darkField ? Scale(Stone(x, y, seed + 5), 0.55f) : Parchment(x, y, seed + 3);
    });
    // A soft shadow inside the field's upper edge gives it depth.
    PaintWith(img, field, [&](float, float y) {
        return Rgb(0, 0, 0, 0.35f * (1.0f - SmoothStep(0.0f, border * 1.5f, y - (y0 + border))));
    });
}

// Alpha reduced to fully opaque or fully clear, for pictures drawn with an alpha test; clear
// pixels take `edge` so that filtering does not darken the outline.
void HardenAlpha(TImage& img, const TColour& edge) {
    for (int32_t y = 0; y < img.Height; ++y)
        for (int32_t x = 0; x < img.Width; ++x) {
            TColour c = img.Get(x, y);
            if (c.a >= 0.5f) {
                c.a = 1.0f;
                img.Set(x, y, c);
            } else {
                img.Set(x, y, {edge.r, edge.g, edge.b, 0.0f});
            }
        }
}

TImage MakeGroupsInfo() {
    TImage img(512, 64, 4);
    Plate(img, 0, 0, 512, 64, 10, 5, true, 0x6A0001);
    // Nine slots where the HUD draws the groups: x from 0.11 k + 0.01 to 0.11 k + 0.107 of the width.
    for (int32_t k = 0; k < 9; ++k) {
        const float x0 = (0.11f * k + 0.01f) * 512, x1 = (0.11f * k + 0.107f) * 512;
        const TShape slot = Box(x0, 0.05f * 64, x1, 0.94f * 64, 4);
        Paint(img, slot, Rgb(0.08f, 0.07f, 0.06f, 0.85f));
        Paint(img, Outline(slot, 1.5f), Rgb(0.75f, 0.6f, 0.3f, 0.9f));
    }
    return img;
}

TImage MakePlayerStat() {
    TImage img(256, 128, 4);
    Plate(img, 0, 0, 256, 128, 12, 8, false, 0x6A0002);
    // Faint ruled lines under the three captions.
    for (int32_t i = 0; i < 3; ++i) {
        const float y = 128.0f * (1.0f - (0.1f + 0.25f * i)) - 4.0f;
        Paint(img, Segment(16, y, 144, y, 1.0f), Rgb(0.4f, 0.3f, 0.2f, 0.4f));
    }
    return img;
}

TImage MakeMiniMapPanel() {
    TImage img(256, 256, 4);
    Plate(img, 0, 0, 256, 256, 24, 10, true, 0x6A0003);
    // The recess where the map picture lies (x 0.13..0.72, y 0.285..0.9 of the panel, y up).
    const TShape well = Box(0.13f * 256, (1.0f - 0.9f) * 256, 0.72f * 256, (1.0f - 0.285f) * 256, 6);
    Paint(img, well, Rgb(0.05f, 0.05f, 0.04f));
    PaintWith(img, Outline(well, 3.0f), [](float x, float y) { return Bronze(x, y, 20, 200); });
    // Studs along the lower edge.
    for (int32_t i = 0; i < 5; ++i) {
        const float x = 40.0f + 44.0f * i;
        Paint(img, Circle(x, 228, 5), Rgb(0.1f, 0.08f, 0.05f));
        PaintWith(img, Circle(x, 227, 4), [](float x2, float y2) { return Bronze(x2, y2, 223, 8); });
    }
    return img;
}

TImage MakeUnitsInfo() {
    TImage img(1024, 256, 4);
    // Cut corners and a stepped top edge; drawn with an alpha test, so the outline is hard.
    std::vector<TPoint> outline{{0, 40},   {40, 40},   {56, 24},    {968, 24},
                                {984, 40}, {1024, 40}, {1024, 256}, {0, 256}};
    const TShape body = Polygon(outline);
    PaintWith(img, body, [](float x, float y) { return Stone(x, y, 0x6A0004); });
    PaintWith(img, Outline(body, 5.0f), [](float x, float y) { return Bronze(x, y, 20, 236); });
    const TShape field = Box(24, 52, 1000, 244, 8);
    PaintWith(img, field, [](float x, float y) { return Parchment(x, y, 0x6A0005); });
    Paint(img, Outline(field, 2.0f), Rgb(0.35f, 0.25f, 0.12f));
    HardenAlpha(img, Rgb(0.3f, 0.27f, 0.23f));
    return img;
}

TImage MakeCommandPanel() {
    TImage img(256, 256, 4);
    Plate(img, 0, 0, 256, 256, 16, 8, true, 0x6A0006);
    // The button area: x 0.05..0.85, y 0.05..0.78 (y up), a 4 x 3 grid.
    const float ax0 = 0.05f * 256, ax1 = 0.85f * 256, ay0 = (1 - 0.78f) * 256, ay1 = (1 - 0.05f) * 256;
    Paint(img, Box(ax0 - 3, ay0 - 3, ax1 + 3, ay1 + 3, 4), Rgb(0.04f, 0.04f, 0.03f, 0.9f));
    for (int32_t i = 0; i < 4; ++i)
        for (int32_t j = 0; j < 3; ++j) {
            const float cw = (ax1 - ax0) / 4, ch = (ay1 - ay0) / 3;
            Paint(img,
                  Outline(Box(ax0 + i * cw + 2, ay0 + j * ch + 2, ax0 + (i + 1) * cw - 2,
                              ay0 + (j + 1) * ch - 2, 3),
                          1.0f),
                  Rgb(0.5f, 0.4f, 0.25f, 0.5f));
        }
    // A header plate above the buttons and a column of studs to the right.
    PaintWith(img, Box(24, 14, 200, 44, 6), [](float x, float y) { return Bronze(x, y, 14, 30); });
    Paint(img, Outline(Box(24, 14, 200, 44, 6), 1.5f), Rgb(0.2f, 0.13f, 0.05f));
    for (int32_t i = 0; i < 4; ++i) {
        const float y = 80.0f + 40.0f * i;
        Paint(img, Circle(235, y, 6), Rgb(0.1f, 0.08f, 0.05f));
        PaintWith(img, Circle(235, y - 1, 5), [](float x2, float y2) { return Bronze(x2, y2, y2 - 5, 10); });
    }
    return img;
}

// Button pictures, each in a 64 x 64 cell centred at (cx, cy).
void IconHold(TImage& img, float cx, float cy) {
    Inked(img, Shield(cx, cy, 30), Rgb(0.3f, 0.45f, 0.85f), 1.5f);
    Paint(img, Segment(cx, cy - 10, cx, cy + 14, 4), Rgb(0.95f, 0.85f, 0.4f));
    Paint(img, Segment(cx - 11, cy - 2, cx + 11, cy - 2, 4), Rgb(0.95f, 0.85f, 0.4f));
}

void IconMove(TImage& img, float cx, float cy) { DrawFlag(img, cx + 2, cy, 40, Rgb(0.3f, 0.85f, 0.3f)); }

void IconAttack(TImage& img, float cx, float cy) {
    Inked(img, Sword(cx - 15, cy + 15, 42, -Pi / 4), Rgb(0.85f, 0.86f, 0.9f), 1.5f);
    Inked(img, Sword(cx + 15, cy + 15, 42, -3 * Pi / 4), Rgb(0.85f, 0.86f, 0.9f), 1.5f);
}

void IconFormation(TImage& img, float cx, float cy) {
    for (int32_t r = 0; r < 2; ++r)
        for (int32_t c = 0; c < 3; ++c)
            Inked(img, Circle(cx - 14 + 14 * c, cy - 7 + 14 * r, 5), Rgb(0.9f, 0.8f, 0.45f), 1.5f);
}

void IconRetreat(TImage& img, float cx, float cy) {
    std::vector<TPoint> arc;
    for (int32_t i = 0; i <= 16; ++i) {
        const float a = Pi * (0.1f + 0.9f * i / 16.0f);
        arc.push_back({cx + 12 * std::cos(a), cy + 4 - 12 * std::sin(a)});
    }
    const TShape shaft = Polyline(arc, 5);
    const TPoint end = arc.back();
    const TShape head = Polygon({{end.x - 8, end.y - 1}, {end.x + 8, end.y - 1}, {end.x, end.y + 10}});
    Inked(img, Union(shaft, head), Rgb(0.9f, 0.8f, 0.45f), 1.5f);
}

void ButtonFace(TImage& img, float x0, float y0, float x1, float y1) {
    const TShape face = Box(x0 + 2, y0 + 2, x1 - 2, y1 - 2, 6);
    PaintWith(img, face, [&](float x, float y) {
        const float t = Clamp01((y - y0) / (y1 - y0));
        return Scale(Stone(x, y, 0x6A0007), 1.25f - 0.5f * t);
    });
    PaintWith(img, Outline(face, 2.0f), [&](float x, float y) { return Bronze(x, y, y0, y1 - y0); });
}

TImage MakeCommandButtons(bool gray) {
    TImage img(256, 192, 4);
    // Rows count from the bottom: row j lies at pixel rows 192 - 64 (j + 1) .. 192 - 64 j.
    for (int32_t i = 0; i < 4; ++i)
        for (int32_t j = 0; j < 3; ++j) {
            const float x0 = 64.0f * i, y0 = 192.0f - 64.0f * (j + 1);
            ButtonFace(img, x0, y0, x0 + 64, y0 + 64);
            const float cx = x0 + 32, cy = y0 + 32;
            if (i == 0 && j == 1)
                IconHold(img, cx, cy);
            else if (i == 0 && j == 2)
                IconMove(img, cx, cy);
            else if (i == 1 && j == 2)
                IconAttack(img, cx, cy);
            else if (i == 2 && j == 2)
                IconFormation(img, cx, cy);
            else if (i == 3 && j == 2)
                IconRetreat(img, cx, cy);
        }
    if (gray)
        for (int32_t y = 0; y < img.Height; ++y)
            for (int32_t x = 0; x < img.Width; ++x) {
                const TColour c = img.Get(x, y);
                const float l = 0.3f * c.r + 0.59f * c.g + 0.11f * c.b;
                img.Set(x, y, Rgb(l * 0.8f, l * 0.8f, l * 0.8f, c.a));
            }
    return img;
}

// Unit type icons on a round medal: 0 the debug unit, 1 bowman, 2 warrior, 3 cavalryman.
TImage MakeUnitIcon(int32_t type) {
    TImage img(64, 64, 4);
    const TShape medal = Circle(32, 32, 30);
    PaintWith(img, medal,
              [](float x, float y) { return Scale(Stone(x, y, 0x6A0008), 1.1f - 0.4f * y / 64); });
    PaintWith(img, Outline(medal, 3.0f), [](float x, float y) { return Bronze(x, y, 0, 64); });
    const TColour steel = Rgb(0.85f, 0.86f, 0.9f);
    switch (type) {
    case 0: {  // a cog wheel
        TShape cog = Circle(32, 32, 13);
        for (int32_t t = 0; t < 8; ++t) {
            const float a = t * Pi / 4;
            cog = Union(cog, Segment(32, 32, 32 + std::cos(a) * 19, 32 + std::sin(a) * 19, 7));
        }
        Inked(img, Subtract(cog, Circle(32, 32, 5)), Rgb(0.75f, 0.75f, 0.7f), 1.5f);
        break;
    }
    case 1: {  // a bow with an arrow on the string
        std::vector<TPoint> bow;
        for (int32_t i = 0; i <= 20; ++i) {
            const float a = -Pi / 2 + Pi * i / 20.0f;
            bow.push_back({22 + 16 * std::cos(a), 32 + 22 * std::sin(a)});
        }
        Inked(img, Polyline(bow, 4), Rgb(0.6f, 0.4f, 0.2f), 1.2f);
        Paint(img, Segment(22, 10, 22, 54, 1.2f), Rgb(0.95f, 0.95f, 0.9f));
        const TShape arrow = Union(Segment(14, 32, 50, 32, 2.5f), Polygon({{56, 32}, {47, 27}, {47, 37}}));
        Inked(img, arrow, steel, 1.2f);
        Paint(img, Polygon({{12, 27}, {19, 32}, {12, 37}, {15, 32}}), Rgb(0.8f, 0.2f, 0.15f));
        break;
    }
    case 2:  // sword over a round shield
        Inked(img, Circle(26, 36, 15), Rgb(0.65f, 0.2f, 0.15f), 1.5f);
        Paint(img, Circle(26, 36, 4), Rgb(0.9f, 0.8f, 0.4f));
        Inked(img, Sword(20, 46, 48, -Pi / 4), steel, 1.5f);
        break;
    case 3:
    default: {  // a horseshoe
        std::vector<TPoint> shoe;
        for (int32_t i = 0; i <= 24; ++i) {
            const float a = Pi * (-0.15f + 1.3f * i / 24.0f);
            shoe.push_back({32 + 15 * std::cos(a), 30 - 16 * std::sin(a)});
        }
        shoe.insert(shoe.begin(), {shoe.front().x + 2, shoe.front().y + 12});
        shoe.push_back({shoe.back().x - 2, shoe.back().y + 12});
        Inked(img, Polyline(shoe, 8), Rgb(0.7f, 0.7f, 0.72f), 1.5f);
        for (int32_t i = 0; i < 6; ++i) {
            const float a = Pi * (0.0f + 1.0f * (i + 0.5f) / 6.0f);
            Paint(img, Circle(32 + 15 * std::cos(a), 30 - 16 * std::sin(a), 1.4f), Rgb(0.15f, 0.15f, 0.15f));
        }
        break;
    }
    }
    return img;
}

// The cap above a unit label: a bronze bar with three points, drawn with an alpha test.
TImage MakeTroopLabel() {
    TImage img(64, 32, 4);
    const TShape cap = Polygon({{2, 30},
                                {2, 14},
                                {10, 14},
                                {14, 4},
                                {20, 14},
                                {28, 14},
                                {32, 2},
                                {36, 14},
                                {44, 14},
                                {50, 4},
                                {54, 14},
                                {62, 14},
                                {62, 30}});
    PaintWith(img, cap, [](float x, float y) { return Bronze(x, y, 2, 28); });
    Paint(img, Outline(cap, 2.0f), Rgb(0.2f, 0.12f, 0.04f));
    HardenAlpha(img, Rgb(0.45f, 0.3f, 0.12f));
    return img;
}

// Emblems drawn over the owner's colour: the human side's star, the other side's chevrons.
TImage MakeEmblem(bool computerSide) {
    TImage img(64, 64, 4);
    if (!computerSide) {
        std::vector<TPoint> star;
        for (int32_t i = 0; i < 16; ++i) {
            const float a = -Pi / 2 + i * Pi / 8;
            const float r = (i % 2 == 0) ? 24.0f : 10.0f;
            star.push_back({32 + r * std::cos(a), 32 + r * std::sin(a)});
        }
        Inked(img, Polygon(star), Rgb(0.97f, 0.95f, 0.85f), 2.0f);
        Paint(img, Circle(32, 32, 4), Rgb(0.1f, 0.08f, 0.05f));
    } else {
        for (int32_t i = 0; i < 2; ++i) {
            const float y = 18.0f + 18.0f * i;
            Inked(img, Polyline({{12, y}, {32, y + 14}, {52, y}}, 7), Rgb(0.12f, 0.1f, 0.1f), 1.5f,
                  Rgb(0.9f, 0.85f, 0.7f));
        }
    }
    HardenAlpha(img, Rgb(0.5f, 0.5f, 0.5f));
    return img;
}

// A glow along the edges of the label, tinted by the HUD and blended.
TImage MakeAura() {
    TImage img(64, 64, 4);
    const TShape frame = Box(8, 8, 56, 56, 8);
    for (int32_t y = 0; y < 64; ++y)
        for (int32_t x = 0; x < 64; ++x) {
            const float d = std::abs(frame(x + 0.5f, y + 0.5f));
            const float a = std::exp(-(d * d) / 30.0f);
            img.Set(x, y, Rgb(1, 1, 1, a));
        }
    return img;
}

bool GenerateHud(const std::string& outDir) {
    bool ok = WriteTexture(outDir, "GroupsInfo", MakeGroupsInfo());
    ok = ok && WriteTexture(outDir, "PlayerStat", MakePlayerStat());
    ok = ok && WriteTexture(outDir, "MiniMap", MakeMiniMapPanel());
    ok = ok && WriteTexture(outDir, "UnitsInfo", MakeUnitsInfo());
    ok = ok && WriteTexture(outDir, "CommandPanel", MakeCommandPanel());
    ok = ok && WriteTexture(outDir, "CommandButtons", MakeCommandButtons(false));
    ok = ok && WriteTexture(outDir, "CommandButtonsGray", MakeCommandButtons(true));
    for (int32_t t = 0; t < 4 && ok; ++t)
        ok = WriteTexture(outDir, "Unit" + std::to_string(t + 1) + "ico", MakeUnitIcon(t));
    ok = ok && WriteTexture(outDir, "TroopLabel", MakeTroopLabel());
    ok = ok && WriteTexture(outDir, "Znak", MakeEmblem(false));
    ok = ok && WriteTexture(outDir, "Znak1", MakeEmblem(true));
    ok = ok && WriteTexture(outDir, "Aura", MakeAura());
    return ok;
}

const DataGenerator hudGenerator(12, "hud", GenerateHud);

}  // namespace

}  // namespace gen
