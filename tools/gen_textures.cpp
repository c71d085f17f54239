// Every picture of the game except the minimap: the tile atlas, the water and ring textures, the
// mouse cursors, the HUD and the three full-screen pictures. All are painted from code with fixed
// seeds.

#include "gen_common.h"
#include "gen_terrain.h"

#include "DataTool.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

namespace gen {

namespace {

constexpr float Pi = std::numbers::pi_v<float>;

// ---------------------------------------------------------------------------------------------
// Tile patterns. Tile pixel coordinates: u to the right, v upwards, both 0..60 and periodic.

float TileNoise(float u, float v, int32_t cells, int32_t octaves, float gain, uint32_t seed)
{
    const float k = static_cast<float>(cells) / AtlasTile;
    return FractalNoise(u * k, v * k, cells, octaves, gain, seed);
}

// Noise stretched along u or v: cellsU and cellsV lattice cells per tile.
float StretchedNoise(float u, float v, int32_t cellsU, int32_t cellsV, uint32_t seed)
{
    return ValueNoise(u * cellsU / AtlasTile, v * cellsV / AtlasTile, cellsU, cellsV, seed);
}

int32_t WrapInt(int32_t i, int32_t n)
{
    i %= n;
    return i < 0 ? i + n : i;
}

// Scattered round dots on a periodic lattice: coverage 0..1 of the nearest dot; `tone` receives
// a random value of that dot.
float Dots(float u, float v, int32_t cells, float radius, float density, uint32_t seed, float* tone = nullptr)
{
    const float cs = static_cast<float>(AtlasTile) / cells;
    const int32_t cx = static_cast<int32_t>(std::floor(u / cs)), cy = static_cast<int32_t>(std::floor(v / cs));
    float best = 0.0f;
    for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
            const int32_t ix = cx + dx, iy = cy + dy;
            const int32_t wx = WrapInt(ix, cells), wy = WrapInt(iy, cells);
            if (HashFloat(wx, wy, seed) > density)
                continue;
            const float px = (ix + 0.2f + 0.6f * HashFloat(wx, wy, seed + 1)) * cs;
            const float py = (iy + 0.2f + 0.6f * HashFloat(wx, wy, seed + 2)) * cs;
            const float r = radius * (0.6f + 0.8f * HashFloat(wx, wy, seed + 3));
            const float cov = Clamp01(r - std::hypot(u - px, v - py) + 0.5f);
            if (cov > best) {
                best = cov;
                if (tone)
                    *tone = HashFloat(wx, wy, seed + 4);
            }
        }
    return best;
}

// The plain pattern of a material, without the details of the variants.
TColour MaterialBase(int32_t m, float u, float v)
{
    const uint32_t s = 7000u + 97u * static_cast<uint32_t>(m);
    // Kept faint: a pattern as large as the tile would show the repetition from tile to tile.
    const float broad = 0.5f + 0.45f * (TileNoise(u, v, 3, 3, 0.5f, s) - 0.5f);
    const float fine = TileNoise(u, v, 15, 2, 0.5f, s + 11);
    const float grain = TileNoise(u, v, 30, 1, 0.5f, s + 23);
    switch (m) {
        case MatGrass: {
            const float blades = StretchedNoise(u, v, 30, 6, s + 31);
            TColour c = Rgb(0.29f, 0.45f, 0.15f);
            c = Scale(c, 0.8f + 0.28f * broad + 0.22f * (fine - 0.5f) + 0.25f * (blades - 0.5f));
            return Mix(c, Rgb(0.45f, 0.5f, 0.18f), 0.3f * SmoothStep(0.45f, 0.8f, broad));
        }
        case MatDryGrass: {
            const float blades = StretchedNoise(u, v, 30, 5, s + 31);
            TColour c = Rgb(0.58f, 0.52f, 0.29f);
            c = Scale(c, 0.8f + 0.25f * broad + 0.2f * (fine - 0.5f) + 0.3f * (blades - 0.5f));
            return Mix(c, Rgb(0.42f, 0.42f, 0.2f), 0.35f * SmoothStep(0.5f, 0.85f, fine));
        }
        case MatEarth: {
            TColour c = Rgb(0.43f, 0.33f, 0.22f);
            c = Scale(c, 0.82f + 0.25f * broad + 0.2f * (fine - 0.5f) + 0.16f * (grain - 0.5f));
            float tone = 0.0f;
            const float pebble = Dots(u, v, 12, 1.2f, 0.5f, s + 41, &tone);
            return Mix(c, Scale(Rgb(0.55f, 0.5f, 0.43f), 0.7f + 0.5f * tone), 0.8f * pebble);
        }
        case MatSand: {
            const float ripple = std::sin((v / AtlasTile) * 2.0f * Pi * 4.0f + 2.5f * fine * 2.0f * Pi / 3.0f);
            TColour c = Rgb(0.78f, 0.7f, 0.5f);
            c = Scale(c, 0.88f + 0.14f * broad + 0.05f * ripple + 0.14f * (grain - 0.5f));
            float tone = 0.0f;
            const float stone = Dots(u, v, 10, 0.8f, 0.3f, s + 41, &tone);
            return Mix(c, Scale(Rgb(0.5f, 0.45f, 0.38f), 0.8f + 0.4f * tone), 0.7f * stone);
        }
        case MatRock: {
            const float ridge = 1.0f - std::abs(2.0f * TileNoise(u, v, 5, 3, 0.55f, s + 51) - 1.0f);
            TColour c = Rgb(0.5f, 0.49f, 0.46f);
            c = Scale(c, 0.75f + 0.3f * broad + 0.25f * (fine - 0.5f) + 0.15f * (grain - 0.5f));
            c = Scale(c, 1.0f - 0.45f * SmoothStep(0.9f, 0.98f, ridge));
            const float lichen = SmoothStep(0.68f, 0.78f, TileNoise(u, v, 6, 2, 0.5f, s + 61));
            return Mix(c, Rgb(0.52f, 0.55f, 0.32f), 0.35f * lichen);
        }
        case MatForest: {
            TColour c = Rgb(0.22f, 0.22f, 0.12f);
            c = Scale(c, 0.8f + 0.3f * broad + 0.25f * (fine - 0.5f));
            float tone = 0.0f;
            const float leaf = Dots(u, v, 20, 1.1f, 0.55f, s + 41, &tone);
            c = Mix(c, Mix(Rgb(0.45f, 0.28f, 0.1f), Rgb(0.5f, 0.42f, 0.15f), tone), 0.75f * leaf);
            const float moss = SmoothStep(0.55f, 0.75f, TileNoise(u, v, 4, 2, 0.5f, s + 61));
            return Mix(c, Rgb(0.2f, 0.33f, 0.11f), 0.5f * moss);
        }
        case MatRiverBed: {
            TColour c = Rgb(0.37f, 0.35f, 0.26f);
            c = Scale(c, 0.82f + 0.22f * broad + 0.18f * (fine - 0.5f));
            float tone = 0.0f;
            const float pebble = Dots(u, v, 12, 2.0f, 0.55f, s + 41, &tone);
            return Mix(c, Scale(Rgb(0.52f, 0.52f, 0.48f), 0.7f + 0.5f * tone), 0.85f * pebble);
        }
        case MatRoad:
        default: {
            TColour c = Rgb(0.56f, 0.48f, 0.35f);
            c = Scale(c, 0.86f + 0.18f * broad + 0.14f * (fine - 0.5f) + 0.12f * (grain - 0.5f));
            float tone = 0.0f;
            const float gravel = Dots(u, v, 15, 0.9f, 0.6f, s + 41, &tone);
            return Mix(c, Scale(Rgb(0.66f, 0.62f, 0.55f), 0.75f + 0.4f * tone), 0.7f * gravel);
        }
    }
}

// Small details that set the variants of a material apart, painted on a 60 x 60 tile (top row
// first). They stay 8 pixels inside the edges so that every variant joins every other one.
void PaintDetails(TImage& tile, int32_t m, int32_t variant)
{
    if (variant == 0)
        return;
    TGenRandom rnd(0xD37A11u + 131u * static_cast<uint32_t>(m) + 17u * static_cast<uint32_t>(variant));
    const int32_t count = 2 + rnd.Int(4);
    for (int32_t i = 0; i < count; ++i) {
        const float x = rnd.Range(10.0f, 50.0f), y = rnd.Range(10.0f, 50.0f);
        const float k = rnd.Range(0.7f, 1.2f);
        switch (m) {
            case MatGrass:
                if (rnd.Int(2) == 0) {
                    const TColour petal = rnd.Int(2) ? Rgb(0.95f, 0.85f, 0.3f) : Rgb(0.92f, 0.92f, 0.85f);
                    for (int32_t f = 0; f < 3; ++f)
                        Paint(tile, Circle(x + rnd.Range(-3, 3), y + rnd.Range(-3, 3), 0.9f * k), petal);
                } else {
                    for (int32_t b = 0; b < 6; ++b) {
                        const float a = -Pi / 2 + rnd.Range(-0.9f, 0.9f);
                        Paint(tile, Segment(x, y, x + std::cos(a) * 5 * k, y + std::sin(a) * 5 * k, 0.9f),
                              Rgb(0.2f, 0.36f, 0.1f, 0.8f));
                    }
                }
                break;
            case MatDryGrass:
                for (int32_t b = 0; b < 5; ++b) {
                    const float a = -Pi / 2 + rnd.Range(-1.0f, 1.0f);
                    Paint(tile, Segment(x, y, x + std::cos(a) * 5 * k, y + std::sin(a) * 5 * k, 0.9f),
                          Rgb(0.75f, 0.68f, 0.42f, 0.85f));
                }
                break;
            case MatEarth:
            case MatRoad:
            case MatRiverBed:
            case MatSand: {
                const float r = (m == MatRiverBed ? 3.0f : 2.0f) * k;
                Paint(tile, Circle(x + 0.6f, y + 0.8f, r), Rgb(0.1f, 0.08f, 0.05f, 0.35f));
                Paint(tile, Circle(x, y, r), Scale(Rgb(0.58f, 0.55f, 0.5f), rnd.Range(0.75f, 1.1f)));
                Paint(tile, Circle(x - r * 0.3f, y - r * 0.3f, r * 0.35f), Rgb(0.85f, 0.83f, 0.78f, 0.4f));
                break;
            }
            case MatRock: {
                std::vector<TPoint> crack{{x, y}};
                float a = rnd.Range(0.0f, 2.0f * Pi);
                for (int32_t s = 0; s < 4; ++s) {
                    a += rnd.Range(-0.7f, 0.7f);
                    const TPoint& p = crack.back();
                    crack.push_back({std::clamp(p.x + std::cos(a) * 4.0f, 8.0f, 52.0f),
                                     std::clamp(p.y + std::sin(a) * 4.0f, 8.0f, 52.0f)});
                }
                Paint(tile, Polyline(crack, 1.0f), Rgb(0.18f, 0.17f, 0.16f, 0.7f));
                break;
            }
            case MatForest:
            default:
                if (rnd.Int(2) == 0) {
                    const float a = rnd.Range(0.0f, Pi);
                    Paint(tile, Segment(x, y, x + std::cos(a) * 8 * k, y + std::sin(a) * 8 * k, 1.2f),
                          Rgb(0.3f, 0.2f, 0.1f));
                } else {
                    Paint(tile, Circle(x, y, 2.5f * k), Rgb(0.22f, 0.36f, 0.12f, 0.8f));
                }
                break;
        }
    }
}

}  // namespace

TImage MaterialTile(int32_t material, int32_t variant)
{
    TImage tile(AtlasTile, AtlasTile, 4);
    for (int32_t y = 0; y < AtlasTile; ++y)
        for (int32_t x = 0; x < AtlasTile; ++x) {
            TColour c = MaterialBase(material, x + 0.5f, (AtlasTile - 1 - y) + 0.5f);
            c.a = 1.0f;
            tile.Set(x, y, c);
        }
    PaintDetails(tile, material, variant);
    return tile;
}

TColour MaterialAverage(int32_t material)
{
    const TImage tile = MaterialTile(material, 0);
    TColour sum{0, 0, 0, 0};
    for (int32_t y = 0; y < tile.Height; ++y)
        for (int32_t x = 0; x < tile.Width; ++x) {
            const TColour c = tile.Get(x, y);
            sum.r += c.r;
            sum.g += c.g;
            sum.b += c.b;
        }
    const float n = static_cast<float>(tile.Width * tile.Height);
    return {sum.r / n, sum.g / n, sum.b / n, 1.0f};
}

float CornerMask(int32_t corners, float s, float t)
{
    const float b1 = (corners & 1) ? 1.0f : 0.0f, b2 = (corners & 2) ? 1.0f : 0.0f;
    const float b4 = (corners & 4) ? 1.0f : 0.0f, b8 = (corners & 8) ? 1.0f : 0.0f;
    const float f = b1 * (1 - s) * (1 - t) + b2 * s * (1 - t) + b4 * (1 - s) * t + b8 * s * t;
    // A ragged boundary inside the tile; the wobble fades out towards the edges, where the
    // neighbouring tile must see the same value.
    const float wobble = 16.0f * s * (1 - s) * t * (1 - t);
    const float n = FractalNoise(s * 4.0f, t * 4.0f, 0, 3, 0.5f, 0xA11CEu + static_cast<uint32_t>(corners)) - 0.5f;
    return SmoothStep(0.2f, 0.8f, f + 0.55f * wobble * n);
}

namespace {

// Copies a 60 x 60 tile into atlas cell (col, row counted from the bottom), filling the border
// with the pixels of the opposite edges; `alpha` (when given) replaces the alpha from the tile
// position (s, t), clamped to the tile.
void PutCell(TImage& atlas, int32_t col, int32_t row, const TImage& tile,
             const std::function<float(float s, float t)>& alpha = nullptr)
{
    const int32_t x0 = col * AtlasCell;
    const int32_t y0 = AtlasSize - (row + 1) * AtlasCell;
    for (int32_t cy = 0; cy < AtlasCell; ++cy)
        for (int32_t cx = 0; cx < AtlasCell; ++cx) {
            const int32_t lx = cx - AtlasBorder, ly = cy - AtlasBorder;
            TColour c = tile.Get(WrapInt(lx, AtlasTile), WrapInt(ly, AtlasTile));
            if (alpha) {
                const float s = Clamp01((lx + 0.5f) / AtlasTile);
                const float t = Clamp01((AtlasTile - 1 - ly + 0.5f) / AtlasTile);  // rows count upwards
                c.a = alpha(s, t);
            }
            atlas.Set(x0 + cx, y0 + cy, c);
        }
}

TImage MakeTileSet()
{
    TImage atlas(AtlasSize, AtlasSize, 4);
    atlas.Fill(Rgb(0.5f, 0.5f, 0.5f));
    for (int32_t m = 0; m < MaterialCount; ++m) {
        for (int32_t v = 0; v < VariantCount; ++v)
            PutCell(atlas, v, m, MaterialTile(m, v));
        const TImage plain = MaterialTile(m, 0);
        for (int32_t k = 1; k <= 14; ++k)
            PutCell(atlas, k, MaskRowBase + m, plain, [k](float s, float t) { return CornerMask(k, s, t); });
    }
    return atlas;
}

// ---------------------------------------------------------------------------------------------
// Water and rings

TImage MakeClouds()
{
    TImage img(256, 256, 1);
    for (int32_t y = 0; y < img.Height; ++y)
        for (int32_t x = 0; x < img.Width; ++x) {
            const float n = FractalNoise(x / 32.0f, y / 32.0f, 8, 5, 0.55f, 0xC10D5u);
            const float v = SmoothStep(0.2f, 0.8f, n);
            img.Set(x, y, Rgb(v, v, v));
        }
    return img;
}

TImage MakeRing(bool curved)
{
    TImage img(128, 128, 4);
    for (int32_t y = 0; y < img.Height; ++y)
        for (int32_t x = 0; x < img.Width; ++x) {
            const float r = std::hypot(x + 0.5f - 64.0f, y + 0.5f - 64.0f) / 64.0f;
            float a;
            if (curved) {
                // A soft crest with a faint second ripple inside it.
                const float crest = std::exp(-std::pow((r - 0.78f) / 0.09f, 2.0f));
                const float inner = 0.35f * std::exp(-std::pow((r - 0.55f) / 0.06f, 2.0f));
                a = (crest + inner) * (1.0f - SmoothStep(0.92f, 1.0f, r));
            } else {
                // A crisp band at the edge with a faint glow inwards.
                const float band = Clamp01((r - 0.86f) * 64.0f + 0.5f) * Clamp01((0.97f - r) * 64.0f + 0.5f);
                const float glow = 0.25f * SmoothStep(0.6f, 0.86f, r) * (r < 0.97f ? 1.0f : 0.0f);
                a = std::max(band, glow);
            }
            img.Set(x, y, Rgb(1, 1, 1, a));
        }
    return img;
}

// ---------------------------------------------------------------------------------------------
// Shapes used by cursors and icons (pixel coordinates, y downwards)

std::vector<TPoint> Transform(const std::vector<TPoint>& pts, float cx, float cy, float scale, float angle)
{
    std::vector<TPoint> out;
    const float c = std::cos(angle), s = std::sin(angle);
    for (const auto& p : pts)
        out.push_back({cx + scale * (p.x * c - p.y * s), cy + scale * (p.x * s + p.y * c)});
    return out;
}

// A sword lying along +x from the pommel at the origin side; `len` is the whole length.
TShape Sword(float cx, float cy, float len, float angle)
{
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
TShape Shield(float cx, float cy, float w)
{
    std::vector<TPoint> pts;
    const float h = w * 1.2f;
    const float top = cy - h * 0.45f;
    pts.push_back({cx - w / 2, top});
    pts.push_back({cx + w / 2, top});
    for (int32_t i = 0; i <= 12; ++i) {  // right side curving to the point
        const float t = i / 12.0f;
        pts.push_back({cx + w / 2 * std::cos(t * Pi / 2), top + h * 0.35f + h * 0.65f * std::sin(t * Pi / 2)});
    }
    for (int32_t i = 12; i >= 0; --i) {
        const float t = i / 12.0f;
        pts.push_back({cx - w / 2 * std::cos(t * Pi / 2), top + h * 0.35f + h * 0.65f * std::sin(t * Pi / 2)});
    }
    return Polygon(pts);
}

// The common arrow pointer with its tip at (x, y), `h` pixels tall.
TShape Pointer(float x, float y, float h)
{
    const float k = h / 26.0f;
    return Polygon({{x, y},
                    {x, y + 22 * k},
                    {x + 5.5f * k, y + 17 * k},
                    {x + 9.5f * k, y + 26 * k},
                    {x + 13 * k, y + 24.5f * k},
                    {x + 9 * k, y + 15.5f * k},
                    {x + 16 * k, y + 15.5f * k}});
}

// Paints a shape with a dark outline, as cursors and icons are drawn.
void Inked(TImage& img, const TShape& shape, const TColour& fill, float outline = 1.5f,
           const TColour& ink = Rgb(0.08f, 0.06f, 0.04f))
{
    Paint(img, Union(shape, Outline(shape, outline * 2.0f)), ink);
    Paint(img, shape, fill);
}

// A small tree, a water drop, a grass tuft, a flag: the pictures that the cursors and buttons share.
void DrawTree(TImage& img, float cx, float cy, float s)
{
    Inked(img, Box(cx - s * 0.12f, cy + s * 0.1f, cx + s * 0.12f, cy + s * 0.55f), Rgb(0.45f, 0.3f, 0.15f), 1.0f);
    Inked(img, Polygon({{cx, cy - s * 0.6f}, {cx + s * 0.45f, cy + s * 0.2f}, {cx - s * 0.45f, cy + s * 0.2f}}),
          Rgb(0.25f, 0.6f, 0.2f), 1.0f);
}

void DrawDrop(TImage& img, float cx, float cy, float s)
{
    TShape drop = Union(Circle(cx, cy + s * 0.15f, s * 0.35f),
                        Polygon({{cx, cy - s * 0.55f}, {cx + s * 0.32f, cy + s * 0.05f}, {cx - s * 0.32f, cy + s * 0.05f}}));
    Inked(img, drop, Rgb(0.3f, 0.6f, 0.95f), 1.0f);
    Paint(img, Circle(cx - s * 0.12f, cy + s * 0.08f, s * 0.09f), Rgb(1, 1, 1, 0.8f));
}

void DrawTuft(TImage& img, float cx, float cy, float s)
{
    std::vector<TShape> blades;
    const float angles[] = {-0.75f, -0.35f, 0.0f, 0.35f, 0.75f};
    TShape tuft = Segment(cx, cy + s * 0.45f, cx, cy - s * 0.5f, s * 0.14f);
    for (float a : angles)
        tuft = Union(tuft, Segment(cx, cy + s * 0.45f, cx + std::sin(a) * s * 0.6f, cy + s * 0.45f - std::cos(a) * s * 0.8f,
                                   s * 0.12f));
    Inked(img, tuft, Rgb(0.45f, 0.8f, 0.25f), 1.0f);
}

void DrawFlag(TImage& img, float cx, float cy, float s, const TColour& colour)
{
    Inked(img, Box(cx - s * 0.42f, cy - s * 0.5f, cx - s * 0.32f, cy + s * 0.5f), Rgb(0.55f, 0.4f, 0.2f), 1.0f);
    Inked(img, Polygon({{cx - s * 0.32f, cy - s * 0.5f}, {cx + s * 0.45f, cy - s * 0.32f}, {cx - s * 0.32f, cy - s * 0.1f}}),
          colour, 1.0f);
}

// ---------------------------------------------------------------------------------------------
// Cursors: 32 x 32, the hot spot at the top-left pixel except "Stop", which is centred.

TImage CursorWithBadge(const std::function<void(TImage&)>& badge)
{
    TImage img(32, 32, 4);
    Inked(img, Pointer(0.5f, 0.5f, 20.0f), Rgb(0.98f, 0.93f, 0.75f), 1.2f);
    if (badge)
        badge(img);
    return img;
}

TImage MakeCursor(const std::string& name)
{
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

// ---------------------------------------------------------------------------------------------
// HUD

TColour Parchment(float x, float y, uint32_t seed)
{
    const float n = FractalNoise(x / 40.0f, y / 40.0f, 0, 4, 0.55f, seed);
    const float fibre = ValueNoise(x / 3.0f, y / 30.0f, 0, 0, seed + 7);
    TColour c = Rgb(0.84f, 0.76f, 0.57f);
    c = Scale(c, 0.82f + 0.28f * n + 0.06f * (fibre - 0.5f));
    return c;
}

TColour Stone(float x, float y, uint32_t seed)
{
    const float n = FractalNoise(x / 24.0f, y / 24.0f, 0, 4, 0.55f, seed);
    return Scale(Rgb(0.3f, 0.27f, 0.23f), 0.8f + 0.4f * n);
}

TColour Bronze(float, float y, float top, float height)
{
    const float t = Clamp01((y - top) / std::max(height, 1.0f));
    return Mix(Rgb(0.92f, 0.76f, 0.42f), Rgb(0.5f, 0.34f, 0.14f), t);
}

// A framed plate: stone border, bronze rim, parchment (or dark) field. Coordinates in pixels.
void Plate(TImage& img, float x0, float y0, float x1, float y1, float radius, float border, bool darkField,
           uint32_t seed)
{
    const TShape outer = Box(x0, y0, x1, y1, radius);
    PaintWith(img, outer, [&](float x, float y) { return Stone(x, y, seed); });
    const TShape rim = Outline(Box(x0 + border * 0.5f, y0 + border * 0.5f, x1 - border * 0.5f, y1 - border * 0.5f,
                                   std::max(radius - border * 0.5f, 0.0f)),
                               std::max(2.0f, border * 0.3f));
    PaintWith(img, rim, [&](float x, float y) { return Bronze(x, y, y0, y1 - y0); });
    const TShape field = Box(x0 + border, y0 + border, x1 - border, y1 - border, std::max(radius - border, 0.0f));
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
void HardenAlpha(TImage& img, const TColour& edge)
{
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

TImage MakeGroupsInfo()
{
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

TImage MakePlayerStat()
{
    TImage img(256, 128, 4);
    Plate(img, 0, 0, 256, 128, 12, 8, false, 0x6A0002);
    // Faint ruled lines under the three captions.
    for (int32_t i = 0; i < 3; ++i) {
        const float y = 128.0f * (1.0f - (0.1f + 0.25f * i)) - 4.0f;
        Paint(img, Segment(16, y, 144, y, 1.0f), Rgb(0.4f, 0.3f, 0.2f, 0.4f));
    }
    return img;
}

TImage MakeMiniMapPanel()
{
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

TImage MakeUnitsInfo()
{
    TImage img(1024, 256, 4);
    // Cut corners and a stepped top edge; drawn with an alpha test, so the outline is hard.
    std::vector<TPoint> outline{{0, 40},   {40, 40},  {56, 24},  {968, 24}, {984, 40},
                                {1024, 40}, {1024, 256}, {0, 256}};
    const TShape body = Polygon(outline);
    PaintWith(img, body, [](float x, float y) { return Stone(x, y, 0x6A0004); });
    PaintWith(img, Outline(body, 5.0f), [](float x, float y) { return Bronze(x, y, 20, 236); });
    const TShape field = Box(24, 52, 1000, 244, 8);
    PaintWith(img, field, [](float x, float y) { return Parchment(x, y, 0x6A0005); });
    Paint(img, Outline(field, 2.0f), Rgb(0.35f, 0.25f, 0.12f));
    HardenAlpha(img, Rgb(0.3f, 0.27f, 0.23f));
    return img;
}

TImage MakeCommandPanel()
{
    TImage img(256, 256, 4);
    Plate(img, 0, 0, 256, 256, 16, 8, true, 0x6A0006);
    // The button area: x 0.05..0.85, y 0.05..0.78 (y up), a 4 x 3 grid.
    const float ax0 = 0.05f * 256, ax1 = 0.85f * 256, ay0 = (1 - 0.78f) * 256, ay1 = (1 - 0.05f) * 256;
    Paint(img, Box(ax0 - 3, ay0 - 3, ax1 + 3, ay1 + 3, 4), Rgb(0.04f, 0.04f, 0.03f, 0.9f));
    for (int32_t i = 0; i < 4; ++i)
        for (int32_t j = 0; j < 3; ++j) {
            const float cw = (ax1 - ax0) / 4, ch = (ay1 - ay0) / 3;
            Paint(img, Outline(Box(ax0 + i * cw + 2, ay0 + j * ch + 2, ax0 + (i + 1) * cw - 2, ay0 + (j + 1) * ch - 2, 3), 1.0f),
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
void IconHold(TImage& img, float cx, float cy)
{
    Inked(img, Shield(cx, cy, 30), Rgb(0.3f, 0.45f, 0.85f), 1.5f);
    Paint(img, Segment(cx, cy - 10, cx, cy + 14, 4), Rgb(0.95f, 0.85f, 0.4f));
    Paint(img, Segment(cx - 11, cy - 2, cx + 11, cy - 2, 4), Rgb(0.95f, 0.85f, 0.4f));
}

void IconMove(TImage& img, float cx, float cy) { DrawFlag(img, cx + 2, cy, 40, Rgb(0.3f, 0.85f, 0.3f)); }

void IconAttack(TImage& img, float cx, float cy)
{
    Inked(img, Sword(cx - 15, cy + 15, 42, -Pi / 4), Rgb(0.85f, 0.86f, 0.9f), 1.5f);
    Inked(img, Sword(cx + 15, cy + 15, 42, -3 * Pi / 4), Rgb(0.85f, 0.86f, 0.9f), 1.5f);
}

void IconFormation(TImage& img, float cx, float cy)
{
    for (int32_t r = 0; r < 2; ++r)
        for (int32_t c = 0; c < 3; ++c)
            Inked(img, Circle(cx - 14 + 14 * c, cy - 7 + 14 * r, 5), Rgb(0.9f, 0.8f, 0.45f), 1.5f);
}

void IconRetreat(TImage& img, float cx, float cy)
{
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

void ButtonFace(TImage& img, float x0, float y0, float x1, float y1)
{
    const TShape face = Box(x0 + 2, y0 + 2, x1 - 2, y1 - 2, 6);
    PaintWith(img, face, [&](float x, float y) {
        const float t = Clamp01((y - y0) / (y1 - y0));
        return Scale(Stone(x, y, 0x6A0007), 1.25f - 0.5f * t);
    });
    PaintWith(img, Outline(face, 2.0f), [&](float x, float y) { return Bronze(x, y, y0, y1 - y0); });
}

TImage MakeCommandButtons(bool gray)
{
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
TImage MakeUnitIcon(int32_t type)
{
    TImage img(64, 64, 4);
    const TShape medal = Circle(32, 32, 30);
    PaintWith(img, medal, [](float x, float y) { return Scale(Stone(x, y, 0x6A0008), 1.1f - 0.4f * y / 64); });
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
TImage MakeTroopLabel()
{
    TImage img(64, 32, 4);
    const TShape cap = Polygon({{2, 30}, {2, 14}, {10, 14}, {14, 4}, {20, 14}, {28, 14}, {32, 2}, {36, 14},
                                {44, 14}, {50, 4}, {54, 14}, {62, 14}, {62, 30}});
    PaintWith(img, cap, [](float x, float y) { return Bronze(x, y, 2, 28); });
    Paint(img, Outline(cap, 2.0f), Rgb(0.2f, 0.12f, 0.04f));
    HardenAlpha(img, Rgb(0.45f, 0.3f, 0.12f));
    return img;
}

// Emblems drawn over the owner's colour: the human side's star, the other side's chevrons.
TImage MakeEmblem(bool computerSide)
{
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
TImage MakeAura()
{
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

// ---------------------------------------------------------------------------------------------
// Full-screen pictures

// Bilinear resampling to another size (the pictures are painted at their shown proportions and
// stored at power-of-two sizes).
TImage Resample(const TImage& src, int32_t width, int32_t height)
{
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
float Ridge(float x, float base, float amplitude, float scale, uint32_t seed)
{
    return base - amplitude * FractalNoise(x / scale, 0.5f, 0, 4, 0.5f, seed);
}

// Text with a drop shadow and a light rim.
void Title(TImage& img, const std::string& text, float cx, float baseline, float size, float maxWidth,
           const TColour& colour)
{
    size = std::min(size, maxWidth / TextWidth(text, 1.0f));
    const float stroke = size * 0.13f;
    const float w = TextWidth(text, size);
    const float x = cx - w / 2;
    const int32_t bx0 = static_cast<int32_t>(x - size), bx1 = static_cast<int32_t>(x + w + size);
    const int32_t by0 = static_cast<int32_t>(baseline - size * 1.5f), by1 = static_cast<int32_t>(baseline + size * 0.7f);
    Paint(img, Text(text, x + size * 0.05f, baseline + size * 0.06f, size, stroke * 1.6f), Rgb(0, 0, 0, 0.6f), bx0, by0,
          bx1, by1);
    Paint(img, Text(text, x, baseline, size, stroke * 1.5f), Rgb(0.12f, 0.08f, 0.04f), bx0, by0, bx1, by1);
    PaintWith(img, Text(text, x, baseline, size, stroke),
              [&](float, float y) { return Mix(colour, Scale(colour, 0.6f), Clamp01((y - (baseline - size)) / size)); },
              bx0, by0, bx1, by1);
}

// Sunset over hills with an army on the ridge; "Technical demo" above.
TImage MakeTitle()
{
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
            const TColour field = Scale(Rgb(0.66f, 0.52f, 0.3f), 0.8f + 0.25f * patches + 0.15f * (stalks - 0.5f));
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
            Paint(img, Polygon({{x, top - h}, {x + 26, top - h + 8}, {x, top - h + 16}}), Rgb(0.55f, 0.08f, 0.06f),
                  static_cast<int32_t>(x) - 2, static_cast<int32_t>(top - h) - 2, static_cast<int32_t>(x) + 30,
                  static_cast<int32_t>(top - h) + 20);
        Paint(img, Circle(x, top + 2, 7), ranges[2], static_cast<int32_t>(x) - 9, static_cast<int32_t>(top) - 7,
              static_cast<int32_t>(x) + 9, static_cast<int32_t>(top) + 11);
    }
    Title(img, "Technical demo", W / 2.0f, 150, 92, W * 0.8f, Rgb(0.98f, 0.85f, 0.5f));
    return Resample(img, 1024, 1024);
}

// An old campaign map on parchment: a river, hills, woods, two armies and their arrows.
TImage MakeLoading()
{
    const int32_t W = 1024, H = 768;
    TImage img(W, H, 3);
    for (int32_t y = 0; y < H; ++y)
        for (int32_t x = 0; x < W; ++x) {
            TColour c = Parchment(x * 1.0f, y * 1.0f, 0x10AD01);
            const float ex = std::min(x, W - 1 - x) / 90.0f, ey = std::min(y, H - 1 - y) / 90.0f;
            const float burn = 1.0f - SmoothStep(0.0f, 1.0f, std::min(ex, ey) + 0.25f * FractalNoise(x / 40.0f, y / 40.0f, 0, 3, 0.5f, 0x10AD02));
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
        Paint(img, Polyline(hill, 2.5f), ink, int32_t(x) - 24, int32_t(y) - 18, int32_t(x) + 24, int32_t(y) + 6);
    }
    for (int32_t i = 0; i < 60; ++i) {
        const float x = rnd.Range(700.0f, 900.0f), y = rnd.Range(120.0f, 330.0f);
        Paint(img, Outline(Circle(x, y, 8), 2.0f), ink, int32_t(x) - 12, int32_t(y) - 12, int32_t(x) + 12, int32_t(y) + 18);
        Paint(img, Segment(x, y + 8, x, y + 14, 2.0f), ink, int32_t(x) - 4, int32_t(y) + 4, int32_t(x) + 4, int32_t(y) + 18);
    }
    // Two armies and their advance.
    for (int32_t i = 0; i < 3; ++i) {
        Paint(img, Box(800.0f + 30 * i, 500, 824.0f + 30 * i, 516), Rgb(0.2f, 0.45f, 0.2f, 0.85f), 790, 490, 900, 526);
        Paint(img, Box(180.0f + 30 * i, 620, 204.0f + 30 * i, 636), Rgb(0.6f, 0.12f, 0.1f, 0.85f), 170, 610, 280, 646);
        Paint(img, Box(180.0f + 30 * i, 120, 204.0f + 30 * i, 136), Rgb(0.15f, 0.2f, 0.55f, 0.85f), 170, 110, 280, 146);
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
TImage MakeSplash()
{
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

// ---------------------------------------------------------------------------------------------

bool WriteTexture(const std::string& outDir, const std::string& name, const TImage& image)
{
    return WriteTGA(DataPath(outDir, "Textures/" + name + ".tga"), image);
}

bool GenerateTextures(const std::string& outDir)
{
    bool ok = WriteTexture(outDir, "TileSet", MakeTileSet());
    ok = ok && WriteTexture(outDir, "Clouds", MakeClouds());
    ok = ok && WriteTexture(outDir, "CurvedRing", MakeRing(true));
    ok = ok && WriteTexture(outDir, "FlatRing", MakeRing(false));
    return ok;
}

bool GenerateCursors(const std::string& outDir)
{
    for (const char* name : {"Stop", "Cursor", "Nature", "Water", "Grass", "Attack", "Defence", "Move"})
        if (!WriteTGA(DataPath(outDir, std::string("Cursors/") + name + ".tga"), MakeCursor(name)))
            return false;
    return true;
}

bool GenerateHud(const std::string& outDir)
{
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

bool GenerateScreens(const std::string& outDir)
{
    bool ok = WriteTexture(outDir, "Title", MakeTitle());
    ok = ok && WriteTexture(outDir, "Loading", MakeLoading());
    ok = ok && WriteTexture(outDir, "Splash", MakeSplash());
    return ok;
}

const DataGenerator texturesGenerator(10, "textures", GenerateTextures);
const DataGenerator cursorsGenerator(11, "cursors", GenerateCursors);
const DataGenerator hudGenerator(12, "hud", GenerateHud);
const DataGenerator screensGenerator(13, "screens", GenerateScreens);

}  // namespace

}  // namespace gen
