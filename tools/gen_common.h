#pragma once
// Helpers the data generators share: a seeded random generator, images with anti-aliased
// drawing, a TGA and a PNG writer, tileable value noise and file output.
//
// Everything here is deterministic: the same calls give the same bytes on every run, so the
// game's data is rebuilt identically by every build.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gen {

// ---------------------------------------------------------------------------------------------
// Random numbers

// A small 64-bit generator (SplitMix64). The standard library's distributions are not used: their
// output differs between library versions.
class TGenRandom {
public:
    explicit TGenRandom(uint64_t seed) : State(seed) {}
    uint32_t Next();
    // Uniform in [0, 1), 24 bits.
    float Float();
    float Range(float lo, float hi) { return lo + (hi - lo) * Float(); }
    // Uniform in [0, bound); 0 when bound <= 0.
    int32_t Int(int32_t bound);

private:
    uint64_t State;
};

// A well-mixed 32-bit hash of a few integers: the lattice values of the noise, per-tile choices.
uint32_t Hash(int32_t a, int32_t b, uint32_t seed);
// Hash(a, b, seed) mapped to [0, 1).
float HashFloat(int32_t a, int32_t b, uint32_t seed);

// ---------------------------------------------------------------------------------------------
// Noise

// Smooth value noise at (x, y) in lattice units. The lattice repeats every periodX by periodY
// cells, so the noise tiles; a period of 0 or less means no repetition. Result in [0, 1].
float ValueNoise(float x, float y, int32_t periodX, int32_t periodY, uint32_t seed);
// Octaves of value noise, each of twice the frequency (and period) and `gain` times the weight of
// the previous one, normalised back to [0, 1].
float FractalNoise(float x, float y, int32_t period, int32_t octaves, float gain, uint32_t seed);

// ---------------------------------------------------------------------------------------------
// Colours and images

struct TColour {
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 1.0f;
};

inline TColour Rgb(float r, float g, float b, float a = 1.0f) { return {r, g, b, a}; }
// From 0..255 components.
inline TColour Rgb8(int r, int g, int b, int a = 255) {
    return {r / 255.0f, g / 255.0f, b / 255.0f, a / 255.0f};
}
TColour Mix(const TColour& a, const TColour& b, float t);
TColour Scale(const TColour& c, float k);  // rgb only
float Clamp01(float v);
float SmoothStep(float edge0, float edge1, float x);

// A picture held top row first (y grows downwards, as the drawing code thinks); the TGA writer
// stores it bottom-up as the game expects. Channels: 1 (grey), 3 (RGB) or 4 (RGBA).
class TImage {
public:
    TImage() = default;
    TImage(int32_t width, int32_t height, int32_t channels);

    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Channels = 0;
    std::vector<uint8_t> Pixels;  // row by row from the top, components R, G, B, A (or grey)

    bool Inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < Width && y < Height; }
    TColour Get(int32_t x, int32_t y) const;
    // Stores the colour (clamped to 0..1); a grey image keeps the mean of r, g, b.
    void Set(int32_t x, int32_t y, const TColour& c);
    // Paints c over the pixel with the given coverage, as source-over blending does.
    void Blend(int32_t x, int32_t y, const TColour& c, float coverage);
    void Fill(const TColour& c);
    // Copies `src` with its top-left corner at (x, y); parts outside are cut off.
    void Paste(const TImage& src, int32_t x, int32_t y);
};

// ---------------------------------------------------------------------------------------------
// Drawing: shapes are signed distance functions in pixel units (negative inside), painted with
// one pixel of anti-aliasing. Pixel (x, y) has its centre at (x + 0.5, y + 0.5).

struct TPoint {
    float x = 0.0f, y = 0.0f;
};

using TShape = std::function<float(float x, float y)>;

// Paints the shape in colour over the pixels of the box [x0, x1) x [y0, y1) (whole image when
// the box is empty). Only the box is visited, so give a box for small shapes on big images.
void Paint(TImage& image, const TShape& shape, const TColour& colour, int32_t x0 = 0, int32_t y0 = 0,
           int32_t x1 = 0, int32_t y1 = 0);
// Paints the shape with a colour that depends on the position (gradients, textures).
void PaintWith(TImage& image, const TShape& shape, const std::function<TColour(float x, float y)>& colour,
               int32_t x0 = 0, int32_t y0 = 0, int32_t x1 = 0, int32_t y1 = 0);
// The same with hard edges: a pixel is painted when its centre is inside (for alpha-tested art).
void PaintHard(TImage& image, const TShape& shape, const TColour& colour);

TShape Circle(float cx, float cy, float r);
TShape Box(float x0, float y0, float x1, float y1, float cornerRadius = 0.0f);
// A line of the given width with round ends.
TShape Segment(float x0, float y0, float x1, float y1, float width);
// A closed polygon (any winding, even-odd inside test).
TShape Polygon(std::vector<TPoint> points);
// An open polyline of the given width with round joints.
TShape Polyline(std::vector<TPoint> points, float width);
// The outline of a shape as a band of the given width centred on its edge.
TShape Outline(TShape shape, float width);
TShape Union(TShape a, TShape b);
TShape Subtract(TShape a, TShape b);
TShape Intersect(TShape a, TShape b);
// Moves a shape by (dx, dy).
TShape Offset(TShape shape, float dx, float dy);

// Text in a simple stroke font (capitals, small letters, digits, a few marks). `size` is the
// capital height in pixels; (x, y) the left end of the baseline. Throws std::invalid_argument
// for a character the font lacks, so that no picture silently misses a letter.
TShape Text(const std::string& text, float x, float y, float size, float strokeWidth);
// Width of the text in pixels at that size.
float TextWidth(const std::string& text, float size);

// ---------------------------------------------------------------------------------------------
// Files

// Uncompressed TGA, rows bottom-up (descriptor 0; 8 alpha bits for RGBA): type 3 for grey,
// type 2 for RGB and RGBA.
std::vector<uint8_t> EncodeTGA(const TImage& image);
// PNG (stored deflate blocks, no compression library needed), for looking at pictures.
std::vector<uint8_t> EncodePNG(const TImage& image);

// Writes the bytes, creating missing folders; false (with a message on stderr) on failure.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
bool WriteTGA(const std::string& path, const TImage& image);
// outDir + "/Data/" + relative.
std::string DataPath(const std::string& outDir, const std::string& relative);

}  // namespace gen
