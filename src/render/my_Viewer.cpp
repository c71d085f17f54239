// Renderer set-up and the parts of the frame that are not the 3D scene: context,
// programs, shadow map and fog frame buffers, viewport, queues, fog of war, GUI
// pass, end of frame, frame-rate meter and screenshots.

#include "render/my_Viewer.h"

#include "app/e_GUiObject.h"
#include "app/e_Platform.h"
#include "render/e_ShaderObject.h"
#include "render/my_ViewerState.h"
#include "resources/e_ResourceManager.h"

#include <SDL.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <stdexcept>

namespace viewer {

TViewerState V;

void LogLine(const std::string& text) {
    if (V.LogProc)
        V.LogProc(text);
}

TShader* Program(TProgram p) { return V.Programs[p].get(); }

int32_t SamplerUnit(const TShader& shader, const char* name) {
    for (const TUniformData& u : shader.Uniforms)
        if (u.Name == name)
            return u.SamplerType != SamplerNone ? u.TextureUnit : -1;
    return -1;
}

void BindTextureOrWhite(int32_t handle, int32_t unit) {
    if (unit < 0 || unit > 7)
        return;
    if (handle >= 0 && GetTextureData(handle)) {
        BindTexture(handle, unit);
        return;
    }
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, V.WhiteTex);
}

void ClearQueues() {
    V.Instances.clear();
    V.WaterRings.clear();
    V.RangeRings.clear();
    V.ModelInfos.clear();
    for (auto& bucket : V.Buckets)
        bucket.clear();
    V.Landscape = nullptr;
    V.LandscapeBounded = false;
    V.CoverGUI = nullptr;
    ForgetShadowCasters();
}

}  // namespace viewer

using namespace viewer;

namespace {

// Whoever calls a queueing function in a headless run gets nothing stored.
bool Drawing() { return V.Active && !V.Headless; }

void DeleteTexture(GLuint& tex) {
    if (tex && glIsTexture(tex))
        glDeleteTextures(1, &tex);
    tex = 0;
}

void DeleteFramebuffer(GLuint& fbo) {
    if (fbo)
        glDeleteFramebuffersEXT(1, &fbo);
    fbo = 0;
}

// Everything InitRenderer may have made, in the order ShutdownRenderer frees it.
void ReleaseAll() {
    if (V.Context) {
        SDL_GL_MakeCurrent(V.Window, static_cast<SDL_GLContext>(V.Context));
        DeleteFramebuffer(V.ShadowFBO);
        DeleteTexture(V.ShadowColorTex);
        DeleteTexture(V.ShadowDepthTex);
        DeleteFramebuffer(V.SpareShadow.FBO);
        DeleteTexture(V.SpareShadow.ColorTex);
        DeleteTexture(V.SpareShadow.DepthTex);
        DeleteFramebuffer(V.StillShadow.FBO);
        DeleteTexture(V.StillShadow.ColorTex);
        DeleteTexture(V.StillShadow.DepthTex);
        ForgetStillShadow();
        DeleteFramebuffer(V.FogFBO);
        DeleteTexture(V.FogTex);
        DeleteTexture(V.FogTmpTex);
        DeleteTexture(V.WhiteTex);
        StopPassTiming();
    }
    V.FogW = V.FogH = 0;
    V.FogCells.clear();
    ClearQueues();
    V.WaterDraw = nullptr;
    for (auto& p : V.Programs)
        p.reset();
    for (auto& p : V.LandVariants)
        p.reset();
    for (auto& p : V.Glossless)
        p.reset();
    if (V.Context && V.Canvas.FreeFonts)
        V.Canvas.FreeFonts();
    if (V.Active)
        RemoveRendererDevices();
    V.Active = false;
    if (V.Context) {
        SDL_GL_MakeCurrent(V.Window, nullptr);
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(V.Context));
        V.Context = nullptr;
    }
    V.Window = nullptr;
}

std::string GLString(GLenum name) {
    const GLubyte* s = glGetString(name);
    return s ? reinterpret_cast<const char*>(s) : "";
}

// The versions whose entry points the game uses, oldest first.
void CheckVersions() {
    static const struct {
        int Version;
        const char* Message;
    } versions[] = {
        {12, "There was an error loading Load_GL_version_1_2!"},
        {13, "There was an error loading Load_GL_version_1_3!"},
        {14, "There was an error loading Load_GL_version_1_4!"},
        {15, "There was an error loading Load_GL_version_1_5!"},
        {20, "There was an error loading Load_GL_version_2_0!"},
    };
    int have = epoxy_is_desktop_gl() ? epoxy_gl_version() : 0;
    for (const auto& v : versions)
        if (have < v.Version)
            throw std::runtime_error(v.Message);
}

void CheckExtensions() {
    for (const char* ext : {"GL_EXT_framebuffer_object", "GL_ARB_texture_rectangle"})
        if (!epoxy_has_gl_extension(ext))
            throw std::runtime_error(std::string("This program requires ") + ext + "!");
    // Vertical sync is switched by the frame-rate meter. Software rasterisers and
    // virtual displays may refuse it: the game then runs unsynchronised.
    int interval = SDL_GL_GetSwapInterval();
    if (SDL_GL_SetSwapInterval(interval < 0 ? 0 : interval) != 0) {
        LogLine(std::string("  Swap interval control unavailable: ") + SDL_GetError());
        V.SwapRefusalLogged = true;
    }
}

// A program made again with defines that leave out work some draws do not need;
// null, and a line in the log naming `what`, when it does not compile.
std::unique_ptr<TShader> MakeVariant(TProgram program, const char* defines, const std::string& what) {
    if (!V.Programs[program])
        return nullptr;
    auto variant = std::make_unique<TShader>(ProgramTable[program].Name, defines, false);
    std::string failure;
    if (variant->TryCompile(failure))
        return variant;
    LogLine("  " + what + " unavailable: " + failure);
    return nullptr;
}

void CreatePrograms() {
    ShaderLog = V.LogProc;
    ShaderDir = AppPath + GameNames::ShadersDir;
    for (int i = 0; i < ProgramCount; ++i) {
        try {
            V.Programs[i] = std::make_unique<TShader>(ProgramTable[i].Name, "", true);
        } catch (const EShaderFileError&) {
            // Programs no pass draws with are kept for tools and tuning; the game
            // plays without them.
            if (ProgramTable[i].Used)
                throw;
        }
    }
    // Without them the meshes without a gloss map work out a highlight of 0.
    for (TProgram p : {prModelSimple, prModelSimpleSkel})
        V.Glossless[p] = MakeVariant(p, "NO_GLOSS", std::string(ProgramTable[p].Name) + " without NO_GLOSS");
    // Without them every tile reads everything, which shows the same picture.
    static constexpr const char* leftOut[LandNeedsAll] = {"NO_SHADOW,NO_FOG", "NO_FOG", "NO_SHADOW"};
    for (int needs = 0; needs < LandNeedsAll; ++needs)
        V.LandVariants[needs] = MakeVariant(prLandTile, leftOut[needs],
                                            std::string("Landscape program without ") + leftOut[needs]);
}

GLuint MakeShadowTexture(GLint internalFormat, GLenum format, GLenum type, int32_t size) {
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_2D, tex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (internalFormat == GL_DEPTH_COMPONENT24)
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_NONE);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, size, size, 0, format, type, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    return tex;
}

// One shadow map: its depth texture, the colour texture that completes its frame buffer, and
// the frame buffer.
void MakeShadowTarget(GLuint& depth, GLuint& color, GLuint& fbo) {
    depth = MakeShadowTexture(GL_DEPTH_COMPONENT24, GL_DEPTH_COMPONENT, GL_FLOAT, V.ShadowSize);
    // The colour texture only completes the frame buffer; nothing is written to it.
    color = MakeShadowTexture(GL_ALPHA4, GL_ALPHA, GL_UNSIGNED_BYTE, V.ShadowSize);
    glGenFramebuffersEXT(1, &fbo);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, fbo);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D, depth, 0);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, color, 0);
    glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
    if (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) {
        // Alpha-only colour buffers are not renderable everywhere.
        LogLine("  Shadow map: alpha colour buffer not renderable, using RGBA");
        DeleteTexture(color);
        color = MakeShadowTexture(GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, V.ShadowSize);
        glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, color, 0);
        if (glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT)
            LogLine("  Shadow map: frame buffer incomplete, shadows will be missing");
    }
    // The shadow pass writes depth only: with no draw buffer the colour
    // attachment is never written, whatever the colour mask.
    glDrawBuffer(GL_NONE);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDrawBuffer(GL_BACK);
}

// Two shadow maps, used by turns: a frame draws into one while the driver may still be
// reading the other for the frame before, so neither waits for the other.
void CreateShadowMap() {
    glGenFramebuffersEXT(1, &V.FogFBO);
    V.ShadowSize = 2048;
    MakeShadowTarget(V.ShadowDepthTex, V.ShadowColorTex, V.ShadowFBO);
    MakeShadowTarget(V.SpareShadow.DepthTex, V.SpareShadow.ColorTex, V.SpareShadow.FBO);
    // A third, for the still casters' depth: copied into the map each frame while the
    // view stands still, so that the trees' leaves are not drawn again.
    if (epoxy_gl_version() >= 30 || epoxy_has_gl_extension("GL_EXT_framebuffer_blit"))
        MakeShadowTarget(V.StillShadow.DepthTex, V.StillShadow.ColorTex, V.StillShadow.FBO);
}

void CreateWhiteTexture() {
    const uint8_t white[4] = {255, 255, 255, 255};
    glGenTextures(1, &V.WhiteTex);
    glBindTexture(GL_TEXTURE_2D, V.WhiteTex);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glBindTexture(GL_TEXTURE_2D, 0);
}

// Ortho of the whole viewport in pixels, like gluOrtho2D.
void LoadPixelProjection() {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(V.ViewX, V.ViewRight, V.ViewY, V.ViewBottom, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void DrawSelectionFrame() {
    float x1 = static_cast<float>(V.SelX1), y1 = static_cast<float>(V.SelY1);
    float x2 = static_cast<float>(V.SelX2), y2 = static_cast<float>(V.SelY2);
    glLineWidth(1.5f);
    glColor4f(0.75f, 0.75f, 0.25f, 1.0f);
    glBegin(GL_LINE_LOOP);
    glVertex2f(x1, y1);
    glVertex2f(x2, y1);
    glVertex2f(x2, y2);
    glVertex2f(x1, y2);
    glEnd();
    glLineWidth(1.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glColor4f(1.0f, 1.0f, 0.0f, 0.075f);
    glBegin(GL_QUADS);
    glVertex2f(x1, y1);
    glVertex2f(x2, y1);
    glVertex2f(x2, y2);
    glVertex2f(x1, y2);
    glEnd();
    glDisable(GL_BLEND);
}

void DrawCursor() {
    if (!GetTextureData(V.CursorTex))
        return;
    int32_t px = 0, py = 0;
    if (V.CursorPosProc) {
        V.CursorPosProc(px, py);
    } else {
        int mx = 0, my = 0;
        SDL_GetMouseState(&mx, &my);
        px = mx;
        py = my;
    }
    py = V.ViewH - py;
    float x0, x1, y0, y1;
    if (V.CursorMode == 0) {
        x0 = px - 16.0f, x1 = px + 16.0f, y0 = py - 16.0f, y1 = py + 16.0f;
    } else {
        x0 = static_cast<float>(px), x1 = px + 32.0f, y0 = py - 32.0f, y1 = static_cast<float>(py);
    }
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    BindTexture(V.CursorTex, 0);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex2f(x0, y1);
    glTexCoord2f(1.0f, 1.0f);
    glVertex2f(x1, y1);
    glTexCoord2f(1.0f, 0.0f);
    glVertex2f(x1, y0);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(x0, y0);
    glEnd();
    glBindTexture(GL_TEXTURE_2D, 0);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
}

void FrameRate() {
    double now = GetPerfSeconds();
    // Under a fixed step the clock stands still on loading frames; measuring them
    // would make the shown rate depend on how long loading took.
    if (IsFixedClock() && now == V.FrameStart)
        return;
    double ms = (now - V.FrameStart) * 1000.0;
    V.FrameStart = now;
    if (!V.Meter.AddFrame(ms) || !Drawing())
        return;
    if (SDL_GL_SetSwapInterval(V.Meter.VSync() ? 1 : 0) != 0 && !V.SwapRefusalLogged) {
        LogLine(std::string("Vertical sync refused: ") + SDL_GetError());
        V.SwapRefusalLogged = true;
    }
}

// Quad over the whole bound target, texture coordinates in texels.
void DrawFullTargetQuad(int32_t w, int32_t h) {
    float fw = static_cast<float>(w), fh = static_cast<float>(h);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(-1.0f, -1.0f);
    glTexCoord2f(fw, 0.0f);
    glVertex2f(1.0f, -1.0f);
    glTexCoord2f(fw, fh);
    glVertex2f(1.0f, 1.0f);
    glTexCoord2f(0.0f, fh);
    glVertex2f(-1.0f, 1.0f);
    glEnd();
}

GLuint MakeFogTexture(int32_t w, int32_t h, const uint8_t* data) {
    GLuint tex = 0;
    glGenTextures(1, &tex);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, tex);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    // Luminance bytes go in; the storage is RGB because luminance targets are not
    // renderable everywhere and the blur draws into these textures.
    glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGB8, w, h, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, data);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
    return tex;
}

}  // namespace

// The blur spreads a cell four texels each way, and a lookup reads the texels
// round its point: a tile reads the fog of the cells up to five away. Where all
// of them are seen, the blurred texels are exactly "seen" (the weights sum to
// 0.9996, which the 8-bit texture stores as 1).
bool viewer::FogClearOver(int32_t col, int32_t row, int32_t cols, int32_t rows) {
    constexpr int32_t reach = 5;
    if (V.FogHidden.Empty() || cols != V.FogHidden.W || rows != V.FogHidden.H)
        return false;
    const int32_t c0 = std::max(col - reach, 0), c1 = std::min(col + reach, cols - 1);
    const int32_t r0 = std::max(row - reach, 0), r1 = std::min(row + reach, rows - 1);
    return c0 <= c1 && r0 <= r1 && !V.FogHidden.AnyMarked(c0, r0, c1, r1);
}

namespace {

void BlurPass(GLuint target, GLuint source, TProgram program, int32_t w, int32_t h, float clear) {
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_RECTANGLE_ARB, target,
                              0);
    glClearColor(clear, clear, clear, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    TShader* shader = Program(program);
    if (!shader)
        return;
    shader->Bind();
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, source);
    DrawFullTargetQuad(w, h);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
    shader->Unbind();
}

bool WritePNG(const std::string& fileName, int32_t w, int32_t h, const std::vector<uint8_t>& rgb) {
    FILE* f = std::fopen(fileName.c_str(), "wb");
    if (!f)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        std::fclose(f);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(w), static_cast<png_uint_32>(h), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // GL rows run bottom to top, PNG rows top to bottom.
    for (int32_t y = h - 1; y >= 0; --y)
        png_write_row(png, const_cast<png_bytep>(rgb.data() + static_cast<size_t>(y) * w * 3));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

}  // namespace

// ---- set-up ----

void SetRendererContextAttributes() {
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 2);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

void InitRenderer(TLogProc logProc, SDL_Window* window) {
    if (V.Headless)
        return;
    if (V.Context)
        ShutdownRenderer();
    V.LogProc = logProc;
    ShaderLog = logProc;
    ShaderDir = AppPath + GameNames::ShadersDir;
    if (!window)
        throw std::runtime_error("The renderer needs a window");
    V.Window = window;
    try {
        SetRendererContextAttributes();
        V.Context = SDL_GL_CreateContext(window);
        if (!V.Context) {
            // A driver below 2.1 refuses the versioned request; take what it has so
            // that the version check can say what is missing.
            std::string firstError = SDL_GetError();
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 1);
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
            SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, 0);
            V.Context = SDL_GL_CreateContext(window);
            SetRendererContextAttributes();
            if (!V.Context)
                SDL_SetError("%s", firstError.c_str());
        }
        if (!V.Context)
            throw std::runtime_error(std::string("Cannot create the OpenGL context: ") + SDL_GetError());
        if (SDL_GL_MakeCurrent(window, static_cast<SDL_GLContext>(V.Context)) != 0)
            throw std::runtime_error(std::string("Cannot use the OpenGL context: ") + SDL_GetError());
        // The window system's own probing may leave an error behind; start clean.
        while (glGetError() != GL_NO_ERROR) {
        }

        LogLine("Renderer Init ...");
        LogLine("  Vendor: " + GLString(GL_VENDOR));
        LogLine("  Renderer: " + GLString(GL_RENDERER));
        LogLine("  Version OpenGL: " + GLString(GL_VERSION));
        LogDriverInfo();
        LogLine("  Extensions: " + GLString(GL_EXTENSIONS));
        CheckVersions();
        CheckExtensions();

        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        CreatePrograms();
        CreateShadowMap();
        CreateWhiteTexture();
        StartPassTiming();
        V.Active = true;
        InstallRendererDevices();
        UpdateFogTexture(1, 1, {true});
        ClearQueues();
        if (V.ViewW > 0 && V.ViewH > 0)
            glViewport(V.ViewX, V.ViewY, V.ViewW, V.ViewH);
        RestartFrameTimer();
        LogLine("Renderer Init - complete.");
    } catch (...) {
        ReleaseAll();
        throw;
    }
}

void ShutdownRenderer() {
    if (!V.Context && !V.Active)
        return;
    ReleaseAll();
}

bool RendererActive() { return Drawing(); }

void SetHeadlessRenderer(bool headless) { V.Headless = headless; }
bool IsHeadlessRenderer() { return V.Headless; }

void SetViewport(int32_t x, int32_t y, int32_t width, int32_t height) {
    V.ViewX = x;
    V.ViewY = y;
    V.ViewW = width;
    V.ViewH = height;
    V.ViewRight = x + width;
    V.ViewBottom = y + height;
    if (Drawing())
        glViewport(x, y, std::max(width, 0), std::max(height, 0));
    if (width > 0 && height > 0)
        V.Aspect = static_cast<double>(width) / static_cast<double>(height);
}

TViewportInfo GetViewport() {
    return TViewportInfo{V.ViewX, V.ViewY, V.ViewW, V.ViewH, V.ViewRight, V.ViewBottom, V.Aspect};
}

void LogDriverInfo() { LogLine("  Version GLSL: " + GLString(GL_SHADING_LANGUAGE_VERSION)); }

void SetCanvasHooks(const TCanvasHooks& hooks) { V.Canvas = hooks; }

// ---- queues ----

void QueueModelItem(const TModelDrawItem& item) {
    if (Drawing())
        V.Instances.push_back(item);
}

void QueueWaterRing(float x, float y, float z, float r, int32_t texture) {
    if (!Drawing())
        return;
    V.WaterRings.push_back(TWaterRingData{x, y, z, r});
    V.WaterRingTex = texture;
}

void QueueRangeRing(const TMyVector3f& centre, const TColorRGBA& color, int32_t texture, float radius) {
    if (!Drawing())
        return;
    V.RangeRings.push_back(TRangeRingData{centre, radius, color});
    V.RangeRingTex = texture;
}

void QueueLandscape(std::function<void()> draw) {
    if (Drawing()) {
        V.Landscape = std::move(draw);
        V.LandscapeBounded = false;
    }
}

void viewer::QueueLandscape(std::function<void()> draw, float lowest, float highest) {
    ::QueueLandscape(std::move(draw));
    if (Drawing() && V.Landscape) {
        V.LandscapeBounded = true;
        V.LandscapeLowest = lowest;
        V.LandscapeHighest = highest;
    }
}

void SetWaterDraw(std::function<void(TShader&)> draw) {
    // Removing is always allowed: a map going away must not leave a dangling hook.
    if (Drawing() || !draw)
        V.WaterDraw = std::move(draw);
}

void SetShadowFocus(const std::array<TMyVector3f, 4>& points) { V.ShadowFocus = points; }

void SetSelectionVisible(bool visible) { V.SelectionVisible = visible; }

void SetSelectionRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    V.SelX1 = x1;
    V.SelY1 = y1;
    V.SelX2 = x2;
    V.SelY2 = y2;
}

TSelectionFrame GetSelectionFrame() { return {V.SelectionVisible, V.SelX1, V.SelY1, V.SelX2, V.SelY2}; }

void SetCursor(int32_t texture, int32_t mode) {
    V.CursorTex = texture;
    V.CursorMode = mode;
}

void SetCursorPosProc(TCursorPosProc proc) { V.CursorPosProc = proc; }

void ScreenToNDC(float x, float y, float& fx, float& fy) {
    // An empty viewport maps everything to the centre instead of dividing by zero.
    fx = V.ViewW > 0 ? 2.0f * (x - V.ViewX) / V.ViewW - 1.0f : 0.0f;
    fy = V.ViewH > 0 ? 2.0f * (y - V.ViewY) / V.ViewH - 1.0f : 0.0f;
}

// ---- fog of war ----

void UpdateFogTexture(int32_t w, int32_t h, const std::vector<bool>& visible) {
    if (!Drawing())
        return;
    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_RECTANGLE_TEXTURE_SIZE_ARB, &maxSize);
    if (w <= 0 || h <= 0 || w > maxSize || h > maxSize) {
        LogLine("UpdateFogTexture: unusable fog grid size " + std::to_string(w) + " x " + std::to_string(h));
        return;
    }
    std::vector<uint8_t> cells(static_cast<size_t>(w) * static_cast<size_t>(h), 125);
    size_t n = std::min(cells.size(), visible.size());
    for (size_t i = 0; i < n; ++i)
        if (visible[i])
            cells[i] = 255;

    // The scene hands the grid over every frame; it changes only when a viewer
    // moves, and the same grid blurs to the same texture.
    if (V.FogTex && w == V.FogW && h == V.FogH && cells == V.FogCells)
        return;
    V.FogCells = cells;
    V.FogHidden.Make(w, h,
                     [&](int32_t c, int32_t r) { return cells[size_t(r) * size_t(w) + size_t(c)] != 255; });

    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (V.FogTex && w == V.FogW && h == V.FogH) {
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, V.FogTex);
        glTexSubImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, 0, 0, w, h, GL_LUMINANCE, GL_UNSIGNED_BYTE,
                        cells.data());
        glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
    } else {
        DeleteTexture(V.FogTex);
        DeleteTexture(V.FogTmpTex);
        V.FogTex = MakeFogTexture(w, h, cells.data());
        V.FogTmpTex = MakeFogTexture(w, h, nullptr);
        V.FogW = w;
        V.FogH = h;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);

    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLboolean depthTest = glIsEnabled(GL_DEPTH_TEST);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, V.FogFBO);
    glDrawBuffer(GL_COLOR_ATTACHMENT0_EXT);
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    BlurPass(V.FogTmpTex, V.FogTex, prBlurGausVER, w, h, 0.0f);
    BlurPass(V.FogTex, V.FogTmpTex, prBlurGausHOR, w, h, 1.0f);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_RECTANGLE_ARB, 0, 0);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glDrawBuffer(GL_BACK);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    if (depthTest)
        glEnable(GL_DEPTH_TEST);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

void DrawFogOverlay(float x1, float y1, float x2, float y2) {
    if (!Drawing() || !V.FogTex)
        return;
    TShader* shader = Program(prWarFog);
    if (!shader)
        return;
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    shader->Bind();
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, V.FogTex);
    glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
    float fw = static_cast<float>(V.FogW), fh = static_cast<float>(V.FogH);
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 0.0f);
    glVertex2f(x1, y1);
    glTexCoord2f(0.0f, fh);
    glVertex2f(x1, y2);
    glTexCoord2f(fw, fh);
    glVertex2f(x2, y2);
    glTexCoord2f(fw, 0.0f);
    glVertex2f(x2, y1);
    glEnd();
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
    shader->Unbind();
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
}

// ---- GUI pass and end of frame ----

void QueueGUICover(TGUIObject* gui) {
    if (Drawing())
        V.CoverGUI = gui;
}

// The GUI's backgrounds go into depth alone, at the near plane, where their
// texture is fully opaque: there the GUI replaces whatever the frame draws (a
// blended texel of alpha 1 keeps nothing of what lies under it), so the frame's
// fragments may fail the depth test before they are shaded.
void viewer::DrawGUICover() {
    if (!V.CoverGUI || !V.Canvas.SetSize || !V.Canvas.Begin || !V.Canvas.End)
        return;
    glUseProgram(0);
    V.Canvas.SetSize(V.ViewW, V.ViewH);
    V.Canvas.Begin();
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_ALWAYS);
    glDepthMask(GL_TRUE);
    glDepthRange(0.0, 0.0);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glDisable(GL_BLEND);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GEQUAL, 1.0f);
    V.CoverGUI->DrawCover();
    glDisable(GL_ALPHA_TEST);
    glAlphaFunc(GL_ALWAYS, 0.0f);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glDepthRange(0.0, 1.0);
    glDepthFunc(GL_LEQUAL);
    V.Canvas.End();
}

void DrawGUI(TGUIObject* gui) {
    if (!Drawing())
        return;
    glUseProgram(0);
    for (int unit = 7; unit >= 0; --unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    if (!gui)
        return;
    if (V.Canvas.SetSize && V.Canvas.Begin && V.Canvas.End) {
        V.Canvas.SetSize(V.ViewW, V.ViewH);
        V.Canvas.Begin();
        gui->Draw();
        V.Canvas.End();
        return;
    }
    glDisable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, 1.0, 0.0, 1.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    gui->Draw();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glEnable(GL_DEPTH_TEST);
}

void EndFrame() {
    if (Drawing()) {
        glUseProgram(0);
        LoadPixelProjection();
        // Overlays lie on top of the picture whatever its depth.
        glDisable(GL_DEPTH_TEST);
        if (V.SelectionVisible)
            DrawSelectionFrame();
        if (V.CursorTex >= 0)
            DrawCursor();
        glEnable(GL_DEPTH_TEST);
        // Waiting for the driver here would keep this thread idle while a software
        // rasteriser draws the frame; only the pass times want the frame finished.
        if (V.PassTiming)
            glFinish();
        for (const std::string& file : V.PendingShots)
            if (!SaveScreenshotPNG(file))
                LogLine("Screenshot: cannot write \"" + file + "\"");
        V.PendingShots.clear();
        SDL_GL_SwapWindow(V.Window);
    }
    FrameRate();
}

double CurrentFps() { return V.Meter.Fps(); }

void RestartFrameTimer() { V.FrameStart = GetPerfSeconds(); }

bool TFrameRateMeter::AddFrame(double ms) {
    if (!(ms > 0.0))
        ms = 1.0;
    Sum += static_cast<float>(1000.0 / ms);
    if (++Count < BlockFrames)
        return false;
    Fps_ = Sum / BlockFrames;
    Sum = 0.0f;
    Count = 0;
    return true;
}

// ---- screenshots ----

bool SaveScreenshotPNG(const std::string& fileName) {
    if (!Drawing() || V.ViewW <= 0 || V.ViewH <= 0)
        return false;
    int32_t w = V.ViewW, h = V.ViewH;
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(V.ViewX, V.ViewY, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return WritePNG(fileName, w, h, rgb);
}

void RequestScreenshot(const std::string& fileName) {
    if (Drawing())
        V.PendingShots.push_back(fileName);
}

// ---- inspection ----

TFrameStats LastFrameStats() { return V.Stats; }

TRendererObjects GetRendererObjects() {
    TRendererObjects o;
    o.FogTex = V.FogTex;
    o.FogTmpTex = V.FogTmpTex;
    o.FogFBO = V.FogFBO;
    o.FogW = V.FogW;
    o.FogH = V.FogH;
    o.ShadowDepthTex = V.ShadowDepthTex;
    o.ShadowColorTex = V.ShadowColorTex;
    o.ShadowFBO = V.ShadowFBO;
    o.ShadowSize = V.Context ? V.ShadowSize : 0;
    for (const auto& p : V.Programs)
        if (p)
            ++o.ShaderCount;
    return o;
}

TShader* FindRendererShader(const std::string& name) {
    for (int i = 0; i < ProgramCount; ++i)
        if (V.Programs[i] && name == ProgramTable[i].Name)
            return V.Programs[i].get();
    return nullptr;
}
