// The terrain's pictures: the materials of the tile atlas and the atlas itself, the clouds
// reflected in the water and the two ring textures. The cursors, the HUD and the full-screen
// pictures have files of their own (gen_textures.h says which).

#include "gen_textures.h"
#include "gen_terrain.h"

#include "DataTool.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace gen {

using namespace pictures;

namespace {

// ---------------------------------------------------------------------------------------------
// Tile patterns. Tile pixel coordinates: u to the right, v upwards, both 0..60 and periodic.

float TileNoise(float u, float v, int32_t cells, int32_t octaves, float gain, uint32_t seed) {
    const float k = static_cast<float>(cells) / AtlasTile;
    return FractalNoise(u * k, v * k, cells, octaves, gain, seed);
}

// Noise stretched along u or v: cellsU and cellsV lattice cells per tile.
float StretchedNoise(float u, float v, int32_t cellsU, int32_t cellsV, uint32_t seed) {
    return ValueNoise(u * cellsU / AtlasTile, v * cellsV / AtlasTile, cellsU, cellsV, seed);
}

int32_t WrapInt(int32_t i, int32_t n) {
    i %= n;
    return i < 0 ? i + n : i;
}

// Scattered round dots on a periodic lattice: coverage 0..1 of the nearest dot; `tone` receives
// a random value of that dot.
float Dots(float u, float v, int32_t cells, float radius, float density, uint32_t seed,
           float* tone = nullptr) {
    const float cs = static_cast<float>(AtlasTile) / cells;
    const int32_t cx = static_cast<int32_t>(std::floor(u / cs)),
                  cy = static_cast<int32_t>(std::floor(v / cs));
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
TColour MaterialBase(int32_t m, float u, float v) {
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
void PaintDetails(TImage& tile, int32_t m, int32_t variant) {
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

TImage MaterialTile(int32_t material, int32_t variant) {
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

TColour MaterialAverage(int32_t material) {
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

float CornerMask(int32_t corners, float s, float t) {
    const float b1 = (corners & 1) ? 1.0f : 0.0f, b2 = (corners & 2) ? 1.0f : 0.0f;
    const float b4 = (corners & 4) ? 1.0f : 0.0f, b8 = (corners & 8) ? 1.0f : 0.0f;
    const float f = b1 * (1 - s) * (1 - t) + b2 * s * (1 - t) + b4 * (1 - s) * t + b8 * s * t;
    // A ragged boundary inside the tile; the wobble fades out towards the edges, where the
    // neighbouring tile must see the same value.
    const float wobble = 16.0f * s * (1 - s) * t * (1 - t);
    const float n =
        FractalNoise(s * 4.0f, t * 4.0f, 0, 3, 0.5f, 0xA11CEu + static_cast<uint32_t>(corners)) - 0.5f;
    return SmoothStep(0.2f, 0.8f, f + 0.55f * wobble * n);
}

namespace {

// Copies a 60 x 60 tile into atlas cell (col, row counted from the bottom), filling the border
// with the pixels of the opposite edges; `alpha` (when given) replaces the alpha from the tile
// position (s, t), clamped to the tile.
void PutCell(TImage& atlas, int32_t col, int32_t row, const TImage& tile,
             const std::function<float(float s, float t)>& alpha = nullptr) {
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

TImage MakeTileSet() {
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

TImage MakeClouds() {
    TImage img(256, 256, 1);
    for (int32_t y = 0; y < img.Height; ++y)
        for (int32_t x = 0; x < img.Width; ++x) {
            const float n = FractalNoise(x / 32.0f, y / 32.0f, 8, 5, 0.55f, 0xC10D5u);
            const float v = SmoothStep(0.2f, 0.8f, n);
            img.Set(x, y, Rgb(v, v, v));
        }
    return img;
}

TImage MakeRing(bool curved) {
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

bool GenerateTextures(const std::string& outDir) {
    bool ok = WriteTexture(outDir, "TileSet", MakeTileSet());
    ok = ok && WriteTexture(outDir, "Clouds", MakeClouds());
    ok = ok && WriteTexture(outDir, "CurvedRing", MakeRing(true));
    ok = ok && WriteTexture(outDir, "FlatRing", MakeRing(false));
    return ok;
}

const DataGenerator texturesGenerator(10, "textures", GenerateTextures);

}  // namespace

namespace pictures {

bool WriteTexture(const std::string& outDir, const std::string& name, const TImage& image) {
    return WriteTGA(DataPath(outDir, "Textures/" + name + ".tga"), image);
}

}  // namespace pictures

}  // namespace gen
