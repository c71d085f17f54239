#pragma once
// The renderer's module state, shared by its source files and nobody else.

#include "app/e_Platform.h"
#include "render/e_ShaderObject.h"
#include "render/my_Viewer.h"
#include "resources/GameDataNames.h"

#include <epoxy/gl.h>

#include <memory>
#include <string>
#include <vector>

namespace viewer {

// The programs, in the order they are created; the index is the slot.
enum TProgram : int32_t {
    prLandTile = 0,
    prModelSimple,
    prModelBamp,
    prModelSimpleSkel,
    prNoTextured,
    prNoBamp,
    prNoBampSpec,
    prEmission,
    prBamp,
    prBampSpec,
    prBampParallax,
    prBampParallaxSpec,
    prBlendObj,
    prBlendObjSpec,
    prSimpleTextured,
    prBlurGausHOR,
    prBlurGausVER,
    prNoBampSkel,
    prNoBampSpecSkel,
    prEmissionSkel,
    prWarFog,
    prDrawToShadowMap,
    prDrawToShadowMapSkel,
    prViewDepth,
    prBasicShader,
    prFlatShad,
    prFlatShadSkel,
    prNoise,
    prWaterRing,
    prRangeRing,
    ProgramCount
};

// Name and whether a pass draws with it (the others may be missing), by slot.
using TProgramInfo = GameNames::TProgramName;
inline constexpr const auto& ProgramTable = GameNames::ShaderPrograms;
static_assert(GameNames::ShaderPrograms.size() == ProgramCount);

// Model information gathered once per distinct model of a frame.
struct TResMdlInfo {
    int32_t ModelHandle = -1;
    const TStoredRendData* RendData = nullptr;
    const TStoredColidData* ColidData = nullptr;
    const TVBORendData* VBOData = nullptr;
};

struct TMeshPtr {
    int32_t Instance = 0;
    int32_t Info = 0;
    int32_t Mesh = 0;
};

struct TWaterRingData {
    float X = 0, Y = 0, Z = 0, R = 0;
};

struct TRangeRingData {
    TMyVector3f Centre;
    float Radius = 0;
    TColorRGBA Color;
};

// The parts of a frame timed apart.
enum TPass : int32_t {
    PassShadow = 0,
    PassLandscape,
    PassWater,
    PassModels,
    PassOverlays,
    PassCount
};

// What a landscape tile's fragments must look up.
enum TLandNeeds : int32_t {
    LandNeedsShadow = 1,
    LandNeedsFog = 2,
    LandNeedsAll = 3
};

// Corner k (0..7) of the box lo..hi: bit 0 picks x, bit 1 y, bit 2 z from hi.
inline TMyVector3f BoxCorner(const TMyVector3f& lo, const TMyVector3f& hi, int k) {
    return {(k & 1) ? hi.x : lo.x, (k & 2) ? hi.y : lo.y, (k & 4) ? hi.z : lo.z};
}

// Marks on a grid summed over the rectangles from its origin, so that whether a
// rectangle holds any mark costs four reads.
struct TGridSums {
    int32_t W = 0, H = 0;
    std::vector<int32_t> Sums;  // (W + 1) x (H + 1); empty when never made

    // marked(col, row) says whether a cell is marked.
    template <class TMarked>
    void Make(int32_t w, int32_t h, TMarked&& marked) {
        W = w, H = h;
        Sums.assign(size_t(w + 1) * size_t(h + 1), 0);
        for (int32_t r = 0; r < h; ++r)
            for (int32_t c = 0; c < w; ++c)
                Sums[At(c + 1, r + 1)] =
                    (marked(c, r) ? 1 : 0) + Sums[At(c + 1, r)] + Sums[At(c, r + 1)] - Sums[At(c, r)];
    }
    void Clear() { W = H = 0, Sums.clear(); }
    bool Empty() const { return Sums.empty(); }
    // Whether a cell of columns c0..c1 and rows r0..r1 (inside the grid) is marked.
    bool AnyMarked(int32_t c0, int32_t r0, int32_t c1, int32_t r1) const {
        return Sums[At(c1 + 1, r1 + 1)] - Sums[At(c1 + 1, r0)] - Sums[At(c0, r1 + 1)] + Sums[At(c0, r0)] > 0;
    }

private:
    size_t At(int32_t c, int32_t r) const { return size_t(r) * size_t(W + 1) + size_t(c); }
};

// What decides where the shadow pass puts a caster: the light's view and
// projection, and the scissor box the casters are drawn in, if any.
struct TShadowView {
    float Projection[16] = {};
    float LightView[16] = {};
    bool Scissored = false;
    int32_t Area[4] = {};
    bool operator==(const TShadowView&) const = default;
};

// A still mesh as the shadow pass draws it, and the box its model fills.
struct TStillCaster {
    uint32_t VertexBuffer = 0, IndexBuffer = 0;
    int32_t TriCount = 0;
    int32_t CutOut = -1;  // the texture whose alpha cuts the mesh, -1 for a solid one
    float AlphaRef = 0.0f;
    bool Boxed = false;  // whether BoxMin and BoxMax are known
    TMyVector3f BoxMin, BoxMax;
    TMatrix4f Matrix;
};

struct TViewerState {
    TLogProc LogProc = nullptr;
    SDL_Window* Window = nullptr;
    void* Context = nullptr;  // SDL_GLContext
    bool Active = false;
    bool Headless = false;

    int32_t ViewX = 0, ViewY = 0, ViewW = 0, ViewH = 0;
    int32_t ViewRight = 0, ViewBottom = 0;
    double Aspect = 1.0;

    std::unique_ptr<TShader> Programs[ProgramCount];
    // "LandTile" made without what a tile may not need, indexed by TLandNeeds: the
    // shadow lookups for tiles no caster can reach, the fog lookup for tiles that
    // lie deep inside what the player sees. LandNeedsAll is "LandTile" itself.
    std::unique_ptr<TShader> LandVariants[LandNeedsAll];
    // While the landscape is drawn: the program for each TLandNeeds, all set up;
    // null outside the renderer's frame.
    TShader* LandPrograms[LandNeedsAll + 1] = {};
    // "modelSimple" and "modelSimpleSkel" made with NO_GLOSS, by slot (empty for the
    // others): a bucket without a gloss map is drawn with them.
    std::unique_ptr<TShader> Glossless[ProgramCount];

    int32_t ShadowSize = 2048;
    GLuint ShadowDepthTex = 0, ShadowColorTex = 0, ShadowFBO = 0;  // this frame's shadow map
    // The other shadow map, last frame's: the shadow pass swaps the two.
    struct {
        GLuint DepthTex = 0, ColorTex = 0, FBO = 0;
    } SpareShadow;
    // Where this frame's casters may have drawn into the shadow map
    // (my_ViewerCasterMask.cpp): a 256 x 256 mask over it, empty when unknown.
    TGridSums CasterCells;
    TMatrix4f CasterLight = IdentityMatrix;
    // The still casters' depth, kept while the view stands still
    // (my_ViewerStillShadow.cpp).
    struct {
        GLuint DepthTex = 0, ColorTex = 0, FBO = 0;  // none where frame buffers cannot be copied
        bool Kept = false;                           // the target holds Casters seen by View
        TShadowView View;
        std::vector<TStillCaster> Casters;  // in the order they were queued
        uint32_t Generation = 0;            // counts the target's contents
        // The shadow maps that hold the target whole, and which contents.
        GLuint WholeIn[2] = {};
        uint32_t WholeGeneration[2] = {};
        // The view and the still casters of the frame before.
        bool Seen = false;
        TShadowView LastView;
        std::vector<TStillCaster> LastCasters;
    } StillShadow;
    GLuint FogTex = 0, FogTmpTex = 0, FogFBO = 0;
    int32_t FogW = 0, FogH = 0;
    std::vector<uint8_t> FogCells;  // the grid the fog texture was last made from
    // The hidden cells of FogCells.
    TGridSums FogHidden;
    // Bound where a model names a texture that did not load.
    GLuint WhiteTex = 0;

    std::vector<TModelDrawItem> Instances;
    std::vector<const TGameModel*> OutlinedModels;  // SetModelMarks
    const TGameModel* HoveredModel = nullptr;
    std::vector<TWaterRingData> WaterRings;
    int32_t WaterRingTex = -1;
    std::vector<TRangeRingData> RangeRings;
    int32_t RangeRingTex = -1;
    std::function<void()> Landscape;
    // The heights the queued landscape spans, when whoever queued it told them.
    bool LandscapeBounded = false;
    float LandscapeLowest = 0.0f, LandscapeHighest = 0.0f;
    std::function<void(TShader&)> WaterDraw;
    TGUIObject* CoverGUI = nullptr;
    std::vector<TResMdlInfo> ModelInfos;
    std::vector<TMeshPtr> Buckets[BucketCount];

    std::array<TMyVector3f, 4> ShadowFocus{};
    TMyVector3f LightEye;
    TMatrix4f LightProjView = IdentityMatrix;
    TMatrix4f LightMatrix = IdentityMatrix;

    bool SelectionVisible = false;
    int32_t SelX1 = 0, SelY1 = 0, SelX2 = 0, SelY2 = 0;
    int32_t CursorTex = -1;
    int32_t CursorMode = 0;
    TCursorPosProc CursorPosProc = nullptr;

    TCanvasHooks Canvas;

    TFrameRateMeter Meter;
    double FrameStart = 0.0;
    bool SwapRefusalLogged = false;
    std::vector<std::string> PendingShots;

    TFrameStats Stats;

    // GL timer queries around the passes of a frame, when asked for and offered
    // by the driver; the means of each frame-rate block go to the log.
    bool PassTiming = false;
    bool PassQueriesPending = false;
    GLuint PassQueries[PassCount] = {};
    double PassSums[PassCount] = {};
    int32_t PassFrames = 0;
    std::vector<TThreadCpu> PassThreads;  // the threads' CPU when the block began
};

extern TViewerState V;

void LogLine(const std::string& text);
TShader* Program(TProgram p);
// The texture unit the bound program gave to a sampler; -1 when it has none.
int32_t SamplerUnit(const TShader& shader, const char* name);
// Binds a registry texture, or the white texture when the handle is not usable.
void BindTextureOrWhite(int32_t handle, int32_t unit);
void ClearQueues();
// Marks in depth, nearer than anything the 3D frame draws, where the queued GUI
// will lie opaque over it.
void DrawGUICover();
// Queues a landscape that spans the heights lowest..highest, which lets the
// shadow pass keep to what the view can read.
void QueueLandscape(std::function<void()> draw, float lowest, float highest);

// Calls `visit(instance, info)` once for every instance among a bucket's meshes (an
// instance's meshes follow each other), until it returns false.
template <class TVisit>
void ForEachInstanceIn(TMeshBucket bucket, TVisit&& visit) {
    int32_t previous = -1;
    for (const TMeshPtr& e : V.Buckets[bucket]) {
        if (e.Instance == previous)
            continue;
        previous = e.Instance;
        if (!visit(V.Instances[e.Instance], V.ModelInfos[e.Info]))
            return;
    }
}

// Marks where the queued casters may draw into the shadow map seen through
// lightProjView; until then, and after ForgetShadowCasters, every box may receive
// a shadow.
void MarkShadowCasters(const TMatrix4f& lightProjView);
void ForgetShadowCasters();
// Whether a world box may lie in the shadow of a caster marked this frame.
bool MayReceiveShadow(const TMyVector3f& lo, const TMyVector3f& hi);
// Whether the fog texture reads exactly "seen" all over the tile (col, row) of a map
// of cols x rows tiles: false when the fog grid is not that map's.
bool FogClearOver(int32_t col, int32_t row, int32_t cols, int32_t rows);

// A buffer or texture was deleted: its name may come back holding something else.
void ForgetStillShadow();
using TCasterDraw = void (*)(const std::vector<TMeshPtr>& solid, const std::vector<TMeshPtr>& cutOut);
// Clears the bound shadow map and puts the still casters into it as `view` sees them,
// then leaves the scissor box of `view` on for the moving casters. `draw` draws
// lists of them with the shadow pass's state.
void DrawStillCasters(const TShadowView& view, const std::vector<TMeshPtr>& solid,
                      const std::vector<TMeshPtr>& cutOut, TCasterDraw draw);

// Pass timing (MYGAME_PASS_TIMES=1): queries made at start-up, freed at shut-down.
void StartPassTiming();
void StopPassTiming();

}  // namespace viewer

// The world's draw queue and the resources' GL device (my_ViewerWorld.cpp), installed
// while the renderer runs.
void InstallRendererDevices();
void RemoveRendererDevices();
