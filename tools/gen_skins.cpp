// The textures of the models: the soldiers' skins with their seven variants each, the
// scenery (bark, three kinds of foliage, rock, house, fence, ruin) and the props (knife,
// stand, markers, the debug unit). Written to Data/Textures as TGA.

#include "gen_common.h"
#include "gen_models.h"

#include <cmath>
#include <functional>
#include <iostream>
#include <numbers>

namespace gen {

namespace {

constexpr float Pi = std::numbers::pi_v<float>;

// Paints every pixel of the box [x0, x1) x [y0, y1) (image rows from the top) with
// fn(s, t, x, y), where s runs 0..1 to the right and t 0..1 upwards over the box.
void FillBox(TImage& img, int32_t x0, int32_t y0, int32_t x1, int32_t y1,
             const std::function<TColour(float s, float t, int32_t x, int32_t y)>& fn) {
    for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x) {
            const float s = (static_cast<float>(x - x0) + 0.5f) / static_cast<float>(x1 - x0);
            const float t = 1.0f - (static_cast<float>(y - y0) + 0.5f) / static_cast<float>(y1 - y0);
            img.Set(x, y, fn(s, t, x, y));
        }
}

// A cell of a grid of n x n cells, counted from the top left.
void FillGridCell(TImage& img, int32_t n, int32_t cell,
                  const std::function<TColour(float s, float t, int32_t x, int32_t y)>& fn) {
    const int32_t size = img.Width / n;
    const int32_t cx = cell % n, cy = cell / n;
    FillBox(img, cx * size, cy * size, (cx + 1) * size, (cy + 1) * size, fn);
}

// Cloth, leather and the like: the colour with a little fine grain.
TColour Grain(const TColour& c, int32_t x, int32_t y, uint32_t seed, float amount) {
    const float n =
        FractalNoise(static_cast<float>(x) / 8.0f, static_cast<float>(y) / 8.0f, 0, 3, 0.5f, seed);
    const float h = HashFloat(x, y, seed + 7);
    return Scale(c, 1.0f + amount * ((n - 0.5f) * 1.2f + (h - 0.5f) * 0.5f));
}

bool Save(const std::string& outDir, const std::string& name, const TImage& img) {
    return WriteTGA(DataPath(outDir, "Textures/" + name), img);
}

// ---------------------------------------------------------------------------------------------
// The soldiers' skins

struct TSkinPalette {
    TColour Skin, Hair, Cloth, Tabard, Trousers, Leather, Cape, Shield, Emblem, Hide, Mane, Blanket, Steel,
        Wood, Feather, Iron;
    bool Mail = false;  // the cloth cell is a mail shirt
};

TSkinPalette BasePalette(int32_t figure) {
    TSkinPalette p;
    p.Skin = Rgb8(224, 172, 138);
    p.Hair = Rgb8(92, 60, 34);
    p.Tabard = Rgb8(226, 218, 196);
    p.Leather = Rgb8(110, 72, 40);
    p.Steel = Rgb8(176, 180, 186);
    p.Wood = Rgb8(150, 104, 58);
    p.Feather = Rgb8(232, 232, 224);
    p.Iron = Rgb8(70, 72, 78);
    p.Hide = Rgb8(120, 74, 40);
    p.Mane = Rgb8(40, 28, 20);
    p.Shield = Rgb8(150, 30, 30);
    p.Emblem = Rgb8(230, 200, 80);
    switch (figure) {
    case 0:  // the bowman: greens and browns
        p.Cloth = Rgb8(62, 96, 44);
        p.Trousers = Rgb8(96, 80, 56);
        p.Cape = Rgb8(48, 74, 36);
        p.Blanket = Rgb8(120, 40, 40);
        break;
    case 1:  // the warrior: mail, a blue cloak
        p.Cloth = Rgb8(140, 142, 148);
        p.Mail = true;
        p.Trousers = Rgb8(70, 62, 56);
        p.Cape = Rgb8(44, 62, 120);
        p.Blanket = Rgb8(120, 40, 40);
        break;
    default:  // the cavalryman: a red coat, a bay horse with a blue blanket
        p.Cloth = Rgb8(140, 38, 34);
        p.Trousers = Rgb8(60, 52, 46);
        p.Cape = Rgb8(110, 28, 28);
        p.Blanket = Rgb8(40, 56, 120);
        p.Shield = Rgb8(40, 56, 120);
        break;
    }
    return p;
}

// Variant k (1..7) of a palette: other clothes, hair, shield and horse.
TSkinPalette VariantPalette(int32_t figure, int32_t k) {
    TSkinPalette p = BasePalette(figure);
    const TColour hairs[8] = {
        p.Hair,           Rgb8(30, 24, 20),    Rgb8(160, 110, 50), Rgb8(120, 50, 24), Rgb8(200, 170, 110),
        Rgb8(70, 44, 26), Rgb8(140, 140, 140), Rgb8(54, 36, 24)};
    const TColour skins[8] = {p.Skin,
                              Rgb8(236, 190, 160),
                              Rgb8(200, 150, 110),
                              Rgb8(170, 120, 84),
                              Rgb8(230, 180, 150),
                              Rgb8(214, 160, 124),
                              Rgb8(190, 136, 100),
                              Rgb8(240, 196, 170)};
    const TColour hides[8] = {p.Hide,           Rgb8(60, 40, 30),  Rgb8(170, 110, 60),  Rgb8(190, 190, 186),
                              Rgb8(34, 30, 30), Rgb8(150, 90, 50), Rgb8(200, 170, 120), Rgb8(100, 60, 36)};
    // Clothes turn round the colour wheel a little per variant, brightness varies.
    auto shift = [&](TColour c, float amount) {
        const float angle = amount * static_cast<float>(k);
        const float cs = std::cos(angle), sn = std::sin(angle);
        // rotation about the grey axis
        const float m = (c.r + c.g + c.b) / 3.0f;
        TMyVector3f v{c.r - m, c.g - m, c.b - m};
        const TMyVector3f axis{0.57735f, 0.57735f, 0.57735f};
        const TMyVector3f r = v * cs + Vec3Cross(axis, v) * sn + axis * (Vec3Dot(axis, v) * (1 - cs));
        const float bright = 0.85f + 0.06f * static_cast<float>((k * 3) % 5);
        return Rgb(Clamp01((m + r.x) * bright), Clamp01((m + r.y) * bright), Clamp01((m + r.z) * bright));
    };
    p.Hair = hairs[k];
    p.Skin = skins[k];
    p.Hide = hides[k];
    p.Mane = k == 3 || k == 6 ? Rgb8(220, 214, 200) : Scale(hides[k], 0.35f);
    if (!p.Mail)
        p.Cloth = shift(p.Cloth, 0.55f);
    p.Cape = shift(p.Cape, 0.8f);
    p.Trousers = shift(p.Trousers, 0.4f);
    p.Shield = shift(p.Shield, 0.9f);
    p.Blanket = shift(p.Blanket, 0.7f);
    p.Tabard = Mix(p.Tabard, Rgb(1, 1, 1), 0.1f * static_cast<float>(k % 3));
    return p;
}

void PaintFace(TImage& img, const TSkinPalette& p, bool helmet, uint32_t seed) {
    FillGridCell(img, 4, CellFace, [&](float s, float t, int32_t x, int32_t y) {
        TColour c = Grain(p.Skin, x, y, seed, 0.06f);
        // hair over the top and round the back of the head; the face looks out at s = 0.5
        const float fromFront = std::fabs(s - 0.5f);
        const bool hair = t > 0.74f || (fromFront > 0.2f && t > 0.42f) || (fromFront > 0.3f && t > 0.3f);
        if (hair && !helmet)
            c = Grain(p.Hair, x, y, seed + 1, 0.25f);
        else if (hair)
            c = Grain(Scale(p.Hair, 0.8f), x, y, seed + 1, 0.15f);
        // eyes, brows, nose and mouth
        auto near = [&](float cs, float ct, float rs, float rt) {
            const float ds = (s - cs) / rs, dt = (t - ct) / rt;
            return ds * ds + dt * dt < 1.0f;
        };
        if (near(0.455f, 0.56f, 0.022f, 0.03f) || near(0.545f, 0.56f, 0.022f, 0.03f))
            c = Rgb8(40, 34, 30);
        else if (near(0.455f, 0.615f, 0.035f, 0.012f) || near(0.545f, 0.615f, 0.035f, 0.012f))
            c = Scale(p.Hair, 0.7f);
        else if (near(0.5f, 0.48f, 0.015f, 0.05f))
            c = Scale(p.Skin, 0.82f);
        else if (near(0.5f, 0.385f, 0.045f, 0.014f))
            c = Rgb8(150, 70, 60);
        return c;
    });
}

TImage PaintSkin(int32_t figure, const TSkinPalette& p) {
    TImage img(SkinSize, SkinSize, 3);
    const uint32_t seed = 100 + static_cast<uint32_t>(figure) * 17;
    PaintFace(img, p, figure == 1, seed);
    FillGridCell(img, 4, CellHair, [&](float, float, int32_t x, int32_t y) {
        const float streak =
            FractalNoise(static_cast<float>(x) / 3.0f, static_cast<float>(y) / 14.0f, 0, 3, 0.5f, seed + 2);
        return Scale(p.Hair, 0.75f + 0.5f * streak);
    });
    FillGridCell(img, 4, CellSkin,
                 [&](float, float, int32_t x, int32_t y) { return Grain(p.Skin, x, y, seed + 3, 0.05f); });
    FillGridCell(img, 4, CellSteel, [&](float s, float t, int32_t x, int32_t y) {
        // brushed metal with a highlight band
        const float band = 0.8f + 0.35f * std::exp(-std::pow((t - 0.65f + 0.1f * s) * 5.0f, 2.0f));
        const float brush =
            FractalNoise(static_cast<float>(x) / 20.0f, static_cast<float>(y) / 1.5f, 0, 2, 0.5f, seed + 4);
        return Scale(p.Steel, band * (0.9f + 0.2f * brush));
    });
    FillGridCell(img, 4, CellTabard, [&](float s, float t, int32_t x, int32_t y) {
        TColour c = Grain(p.Tabard, x, y, seed + 5, 0.08f);
        // a hem at the bottom and a stripe down the front
        if (t < 0.1f || (std::fabs(s - 0.5f) < 0.05f && t > 0.1f))
            c = Scale(p.Cape, 1.1f);
        return c;
    });
    FillGridCell(img, 4, CellCloth, [&](float s, float t, int32_t x, int32_t y) {
        if (p.Mail) {
            // rows of small rings
            const float rx = std::fmod(static_cast<float>(x) + (y / 3 % 2 ? 1.5f : 0.0f), 3.0f);
            const float ring = (rx > 0.8f && rx < 2.2f) ? 1.0f : 0.55f;
            return Scale(Grain(p.Cloth, x, y, seed + 6, 0.1f), (y % 3 == 0 ? 0.6f : 1.0f) * ring);
        }
        TColour c = Grain(p.Cloth, x, y, seed + 6, 0.14f);
        // a belt low on the torso
        if (t > 0.06f && t < 0.14f)
            c = Grain(p.Leather, x, y, seed + 7, 0.2f);
        if (t > 0.08f && t < 0.12f && std::fabs(s - 0.5f) < 0.03f)
            c = Rgb8(200, 170, 80);
        return c;
    });
    FillGridCell(img, 4, CellTrousers, [&](float, float, int32_t x, int32_t y) {
        return Grain(p.Trousers, x, y, seed + 8, 0.16f);
    });
    FillGridCell(img, 4, CellLeather, [&](float, float, int32_t x, int32_t y) {
        const float wrinkle =
            FractalNoise(static_cast<float>(x) / 4.0f, static_cast<float>(y) / 4.0f, 0, 3, 0.6f, seed + 9);
        return Scale(p.Leather, 0.7f + 0.5f * wrinkle);
    });
    FillGridCell(img, 4, CellWood, [&](float, float, int32_t x, int32_t y) {
        const float g =
            FractalNoise(static_cast<float>(x) / 30.0f, static_cast<float>(y) / 2.0f, 0, 3, 0.5f, seed + 10);
        return Scale(p.Wood, 0.75f + 0.45f * g);
    });
    FillGridCell(img, 4, CellCape, [&](float s, float, int32_t x, int32_t y) {
        const float fold = 0.85f + 0.15f * std::sin(s * 2 * Pi * 5.0f);
        return Scale(Grain(p.Cape, x, y, seed + 11, 0.12f), fold);
    });
    FillGridCell(img, 4, CellShield, [&](float s, float t, int32_t x, int32_t y) {
        const float ds = s - 0.5f, dt = t - 0.5f;
        const float r = std::sqrt(ds * ds + dt * dt);
        TColour c = Grain(p.Shield, x, y, seed + 12, 0.12f);
        if (std::fabs(ds) < 0.07f || std::fabs(dt) < 0.07f)
            c = Grain(p.Emblem, x, y, seed + 13, 0.1f);  // a cross
        if (r > 0.44f)
            c = Scale(p.Steel, 0.85f);  // the rim
        if (r < 0.09f)
            c = p.Steel;  // the boss
        return c;
    });
    FillGridCell(img, 4, CellHide, [&](float, float, int32_t x, int32_t y) {
        const float dapple =
            FractalNoise(static_cast<float>(x) / 6.0f, static_cast<float>(y) / 6.0f, 0, 2, 0.5f, seed + 14);
        return Grain(Scale(p.Hide, 0.9f + 0.2f * dapple), x, y, seed + 15, 0.05f);
    });
    FillGridCell(img, 4, CellMane, [&](float, float, int32_t x, int32_t y) {
        const float streak =
            FractalNoise(static_cast<float>(x) / 1.5f, static_cast<float>(y) / 16.0f, 0, 3, 0.5f, seed + 16);
        return Scale(p.Mane, 0.7f + 0.6f * streak);
    });
    FillGridCell(img, 4, CellBlanket, [&](float s, float t, int32_t x, int32_t y) {
        TColour c = Grain(p.Blanket, x, y, seed + 17, 0.1f);
        if (s < 0.1f || s > 0.9f || t < 0.1f || t > 0.9f)
            c = Rgb8(214, 186, 90);  // a yellow border
        return c;
    });
    FillGridCell(img, 4, CellFeather, [&](float s, float, int32_t x, int32_t y) {
        return Grain(s < 0.5f ? p.Feather : Rgb8(170, 40, 36), x, y, seed + 18, 0.1f);
    });
    FillGridCell(img, 4, CellIron,
                 [&](float, float, int32_t x, int32_t y) { return Grain(p.Iron, x, y, seed + 19, 0.15f); });
    return img;
}

bool WriteSkins(const std::string& outDir) {
    for (int32_t figure = 0; figure < 3; ++figure) {
        const std::string name = FigureNames[figure];
        if (!Save(outDir, name + ".tga", PaintSkin(figure, BasePalette(figure))))
            return false;
        for (int32_t k = 1; k <= SkinVariants; ++k)
            if (!Save(outDir, name + "_" + std::to_string(k) + ".tga",
                      PaintSkin(figure, VariantPalette(figure, k))))
                return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Scenery

TImage PaintBark(bool birch) {
    TImage img(128, 128, 3);
    FillBox(img, 0, 0, 128, 128, [&](float s, float t, int32_t x, int32_t y) {
        (void)t;
        const float ridges =
            FractalNoise(s * 12.0f, static_cast<float>(y) / 40.0f, 12, 3, 0.5f, birch ? 31 : 32);
        if (birch) {
            TColour c = Grain(Rgb8(226, 222, 210), x, y, 33, 0.06f);
            // dark horizontal dashes
            const float dash = FractalNoise(s * 4.0f, static_cast<float>(y) / 3.0f, 4, 2, 0.5f, 34);
            if (dash > 0.68f)
                c = Rgb8(40, 38, 36);
            return c;
        }
        const TColour deep = Rgb8(62, 44, 30), high = Rgb8(122, 94, 66);
        return Grain(Mix(deep, high, SmoothStep(0.3f, 0.7f, ridges)), x, y, 35, 0.1f);
    });
    return img;
}

// Foliage for alpha testing: leaves on a transparent ground of the same green, so that the
// filtered edges do not darken. `kind` 0 oak, 1 pine, 2 birch.
TImage PaintLeaves(int32_t kind) {
    const int32_t size = 256;
    TImage img(size, size, 4);
    const TColour base = kind == 0 ? Rgb8(58, 92, 36) : (kind == 1 ? Rgb8(46, 100, 54) : Rgb8(96, 140, 56));
    img.Fill(Rgb(base.r, base.g, base.b, 0.0f));
    TGenRandom rnd(500 + static_cast<uint64_t>(kind));
    if (kind == 1) {
        // pine: drooping twigs with needles, filling the card down to its lower edge
        for (int32_t twig = 0; twig < 70; ++twig) {
            const float x0 = rnd.Range(20, 236), y0 = rnd.Range(10, 200);
            const float len = rnd.Range(45, 90), droop = rnd.Range(8, 24);
            const TColour c = Scale(base, rnd.Range(0.8f, 1.3f));
            std::vector<TPoint> stem;
            for (int32_t i = 0; i <= 8; ++i) {
                const float f = static_cast<float>(i) / 8.0f;
                stem.push_back(
                    {x0 + (twig % 2 ? 1.0f : -1.0f) * len * f * 0.5f, y0 + len * f + droop * f * f});
            }
            Paint(img, Polyline(stem, 2.5f), Scale(c, 0.7f));
            for (int32_t i = 1; i < 8; ++i)
                for (int32_t side = -1; side <= 1; side += 2) {
                    const TPoint& p = stem[i];
                    Paint(img, Segment(p.x, p.y, p.x + side * 11.0f, p.y + 8.0f, 2.6f), c);
                }
        }
        return img;
    }
    // broad leaves in clusters; a round crown shape so that the cards look like crowns
    const int32_t leaves = kind == 0 ? 900 : 1100;
    for (int32_t i = 0; i < leaves; ++i) {
        const float a = rnd.Range(0, 2 * Pi), r = std::sqrt(rnd.Float()) * 118.0f;
        const float cx = 128 + r * std::cos(a), cy = 128 + r * std::sin(a);
        const float len = kind == 0 ? rnd.Range(7, 12) : rnd.Range(5, 8), wid = len * 0.55f;
        const float dir = rnd.Range(0, 2 * Pi);
        const float dx = std::cos(dir) * len, dy = std::sin(dir) * len;
        // light from above: leaves at the top are brighter
        const float light = 0.75f + 0.45f * (1.0f - cy / 256.0f) + rnd.Range(-0.15f, 0.15f);
        Paint(img, Segment(cx - dx / 2, cy - dy / 2, cx + dx / 2, cy + dy / 2, wid), Scale(base, light),
              static_cast<int32_t>(cx - 14), static_cast<int32_t>(cy - 14), static_cast<int32_t>(cx + 14),
              static_cast<int32_t>(cy + 14));
    }
    return img;
}

TImage PaintRock() {
    TImage img(128, 128, 3);
    FillBox(img, 0, 0, 128, 128, [&](float s, float t, int32_t x, int32_t y) {
        const float n = FractalNoise(s * 6.0f, t * 6.0f, 6, 4, 0.55f, 41);
        const float crack = std::fabs(FractalNoise(s * 3.0f, t * 3.0f, 3, 3, 0.5f, 42) - 0.5f);
        TColour c = Mix(Rgb8(96, 94, 90), Rgb8(158, 154, 146), n);
        if (crack < 0.02f)
            c = Scale(c, 0.55f);
        const float moss = FractalNoise(s * 4.0f, t * 4.0f, 4, 3, 0.5f, 43);
        if (moss > 0.68f)
            c = Mix(c, Rgb8(78, 100, 50), SmoothStep(0.68f, 0.78f, moss));
        return Grain(c, x, y, 44, 0.08f);
    });
    return img;
}

// House.tga: the timbered wall (top left), the thatched roof (top right), the door and
// window (bottom left), the wood of the beams (bottom right).
TImage PaintHouse() {
    TImage img(256, 256, 3);
    FillGridCell(img, 2, 0, [&](float s, float t, int32_t x, int32_t y) {
        TColour c = Grain(Rgb8(214, 200, 170), x, y, 51, 0.08f);
        // frame: posts at the sides and the middle, a rail, a brace
        const bool post = s < 0.07f || s > 0.93f || std::fabs(s - 0.5f) < 0.035f;
        const bool rail = t < 0.07f || t > 0.93f || std::fabs(t - 0.5f) < 0.03f;
        const bool brace = std::fabs((t - 0.07f) - (s - 0.07f) * 0.9f) < 0.035f && s < 0.5f && t < 0.5f;
        if (post || rail || brace)
            c = Grain(Rgb8(86, 60, 38), x, y, 52, 0.15f);
        return c;
    });
    FillGridCell(img, 2, 1, [&](float s, float t, int32_t x, int32_t y) {
        // straw in overlapping rows
        const float row = std::fmod(t * 8.0f, 1.0f);
        const float straw = FractalNoise(s * 40.0f, t * 3.0f, 40, 2, 0.5f, 53);
        TColour c = Mix(Rgb8(150, 122, 64), Rgb8(206, 176, 104), straw);
        return Grain(Scale(c, 0.75f + 0.3f * row), x, y, 54, 0.08f);
    });
    FillGridCell(img, 2, 2, [&](float s, float t, int32_t x, int32_t y) {
        // left half a plank door, right half a shuttered window on plaster
        if (s < 0.5f) {
            const float plank = std::fmod(s * 2.0f * 5.0f, 1.0f);
            TColour c = Grain(Rgb8(110, 76, 44), x, y, 55, 0.15f);
            if (plank < 0.08f)
                c = Scale(c, 0.6f);
            if (std::fabs(t - 0.25f) < 0.03f || std::fabs(t - 0.75f) < 0.03f)
                c = Rgb8(60, 58, 56);
            return c;
        }
        TColour c = Grain(Rgb8(214, 200, 170), x, y, 51, 0.08f);
        const float ws = (s - 0.5f) * 2.0f;
        if (ws > 0.2f && ws < 0.8f && t > 0.35f && t < 0.8f) {
            c = Rgb8(36, 34, 40);
            if (std::fabs(ws - 0.5f) < 0.03f || std::fabs(t - 0.575f) < 0.03f)
                c = Rgb8(86, 60, 38);
        }
        return c;
    });
    FillGridCell(img, 2, 3, [&](float, float, int32_t x, int32_t y) {
        const float g =
            FractalNoise(static_cast<float>(x) / 40.0f, static_cast<float>(y) / 3.0f, 0, 3, 0.5f, 56);
        return Scale(Rgb8(96, 66, 40), 0.75f + 0.45f * g);
    });
    return img;
}

TImage PaintFence() {
    TImage img(128, 128, 3);
    FillBox(img, 0, 0, 128, 128, [&](float s, float t, int32_t x, int32_t y) {
        const float g = FractalNoise(s * 3.0f, t * 30.0f, 3, 3, 0.5f, 61);
        TColour c = Mix(Rgb8(100, 80, 58), Rgb8(150, 126, 94), g);
        if (std::fmod(t * 4.0f, 1.0f) < 0.05f)
            c = Scale(c, 0.6f);
        return Grain(c, x, y, 62, 0.08f);
    });
    return img;
}

TImage PaintRuin() {
    TImage img(128, 128, 3);
    FillBox(img, 0, 0, 128, 128, [&](float s, float t, int32_t x, int32_t y) {
        // courses of stone blocks, every other course offset by half a block
        const float rows = 6.0f, cols = 3.0f;
        const int32_t row = static_cast<int32_t>(t * rows);
        const float u = s * cols + (row % 2 ? 0.5f : 0.0f);
        const float fu = std::fmod(u, 1.0f), fv = std::fmod(t * rows, 1.0f);
        const float shade = HashFloat(static_cast<int32_t>(u), row, 71);
        TColour c = Mix(Rgb8(120, 114, 100), Rgb8(170, 162, 146), shade);
        const float n = FractalNoise(s * 8.0f, t * 8.0f, 8, 3, 0.5f, 72);
        c = Scale(c, 0.85f + 0.3f * n);
        if (fu < 0.04f || fu > 0.96f || fv < 0.06f || fv > 0.94f)
            c = Rgb8(70, 66, 60);  // mortar
        const float moss = FractalNoise(s * 3.0f, t * 3.0f, 3, 3, 0.5f, 73);
        if (moss > 0.62f && t < 0.5f)
            c = Mix(c, Rgb8(70, 96, 46), 0.7f);
        return Grain(c, x, y, 74, 0.06f);
    });
    return img;
}

// ---------------------------------------------------------------------------------------------
// Props

// Knife.tga: polished steel (top left), the leather-wrapped grip (top right), brass for the
// guard and pommel (bottom left), dark wood (bottom right).
TImage PaintKnife() {
    TImage img(128, 128, 3);
    FillGridCell(img, 2, 0, [&](float s, float t, int32_t x, int32_t y) {
        const float brush =
            FractalNoise(static_cast<float>(x) / 30.0f, static_cast<float>(y) / 1.2f, 0, 2, 0.5f, 81);
        const float sheen = 0.75f + 0.35f * std::exp(-std::pow((t - 0.6f) * 4.0f, 2.0f)) + 0.1f * s;
        return Scale(Rgb8(190, 196, 206), sheen * (0.92f + 0.16f * brush));
    });
    FillGridCell(img, 2, 1, [&](float s, float t, int32_t x, int32_t y) {
        const float wrap = std::fmod(s * 8.0f + t * 3.0f, 1.0f);
        return Grain(Scale(Rgb8(86, 46, 30), wrap < 0.15f ? 0.55f : 1.0f), x, y, 82, 0.1f);
    });
    FillGridCell(img, 2, 2, [&](float, float t, int32_t x, int32_t y) {
        return Grain(Scale(Rgb8(210, 170, 80), 0.8f + 0.4f * t), x, y, 83, 0.08f);
    });
    FillGridCell(img, 2, 3, [&](float, float, int32_t x, int32_t y) {
        const float g =
            FractalNoise(static_cast<float>(x) / 20.0f, static_cast<float>(y) / 2.0f, 0, 3, 0.5f, 84);
        return Scale(Rgb8(70, 40, 26), 0.7f + 0.5f * g);
    });
    return img;
}

TImage PaintStand() {
    TImage img(128, 128, 3);
    FillBox(img, 0, 0, 128, 128, [&](float s, float t, int32_t x, int32_t y) {
        const float rings =
            std::sin((s * 10.0f + 2.0f * FractalNoise(s * 4.0f, t * 4.0f, 4, 2, 0.5f, 91)) * Pi);
        return Grain(Scale(Rgb8(92, 50, 30), 0.8f + 0.2f * rings), x, y, 92, 0.06f);
    });
    return img;
}

// Marker.tga: the flag cloth (top left), the gilded pole (top right), the arrow's shaft
// wood (bottom left), its iron head and feathers (bottom right, split at s = 0.5).
TImage PaintMarker() {
    TImage img(128, 128, 3);
    FillGridCell(img, 2, 0, [&](float s, float t, int32_t x, int32_t y) {
        TColour c = Grain(Rgb8(236, 232, 220), x, y, 101, 0.05f);
        if (std::fabs(t - 0.5f) < 0.16f || s < 0.12f)
            c = Grain(Rgb8(60, 150, 60), x, y, 102, 0.08f);
        return c;
    });
    FillGridCell(img, 2, 1, [&](float s, float, int32_t x, int32_t y) {
        return Grain(Scale(Rgb8(220, 180, 70), 0.7f + 0.5f * std::sin(s * Pi)), x, y, 103, 0.05f);
    });
    FillGridCell(img, 2, 2, [&](float, float, int32_t x, int32_t y) {
        const float g =
            FractalNoise(static_cast<float>(x) / 40.0f, static_cast<float>(y) / 2.0f, 0, 2, 0.5f, 104);
        return Scale(Rgb8(176, 136, 84), 0.8f + 0.3f * g);
    });
    FillGridCell(img, 2, 3, [&](float s, float, int32_t x, int32_t y) {
        return s < 0.5f ? Grain(Rgb8(80, 82, 90), x, y, 105, 0.1f)
                        : Grain(Rgb8(230, 226, 214), x, y, 106, 0.06f);
    });
    return img;
}

// The order arrows: translucent yellow, a brighter rim.
TImage PaintOrderArrow() {
    TImage img(64, 64, 4);
    FillBox(img, 0, 0, 64, 64, [&](float s, float t, int32_t, int32_t) {
        const float edge = std::min(std::min(s, 1 - s), std::min(t, 1 - t));
        const float a = edge < 0.12f ? 0.85f : 0.45f;
        return Rgb(1.0f, 0.9f, 0.3f, a);
    });
    return img;
}

TImage PaintBaseUnit() {
    TImage img(64, 64, 3);
    FillBox(img, 0, 0, 64, 64, [&](float s, float t, int32_t, int32_t) {
        const bool check = (static_cast<int32_t>(s * 8) + static_cast<int32_t>(t * 8)) % 2 == 0;
        return check ? Rgb8(200, 60, 200) : Rgb8(240, 240, 240);
    });
    return img;
}

}  // namespace

TUVRect SkinCell(int32_t cell) {
    const float size = 1.0f / 4.0f, inset = 2.0f / static_cast<float>(SkinSize);
    const int32_t cx = cell % 4, row = cell / 4;  // row 0 is the top of the picture
    const float u0 = static_cast<float>(cx) * size, v1 = 1.0f - static_cast<float>(row) * size;
    return {u0 + inset, v1 - size + inset, u0 + size - inset, v1 - inset};
}

TUVRect QuarterCell(int32_t cell) {
    const float inset = 2.0f / 128.0f;
    const float u0 = (cell % 2) * 0.5f, v1 = 1.0f - static_cast<float>(cell / 2) * 0.5f;
    return {u0 + inset, v1 - 0.5f + inset, u0 + 0.5f - inset, v1 - inset};
}

bool GenerateModelTextures(const std::string& outDir) {
    return WriteSkins(outDir) && Save(outDir, TexBark, PaintBark(false)) &&
           Save(outDir, TexBirchBark, PaintBark(true)) && Save(outDir, TexLeavesOak, PaintLeaves(0)) &&
           Save(outDir, TexLeavesPine, PaintLeaves(1)) && Save(outDir, TexLeavesBirch, PaintLeaves(2)) &&
           Save(outDir, TexRock, PaintRock()) && Save(outDir, TexHouse, PaintHouse()) &&
           Save(outDir, TexFence, PaintFence()) && Save(outDir, TexRuin, PaintRuin()) &&
           Save(outDir, TexKnife, PaintKnife()) && Save(outDir, TexStand, PaintStand()) &&
           Save(outDir, TexMarker, PaintMarker()) && Save(outDir, TexOrderArrow, PaintOrderArrow()) &&
           Save(outDir, TexBaseUnit, PaintBaseUnit());
}

}  // namespace gen
