#pragma once
// The renderer: one OpenGL context, the game's thirty shader programs, the shadow
// map, the fog-of-war texture and the per-frame queues.
//
// The game reaches it only through the queueing calls below. Scenes and world
// objects queue what they want drawn while they paint (models, the landscape, the
// water, rings, the selection frame, the cursor); nothing is drawn until the scene
// pass runs. A frame is always:
//
//     Queue...()  ->  RenderScene(camera, light)  ->  DrawGUI(gui)  ->  EndFrame()
//
// RenderScene consumes the queues. Everything here runs on the main thread; the
// loading thread must not queue.
//
// The context. The application creates the SDL window (with SDL_WINDOW_OPENGL and
// the attributes of SetRendererContextAttributes set before the window is made) and
// hands it to InitRenderer, which creates the GL context itself, makes it current
// and keeps it until ShutdownRenderer deletes it.
//
// Headless runs. Until InitRenderer has succeeded, and always after
// SetHeadlessRenderer(true), every call here is a harmless no-op: the queueing
// calls store nothing and the passes draw nothing. The viewport, ScreenToNDC and
// the frame-rate meter keep working, since the game's input and clock use them.

#include "app/e_Log.h"
#include "resources/e_ResManagerTypes.h"
#include "world/e_Math.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SDL_Window;
class TCamera;
class TGUIObject;
class TGameModel;
class TShader;

// ---- set-up ----

// The SDL GL attributes the renderer needs: double buffer, 24-bit depth, 8-bit
// stencil, 8-bit colour channels, a 2.1 compatibility context. Call before the
// window is created (some window systems pick the visual then).
void SetRendererContextAttributes();

// Creates the context on `window`, logs the driver strings, checks the GL version
// (1.2 to 2.0, in that order) and the extensions GL_EXT_framebuffer_object and
// GL_ARB_texture_rectangle, creates the shader programs from AppPath + "Shaders/",
// the 2048 x 2048 shadow map and the fog-of-war texture. Throws std::runtime_error
// with the player-facing message when a requirement is not met; nothing is left
// behind then. Does nothing in headless mode.
void InitRenderer(TLogProc logProc, SDL_Window* window);
// Releases everything InitRenderer made, the context last. Safe to call twice.
void ShutdownRenderer();
// True between a successful InitRenderer and ShutdownRenderer (and not headless).
bool RendererActive();

// The switch for --headless: the renderer is never initialised and stays inert.
void SetHeadlessRenderer(bool headless);
bool IsHeadlessRenderer();

// Stores the viewport and recomputes the aspect ratio; a zero or negative width or
// height keeps the previous aspect (a minimised window must not give the camera an
// infinite one).
void SetViewport(int32_t x, int32_t y, int32_t width, int32_t height);
struct TViewportInfo {
    int32_t X = 0, Y = 0, W = 0, H = 0;
    int32_t Right = 0, Bottom = 0;
    double Aspect = 1.0;
};
TViewportInfo GetViewport();

// Logs the driver data the platform offers: the shading-language version.
void LogDriverInfo();

// The canvas lives in the GUI library, above the renderer; the application wires
// its screen-space routines in here. Without them DrawGUI uses a plain 0..1
// orthographic projection of its own.
struct TCanvasHooks {
    void (*SetSize)(int32_t width, int32_t height) = nullptr;
    void (*Begin)() = nullptr;
    void (*End)() = nullptr;
    void (*FreeFonts)() = nullptr;  // called by ShutdownRenderer
};
void SetCanvasHooks(const TCanvasHooks& hooks);

// ---- per-frame queues ----

// What the renderer needs to know of one model instance. QueueModel fills it from a
// TGameModel or TGamePersonage; anything else drawable can queue one directly.
struct TModelDrawItem {
    int32_t ModelHandle = -1;
    TMatrix4f ModelMatrix = IdentityMatrix;
    bool ShowOutline = false;
    bool ShowCollision = false;
    // A personage: skinned programs, pose, tint, fading, diffuse variant.
    bool Skinned = false;
    bool UseColor = false;
    TMyVector3f Color{1.0f, 1.0f, 1.0f};
    bool Fading = false;
    float Alpha = 1.0f;
    int32_t Variant = 0;
    // BoneCount frames; must stay valid until RenderScene.
    const TBoneFrame* Pose = nullptr;
    int32_t BoneCount = 0;
};

// The pose array of the skinning programs holds this many bones.
inline constexpr int32_t MaxSkinBones = 40;

void QueueModel(const TGameModel* model);
// The marks a scene puts on its models, beside those a model asks for itself
// (ShowOutline, ShowCollision): the selection ring on the outlined ones, the
// collision box on the hovered one. QueueModel applies them; kept until replaced.
void SetModelMarks(std::vector<const TGameModel*> outlined, const TGameModel* hovered);
void QueueModelItem(const TModelDrawItem& item);

// A water ripple at world (x, y, z) of age (and half-size) r; drawn only over water.
void QueueWaterRing(float x, float y, float z, float r, int32_t texture);

struct TColorRGBA {
    float R = 1.0f, G = 1.0f, B = 1.0f, A = 1.0f;
};
// A ring lying flat at the centre's height, drawn over everything.
void QueueRangeRing(const TMyVector3f& centre, const TColorRGBA& color, int32_t texture, float radius);

// The landscape of this frame (cleared after every scene pass): called with
// "LandTile" bound, the fog on texture unit 2 and the shadow map on unit 3.
void QueueLandscape(std::function<void()> draw);
// The water of the map (kept until replaced; an empty function removes it): called
// with "Noise" bound; the water marks the stencil so that water rings stay on it.
void SetWaterDraw(std::function<void(TShader&)> draw);

// The four world points the shadow map must cover (the ground seen by the camera).
void SetShadowFocus(const std::array<TMyVector3f, 4>& points);

// The rubber-band frame, in viewport pixels with y upward.
void SetSelectionVisible(bool visible);
void SetSelectionRect(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

// The cursor picture (-1 = none): mode 0 centres the 32-pixel square on the
// pointer, any other mode puts its top-left corner there.
void SetCursor(int32_t texture, int32_t mode);
// Where the pointer is, in window pixels with y downward. By default the window
// system's pointer; scripted runs point it at their own input state.
using TCursorPosProc = void (*)(int32_t& x, int32_t& y);
void SetCursorPosProc(TCursorPosProc proc);

// Viewport pixels (y upward) to normalised device coordinates -1..1.
void ScreenToNDC(float x, float y, float& fx, float& fy);

// ---- fog of war ----

// Rebuilds the fog texture from a w x h grid (index row * w + col; cells past the
// end of `visible` count as hidden) and blurs it. A tile the player sees is bright,
// one he does not see is darkened by the world's shaders.
void UpdateFogTexture(int32_t w, int32_t h, const std::vector<bool>& visible);
// The fog texture over a screen rectangle (the mini-map), in the current projection.
void DrawFogOverlay(float x1, float y1, float x2, float y2);

// ---- the frame ----

// The GUI the next RenderScene draws nothing under (TGUIObject::DrawCover); null for
// none. It must be the one DrawGUI draws after it.
void QueueGUICover(TGUIObject* gui);
void RenderScene(TCamera* camera, const TMyVector3f& light);
void DrawGUI(TGUIObject* gui);
// Selection frame and cursor, buffer swap, frame-rate meter and vertical sync.
void EndFrame();

// The mean frame rate of the last 85-frame block (100 before the first one ends).
double CurrentFps();
void RestartFrameTimer();

// GL timer queries round the passes of each frame (shadow, landscape, water,
// models, overlays), when the driver has them; their means go to the log at the
// end of every 85-frame block. Off unless MYGAME_PASS_TIMES=1 at start-up. True
// when timing is on.
bool SetPassTiming(bool on);

// Writes the back buffer (the frame drawn so far) as an RGB PNG file.
bool SaveScreenshotPNG(const std::string& fileName);
// Asks the next EndFrame to write the finished frame, overlays included, just
// before the swap. The result is logged.
void RequestScreenshot(const std::string& fileName);

// ---- inspection (tests, diagnostics) ----

enum TMeshBucket : int32_t {
    BucketStaticBump = 0,
    BucketStaticPlain,
    BucketStaticEmissive,
    BucketStaticBlended,
    BucketSkinBump,
    BucketSkinPlain,
    BucketSkinEmissive,
    BucketSkinTranslucent,
    BucketCount
};
// Where one mesh of an instance is drawn.
TMeshBucket ChooseMeshBucket(bool personage, bool fading, const TVBORendMesh& mesh);

struct TFrameStats {
    int32_t Instances = 0;
    int32_t ModelInfos = 0;
    std::array<int32_t, BucketCount> BucketSizes{};
    int32_t WaterRings = 0;
    int32_t RangeRings = 0;
    bool Landscape = false;
    int32_t DrawCalls = 0;    // indexed mesh draws, shadow pass included
    int32_t ShadowDraws = 0;  // of which in the shadow pass
    // Texels of the shadow map the casters were drawn into: those the view can
    // read, or the whole map when that could not be told.
    int32_t ShadowTexels = 0;
    // Landscape tiles drawn; of those, the ones drawn reading the shadow map (the
    // tiles a caster may reach) and the fog (all but those deep inside what is seen).
    int32_t LandTiles = 0;
    int32_t LandTilesShadowed = 0;
    int32_t LandTilesFogged = 0;
    // How the still casters came into the shadow map (StillShadow*), and how many
    // were drawn this frame for it.
    int32_t StillShadow = 0;
    int32_t StillCastersDrawn = 0;
};
enum : int32_t {
    StillShadowDrawn = 0,   // drawn into the map, as every frame before the view stood still
    StillShadowKept = 1,    // drawn into the kept copy, then copied
    StillShadowCopied = 2,  // copied from the copy kept since an earlier frame
};
// Counts of the last RenderScene.
TFrameStats LastFrameStats();

// The rubber-band frame as last set (viewport pixels, y upward).
struct TSelectionFrame {
    bool Visible = false;
    int32_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};
TSelectionFrame GetSelectionFrame();

// GL names and sizes of the renderer's own objects (0 when not made).
struct TRendererObjects {
    uint32_t FogTex = 0, FogTmpTex = 0, FogFBO = 0;
    int32_t FogW = 0, FogH = 0;
    uint32_t ShadowDepthTex = 0, ShadowColorTex = 0, ShadowFBO = 0;
    int32_t ShadowSize = 0;
    int32_t ShaderCount = 0;
};
TRendererObjects GetRendererObjects();
// The program of that name, or null (headless, or not created).
TShader* FindRendererShader(const std::string& name);

// The light's view: from the origin towards -light, up vector (1, 0, -1) (another
// one when the light lies along it); a zero light counts as straight above.
TMatrix4f ShadowLightView(const TMyVector3f& light);
// An orthographic projection around the focus points seen from the light, snapped
// to whole texels of a map of `size` texels so the shadows do not shimmer.
TMatrix4f FitShadowProjection(const std::array<TMyVector3f, 4>& focus, const TMatrix4f& lightView,
                              int32_t size);

// The frame-rate meter: the mean of the instantaneous rates over blocks of 85 frames.
class TFrameRateMeter {
public:
    static constexpr int32_t BlockFrames = 85;
    // Adds one frame of `ms` milliseconds (0 counts as 1 ms). True when a block
    // ended; then Fps() holds its mean and VSync() whether to synchronise.
    bool AddFrame(double ms);
    double Fps() const { return Fps_; }
    bool VSync() const { return Fps_ >= 50.0; }

private:
    double Fps_ = 100.0;
    float Sum = 0.0f;
    int32_t Count = 0;
};
