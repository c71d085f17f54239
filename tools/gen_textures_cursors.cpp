// The mouse cursors, 32 x 32 with the hot spot at the top-left pixel except "Stop", which is
// centred, and the shapes they share with the HUD's buttons and icons: swords, shields,
// flags, trees, drops and tufts, painted in pixel coordinates with y downwards.

#include "gen_textures.h"

#include "DataTool.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace gen {

using namespace pictures;

namespace {

std::vector<TPoint> Transform(const std::vector<TPoint>& pts, float cx, float cy, float scale, float angle) {
    std::vector<TPoint> out;
    const float c = std::cos(angle), s = std::sin(angle);
    for (const auto& p : pts)
        out.push_back({cx + scale * (p.x * c - p.y * s), cy + scale * (p.x * s + p.y * c)});
    return out;
}

}  // namespace

namespace pictures {

// A sword lying along +x from the pommel at the origin side; `len` is the whole length.
TShape Sword(float cx, float cy, float len, float angle) {
    const float k = len / 48.0f;
    const std::vector<TPoint> blade{{0, -2.6f}, {30, -2.6f}, {35, 0}, {30, 2.6f}, {0, 2.6f}};
    const std::vector<TPoint> guard{{-2, -8}, {2, -8}, {2, 8}, {-2, 8}};
    const std::vector<TPoint> grip{{-10, -1.8f}, {-2, -1.8f}, {-2, 1.8f}, {-10, 1.8f}};
    TShape s = Polygon(Transform(blade, cx, cy, k, angle));
    s = Union(s, Polygon(Transform(guard, cx, cy, k, angle)));
    s = Union(s, Polygon(Transform(grip, cx, cy, k, angle)));
    const auto pommel = Transform({{-12.5f, 0}}, cx, cy, k, angle)[0];
    return Union(s, Circle(pommel.x, pommel.y, 3.0f * k));
}

// A heater shield centred at (cx, cy), `w` wide.
TShape Shield(float cx, float cy, float w) {
    std::vector<TPoint> pts;
    const float h = w * 1.2f;
    const float top = cy - h * 0.45f;
    pts.push_back({cx - w / 2, top});
    pts.push_back({cx + w / 2, top});
    for (int32_t i = 0; i <= 12; ++i) {  // right side curving to the point
        const float t = i / 12.0f;
        pts.push_back(
            {cx + w / 2 * std::cos(t * Pi / 2), top + h * 0.35f + h * 0.65f * std::sin(t * Pi / 2)});
    }
    for (int32_t i = 12; i >= 0; --i) {
        const float t = i / 12.0f;
        pts.push_back(
            {cx - w / 2 * std::cos(t * Pi / 2), top + h * 0.35f + h * 0.65f * std::sin(t * Pi / 2)});
    }
    return Polygon(pts);
}

}  // namespace pictures

namespace {

// The common arrow pointer with its tip at (x, y), `h` pixels tall.
TShape Pointer(float x, float y, float h) {
    const float k = h / 26.0f;
    return Polygon({{x, y},
                    {x, y + 22 * k},
                    {x + 5.5f * k, y + 17 * k},
                    {x + 9.5f * k, y + 26 * k},
                    {x + 13 * k, y + 24.5f * k},
                    {x + 9 * k, y + 15.5f * k},
                    {x + 16 * k, y + 15.5f * k}});
}

}  // namespace

namespace pictures {

// Paints a shape with a dark outline, as cursors and icons are drawn.
void Inked(TImage& img, const TShape& shape, const TColour& fill, float outline, const TColour& ink) {
    Paint(img, Union(shape, Outline(shape, outline * 2.0f)), ink);
    Paint(img, shape, fill);
}

}  // namespace pictures

namespace {

// A small tree, a water drop, a grass tuft, a flag: the pictures that the cursors and buttons share.
void DrawTree(TImage& img, float cx, float cy, float s) {
    Inked(img, Box(cx - s * 0.12f, cy + s * 0.1f, cx + s * 0.12f, cy + s * 0.55f), Rgb(0.45f, 0.3f, 0.15f),
          1.0f);
    Inked(img,
          Polygon({{cx, cy - s * 0.6f}, {cx + s * 0.45f, cy + s * 0.2f}, {cx - s * 0.45f, cy + s * 0.2f}}),
          Rgb(0.25f, 0.6f, 0.2f), 1.0f);
}

void DrawDrop(TImage& img, float cx, float cy, float s) {
    TShape drop = Union(
        Circle(cx, cy + s * 0.15f, s * 0.35f),
        Polygon({{cx, cy - s * 0.55f}, {cx + s * 0.32f, cy + s * 0.05f}, {cx - s * 0.32f, cy + s * 0.05f}}));
    Inked(img, drop, Rgb(0.3f, 0.6f, 0.95f), 1.0f);
    Paint(img, Circle(cx - s * 0.12f, cy + s * 0.08f, s * 0.09f), Rgb(1, 1, 1, 0.8f));
}

void DrawTuft(TImage& img, float cx, float cy, float s) {
    std::vector<TShape> blades;
    const float angles[] = {-0.75f, -0.35f, 0.0f, 0.35f, 0.75f};
    TShape tuft = Segment(cx, cy + s * 0.45f, cx, cy - s * 0.5f, s * 0.14f);
    for (float a : angles)
        tuft = Union(tuft, Segment(cx, cy + s * 0.45f, cx + std::sin(a) * s * 0.6f,
                                   cy + s * 0.45f - std::cos(a) * s * 0.8f, s * 0.12f));
    Inked(img, tuft, Rgb(0.45f, 0.8f, 0.25f), 1.0f);
}

}  // namespace

namespace pictures {

void DrawFlag(TImage& img, float cx, float cy, float s, const TColour& colour) {
    Inked(img, Box(cx - s * 0.42f, cy - s * 0.5f, cx - s * 0.32f, cy + s * 0.5f), Rgb(0.55f, 0.4f, 0.2f),
          1.0f);
    Inked(img,
          Polygon({{cx - s * 0.32f, cy - s * 0.5f},
                   {cx + s * 0.45f, cy - s * 0.32f},
                   {cx - s * 0.32f, cy - s * 0.1f}}),
          colour, 1.0f);
}

}  // namespace pictures

namespace {

// Cursors: 32 x 32, the hot spot at the top-left pixel except "Stop", which is centred.

TImage CursorWithBadge(const std::function<void(TImage&)>& badge) {
    TImage img(32, 32, 4);
    Inked(img, Pointer(0.5f, 0.5f, 20.0f), Rgb(0.98f, 0.93f, 0.75f), 1.2f);
    if (badge)
        badge(img);
    return img;
}

TImage MakeCursor(const std::string& name) {
    if (name == "Stop") {
        TImage img(32, 32, 4);
        const TShape ring = Subtract(Circle(16, 16, 13), Circle(16, 16, 9));
        const TShape bar = Segment(9.5f, 9.5f, 22.5f, 22.5f, 4.0f);
        Inked(img, Union(ring, bar), Rgb(0.9f, 0.12f, 0.08f), 1.2f);
        return img;
    }
    if (name == "Cursor")
        return CursorWithBadge(nullptr);
    if (name == "Nature")
        return CursorWithBadge([](TImage& img) { DrawTree(img, 23, 22, 16); });
    if (name == "Water")
        return CursorWithBadge([](TImage& img) { DrawDrop(img, 23, 22, 15); });
    if (name == "Grass")
        return CursorWithBadge([](TImage& img) { DrawTuft(img, 23, 22, 14); });
    if (name == "Move")
        return CursorWithBadge([](TImage& img) { DrawFlag(img, 24, 22, 16, Rgb(0.3f, 0.85f, 0.3f)); });
    if (name == "Defence")
        return CursorWithBadge([](TImage& img) {
            const TShape s = Shield(23, 22, 13);
            Inked(img, s, Rgb(0.25f, 0.45f, 0.9f), 1.0f);
            Paint(img, Segment(23, 17, 23, 28, 2.0f), Rgb(0.95f, 0.85f, 0.4f));
        });
    // "Attack": a sword whose point is the hot spot.
    TImage img(32, 32, 4);
    Inked(img, Sword(20.2f, 20.2f, 38.0f, Pi + Pi / 4), Rgb(0.85f, 0.86f, 0.9f), 1.2f);
    Paint(img, Circle(27.2f, 27.2f, 1.6f), Rgb(0.8f, 0.15f, 0.1f));
    return img;
}

bool GenerateCursors(const std::string& outDir) {
    for (const char* name : {"Stop", "Cursor", "Nature", "Water", "Grass", "Attack", "Defence", "Move"})
        if (!WriteTGA(DataPath(outDir, std::string("Cursors/") + name + ".tga"), MakeCursor(name)))
            return false;
    return true;
}

const DataGenerator cursorsGenerator(11, "cursors", GenerateCursors);

}  // namespace

}  // namespace gen
