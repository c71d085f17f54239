// Helpers the data generators share; see gen_common.h.

#include "gen_common.h"

#include "DataTool.h"
#include "app/e_ByteReader.h"
#include "resources/_TGA2.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <numbers>
#include <stdexcept>

namespace gen {

// ---------------------------------------------------------------------------------------------
// Random numbers

uint32_t TGenRandom::Next() {
    State += 0x9E3779B97F4A7C15ull;
    uint64_t z = State;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<uint32_t>((z ^ (z >> 31)) >> 32);
}

float TGenRandom::Float() { return static_cast<float>(Next() >> 8) * (1.0f / 16777216.0f); }

int32_t TGenRandom::Int(int32_t bound) {
    if (bound <= 0)
        return 0;
    return static_cast<int32_t>((static_cast<uint64_t>(Next()) * static_cast<uint64_t>(bound)) >> 32);
}

uint32_t Hash(int32_t a, int32_t b, uint32_t seed) {
    uint32_t h = seed * 0x9E3779B1u + 0x7F4A7C15u;
    h ^= static_cast<uint32_t>(a) * 0x85EBCA6Bu;
    h = (h << 13) | (h >> 19);
    h ^= static_cast<uint32_t>(b) * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

float HashFloat(int32_t a, int32_t b, uint32_t seed) {
    return static_cast<float>(Hash(a, b, seed) >> 8) * (1.0f / 16777216.0f);
}

// ---------------------------------------------------------------------------------------------
// Noise

namespace {

int32_t Wrap(int32_t i, int32_t period) {
    if (period <= 0)
        return i;
    i %= period;
    return i < 0 ? i + period : i;
}

float Fade(float t) { return t * t * t * (t * (t * 6.0f - 15.0f) + 10.0f); }

}  // namespace

float ValueNoise(float x, float y, int32_t periodX, int32_t periodY, uint32_t seed) {
    const float fx0 = std::floor(x), fy0 = std::floor(y);
    const int32_t ix = static_cast<int32_t>(fx0), iy = static_cast<int32_t>(fy0);
    const float tx = Fade(x - fx0), ty = Fade(y - fy0);
    const int32_t x0 = Wrap(ix, periodX), x1 = Wrap(ix + 1, periodX);
    const int32_t y0 = Wrap(iy, periodY), y1 = Wrap(iy + 1, periodY);
    const float v00 = HashFloat(x0, y0, seed), v10 = HashFloat(x1, y0, seed);
    const float v01 = HashFloat(x0, y1, seed), v11 = HashFloat(x1, y1, seed);
    const float a = v00 + (v10 - v00) * tx;
    const float b = v01 + (v11 - v01) * tx;
    return a + (b - a) * ty;
}

float FractalNoise(float x, float y, int32_t period, int32_t octaves, float gain, uint32_t seed) {
    float sum = 0.0f, weight = 1.0f, total = 0.0f, freq = 1.0f;
    for (int32_t k = 0; k < octaves; ++k) {
        const int32_t p = period > 0 ? period << k : 0;
        sum += weight * ValueNoise(x * freq, y * freq, p, p, seed + 1013u * static_cast<uint32_t>(k));
        total += weight;
        weight *= gain;
        freq *= 2.0f;
    }
    return total > 0.0f ? sum / total : 0.0f;
}

// ---------------------------------------------------------------------------------------------
// Colours and images

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

float SmoothStep(float edge0, float edge1, float x) {
    const float t = Clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

TColour Mix(const TColour& a, const TColour& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

TColour Scale(const TColour& c, float k) { return {c.r * k, c.g * k, c.b * k, c.a}; }

namespace {

uint8_t ToByte(float v) { return static_cast<uint8_t>(std::lround(Clamp01(v) * 255.0f)); }

}  // namespace

TImage::TImage(int32_t width, int32_t height, int32_t channels)
    : Width(width),
      Height(height),
      Channels(channels),
      Pixels(static_cast<size_t>(width) * static_cast<size_t>(height) * static_cast<size_t>(channels), 0) {
    if (width <= 0 || height <= 0 || (channels != 1 && channels != 3 && channels != 4))
        throw std::invalid_argument("gen::TImage: bad size or channel count");
}

TColour TImage::Get(int32_t x, int32_t y) const {
    const uint8_t* p = &Pixels[(static_cast<size_t>(y) * Width + x) * Channels];
    if (Channels == 1)
        return {p[0] / 255.0f, p[0] / 255.0f, p[0] / 255.0f, 1.0f};
    return {p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, Channels == 4 ? p[3] / 255.0f : 1.0f};
}

void TImage::Set(int32_t x, int32_t y, const TColour& c) {
    if (!Inside(x, y))
        return;
    uint8_t* p = &Pixels[(static_cast<size_t>(y) * Width + x) * Channels];
    if (Channels == 1) {
        p[0] = ToByte((c.r + c.g + c.b) / 3.0f);
        return;
    }
    p[0] = ToByte(c.r);
    p[1] = ToByte(c.g);
    p[2] = ToByte(c.b);
    if (Channels == 4)
        p[3] = ToByte(c.a);
}

void TImage::Blend(int32_t x, int32_t y, const TColour& c, float coverage) {
    if (!Inside(x, y))
        return;
    const float sa = Clamp01(c.a * coverage);
    if (sa <= 0.0f)
        return;
    const TColour d = Get(x, y);
    if (Channels != 4) {
        Set(x, y, Mix(d, c, sa));
        return;
    }
    const float outA = sa + d.a * (1.0f - sa);
    if (outA <= 0.0f) {
        Set(x, y, {0, 0, 0, 0});
        return;
    }
    auto ch = [&](float s, float dd) { return (s * sa + dd * d.a * (1.0f - sa)) / outA; };
    Set(x, y, {ch(c.r, d.r), ch(c.g, d.g), ch(c.b, d.b), outA});
}

void TImage::Fill(const TColour& c) {
    for (int32_t y = 0; y < Height; ++y)
        for (int32_t x = 0; x < Width; ++x)
            Set(x, y, c);
}

void TImage::Paste(const TImage& src, int32_t x, int32_t y) {
    for (int32_t sy = 0; sy < src.Height; ++sy)
        for (int32_t sx = 0; sx < src.Width; ++sx)
            if (Inside(x + sx, y + sy))
                Set(x + sx, y + sy, src.Get(sx, sy));
}

// ---------------------------------------------------------------------------------------------
// Drawing

namespace {

void ClipBox(const TImage& image, int32_t& x0, int32_t& y0, int32_t& x1, int32_t& y1) {
    if (x1 <= x0 || y1 <= y0) {
        x0 = y0 = 0;
        x1 = image.Width;
        y1 = image.Height;
    }
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, image.Width);
    y1 = std::min(y1, image.Height);
}

float SegmentDistance(float px, float py, float ax, float ay, float bx, float by) {
    const float dx = bx - ax, dy = by - ay;
    const float len2 = dx * dx + dy * dy;
    float t = len2 > 0.0f ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0.0f;
    t = std::clamp(t, 0.0f, 1.0f);
    const float ex = px - (ax + t * dx), ey = py - (ay + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

}  // namespace

void PaintWith(TImage& image, const TShape& shape, const std::function<TColour(float x, float y)>& colour,
               int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
    ClipBox(image, x0, y0, x1, y1);
    for (int32_t y = y0; y < y1; ++y)
        for (int32_t x = x0; x < x1; ++x) {
            const float cx = x + 0.5f, cy = y + 0.5f;
            const float coverage = Clamp01(0.5f - shape(cx, cy));
            if (coverage > 0.0f)
                image.Blend(x, y, colour(cx, cy), coverage);
        }
}

void Paint(TImage& image, const TShape& shape, const TColour& colour, int32_t x0, int32_t y0, int32_t x1,
           int32_t y1) {
    PaintWith(
        image, shape, [&](float, float) { return colour; }, x0, y0, x1, y1);
}

void PaintHard(TImage& image, const TShape& shape, const TColour& colour) {
    for (int32_t y = 0; y < image.Height; ++y)
        for (int32_t x = 0; x < image.Width; ++x)
            if (shape(x + 0.5f, y + 0.5f) <= 0.0f)
                image.Set(x, y, colour);
}

TShape Circle(float cx, float cy, float r) {
    return [=](float x, float y) { return std::hypot(x - cx, y - cy) - r; };
}

TShape Box(float x0, float y0, float x1, float y1, float cornerRadius) {
    const float cx = (x0 + x1) * 0.5f, cy = (y0 + y1) * 0.5f;
    const float hx = (x1 - x0) * 0.5f - cornerRadius, hy = (y1 - y0) * 0.5f - cornerRadius;
    return [=](float x, float y) {
        const float qx = std::abs(x - cx) - hx, qy = std::abs(y - cy) - hy;
        const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
        return outside + std::min(std::max(qx, qy), 0.0f) - cornerRadius;
    };
}

TShape Segment(float x0, float y0, float x1, float y1, float width) {
    return [=](float x, float y) { return SegmentDistance(x, y, x0, y0, x1, y1) - width * 0.5f; };
}

TShape Polygon(std::vector<TPoint> points) {
    return [points = std::move(points)](float x, float y) {
        float d = 1e30f;
        bool inside = false;
        const size_t n = points.size();
        for (size_t i = 0, j = n - 1; i < n; j = i++) {
            const TPoint& a = points[i];
            const TPoint& b = points[j];
            d = std::min(d, SegmentDistance(x, y, a.x, a.y, b.x, b.y));
            if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x)
                inside = !inside;
        }
        return inside ? -d : d;
    };
}

TShape Polyline(std::vector<TPoint> points, float width) {
    return [points = std::move(points), width](float x, float y) {
        float d = 1e30f;
        for (size_t i = 1; i < points.size(); ++i)
            d = std::min(d,
                         SegmentDistance(x, y, points[i - 1].x, points[i - 1].y, points[i].x, points[i].y));
        if (points.size() == 1)
            d = std::hypot(x - points[0].x, y - points[0].y);
        return d - width * 0.5f;
    };
}

TShape Outline(TShape shape, float width) {
    return
        [shape = std::move(shape), width](float x, float y) { return std::abs(shape(x, y)) - width * 0.5f; };
}

TShape Union(TShape a, TShape b) {
    return [a = std::move(a), b = std::move(b)](float x, float y) { return std::min(a(x, y), b(x, y)); };
}

TShape Subtract(TShape a, TShape b) {
    return [a = std::move(a), b = std::move(b)](float x, float y) { return std::max(a(x, y), -b(x, y)); };
}

TShape Intersect(TShape a, TShape b) {
    return [a = std::move(a), b = std::move(b)](float x, float y) { return std::max(a(x, y), b(x, y)); };
}

TShape Offset(TShape shape, float dx, float dy) {
    return [shape = std::move(shape), dx, dy](float x, float y) { return shape(x - dx, y - dy); };
}

// ---------------------------------------------------------------------------------------------
// Stroke font. Glyph units: capital height 1, baseline 0, y upwards; small letters are 0.68 high.

namespace {

using TStroke = std::vector<TPoint>;

struct TGlyph {
    float Width = 0.0f;
    std::vector<TStroke> Strokes;
};

// Points of an elliptic arc from angle a0 to a1 (degrees, counter-clockwise positive).
TStroke Arc(float cx, float cy, float rx, float ry, float a0, float a1) {
    TStroke s;
    const int32_t steps = std::max(4, static_cast<int32_t>(std::abs(a1 - a0) / 10.0f));
    for (int32_t i = 0; i <= steps; ++i) {
        const float a = (a0 + (a1 - a0) * i / steps) * std::numbers::pi_v<float> / 180.0f;
        s.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return s;
}

TStroke Join(TStroke a, const TStroke& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TStroke Dot(float x, float y) { return {{x, y}, {x, y + 0.01f}}; }

const std::map<char, TGlyph>& Font() {
    static const std::map<char, TGlyph> font = [] {
        std::map<char, TGlyph> f;
        auto add = [&](char c, std::vector<TStroke> strokes) {
            float w = 0.0f;
            for (const auto& s : strokes)
                for (const auto& p : s)
                    w = std::max(w, p.x);
            f[c] = {w, std::move(strokes)};
        };
        // Capitals
        add('A', {{{0, 0}, {0.4f, 1}, {0.8f, 0}}, {{0.15f, 0.35f}, {0.65f, 0.35f}}});
        add('B', {Join({{0, 0.54f}, {0, 1}, {0.42f, 1}},
                       Join(Arc(0.42f, 0.77f, 0.23f, 0.23f, 90, -90), {{0, 0.54f}})),
                  Join({{0, 0.54f}, {0, 0}, {0.46f, 0}},
                       Join(Arc(0.46f, 0.27f, 0.25f, 0.27f, -90, 90), {{0, 0.54f}}))});
        add('C', {Arc(0.46f, 0.5f, 0.46f, 0.5f, 45, 315)});
        add('D', {Join({{0.3f, 0}, {0, 0}, {0, 1}, {0.3f, 1}}, Arc(0.3f, 0.5f, 0.45f, 0.5f, 90, -90))});
        add('E', {{{0.62f, 1}, {0, 1}, {0, 0}, {0.62f, 0}}, {{0, 0.52f}, {0.5f, 0.52f}}});
        add('F', {{{0.62f, 1}, {0, 1}, {0, 0}}, {{0, 0.52f}, {0.5f, 0.52f}}});
        add('G', {Join(Arc(0.46f, 0.5f, 0.46f, 0.5f, 40, 360), {{0.52f, 0.5f}})});
        add('H', {{{0, 0}, {0, 1}}, {{0.7f, 0}, {0.7f, 1}}, {{0, 0.52f}, {0.7f, 0.52f}}});
        add('I', {{{0, 0}, {0, 1}}});
        add('J', {Join({{0.5f, 1}}, Arc(0.25f, 0.25f, 0.25f, 0.25f, 0, -180))});
        add('K', {{{0, 0}, {0, 1}}, {{0.65f, 1}, {0, 0.4f}}, {{0.2f, 0.58f}, {0.68f, 0}}});
        add('L', {{{0, 1}, {0, 0}, {0.6f, 0}}});
        add('M', {{{0, 0}, {0, 1}, {0.45f, 0.3f}, {0.9f, 1}, {0.9f, 0}}});
        add('N', {{{0, 0}, {0, 1}, {0.75f, 0}, {0.75f, 1}}});
        add('O', {Arc(0.48f, 0.5f, 0.48f, 0.5f, 0, 360)});
        add('P', {Join({{0, 0}, {0, 1}, {0.42f, 1}},
                       Join(Arc(0.42f, 0.74f, 0.26f, 0.26f, 90, -90), {{0, 0.48f}}))});
        add('Q', {Arc(0.48f, 0.5f, 0.48f, 0.5f, 0, 360), {{0.55f, 0.25f}, {0.95f, -0.05f}}});
        add('R',
            {Join({{0, 0}, {0, 1}, {0.42f, 1}}, Join(Arc(0.42f, 0.74f, 0.26f, 0.26f, 90, -90), {{0, 0.48f}})),
             {{0.35f, 0.48f}, {0.7f, 0}}});
        add('S', {Join(Arc(0.34f, 0.75f, 0.32f, 0.25f, 20, 270), Arc(0.34f, 0.25f, 0.34f, 0.25f, 90, -160))});
        add('T', {{{0, 1}, {0.8f, 1}}, {{0.4f, 1}, {0.4f, 0}}});
        add('U', {Join({{0, 1}}, Join(Arc(0.35f, 0.3f, 0.35f, 0.3f, 180, 360), {{0.7f, 1}}))});
        add('V', {{{0, 1}, {0.4f, 0}, {0.8f, 1}}});
        add('W', {{{0, 1}, {0.25f, 0}, {0.5f, 0.7f}, {0.75f, 0}, {1, 1}}});
        add('X', {{{0, 0}, {0.7f, 1}}, {{0, 1}, {0.7f, 0}}});
        add('Y', {{{0, 1}, {0.4f, 0.5f}, {0.8f, 1}}, {{0.4f, 0.5f}, {0.4f, 0}}});
        add('Z', {{{0, 1}, {0.7f, 1}, {0, 0}, {0.7f, 0}}});
        // Small letters
        add('a', {Arc(0.3f, 0.32f, 0.3f, 0.32f, 0, 360), {{0.6f, 0.68f}, {0.6f, 0}}});
        add('b', {{{0, 1}, {0, 0}}, Arc(0.3f, 0.34f, 0.3f, 0.34f, 0, 360)});
        add('c', {Arc(0.32f, 0.34f, 0.32f, 0.34f, 40, 320)});
        add('d', {Arc(0.3f, 0.34f, 0.3f, 0.34f, 0, 360), {{0.6f, 1}, {0.6f, 0}}});
        add('e', {Join({{0, 0.34f}}, Arc(0.31f, 0.34f, 0.31f, 0.34f, 0, 320))});
        add('f', {Join(Arc(0.4f, 0.82f, 0.2f, 0.18f, 30, 180), {{0.2f, 0}}), {{0, 0.66f}, {0.42f, 0.66f}}});
        add('g', {Arc(0.3f, 0.36f, 0.3f, 0.32f, 0, 360),
                  Join({{0.6f, 0.68f}}, Arc(0.3f, -0.08f, 0.3f, 0.22f, 0, -160))});
        add('h', {{{0, 1}, {0, 0}}, Join(Arc(0.29f, 0.4f, 0.29f, 0.28f, 180, 0), {{0.58f, 0}})});
        add('i', {{{0, 0}, {0, 0.68f}}, Dot(0, 0.92f)});
        add('j', {Join({{0.2f, 0.68f}}, Arc(0, -0.1f, 0.2f, 0.2f, 0, -150)), Dot(0.2f, 0.92f)});
        add('k', {{{0, 1}, {0, 0}}, {{0.5f, 0.68f}, {0, 0.26f}}, {{0.18f, 0.4f}, {0.55f, 0}}});
        add('l', {{{0, 1}, {0, 0}}});
        add('m', {{{0, 0}, {0, 0.68f}},
                  Join(Arc(0.22f, 0.45f, 0.22f, 0.23f, 180, 0), {{0.44f, 0}}),
                  Join(Arc(0.66f, 0.45f, 0.22f, 0.23f, 180, 0), {{0.88f, 0}})});
        add('n', {{{0, 0}, {0, 0.68f}}, Join(Arc(0.29f, 0.4f, 0.29f, 0.28f, 180, 0), {{0.58f, 0}})});
        add('o', {Arc(0.32f, 0.34f, 0.32f, 0.34f, 0, 360)});
        add('p', {{{0, 0.68f}, {0, -0.3f}}, Arc(0.3f, 0.34f, 0.3f, 0.34f, 0, 360)});
        add('q', {Arc(0.3f, 0.34f, 0.3f, 0.34f, 0, 360), {{0.6f, 0.68f}, {0.6f, -0.3f}}});
        add('r', {{{0, 0}, {0, 0.68f}}, Arc(0.3f, 0.4f, 0.3f, 0.28f, 180, 60)});
        add('s', {Join(Arc(0.25f, 0.51f, 0.23f, 0.17f, 20, 270), Arc(0.25f, 0.17f, 0.26f, 0.17f, 90, -160))});
        add('t', {{{0.18f, 0.95f}, {0.18f, 0.1f}, {0.26f, 0}, {0.4f, 0}}, {{0, 0.66f}, {0.42f, 0.66f}}});
        add('u', {Join({{0, 0.68f}}, Arc(0.29f, 0.3f, 0.29f, 0.3f, 180, 360)), {{0.58f, 0.68f}, {0.58f, 0}}});
        add('v', {{{0, 0.68f}, {0.3f, 0}, {0.6f, 0.68f}}});
        add('w', {{{0, 0.68f}, {0.2f, 0}, {0.42f, 0.5f}, {0.64f, 0}, {0.84f, 0.68f}}});
        add('x', {{{0, 0}, {0.55f, 0.68f}}, {{0, 0.68f}, {0.55f, 0}}});
        add('y', {{{0, 0.68f}, {0.3f, 0}}, {{0.6f, 0.68f}, {0.15f, -0.3f}}});
        add('z', {{{0, 0.68f}, {0.55f, 0.68f}, {0, 0}, {0.55f, 0}}});
        // Digits and marks
        add('0', {Arc(0.32f, 0.5f, 0.32f, 0.5f, 0, 360)});
        add('1', {{{0.05f, 0.8f}, {0.3f, 1}, {0.3f, 0}}});
        add('2', {Join(Arc(0.3f, 0.72f, 0.3f, 0.28f, 160, -40), {{0, 0}, {0.62f, 0}})});
        add('3', {Join(Arc(0.3f, 0.75f, 0.3f, 0.25f, 160, -90), Arc(0.3f, 0.27f, 0.32f, 0.27f, 90, -160))});
        add('4', {{{0.5f, 0}, {0.5f, 1}, {0, 0.3f}, {0.7f, 0.3f}}});
        add('5', {Join({{0.6f, 1}, {0.08f, 1}, {0.05f, 0.58f}}, Arc(0.3f, 0.33f, 0.33f, 0.33f, 130, -150))});
        add('6', {Arc(0.32f, 0.3f, 0.3f, 0.3f, 0, 360), {{0.03f, 0.3f}, {0.15f, 0.7f}, {0.5f, 1}}});
        add('7', {{{0, 1}, {0.65f, 1}, {0.2f, 0}}});
        add('8', {Arc(0.32f, 0.76f, 0.26f, 0.24f, 0, 360), Arc(0.32f, 0.27f, 0.32f, 0.27f, 0, 360)});
        add('9', {Arc(0.3f, 0.7f, 0.3f, 0.3f, 0, 360), {{0.6f, 0.7f}, {0.45f, 0}}});
        add('.', {Dot(0, 0)});
        add(',', {{{0.05f, 0.02f}, {-0.05f, -0.15f}}});
        add('-', {{{0, 0.4f}, {0.4f, 0.4f}}});
        add(':', {Dot(0, 0.1f), Dot(0, 0.55f)});
        add('!', {{{0, 1}, {0, 0.3f}}, Dot(0, 0)});
        return f;
    }();
    return font;
}

constexpr float GlyphGap = 0.28f;
constexpr float SpaceWidth = 0.45f;

const TGlyph& GlyphOf(char c) {
    auto it = Font().find(c);
    if (it == Font().end())
        throw std::invalid_argument(std::string("gen::Text: the stroke font has no '") + c + "'");
    return it->second;
}

}  // namespace

float TextWidth(const std::string& text, float size) {
    float w = 0.0f;
    for (size_t i = 0; i < text.size(); ++i) {
        w += text[i] == ' ' ? SpaceWidth : GlyphOf(text[i]).Width;
        if (i + 1 < text.size())
            w += GlyphGap;
    }
    return w * size;
}

TShape Text(const std::string& text, float x, float y, float size, float strokeWidth) {
    struct TSeg {
        float ax, ay, bx, by;
    };
    // Segments grouped by glyph with the glyph's box, so that far glyphs are skipped.
    struct TPlaced {
        float x0 = 1e30f, y0 = 1e30f, x1 = -1e30f, y1 = -1e30f;
        std::vector<TSeg> Segs;
    };
    std::vector<TPlaced> glyphs;
    float pen = 0.0f;
    for (char c : text) {
        if (c == ' ') {
            pen += SpaceWidth + GlyphGap;
            continue;
        }
        const TGlyph& g = GlyphOf(c);
        TPlaced placed;
        for (const TStroke& s : g.Strokes)
            for (size_t i = 0; i < s.size(); ++i) {
                const float px = x + (pen + s[i].x) * size, py = y - s[i].y * size;
                placed.x0 = std::min(placed.x0, px);
                placed.y0 = std::min(placed.y0, py);
                placed.x1 = std::max(placed.x1, px);
                placed.y1 = std::max(placed.y1, py);
                if (i > 0)
                    placed.Segs.push_back({x + (pen + s[i - 1].x) * size, y - s[i - 1].y * size, px, py});
            }
        glyphs.push_back(std::move(placed));
        pen += g.Width + GlyphGap;
    }
    return [glyphs = std::move(glyphs), strokeWidth](float px, float py) {
        float d = 1e30f;
        for (const TPlaced& g : glyphs) {
            const float bx = std::max({g.x0 - px, 0.0f, px - g.x1}),
                        by = std::max({g.y0 - py, 0.0f, py - g.y1});
            if (bx * bx + by * by >= d * d)
                continue;
            for (const TSeg& s : g.Segs)
                d = std::min(d, SegmentDistance(px, py, s.ax, s.ay, s.bx, s.by));
        }
        return d - strokeWidth * 0.5f;
    };
}

// ---------------------------------------------------------------------------------------------
// Files

std::vector<uint8_t> EncodeTGA(const TImage& image) {
    std::vector<uint8_t> out(18, 0);
    out[2] = image.Channels == 1 ? 3 : 2;
    StoreLE16(&out[12], static_cast<uint16_t>(image.Width));
    StoreLE16(&out[14], static_cast<uint16_t>(image.Height));
    out[16] = static_cast<uint8_t>(image.Channels * 8);
    out[17] = image.Channels == 4 ? 8 : 0;  // alpha bits; rows bottom-up, columns left to right
    out.reserve(out.size() + image.Pixels.size());
    for (int32_t y = image.Height - 1; y >= 0; --y) {
        const uint8_t* row = &image.Pixels[static_cast<size_t>(y) * image.Width * image.Channels];
        for (int32_t x = 0; x < image.Width; ++x) {
            const uint8_t* p = row + static_cast<size_t>(x) * image.Channels;
            if (image.Channels == 1) {
                out.push_back(p[0]);
            } else {
                out.push_back(p[2]);  // blue, green, red[, alpha]
                out.push_back(p[1]);
                out.push_back(p[0]);
                if (image.Channels == 4)
                    out.push_back(p[3]);
            }
        }
    }
    return out;
}

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void PutBE32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    PutBE32(out, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    PutBE32(out, Crc32(body.data(), body.size()));
}

}  // namespace

std::vector<uint8_t> EncodePNG(const TImage& image) {
    // Filter byte 0 before every row, rows top first.
    std::vector<uint8_t> raw;
    const size_t stride = static_cast<size_t>(image.Width) * image.Channels;
    for (int32_t y = 0; y < image.Height; ++y) {
        raw.push_back(0);
        raw.insert(raw.end(), image.Pixels.begin() + y * stride, image.Pixels.begin() + (y + 1) * stride);
    }
    // zlib stream of stored blocks.
    std::vector<uint8_t> z{0x78, 0x01};
    size_t pos = 0;
    do {
        const size_t n = std::min<size_t>(65535, raw.size() - pos);
        z.push_back(pos + n == raw.size() ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n & 0xFF));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n & 0xFF));
        z.push_back(static_cast<uint8_t>((~n >> 8) & 0xFF));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        b = (b + a) % 65521;
    }
    PutBE32(z, (b << 16) | a);

    std::vector<uint8_t> out{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> ihdr;
    PutBE32(ihdr, static_cast<uint32_t>(image.Width));
    PutBE32(ihdr, static_cast<uint32_t>(image.Height));
    ihdr.push_back(8);
    ihdr.push_back(image.Channels == 1 ? 0 : (image.Channels == 3 ? 2 : 6));
    ihdr.push_back(0);
    ihdr.push_back(0);
    ihdr.push_back(0);
    PutChunk(out, "IHDR", ihdr);
    PutChunk(out, "IDAT", z);
    PutChunk(out, "IEND", {});
    return out;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::error_code ec;
    const std::filesystem::path p(path);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out)
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::cerr << "mygame-data: cannot write " << path << "\n";
        return false;
    }
    return true;
}

bool WriteTGA(const std::string& path, const TImage& image) { return WriteFileBytes(path, EncodeTGA(image)); }

std::string DataPath(const std::string& outDir, const std::string& relative) {
    std::string dir = outDir;
    if (!dir.empty() && dir.back() != '/')
        dir += '/';
    return dir + "Data/" + relative;
}

// ---------------------------------------------------------------------------------------------
// `mygame-data png IN OUT [ZOOM]`: a texture as the game decodes it, as a PNG to look at.

namespace {

int RunPng(const std::vector<std::string>& args) {
    if (args.size() < 2 || args.size() > 3) {
        std::cerr << "mygame-data png: give the texture, the PNG to write and optionally a zoom factor\n";
        return 2;
    }
    std::string error;
    auto stream = LoadTGATexture(args[0], &error);
    if (!stream) {
        std::cerr << "mygame-data png: " << args[0] << ": " << error << "\n";
        return 1;
    }
    TStoredTextureData data;
    stream->Seek(0);
    data.Format = stream->ReadUInt32();
    data.Width = stream->ReadUInt16();
    data.Height = stream->ReadUInt16();
    const int32_t n = stream->ReadInt32();
    data.Pixels.resize(static_cast<size_t>(n));
    stream->ReadBuffer(data.Pixels.data(), data.Pixels.size());
    const int32_t channels = TextureFormatBytes(data.Format);
    const int32_t zoom = args.size() == 3 ? std::clamp(std::atoi(args[2].c_str()), 1, 16) : 1;
    if (channels == 0 || data.Width == 0 || data.Height == 0) {
        std::cerr << "mygame-data png: " << args[0] << ": nothing to show\n";
        return 1;
    }
    TImage image(data.Width * zoom, data.Height * zoom, channels);
    for (int32_t y = 0; y < image.Height; ++y)
        for (int32_t x = 0; x < image.Width; ++x) {
            // The texture's first row is the bottom one; the PNG's the top one.
            const size_t src =
                (static_cast<size_t>(data.Height - 1 - y / zoom) * data.Width + x / zoom) * channels;
            std::copy_n(&data.Pixels[src], channels,
                        &image.Pixels[(static_cast<size_t>(y) * image.Width + x) * channels]);
        }
    // Transparency shown over a grey checkerboard, as picture editors do.
    if (channels == 4) {
        TImage flat(image.Width, image.Height, 3);
        for (int32_t y = 0; y < image.Height; ++y)
            for (int32_t x = 0; x < image.Width; ++x) {
                const float check = ((x / 8 + y / 8) % 2) ? 0.75f : 0.55f;
                flat.Set(x, y, Rgb(check, check, check));
                flat.Blend(x, y, image.Get(x, y), 1.0f);
            }
        image = std::move(flat);
    }
    return WriteFileBytes(args[1], EncodePNG(image)) ? 0 : 1;
}

const DataCommand pngCommand("png", "png TGA PNG [ZOOM]  write a texture as the game reads it to a PNG file",
                             RunPng);

}  // namespace

}  // namespace gen
