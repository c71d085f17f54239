// The three full-screen pictures: the title (a sunset over hills with an army on the ridge),
// the loading screen (an old campaign map on parchment) and the short start picture. They are
// painted at their shown proportions and resampled to power-of-two sizes.

#include "gen_textures.h"

#include "DataTool.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace gen {

using namespace pictures;

namespace {

// Bilinear resampling to another size (the pictures are painted at their shown proportions and
// stored at power-of-two sizes).
TImage Resample(const TImage& src, int32_t width, int32_t height) {
    TImage out(width, height, src.Channels);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const float sx = std::clamp((x + 0.5f) * src.Width / width - 0.5f, 0.0f, src.Width - 1.0f);
            const float sy = std::clamp((y + 0.5f) * src.Height / height - 0.5f, 0.0f, src.Height - 1.0f);
            const int32_t x0 = static_cast<int32_t>(sx), y0 = static_cast<int32_t>(sy);
            const int32_t x1 = std::min(x0 + 1, src.Width - 1), y1 = std::min(y0 + 1, src.Height - 1);
            const float fx = sx - x0, fy = sy - y0;
            const TColour a = Mix(src.Get(x0, y0), src.Get(x1, y0), fx);
            const TColour b = Mix(src.Get(x0, y1), src.Get(x1, y1), fx);
            out.Set(x, y, Mix(a, b, fy));
        }
    return out;
}

// Height of a skyline at x: hills made of noise.
float Ridge(float x, float base, float amplitude, float scale, uint32_t seed) {
    return base - amplitude * FractalNoise(x / scale, 0.5f, 0, 4, 0.5f, seed);
}

// Text with a drop shadow and a light rim.
void Title(TImage& img, const std::string& text, float cx, float baseline, float size, float maxWidth,
           const TColour& colour) {
    size = std::min(size, maxWidth / TextWidth(text, 1.0f));
    const float stroke = size * 0.13f;
    const float w = TextWidth(text, size);
    const float x = cx - w / 2;
    const int32_t bx0 = static_cast<int32_t>(x - size), bx1 = static_cast<int32_t>(x + w + size);
    const int32_t by0 = static_cast<int32_t>(baseline - size * 1.5f),
                  by1 = static_cast<int32_t>(baseline + size * 0.7f);
    Paint(img, Text(text, x + size * 0.05f, baseline + size * 0.06f, size, stroke * 1.6f), Rgb(0, 0, 0, 0.6f),
          bx0, by0, bx1, by1);
    Paint(img, Text(text, x, baseline, size, stroke * 1.5f), Rgb(0.12f, 0.08f, 0.04f), bx0, by0, bx1, by1);
    PaintWith(
        img, Text(text, x, baseline, size, stroke),
        [&](float, float y) {
            return Mix(colour, Scale(colour, 0.6f), Clamp01((y - (baseline - size)) / size));
        },
        bx0, by0, bx1, by1);
}

// Sunset over hills with an army on the ridge; "Technical demo" above.
TImage MakeTitle() {
    const int32_t W = 1024, H = 768;
    TImage img(W, H, 3);
    for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x) {
            const float t = static_cast<float>(y) / H;
            TColour sky = Mix(Rgb(0.1f, 0.12f, 0.28f), Rgb(0.85f, 0.45f, 0.22f), SmoothStep(0.05f, 0.62f, t));
            const float cloud = FractalNoise(x / 180.0f, y / 50.0f, 0, 5, 0.5f, 0x717E01);
            sky = Mix(sky, Rgb(0.95f, 0.65f, 0.45f), 0.35f * SmoothStep(0.55f, 0.8f, cloud) * (1.0f - t));
            const float sun = std::hypot(x - 300.0f, (y - 430.0f) * 1.2f);
            sky = Mix(sky, Rgb(1.0f, 0.85f, 0.55f), std::exp(-sun / 90.0f));
            img.Set(x, y, sky);
        }
    Paint(img, Circle(300, 430, 40), Rgb(1.0f, 0.92f, 0.7f), 250, 380, 350, 480);
    // Three ranges of hills, the nearer the darker.
    const TColour ranges[3] = {Rgb(0.45f, 0.3f, 0.32f), Rgb(0.25f, 0.18f, 0.2f), Rgb(0.1f, 0.08f, 0.08f)};
    const float bases[3] = {470, 540, 640};
    for (int32_t r = 0; r < 3; ++r)
        for (int32_t x = 0; x < W; ++x) {
            const float top = Ridge(x, bases[r], 60.0f + 30.0f * r, 220.0f - 40.0f * r, 0x717E10 + r);
            for (int32_t y = std::max(0, static_cast<int32_t>(top) - 1); y < H; ++y) {
                const float cov = Clamp01(y + 1.0f - top);
                // Evening light on the crest, and a little texture lower down.
                const float rim = std::exp(-(y - top) / 6.0f) * (0.35f - 0.1f * r);
                const float n = FractalNoise(x / 40.0f, y / 25.0f, 0, 3, 0.5f, 0x717E30 + r);
                TColour c = Scale(ranges[r], 0.85f + 0.3f * n);
                c = Mix(c, Rgb(0.9f, 0.5f, 0.3f), rim);
                img.Blend(x, y, c, cov);
            }
        }
    // A field of ripe grass along the bottom, lit by the low sun; the menu's small texts stand on it.
    for (int32_t y = static_cast<int32_t>(H * 0.82f); y < H; ++y)
        for (int32_t x = 0; x < W; ++x) {
            const float t = SmoothStep(H * 0.84f, H * 0.95f, static_cast<float>(y));
            const float stalks = ValueNoise(x / 2.5f, y / 14.0f, 0, 0, 0x717E40);
            const float patches = FractalNoise(x / 90.0f, y / 30.0f, 0, 3, 0.5f, 0x717E41);
            const TColour field =
                Scale(Rgb(0.66f, 0.52f, 0.3f), 0.8f + 0.25f * patches + 0.15f * (stalks - 0.5f));
            img.Set(x, y, Mix(img.Get(x, y), field, t));
        }
    // Spears and banners along the nearest ridge.
    TGenRandom rnd(0x717E20);
    for (int32_t i = 0; i < 70; ++i) {
        const float x = rnd.Range(560.0f, 1010.0f);
        const float top = Ridge(x, bases[2], 120.0f, 140.0f, 0x717E12);
        const float h = rnd.Range(40.0f, 75.0f);
        Paint(img, Segment(x, top + 4, x + rnd.Range(-4.0f, 4.0f), top - h, 2.2f), ranges[2],
              static_cast<int32_t>(x) - 8, static_cast<int32_t>(top - h) - 4, static_cast<int32_t>(x) + 8,
              static_cast<int32_t>(top) + 6);
        if (rnd.Int(5) == 0)
            Paint(img, Polygon({{x, top - h}, {x + 26, top - h + 8}, {x, top - h + 16}}),
                  Rgb(0.55f, 0.08f, 0.06f), static_cast<int32_t>(x) - 2, static_cast<int32_t>(top - h) - 2,
                  static_cast<int32_t>(x) + 30, static_cast<int32_t>(top - h) + 20);
        Paint(img, Circle(x, top + 2, 7), ranges[2], static_cast<int32_t>(x) - 9,
              static_cast<int32_t>(top) - 7, static_cast<int32_t>(x) + 9, static_cast<int32_t>(top) + 11);
    }
    Title(img, "Technical demo", W / 2.0f, 150, 92, W * 0.8f, Rgb(0.98f, 0.85f, 0.5f));
    return Resample(img, 1024, 1024);
}

// An old campaign map on parchment: a river, hills, woods, two armies and their arrows.
TImage MakeLoading() {
    const int32_t W = 1024, H = 768;
    TImage img(W, H, 3);
    for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x) {
            TColour c = Parchment(x * 1.0f, y * 1.0f, 0x10AD01);
            const float ex = std::min(x, W - 1 - x) / 90.0f, ey = std::min(y, H - 1 - y) / 90.0f;
            const float burn =
                1.0f - SmoothStep(0.0f, 1.0f,
                                  std::min(ex, ey) +
                                      0.25f * FractalNoise(x / 40.0f, y / 40.0f, 0, 3, 0.5f, 0x10AD02));
            img.Set(x, y, Mix(c, Rgb(0.3f, 0.18f, 0.08f), 0.85f * burn));
        }
    const TColour ink = Rgb(0.25f, 0.16f, 0.08f, 0.85f);
    // The river from the top edge into a lake.
    std::vector<TPoint> river;
    for (int32_t i = 0; i <= 40; ++i) {
        const float t = i / 40.0f;
        river.push_back({520 + 60 * std::sin(t * 7.0f) + 40 * t, 40 + t * 420});
    }
    Paint(img, Polyline(river, 14), Rgb(0.35f, 0.5f, 0.6f, 0.6f), 440, 20, 680, 480);
    Paint(img, Outline(Polyline(river, 14), 2.0f), ink, 440, 20, 680, 480);
    const TShape lake = Box(470, 440, 680, 560, 55);
    Paint(img, lake, Rgb(0.35f, 0.5f, 0.6f, 0.6f), 460, 430, 690, 570);
    Paint(img, Outline(lake, 2.0f), ink, 460, 430, 690, 570);
    // Hills as little arcs, woods as clusters of circles.
    TGenRandom rnd(0x10AD03);
    for (int32_t i = 0; i < 26; ++i) {
        const float x = rnd.Range(100.0f, 380.0f), y = rnd.Range(120.0f, 640.0f);
        std::vector<TPoint> hill;
        for (int32_t k = 0; k <= 10; ++k)
            hill.push_back({x + 18 * std::cos(Pi * k / 10), y - 12 * std::sin(Pi * k / 10)});
        Paint(img, Polyline(hill, 2.5f), ink, int32_t(x) - 24, int32_t(y) - 18, int32_t(x) + 24,
              int32_t(y) + 6);
    }
    for (int32_t i = 0; i < 60; ++i) {
        const float x = rnd.Range(700.0f, 900.0f), y = rnd.Range(120.0f, 330.0f);
        Paint(img, Outline(Circle(x, y, 8), 2.0f), ink, int32_t(x) - 12, int32_t(y) - 12, int32_t(x) + 12,
              int32_t(y) + 18);
        Paint(img, Segment(x, y + 8, x, y + 14, 2.0f), ink, int32_t(x) - 4, int32_t(y) + 4, int32_t(x) + 4,
              int32_t(y) + 18);
    }
    // Two armies and their advance.
    for (int32_t i = 0; i < 3; ++i) {
        Paint(img, Box(800.0f + 30 * i, 500, 824.0f + 30 * i, 516), Rgb(0.2f, 0.45f, 0.2f, 0.85f), 790, 490,
              900, 526);
        Paint(img, Box(180.0f + 30 * i, 620, 204.0f + 30 * i, 636), Rgb(0.6f, 0.12f, 0.1f, 0.85f), 170, 610,
              280, 646);
        Paint(img, Box(180.0f + 30 * i, 120, 204.0f + 30 * i, 136), Rgb(0.15f, 0.2f, 0.55f, 0.85f), 170, 110,
              280, 146);
    }
    const TColour red = Rgb(0.6f, 0.1f, 0.08f, 0.8f);
    Paint(img, Polyline({{270, 600}, {420, 560}, {560, 600}, {740, 540}}, 6), red, 260, 530, 750, 610);
    Paint(img, Polygon({{770, 528}, {736, 520}, {748, 556}}), red, 730, 510, 780, 560);
    Paint(img, Polyline({{270, 150}, {420, 200}, {600, 330}, {760, 470}}, 6), red, 260, 140, 770, 480);
    Paint(img, Polygon({{785, 492}, {748, 482}, {770, 454}}), red, 740, 450, 790, 500);
    // A compass rose.
    const float cx = 900, cy = 640;
    const int32_t rx0 = 830, ry0 = 550, rx1 = 970, ry1 = 710;  // the rose's box
    Paint(img, Outline(Circle(cx, cy, 46), 2.0f), ink, rx0, ry0, rx1, ry1);
    for (int32_t i = 0; i < 4; ++i) {
        const float a = i * Pi / 2;
        const TPoint tip{cx + 60 * std::cos(a), cy + 60 * std::sin(a)};
        const TPoint l{cx + 12 * std::cos(a + Pi / 2), cy + 12 * std::sin(a + Pi / 2)};
        const TPoint r{cx + 12 * std::cos(a - Pi / 2), cy + 12 * std::sin(a - Pi / 2)};
        Paint(img, Polygon({tip, l, {cx, cy}}), Rgb(0.25f, 0.16f, 0.08f, 0.9f), rx0, ry0, rx1, ry1);
        Paint(img, Outline(Polygon({tip, r, {cx, cy}}), 1.5f), ink, rx0, ry0, rx1, ry1);
    }
    Paint(img, Text("N", cx - 8, cy - 70, 22, 3), ink, rx0, ry0 - 50, rx1, ry1);
    return Resample(img, 1024, 1024);
}

// The short start picture: a dark band with the red triangles and the title.
TImage MakeSplash() {
    const int32_t W = 1024, H = 128;
    TImage img(W, H, 3);
    for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x) {
            const float t = std::abs(y - H / 2.0f) / (H / 2.0f);
            img.Set(x, y, Mix(Rgb(0.12f, 0.1f, 0.1f), Rgb(0.02f, 0.02f, 0.02f), t));
        }
    const float cx = 90, cy = 64;
    for (int32_t k = 0; k < 12; ++k) {
        const float r = 52.0f * std::pow(0.9f, static_cast<float>(k));
        const float rot = -k * 6.0f * Pi / 180.0f;
        std::vector<TPoint> tri;
        for (int32_t c = 0; c < 3; ++c) {
            const float a = Pi / 2 + rot + c * 2 * Pi / 3;
            tri.push_back({cx + r * std::cos(a), cy - r * std::sin(a)});
        }
        Paint(img, Outline(Polygon(tri), 2.0f), Rgb(0.8f, 0.05f, 0.05f), 20, 0, 170, 128);
    }
    Paint(img, Outline(Circle(cx, cy, 56), 1.5f), Rgb(0.1f, 0.45f, 0.1f), 20, 0, 170, 128);
    Paint(img, Segment(190, 100, 1000, 100, 2), Rgb(0.7f, 0.08f, 0.06f));
    Title(img, "Technical demo", 600, 86, 60, 760, Rgb(0.92f, 0.92f, 0.95f));
    return img;
}

bool GenerateScreens(const std::string& outDir) {
    bool ok = WriteTexture(outDir, "Title", MakeTitle());
    ok = ok && WriteTexture(outDir, "Loading", MakeLoading());
    ok = ok && WriteTexture(outDir, "Splash", MakeSplash());
    return ok;
}

const DataGenerator screensGenerator(13, "screens", GenerateScreens);

}  // namespace

}  // namespace gen
