#include "gui/v_CanvasOpenGL.h"

#include "resources/e_ResourceManager.h"

#include <epoxy/gl.h>
#include <GL/glu.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <exception>
#include <map>
#include <mutex>
#include <tuple>

int32_t ScreenWidth = 1024, ScreenHeight = 768;
float ScreenAspect = 768.0f / 1024.0f, InvScreenWidth = 1.0f / 1024.0f, InvScreenHeight = 1.0f / 768.0f;

// One rasterised font: a FreeType face at one pixel size, and its display lists
// once something has been drawn with it.
struct TGlyphFace {
    std::string Family;
    int32_t Height = 0;  // the pixel size asked for
    int32_t Weight = 400;
    bool Italic = false;
    FT_Face Face = nullptr;
    int32_t LineHeight = 0;
    int32_t Advance[255] = {};
    uint32_t ListBase = 0;  // 0 until the lists exist
};

namespace {

GLint savedViewport[4] = {0, 0, 0, 0};

// Windows-1252 bytes 0x80..0x9F; the rest of the code page is Latin-1.
const uint16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                  0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                  0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                  0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

uint32_t CodePoint(unsigned char c) {
    if (c >= 0x80 && c <= 0x9F)
        return kCp1252High[c - 0x80];
    return c;
}

struct FontLibrary {
    std::mutex Lock;
    FT_Library Library = nullptr;
    bool Broken = false;
    // (requested name, weight, italic) -> (file, index, family)
    std::map<std::tuple<std::string, int, bool>, std::tuple<std::string, int, std::string>> Matches;
    // (family, height, weight, italic) -> face; entries are never removed while running.
    std::map<std::tuple<std::string, int, int, bool>, std::unique_ptr<TGlyphFace>> Faces;
    int ListsBuilt = 0;

    ~FontLibrary() {
        for (auto& [key, face] : Faces)
            if (face->Face)
                FT_Done_Face(face->Face);
        if (Library)
            FT_Done_FreeType(Library);
    }
};

FontLibrary& Fonts() {
    static FontLibrary fonts;
    return fonts;
}

bool MatchFont(FontLibrary& lib, const TLogFont& lf, std::string& file, int& index, std::string& family) {
    auto key = std::make_tuple(lf.FaceName, lf.Weight, lf.Italic);
    auto it = lib.Matches.find(key);
    if (it != lib.Matches.end()) {
        std::tie(file, index, family) = it->second;
        return !file.empty();
    }
    file.clear();
    index = 0;
    family.clear();
    if (FcInit()) {
        FcPattern* pattern = FcPatternCreate();
        if (!lf.FaceName.empty())
            FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(lf.FaceName.c_str()));
        FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(lf.Weight > 0 ? lf.Weight : 400));
        FcPatternAddInteger(pattern, FC_SLANT, lf.Italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(nullptr, pattern, &result);
        if (match) {
            FcChar8* path = nullptr;
            FcChar8* fam = nullptr;
            int idx = 0;
            if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch)
                file = reinterpret_cast<const char*>(path);
            if (FcPatternGetInteger(match, FC_INDEX, 0, &idx) == FcResultMatch)
                index = idx;
            if (FcPatternGetString(match, FC_FAMILY, 0, &fam) == FcResultMatch)
                family = reinterpret_cast<const char*>(fam);
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    lib.Matches[key] = std::make_tuple(file, index, family);
    return !file.empty();
}

TGlyphFace* OpenFace(const TLogFont& lf) {
    FontLibrary& lib = Fonts();
    std::lock_guard<std::mutex> guard(lib.Lock);
    if (lib.Broken)
        return nullptr;
    if (!lib.Library && FT_Init_FreeType(&lib.Library) != 0) {
        lib.Broken = true;
        return nullptr;
    }
    std::string file, family;
    int index = 0;
    if (!MatchFont(lib, lf, file, index, family))
        return nullptr;
    int32_t pixels = std::abs(lf.Height);
    if (pixels < 1)
        pixels = 1;
    if (pixels > 1000)
        pixels = 1000;
    auto key = std::make_tuple(family + "|" + file, pixels, lf.Weight, lf.Italic);
    auto it = lib.Faces.find(key);
    if (it != lib.Faces.end())
        return it->second.get();
    auto face = std::make_unique<TGlyphFace>();
    face->Family = family;
    face->Height = pixels;
    face->Weight = lf.Weight;
    face->Italic = lf.Italic;
    if (FT_New_Face(lib.Library, file.c_str(), index, &face->Face) != 0 ||
        FT_Set_Pixel_Sizes(face->Face, 0, static_cast<FT_UInt>(pixels)) != 0) {
        if (face->Face)
            FT_Done_Face(face->Face);
        face->Face = nullptr;
    } else {
        face->LineHeight = static_cast<int32_t>(face->Face->size->metrics.height >> 6);
        for (int c = 0; c < 255; ++c) {
            uint32_t cp = CodePoint(static_cast<unsigned char>(c));
            if (cp != 0 && c >= 32 && FT_Load_Char(face->Face, cp, FT_LOAD_DEFAULT) == 0)
                face->Advance[c] = static_cast<int32_t>(face->Face->glyph->advance.x >> 6);
        }
    }
    TGlyphFace* raw = face.get();
    lib.Faces.emplace(key, std::move(face));
    return raw;
}

// Builds glyph display lists for character codes 0..254 (not 255, as the
// game's text has always had it).
void BuildLists(TGlyphFace& face) {
    FontLibrary& lib = Fonts();
    std::lock_guard<std::mutex> guard(lib.Lock);
    face.ListBase = glGenLists(256);
    ++lib.ListsBuilt;
    GLint oldAlignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &oldAlignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    std::vector<unsigned char> rows;
    for (int c = 0; c < 255; ++c) {
        glNewList(face.ListBase + c, GL_COMPILE);
        uint32_t cp = CodePoint(static_cast<unsigned char>(c));
        if (face.Face && c >= 32 && cp != 0 &&
            FT_Load_Char(face.Face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
            FT_GlyphSlot g = face.Face->glyph;
            const FT_Bitmap& bm = g->bitmap;
            int width = static_cast<int>(bm.width), height = static_cast<int>(bm.rows);
            int rowBytes = (width + 7) / 8;
            rows.assign(static_cast<size_t>(rowBytes) * height, 0);
            // FreeType rows run top-down; glBitmap's run bottom-up.
            for (int y = 0; y < height; ++y) {
                const unsigned char* src = bm.buffer + static_cast<ptrdiff_t>(y) * bm.pitch;
                if (bm.pixel_mode == FT_PIXEL_MODE_MONO) {
                    std::copy(src, src + rowBytes,
                              rows.begin() + static_cast<ptrdiff_t>(height - 1 - y) * rowBytes);
                } else {
                    for (int x = 0; x < width; ++x)
                        if (src[x] >= 128)
                            rows[static_cast<size_t>(height - 1 - y) * rowBytes + x / 8] |= 0x80 >> (x % 8);
                }
            }
            // A glyph without pixels (a space) only advances; GL refuses a sized bitmap with no data.
            if (width == 0 || height == 0)
                glBitmap(0, 0, 0.0f, 0.0f, static_cast<GLfloat>(g->advance.x >> 6), 0.0f, nullptr);
            else
                glBitmap(width, height, static_cast<GLfloat>(-g->bitmap_left),
                         static_cast<GLfloat>(height - g->bitmap_top),
                         static_cast<GLfloat>(g->advance.x >> 6), 0.0f, rows.data());
        } else {
            glBitmap(0, 0, 0.0f, 0.0f, static_cast<GLfloat>(face.Advance[c]), 0.0f, nullptr);
        }
        glEndList();
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, oldAlignment);
}

void BlendOn() {
    glDisable(GL_TEXTURE_2D);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

void Color(const TColor4f& c) { glColor4f(c.R, c.G, c.B, c.A); }

}  // namespace

int32_t RoundEven(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

void SetCanvasSize(int32_t width, int32_t height) {
    ScreenWidth = width > 0 ? width : 1;
    ScreenHeight = height > 0 ? height : 1;
    ScreenAspect = static_cast<float>(ScreenHeight) / static_cast<float>(ScreenWidth);
    InvScreenWidth = 1.0f / static_cast<float>(ScreenWidth);
    InvScreenHeight = 1.0f / static_cast<float>(ScreenHeight);
}

void NormToPixel(float x, float y, int32_t& px, int32_t& py) {
    px = RoundEven(static_cast<double>(ScreenWidth) * x);
    py = ScreenHeight - RoundEven(static_cast<double>(ScreenHeight) * y);
}

void PixelToNorm(float px, float py, float& x, float& y) {
    x = px / static_cast<float>(ScreenWidth);
    y = py / static_cast<float>(ScreenHeight);
}

void Begin2D(int32_t width, int32_t height, double left, double right, double bottom, double top) {
    glDisable(GL_DEPTH_TEST);
    PushSpace(left, right, bottom, top);
    glGetIntegerv(GL_VIEWPORT, savedViewport);
    glViewport(0, 0, width, height);
}

void BeginGUI() { Begin2D(ScreenWidth, ScreenHeight, 0.0, 1.0, 0.0, 1.0); }

void End2D() {
    PopSpace();
    glViewport(savedViewport[0], savedViewport[1], savedViewport[2], savedViewport[3]);
    glEnable(GL_DEPTH_TEST);
}

void SetFontName(TFont& font, const std::string& name) { font.LogFont.FaceName = name; }

void SetFontSize(TFont& font, int32_t value) {
    font.Size = value;
    font.LogFont.Height = value;
}

void SetFontColor(TFont& font, const TColor4f& color) { font.Color = color; }
void SetPenColor(TPen& pen, const TColor4f& color) { pen.Color = color; }
void SetBrushColor(TBrush& brush, const TColor4f& color) { brush.Color = color; }

void SelectFont(TFont& font) { font.Handle = OpenFace(font.LogFont); }
void ReleaseFont(TFont& font) { font.Handle = nullptr; }

uint32_t FontListBase(const TFont& font) {
    if (!font.Handle)
        return 0;
    if (font.Handle->ListBase == 0)
        BuildLists(*font.Handle);
    return font.Handle->ListBase;
}

void DrawString(const TFont& font, const std::string& text) {
    uint32_t base = FontListBase(font);
    if (base == 0 || text.empty())
        return;
    // Byte 255 has no glyph; it would call a list of another font.
    std::string bytes = text;
    for (char& c : bytes)
        if (static_cast<unsigned char>(c) == 255)
            c = ' ';
    glListBase(base);
    glCallLists(static_cast<GLsizei>(bytes.size()), GL_UNSIGNED_BYTE, bytes.data());
}

void GetTextExtent(const TFont& font, const std::string& text, int32_t& cx, int32_t& cy) {
    cx = 0;
    cy = 0;
    if (!font.Handle)
        return;
    for (unsigned char c : text)
        if (c < 255)
            cx += font.Handle->Advance[c];
    cy = font.Handle->LineHeight;
}

void FreeFontLists() {
    FontLibrary& lib = Fonts();
    std::lock_guard<std::mutex> guard(lib.Lock);
    for (auto& [key, face] : lib.Faces)
        if (face->ListBase != 0) {
            glDeleteLists(face->ListBase, 256);
            face->ListBase = 0;
        }
    lib.ListsBuilt = 0;
}

int FontCacheCount() {
    FontLibrary& lib = Fonts();
    std::lock_guard<std::mutex> guard(lib.Lock);
    return static_cast<int>(lib.Faces.size());
}

void TCanvas::Line(float x1, float y1, float x2, float y2) {
    BlendOn();
    glLineWidth(static_cast<GLfloat>(Pen.Width));
    Color(Pen.Color);
    glBegin(GL_LINES);
    glVertex2f(x1, y1);
    glVertex2f(x2, y2);
    glEnd();
    glDisable(GL_BLEND);
}

void TCanvas::Rectangle(float x1, float y1, float x2, float y2) {
    BlendOn();
    Color(Brush.Color);
    glBegin(GL_QUADS);
    glVertex3f(x1, y2, 0.0f);
    glVertex3f(x2, y2, 0.0f);
    glVertex3f(x2, y1, 0.0f);
    glVertex3f(x1, y1, 0.0f);
    glEnd();
    glLineWidth(static_cast<GLfloat>(Pen.Width));
    Color(Pen.Color);
    glBegin(GL_LINE_LOOP);
    glVertex3f(x1, y2, 0.0f);
    glVertex3f(x2, y2, 0.0f);
    glVertex3f(x2, y1, 0.0f);
    glVertex3f(x1, y1, 0.0f);
    glEnd();
    glDisable(GL_BLEND);
}

void TCanvas::Polygon(const std::vector<TPointf>& points) {
    BlendOn();
    Color(Brush.Color);
    glBegin(GL_POLYGON);
    for (const auto& p : points)
        glVertex2f(p.X, p.Y);
    glEnd();
    glLineWidth(static_cast<GLfloat>(Pen.Width));
    Color(Pen.Color);
    glBegin(GL_LINE_LOOP);
    for (const auto& p : points)
        glVertex2f(p.X, p.Y);
    glEnd();
    glDisable(GL_BLEND);
}

void TCanvas::TextRect(const std::string& text, float x, float y, float height, float width) {
    int32_t px1, py1, px2, py2;
    NormToPixel(x, y, px1, py1);
    NormToPixel(x + width, y - height, px2, py2);
    SetFontSize(Font, -RoundEven(0.8 * ScreenHeight * height));
    SelectFont(Font);
    Color(Font.Color);
    glRasterPos2f(x, y - 0.8f * height);
    glEnable(GL_SCISSOR_TEST);
    glScissor(px1, ScreenHeight - py2, px2 - px1, py2 - py1);
    DrawString(Font, text);
    glDisable(GL_SCISSOR_TEST);
    ReleaseFont(Font);
}

int32_t TCanvas::FitTextSize(const std::string& text, float x, float width, int32_t& cy) {
    const int32_t target = RoundEven(static_cast<double>(ScreenWidth) * (x + width)) -
                           RoundEven(static_cast<double>(ScreenWidth) * x);
    // Bisection on the font height; more negative is bigger.
    const double lo = -100.0, hi = -5.0;
    double step = (hi - lo) / 2.0;
    int32_t size = static_cast<int32_t>(lo) + RoundEven(step);
    const int n = static_cast<int>(std::trunc(std::log2(std::fabs(hi - lo) / 1.0)));
    int32_t cx = 0;
    cy = 0;
    for (int i = 0; i < n || step >= 1.0; ++i) {
        step *= 0.5;
        SetFontSize(Font, size);
        SelectFont(Font);
        GetTextExtent(Font, text, cx, cy);
        ReleaseFont(Font);
        if (cx < target)
            size -= RoundEven(step);
        else
            size += RoundEven(step);
    }
    return size;
}

void TCanvas::TextFit(const std::string& text, float x, float y, float width) {
    int32_t cy = 0;
    SetFontSize(Font, FitTextSize(text, x, width, cy));
    SelectFont(Font);
    Color(Font.Color);
    glRasterPos2f(x, y - static_cast<float>(cy) / 4.0f / static_cast<float>(ScreenHeight));
    DrawString(Font, text);
    ReleaseFont(Font);
}

float TCanvas::TextWidth(const std::string& text, float height) {
    SetFontSize(Font, -RoundEven(0.8 * ScreenHeight * height));
    SelectFont(Font);
    int32_t cx = 0, cy = 0;
    GetTextExtent(Font, text, cx, cy);
    ReleaseFont(Font);
    return static_cast<float>(cx) / static_cast<float>(ScreenWidth);
}

// ---- primitives ----

void SetBlending(bool on) {
    if (on) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    } else {
        glDisable(GL_BLEND);
    }
}

void SetAlphaCut(bool on) {
    if (on) {
        glEnable(GL_ALPHA_TEST);
        glAlphaFunc(GL_GREATER, 0.4f);
    } else {
        glDisable(GL_ALPHA_TEST);
    }
}

void FillRect(float x1, float y1, float x2, float y2, const TColor4f& color) {
    BlendOn();
    Color(color);
    glBegin(GL_QUADS);
    glVertex2f(x1, y1);
    glVertex2f(x2, y1);
    glVertex2f(x2, y2);
    glVertex2f(x1, y2);
    glEnd();
    glDisable(GL_BLEND);
}

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
    Color(tint);
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

void DrawLineLoop(const std::vector<TPointf>& points, const TColor4f& color, float width) {
    glDisable(GL_TEXTURE_2D);
    glLineWidth(width);
    Color(color);
    glBegin(GL_LINE_LOOP);
    for (const TPointf& p : points)
        glVertex2f(p.X, p.Y);
    glEnd();
}

void DrawLines(const std::vector<TCanvasVertex>& ends, float width, uint16_t stipple) {
    glDisable(GL_TEXTURE_2D);
    const bool dashed = stipple != 0xFFFF;
    if (dashed) {
        glEnable(GL_LINE_STIPPLE);
        glLineStipple(1, stipple);
    }
    glLineWidth(width);
    glBegin(GL_LINES);
    for (size_t i = 0; i + 1 < ends.size(); i += 2) {
        Color(ends[i].Color);
        glVertex2f(ends[i].X, ends[i].Y);
        Color(ends[i + 1].Color);
        glVertex2f(ends[i + 1].X, ends[i + 1].Y);
    }
    glEnd();
    glLineWidth(1.0f);
    if (dashed)
        glDisable(GL_LINE_STIPPLE);
}

void DrawPoints(const std::vector<TCanvasVertex>& points, float size) {
    glPointSize(size);
    glBegin(GL_POINTS);
    for (const TCanvasVertex& p : points) {
        Color(p.Color);
        glVertex2f(p.X, p.Y);
    }
    glEnd();
    glPointSize(1.0f);
}

void DrawTriangles(const std::vector<TCanvasVertex>& corners) {
    BlendOn();
    glBegin(GL_TRIANGLES);
    for (size_t i = 0; i + 2 < corners.size(); i += 3)
        for (size_t k = i; k < i + 3; ++k) {
            Color(corners[k].Color);
            glVertex2f(corners[k].X, corners[k].Y);
        }
    glEnd();
    glDisable(GL_BLEND);
}

void PushTransform(const TMatrix4f& matrix) {
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMultMatrixf(matrix.m);
}

void PopTransform() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

void PushSpace(double left, double right, double bottom, double top) {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluOrtho2D(left, right, bottom, top);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void PopSpace() {
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
}
