#pragma once
// The GUI's only drawing layer: lines, rectangles, polygons, textured quads,
// points and bitmap text in immediate-mode OpenGL over the finished 3D frame, in
// a resolution-independent space (x 0..1 left to right, y 0..1 bottom to top).
// Nothing else in gui/ calls GL: widgets, the HUD and the minimap draw through
// the canvas and the primitives at the end of this file.
//
// Fonts are matched through fontconfig and rasterised with FreeType into one
// display list per character code 0..254 (Windows-1252), once per (face,
// height, weight, italic). Measuring text needs no GL context.

#include "world/e_Math.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TColor4f {
    float R = 0.0f, G = 0.0f, B = 0.0f, A = 0.0f;
};

inline constexpr TColor4f clTransparent{0.0f, 0.0f, 0.0f, 0.0f};
inline constexpr TColor4f clWhite{1.0f, 1.0f, 1.0f, 1.0f};
inline constexpr TColor4f clGreen{0.0f, 1.0f, 0.0f, 1.0f};
inline constexpr TColor4f clYellow{1.0f, 1.0f, 0.0f, 1.0f};

struct TPointf {
    float X = 0.0f, Y = 0.0f;
};

struct TRectf {
    float Left = 0.0f, Bottom = 0.0f, Right = 0.0f, Top = 0.0f;
};

// What a font asks for; the face is resolved when the font is selected.
struct TLogFont {
    int32_t Height = -15;  // negative: character height in pixels
    int32_t Weight = 400;
    bool Italic = false;
    std::string FaceName = "Arial";
};

struct TGlyphFace;

class TFont {
public:
    TLogFont LogFont;
    int32_t Size = -15;  // always equal to LogFont.Height
    TColor4f Color;
    // Valid between SelectFont and ReleaseFont.
    TGlyphFace* Handle = nullptr;
};

class TPen {
public:
    int32_t Width = 1;
    TColor4f Color{1.0f, 1.0f, 1.0f, 1.0f};
};

class TBrush {
public:
    TColor4f Color{0.0f, 0.0f, 0.0f, 1.0f};
};

class TCanvas {
public:
    TFont Font;
    TPen Pen;
    TBrush Brush;

    void Line(float x1, float y1, float x2, float y2);
    void Rectangle(float x1, float y1, float x2, float y2);
    void Polygon(const std::vector<TPointf>& points);
    // Text clipped to the box whose top-left corner is (x, y).
    void TextRect(const std::string& text, float x, float y, float height, float width);
    // Text scaled to fill `width`, vertically centred on y.
    void TextFit(const std::string& text, float x, float y, float width);
    float TextWidth(const std::string& text, float height);
    // The font height TextFit draws with, and the text height at the last measurement.
    int32_t FitTextSize(const std::string& text, float x, float width, int32_t& cy);
};

// ---- module state and operations ----
extern int32_t ScreenWidth, ScreenHeight;
extern float ScreenAspect, InvScreenWidth, InvScreenHeight;

void SetCanvasSize(int32_t width, int32_t height);
void NormToPixel(float x, float y, int32_t& px, int32_t& py);
void PixelToNorm(float px, float py, float& x, float& y);
void Begin2D(int32_t width, int32_t height, double left, double right, double bottom, double top);
void BeginGUI();
void End2D();
inline void EndGUI() { End2D(); }

void SetFontName(TFont& font, const std::string& name);
void SetFontSize(TFont& font, int32_t value);
void SetFontColor(TFont& font, const TColor4f& color);
void SetPenColor(TPen& pen, const TColor4f& color);
void SetBrushColor(TBrush& brush, const TColor4f& color);
void SelectFont(TFont& font);
void ReleaseFont(TFont& font);

// The display-list base of the selected font; builds its lists on first use.
uint32_t FontListBase(const TFont& font);
void DrawString(const TFont& font, const std::string& text);
// Width and height in pixels of `text` in the selected font.
void GetTextExtent(const TFont& font, const std::string& text, int32_t& cx, int32_t& cy);
// Deletes every font's display lists (the renderer's shutdown).
void FreeFontLists();
// Distinct (face, height, weight, italic) entries built so far.
int FontCacheCount();

// Nearest integer, ties to even.
int32_t RoundEven(double v);

// ---- primitives (all need a GL context; coordinates in the current space) ----

// A corner of a line, point or triangle with its own colour.
struct TCanvasVertex {
    float X = 0.0f, Y = 0.0f;
    TColor4f Color;
};

// Blending (source alpha over what is there) for what follows; off again after.
void SetBlending(bool on);
// While on, texels with alpha at or below 0.4 are not drawn (cut-out pictures).
void SetAlphaCut(bool on);
// A filled rectangle, blended, untextured; corners in any order.
void FillRect(float x1, float y1, float x2, float y2, const TColor4f& color);
// A texture over a rectangle with the atlas cell (u1, v1)-(u2, v2), tinted, in
// whatever blending is set. A missing texture (-1, or one the registry could not
// load) draws nothing and gives false.
bool DrawTexturedQuad(int32_t texture, float x1, float y1, float x2, float y2, const TColor4f& tint,
                      float u1 = 0.0f, float v1 = 0.0f, float u2 = 1.0f, float v2 = 1.0f);
// A closed outline through the points, untextured, `width` pixels wide.
void DrawLineLoop(const std::vector<TPointf>& points, const TColor4f& color, float width);
// Separate lines, each from an even vertex to the next; `stipple` is the 16-bit
// dash pattern (0xFFFF: solid). The line width and stipple are reset afterwards.
void DrawLines(const std::vector<TCanvasVertex>& ends, float width, uint16_t stipple = 0xFFFF);
// Square points `size` pixels wide.
void DrawPoints(const std::vector<TCanvasVertex>& points, float size);
// Blended triangles from each three vertices, colours shaded across them.
void DrawTriangles(const std::vector<TCanvasVertex>& corners);
// Draws what follows through `matrix` (after the current space) until PopTransform.
void PushTransform(const TMatrix4f& matrix);
void PopTransform();
// Draws what follows in the space left..right, bottom..top over the viewport
// until PopSpace.
void PushSpace(double left, double right, double bottom, double top);
void PopSpace();
