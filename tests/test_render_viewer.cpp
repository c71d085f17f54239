// The renderer on a real (software) GL 2.1 context: set-up, the queues and buckets,
// the shadow pass, fog of war, rings, overlays, screenshots and the frame-rate meter.
// Pictures are checked by reading pixels back from the frame just drawn.

#include "TestSupport.h"

#include "app/e_CameraObject.h"
#include "app/e_GUiObject.h"
#include "app/e_Platform.h"
#include "render/e_ShaderObject.h"
#include "render/my_Viewer.h"
#include "render/my_ViewerWorld.h"
#include "resources/e_ModelLoader.h"
#include "resources/e_ModelObject.h"
#include "resources/e_ResourceManager.h"
#include "test_world_support.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <numbers>
#include <regex>
#include <string>
#include <vector>

namespace {

constexpr int Width = 320;
constexpr int Height = 240;

std::vector<std::string> LogLines;
void CaptureLog(const std::string& text) { LogLines.push_back(text); }

struct RGB {
    int r, g, b;
};

// ---- data files written for the tests ----

void WriteTGA(const std::string& path, int w, int h, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) {
    std::vector<uint8_t> f(18, 0);
    f[2] = 2;  // uncompressed true colour
    f[12] = static_cast<uint8_t>(w), f[13] = static_cast<uint8_t>(w >> 8);
    f[14] = static_cast<uint8_t>(h), f[15] = static_cast<uint8_t>(h >> 8);
    f[16] = 32;
    f[17] = 0x08;  // bottom-left origin, 8 alpha bits
    for (int i = 0; i < w * h; ++i) {
        f.push_back(b);
        f.push_back(g);
        f.push_back(r);
        f.push_back(a);
    }
    WriteBytes(path, f);
}

struct MeshSpec {
    std::string Texture;
    bool Emissive = false, Blended = false;
    std::string Bump;
    std::string Gloss;
    float SpecPower = 0.0f;
};

MeshSpec Tex(const char* texture, bool emissive = false, bool blended = false, const char* bump = "") {
    MeshSpec m;
    m.Texture = texture;
    m.Emissive = emissive;
    m.Blended = blended;
    m.Bump = bump;
    return m;
}

// A 2 x 2 square in the xy plane facing +z, centred on the origin. Skinned
// vertices belong to bone 0 with full weight.
TStoredRenderMesh Square(const MeshSpec& shape, bool skinned) {
    TStoredRenderMesh m;
    m.Name = "square";
    m.Material.DiffuseMap = shape.Texture;
    m.Material.Emissive = shape.Emissive;
    m.Material.Blended = shape.Blended;
    m.Material.BumpMap = shape.Bump;
    m.Material.GlossMap = shape.Gloss;
    m.Material.SpecPower = shape.SpecPower;
    m.BoxMin = {-1, -1, 0};
    m.BoxMax = {1, 1, 0};
    const float corners[4][4] = {{-1, -1, 0, 0}, {1, -1, 1, 0}, {1, 1, 1, 1}, {-1, 1, 0, 1}};
    for (const auto& c : corners) {
        const float v[14] = {c[0], c[1], 0, 0, 0, 1, 1, 0, 0, 0, 1, 0, c[2], c[3]};
        m.Vertices.insert(m.Vertices.end(), v, v + 14);
        if (skinned) {
            const float bones[8] = {0, 0, 0, 0, 1, 0, 0, 0};
            m.Vertices.insert(m.Vertices.end(), bones, bones + 8);
        }
    }
    m.VertCount = 4;
    m.Triangles = {{0, 1, 2}, {0, 2, 3}};
    m.TriCount = 2;
    return m;
}

void WriteModel(const std::string& path, const std::vector<MeshSpec>& meshes, bool skinned) {
    TModelStreamData data;
    data.Skinned = skinned;
    TStoredColideMesh c;
    c.Name = "box";
    c.BoxMin = {-1, -1, 0};
    c.BoxMax = {1, 1, 0};
    c.Vertices = {{-1, -1, 0}, {1, -1, 0}, {1, 1, 0}, {-1, 1, 0}};
    c.Triangles = {{0, 1, 2}, {0, 2, 3}};
    data.ColidData.Meshes.push_back(c);
    data.RendData.BoneCount = skinned ? 1 : 0;
    for (const MeshSpec& s : meshes)
        data.RendData.Meshes.push_back(Square(s, skinned));
    WriteBytes(path, WriteModelStream(data));
}

// ---- the fixture: one window, one renderer, one registry for the whole file ----

class Viewer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("MESA_GL_VERSION_OVERRIDE", "2.1", 1);
        setenv("MESA_GLSL_VERSION_OVERRIDE", "120", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        SetRendererContextAttributes();
        Window = SDL_CreateWindow("viewer", 0, 0, Width, Height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(Window, nullptr) << SDL_GetError();

        Data = new TempDir;
        std::string tex = Data->path() + "/Data/Textures/";
        WriteTGA(tex + "Red.tga", 4, 4, 255, 0, 0);
        WriteTGA(tex + "Green.tga", 4, 4, 0, 255, 0);
        WriteTGA(tex + "Blue.tga", 4, 4, 0, 0, 255);
        WriteTGA(tex + "White.tga", 4, 4, 255, 255, 255);
        WriteTGA(tex + "Flat.tga", 4, 4, 128, 128, 255);  // a normal map facing straight out
        WriteTGA(tex + "Figure.tga", 4, 4, 200, 200, 0);
        WriteTGA(tex + "Figure_1.tga", 4, 4, 0, 200, 200);
        WriteTGA(tex + "Ring.tga", 4, 4, 255, 255, 255);
        WriteTGA(tex + "Sand.tga", 4, 4, 250, 240, 200);
        WriteTGA(tex + "Smoke.tga", 4, 4, 255, 255, 255, 128);
        {
            // Blue, opaque in its left half and clear in its right.
            std::vector<uint8_t> f(18, 0);
            f[2] = 2, f[12] = 4, f[14] = 4, f[16] = 32, f[17] = 0x08;
            for (int i = 0; i < 16; ++i)
                f.insert(f.end(), {255, 0, 0, uint8_t(i % 4 < 2 ? 255 : 0)});
            WriteBytes(tex + "HalfBlue.tga", f);
        }
        std::string models = Data->path() + "/Data/Modeles/";
        WriteModel(models + "Red.PRM", {Tex("Red.tga")}, false);
        WriteModel(models + "Glow.PRM", {Tex("Green.tga", true)}, false);
        WriteModel(models + "Bumpy.PRM", {Tex("Blue.tga", false, false, "Flat.tga")}, false);
        WriteModel(models + "Glass.PRM", {Tex("Smoke.tga", false, true)}, false);
        WriteModel(models + "Wall.PRM", {Tex("White.tga")}, false);
        WriteModel(models + "Pair.PRM", {Tex("Red.tga"), Tex("Green.tga", true)}, false);
        WriteModel(Data->path() + "/Data/Animates/Figure.PAM", {Tex("Figure.tga")}, true);
        WriteModel(Data->path() + "/Data/Animates/Knight.PAM",
                   {Tex("Figure.tga", false, false, "Flat.tga"), Tex("Green.tga", true)}, true);
        WriteModel(models + "Bare.PRM", {Tex("Missing.tga")}, false);
        MeshSpec shiny = Tex("Red.tga");
        shiny.Gloss = "White.tga";
        shiny.SpecPower = 2.0f;
        WriteModel(models + "Shiny.PRM", {shiny}, false);

        AppPath = std::string(MYGAME_BINARY_DIR) + "/";
        SetMessageBoxesEnabled(false);
        SetViewport(0, 0, Width, Height);
        InitRenderer(CaptureLog, Window);
        InitResourceSystem(CaptureLog, Data->path() + "/", "Data/Textures/", "Data/Modeles/",
                           "Data/Animates/");
        Cam = new TCamera(60.0, 1.0, 0.5, 100.0);
    }

    static void TearDownTestSuite() {
        delete Cam;
        FreeResourceSystem();
        ShutdownRenderer();
        SDL_DestroyWindow(Window);
        SDL_Quit();
        delete Data;
    }

    void SetUp() override {
        SetViewport(0, 0, Width, Height);
        SetShadowFocus({TMyVector3f{-4, 0, -4}, {4, 0, -4}, {4, 0, 4}, {-4, 0, 4}});
        SetSelectionVisible(false);
        SetCursor(-1, 0);
        SetWaterDraw(nullptr);
        UpdateFogTexture(1, 1, {true});
        // Looking along -z from the origin.
        Cam->Orientation = IdentityQuat;
        Cam->SetPosition(0, 0, 0);
    }

    static TModelDrawItem Item(const char* model, float x, float y, float z) {
        TModelDrawItem item;
        item.ModelHandle = LoadModel(model);
        item.ModelMatrix = MatTranslation(x, y, z);
        return item;
    }
    static TModelDrawItem Figure(float x, float y, float z) {
        TModelDrawItem item = Item("Figure.PAM", x, y, z);
        item.Skinned = true;
        return item;
    }

    // The window pixel where a world point lands with the camera.
    static void Project(const TMyVector3f& p, int& px, int& py) {
        TMyVector4f c = MatTransformVec4(Cam->GetCombinedMatrix(), TMyVector4f{p.x, p.y, p.z, 1.0f});
        px = static_cast<int>(std::lround((c.x / c.w * 0.5 + 0.5) * Width));
        py = static_cast<int>(std::lround((c.y / c.w * 0.5 + 0.5) * Height));
    }
    static RGB PixelAt(const TMyVector3f& p) {
        int x, y;
        Project(p, x, y);
        return Pixel(x, y);
    }
    static RGB Pixel(int x, int y) {
        uint8_t px[4] = {};
        glReadBuffer(GL_BACK);
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
        return RGB{px[0], px[1], px[2]};
    }

    static SDL_Window* Window;
    static TempDir* Data;
    static TCamera* Cam;
};

SDL_Window* Viewer::Window = nullptr;
TempDir* Viewer::Data = nullptr;
TCamera* Viewer::Cam = nullptr;

const TMyVector3f Front{0, 0, 10};  // a light behind the camera, shining along -z

TEST_F(Viewer, StartUpLogsTheDriverAndMakesEverything) {
    auto at = [](const std::string& prefix) {
        for (size_t i = 0; i < LogLines.size(); ++i)
            if (LogLines[i].rfind(prefix, 0) == 0)
                return static_cast<int>(i);
        return -1;
    };
    int begin = at("Renderer Init ...");
    ASSERT_GE(begin, 0);
    EXPECT_EQ(at("  Vendor: "), begin + 1);
    EXPECT_EQ(at("  Renderer: "), begin + 2);
    EXPECT_EQ(at("  Version OpenGL: 2.1"), begin + 3);
    EXPECT_EQ(at("  Version GLSL: 1.20"), begin + 4);
    EXPECT_EQ(at("  Extensions: "), begin + 5);
    EXPECT_GT(at("Create Shader: \"RangeRing\" - complete."), at("Create Shader: \"LandTile\" ..."));
    EXPECT_GT(at("Renderer Init - complete."), at("Create Shader: \"RangeRing\" - complete."));

    TRendererObjects o = GetRendererObjects();
    EXPECT_EQ(o.ShaderCount, 30);
    EXPECT_EQ(o.ShadowSize, 2048);
    GLint w = 0, h = 0;
    glBindTexture(GL_TEXTURE_2D, o.ShadowDepthTex);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_EQ(w, 2048);
    EXPECT_EQ(h, 2048);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, o.ShadowFBO);
    EXPECT_EQ(glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT),
              static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    EXPECT_NE(o.FogFBO, 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}
TEST_F(Viewer, ViewportKeepsItsAspectWhenTheWindowHasNoHeight) {
    SetViewport(0, 0, 800, 400);
    EXPECT_DOUBLE_EQ(GetViewport().Aspect, 2.0);
    SetViewport(0, 0, 800, 0);
    EXPECT_DOUBLE_EQ(GetViewport().Aspect, 2.0);
    EXPECT_EQ(GetViewport().Bottom, 0);
    SetViewport(10, 20, 100, 50);
    EXPECT_EQ(GetViewport().Right, 110);
    EXPECT_EQ(GetViewport().Bottom, 70);
    float fx, fy;
    ScreenToNDC(110, 20, fx, fy);
    EXPECT_FLOAT_EQ(fx, 1.0f);
    EXPECT_FLOAT_EQ(fy, -1.0f);
    ScreenToNDC(60, 45, fx, fy);
    EXPECT_FLOAT_EQ(fx, 0.0f);
    EXPECT_FLOAT_EQ(fy, 0.0f);

    // The camera follows the viewport at the next scene pass.
    SetViewport(0, 0, 400, 100);
    RenderScene(Cam, Front);
    EXPECT_DOUBLE_EQ(Cam->Aspect, 4.0);
}

TEST_F(Viewer, AnEmptyFrameIsClearedToBlack) {
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    RenderScene(nullptr, TMyVector3f{});
    RGB c = Pixel(Width / 2, Height / 2);
    EXPECT_EQ(c.r + c.g + c.b, 0);
    TFrameStats s = LastFrameStats();
    EXPECT_EQ(s.Instances, 0);
    EXPECT_EQ(s.DrawCalls, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// What bench/run reads: with timing on, every 85 frames one log line with the
// mean rasteriser milliseconds of each pass, and nothing else about the frame changes.
TEST_F(Viewer, PassTimesAreLoggedOncePerFrameRateBlock) {
    ASSERT_TRUE(SetPassTiming(true)) << "the offscreen driver has timer queries";
    const size_t before = LogLines.size();
    // A frame's results are read when the next one starts: 86 frames end one block.
    for (int frame = 0; frame < 86; ++frame) {
        QueueModelItem(Item("Red", -2.5f, 0, -8));
        QueueModelItem(Figure(2.5f, 0, -8));
        RenderScene(Cam, Front);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    EXPECT_GT(PixelAt({-2.5f, 0, -8}).r, 200);
    // The still model's shadow comes from the copy kept since the view stood still.
    EXPECT_EQ(LastFrameStats().StillShadow, StillShadowCopied);
    EXPECT_EQ(LastFrameStats().ShadowDraws, 1);
    EXPECT_FALSE(SetPassTiming(false));

    std::vector<std::string> blocks;
    for (size_t i = before; i < LogLines.size(); ++i)
        if (LogLines[i].rfind("Pass times", 0) == 0)
            blocks.push_back(LogLines[i]);
    ASSERT_EQ(blocks.size(), 1u);
    std::smatch m;
    static const std::regex line(
        "Pass times \\(ms, mean of 85 frames\\): shadow ([0-9.]+) landscape ([0-9.]+) water ([0-9.]+) "
        "models ([0-9.]+) overlays ([0-9.]+)");
    ASSERT_TRUE(std::regex_match(blocks[0], m, line)) << blocks[0];
    // With each block, the CPU of the process's threads a frame, the main thread first.
    std::vector<std::string> threads;
    for (size_t i = before; i < LogLines.size(); ++i)
        if (LogLines[i].rfind("Thread CPU", 0) == 0)
            threads.push_back(LogLines[i]);
    ASSERT_EQ(threads.size(), 1u);
    static const std::regex threadLine(
        "Thread CPU \\(ms a frame, mean of 85 frames\\): main [0-9.]+( [^ ]+ [0-9.]+)*");
    EXPECT_TRUE(std::regex_match(threads[0], threadLine)) << threads[0];
    // Drawing takes some time; nothing takes a second a frame. llvmpipe times the last
    // tile each of its threads drew, so a single pass may read 0.
    double all = 0.0;
    for (int k = 1; k <= 5; ++k)
        all += std::stod(m[k]);
    EXPECT_GT(all, 0.0) << blocks[0];
    for (int k = 1; k <= 5; ++k)
        EXPECT_LT(std::stod(m[k]), 1000.0) << blocks[0];

    // Off again: no more blocks.
    for (int frame = 0; frame < 90; ++frame)
        RenderScene(Cam, Front);
    size_t after = 0;
    for (size_t i = before; i < LogLines.size(); ++i)
        after += LogLines[i].rfind("Pass times", 0) == 0;
    EXPECT_EQ(after, 1u);
}

TEST_F(Viewer, MeshesGoToTheirMaterialBuckets) {
    TVBORendMesh plain, bump, glow, glass;
    bump.BumpTexture = 3;
    glow.Emissive = true;
    glass.Blended = true;
    glass.Emissive = true;  // blending wins
    EXPECT_EQ(ChooseMeshBucket(false, false, plain), BucketStaticPlain);
    EXPECT_EQ(ChooseMeshBucket(false, false, bump), BucketStaticBump);
    EXPECT_EQ(ChooseMeshBucket(false, false, glow), BucketStaticEmissive);
    EXPECT_EQ(ChooseMeshBucket(false, false, glass), BucketStaticBlended);
    EXPECT_EQ(ChooseMeshBucket(false, true, plain), BucketStaticPlain);  // only figures fade
    EXPECT_EQ(ChooseMeshBucket(true, false, plain), BucketSkinPlain);
    EXPECT_EQ(ChooseMeshBucket(true, false, bump), BucketSkinBump);
    EXPECT_EQ(ChooseMeshBucket(true, false, glow), BucketSkinEmissive);
    EXPECT_EQ(ChooseMeshBucket(true, true, bump), BucketSkinTranslucent);
    EXPECT_EQ(ChooseMeshBucket(true, false, glass), BucketSkinTranslucent);
}

TEST_F(Viewer, QueuedModelsAreDrawnInTheirColours) {
    QueueModelItem(Item("Red", -2.5f, 0, -8));
    QueueModelItem(Item("Glow", 0, 0, -8));
    QueueModelItem(Item("Bumpy", 2.5f, 0, -8));
    QueueModelItem(Item("Pair", 0, 2.5f, -8));  // two meshes: one plain, one emissive
    QueueModelItem(Item("NoSuchModel", 0, -2.5f, -8));
    RenderScene(Cam, Front);

    TFrameStats s = LastFrameStats();
    EXPECT_EQ(s.Instances, 5);
    EXPECT_EQ(s.ModelInfos, 5);
    EXPECT_EQ(s.BucketSizes[BucketStaticPlain], 2);
    EXPECT_EQ(s.BucketSizes[BucketStaticEmissive], 2);
    EXPECT_EQ(s.BucketSizes[BucketStaticBump], 1);
    // Every opaque mesh is drawn twice: once into the shadow map, once on screen.
    EXPECT_EQ(s.ShadowDraws, 5);
    EXPECT_EQ(s.DrawCalls, 10);

    RGB red = PixelAt({-2.5f, 0, -8});
    RGB green = PixelAt({0, 0, -8});
    RGB blue = PixelAt({2.5f, 0, -8});
    EXPECT_GT(red.r, 200);
    EXPECT_LT(red.g + red.b, 30);
    EXPECT_GT(green.g, 240);  // emissive: full brightness
    EXPECT_LT(green.r + green.b, 30);
    EXPECT_GT(blue.b, 200);
    EXPECT_LT(blue.r + blue.g, 30);
    RGB gap = PixelAt({-1.25f, 0, -8});
    EXPECT_EQ(gap.r + gap.g + gap.b, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    // The queues are consumed: the next frame is empty.
    RenderScene(Cam, Front);
    EXPECT_EQ(LastFrameStats().Instances, 0);
    EXPECT_EQ(PixelAt({-2.5f, 0, -8}).r, 0);
}

// Meshes without a gloss map are drawn by a program made without the highlight; one
// with a gloss map in the same bucket keeps it for the whole bucket.
TEST_F(Viewer, AGlossMapShinesBesidePlainMeshes) {
    QueueModelItem(Item("Red", 2.5f, 0, -8));
    RenderScene(Cam, Front);
    const RGB alone = PixelAt({2.5f, 0, -8});
    EXPECT_GT(alone.r, 200);
    EXPECT_LT(alone.g + alone.b, 30);

    QueueModelItem(Item("Shiny", -2.5f, 0, -8));
    QueueModelItem(Item("Red", 2.5f, 0, -8));
    RenderScene(Cam, Front);
    EXPECT_EQ(LastFrameStats().BucketSizes[BucketStaticPlain], 2);
    const RGB shiny = PixelAt({-2.5f, 0, -8});
    EXPECT_GT(shiny.g, 150) << "the light behind the camera shines on the glossy square";
    const RGB plain = PixelAt({2.5f, 0, -8});
    EXPECT_EQ(plain.r, alone.r);
    EXPECT_EQ(plain.g, alone.g);
    EXPECT_EQ(plain.b, alone.b);
}

TEST_F(Viewer, GameModelsAreQueuedWithTheirPlacement) {
    TGameModel model("Red");
    model.ModelMatrix = MatTranslation(1.5f, 0, -6);
    QueueModel(&model);
    QueueModel(nullptr);
    RenderScene(Cam, Front);
    EXPECT_EQ(LastFrameStats().Instances, 1);
    EXPECT_GT(PixelAt({1.5f, 0, -6}).r, 200);
    EXPECT_EQ(PixelAt({-1.5f, 0, -6}).r, 0);
}

TEST_F(Viewer, FiguresFollowTheirPose) {
    TBoneFrame pose[1];
    pose[0].Position = {0, 1.5f, 0};
    pose[0].Rotation = IdentityQuat;
    TModelDrawItem lifted = Figure(-2, 0, -8);
    lifted.Pose = pose;
    lifted.BoneCount = 1;
    TModelDrawItem rest = Figure(2, 0, -8);  // no pose: the bind pose, not the other figure's
    QueueModelItem(lifted);
    QueueModelItem(rest);
    RenderScene(Cam, Front);
    EXPECT_EQ(LastFrameStats().BucketSizes[BucketSkinPlain], 2);
    EXPECT_GT(PixelAt({-2, 1.5f, -8}).r, 150);
    EXPECT_EQ(PixelAt({-2, -0.6f, -8}).r, 0);
    EXPECT_GT(PixelAt({2, 0, -8}).r, 150);
    EXPECT_EQ(PixelAt({2, 1.5f, -8}).r, 0);
}

TEST_F(Viewer, BumpMappedAndGlowingFiguresAreNotLeftAsShadows) {
    TModelDrawItem knight = Item("Knight.PAM", -1.5f, 0, -8);
    knight.Skinned = true;
    QueueModelItem(knight);
    RenderScene(Cam, Front);
    TFrameStats s = LastFrameStats();
    EXPECT_EQ(s.BucketSizes[BucketSkinBump], 1);
    EXPECT_EQ(s.BucketSizes[BucketSkinEmissive], 1);
    EXPECT_EQ(s.ShadowDraws, 2);
    EXPECT_EQ(s.DrawCalls, 4);
    // Both meshes lie on the same square; the emissive green one is drawn last.
    EXPECT_GT(PixelAt({-1.5f, 0, -8}).g, 200);
}

TEST_F(Viewer, AModelWhoseTextureIsMissingIsDrawnPlain) {
    QueueModelItem(Item("Bare", 0, 0, -8));
    RenderScene(Cam, Front);
    RGB c = PixelAt({0, 0, -8});
    EXPECT_GT(c.r, 200);
    EXPECT_GT(c.g, 200);
    EXPECT_GT(c.b, 200);
}

TEST_F(Viewer, ATintedFigureShowsThroughWhatStandsBeforeIt) {
    TModelDrawItem wall = Item("Wall", 0, 0, -5);
    wall.ModelMatrix = MatMultiply(MatTranslation(0, 0, -5), MatScaling(4, 4, 1));
    TModelDrawItem tinted = Figure(-1, 0, -10);
    tinted.UseColor = true;
    tinted.Color = {0, 0, 1};
    TModelDrawItem hidden = Figure(1, 0, -10);
    QueueModelItem(wall);
    QueueModelItem(tinted);
    QueueModelItem(hidden);
    RenderScene(Cam, Front);
    RGB through = PixelAt({-1, 0, -10});
    RGB behind = PixelAt({1, 0, -10});
    // The yellow figure mixed with its blue tint, not the white wall.
    EXPECT_LT(through.r, 160) << "the tinted figure should be drawn over the wall";
    EXPECT_GT(through.b, 60);
    EXPECT_GT(behind.r, 200);
    EXPECT_GT(behind.b, 200);
}

TEST_F(Viewer, AFadingFigureIsTranslucentAndCastsNoShadow) {
    TModelDrawItem fading = Figure(0, 0, -8);
    fading.Fading = true;
    fading.Alpha = 0.5f;
    QueueModelItem(fading);
    RenderScene(Cam, Front);
    TFrameStats s = LastFrameStats();
    EXPECT_EQ(s.BucketSizes[BucketSkinTranslucent], 1);
    EXPECT_EQ(s.BucketSizes[BucketSkinPlain], 0);
    EXPECT_EQ(s.ShadowDraws, 0);
    RGB c = PixelAt({0, 0, -8});
    // (200, 200, 0) at half opacity over black.
    EXPECT_NEAR(c.r, 100, 12);
    EXPECT_NEAR(c.g, 100, 12);
}

TEST_F(Viewer, AFigureWearsItsVariantOnlyWhenTheModelHasIt) {
    TModelDrawItem first = Figure(-2, 0, -8);
    first.Variant = 1;  // Figure_1.tga exists
    TModelDrawItem third = Figure(2, 0, -8);
    third.Variant = 3;  // no Figure_3.tga: the base map
    TModelDrawItem wild = Figure(0, 2.5f, -8);
    wild.Variant = 99;  // outside the table: the base map, no stray read
    QueueModelItem(first);
    QueueModelItem(third);
    QueueModelItem(wild);
    RenderScene(Cam, Front);
    RGB a = PixelAt({-2, 0, -8});
    RGB b = PixelAt({2, 0, -8});
    RGB c = PixelAt({0, 2.5f, -8});
    EXPECT_LT(a.r, 30);
    EXPECT_GT(a.b, 150);
    EXPECT_GT(b.r, 150);
    EXPECT_LT(b.b, 30);
    EXPECT_GT(c.r, 150);
}

TEST_F(Viewer, BlendedGlassLetsTheBackgroundThrough) {
    QueueModelItem(Item("Red", 0, 0, -10));
    TModelDrawItem glass = Item("Glass", 0, 0, -6);
    QueueModelItem(glass);
    RenderScene(Cam, Front);
    EXPECT_EQ(LastFrameStats().BucketSizes[BucketStaticBlended], 1);
    // Half-transparent white over the red square.
    RGB c = PixelAt({0, 0, -6});
    EXPECT_GT(c.r, 230);
    EXPECT_NEAR(c.g, 128, 20);
    EXPECT_NEAR(c.b, 128, 20);
}

// Camera above the ground looking down; the light stands to the +x side.
class ViewerFromAbove : public Viewer {
protected:
    void SetUp() override {
        Viewer::SetUp();
        Cam->Orientation = IdentityQuat;
        Cam->Rotate(std::numbers::pi / 2, 0, 0);
        Cam->SetPosition(0, 12, 0);
        White = LoadTexture("White", false);
    }
    // The landscape as the map hands it over: a flat white ground drawn with the
    // program the renderer has bound.
    static void Ground() {
        BindTexture(White, 0);
        BindTexture(White, 1);
        glColor4f(1, 1, 1, 0);
        glNormal3f(0, 1, 0);
        glBegin(GL_QUADS);
        glMultiTexCoord2f(GL_TEXTURE0, 0, 0);
        glVertex3f(-6, 0, -6);
        glVertex3f(-6, 0, 6);
        glVertex3f(6, 0, 6);
        glVertex3f(6, 0, -6);
        glEnd();
    }
    static int32_t White;
};
int32_t ViewerFromAbove::White = -1;

TEST_F(ViewerFromAbove, TheLandscapeIsDrawnWithItsProgramAndTextures) {
    int calls = 0;
    GLint program = 0, fogOnUnit2 = 0, shadowOnUnit3 = 0;
    QueueLandscape([&] {
        ++calls;
        glGetIntegerv(GL_CURRENT_PROGRAM, &program);
        glActiveTexture(GL_TEXTURE2);
        glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE_ARB, &fogOnUnit2);
        glActiveTexture(GL_TEXTURE3);
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &shadowOnUnit3);
        glActiveTexture(GL_TEXTURE0);
        Ground();
    });
    RenderScene(Cam, TMyVector3f{10, 10, 0});
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(static_cast<GLuint>(program), FindRendererShader("LandTile")->Program);
    EXPECT_EQ(static_cast<GLuint>(fogOnUnit2), GetRendererObjects().FogTex);
    EXPECT_EQ(static_cast<GLuint>(shadowOnUnit3), GetRendererObjects().ShadowDepthTex);
    EXPECT_TRUE(LastFrameStats().Landscape);
    EXPECT_GT(PixelAt({3, 0, 3}).r, 100);

    // The landscape must be queued again for every frame.
    RenderScene(Cam, TMyVector3f{10, 10, 0});
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(LastFrameStats().Landscape);
}

TEST_F(ViewerFromAbove, ModelsCastShadowsOnTheGround) {
    // A red square lying flat one unit above the ground at the origin; the light
    // comes from +x at 45 degrees, so the shadow falls one unit towards -x.
    TModelDrawItem roof = Item("Red", 0, 1, 0);
    roof.ModelMatrix =
        MatMultiply(MatTranslation(0, 1, 0),
                    MatMultiply(MatRotationX(-std::numbers::pi_v<float> / 2), MatScaling(0.5f, 0.5f, 1)));
    QueueModelItem(roof);
    QueueLandscape(Ground);
    RenderScene(Cam, TMyVector3f{100, 100, 0});
    RGB shadowed = PixelAt({-1, 0, 0});
    RGB lit = PixelAt({-1, 0, 2.5f});
    RGB beyond = PixelAt({-3, 0, 0});
    EXPECT_LT(shadowed.g + 40, lit.g) << "ground under the shadow should be darker";
    EXPECT_NEAR(lit.g, beyond.g, 6);
    EXPECT_GT(PixelAt({0, 1, 0}).r, 150);  // the square itself
}

// Casters are drawn only into the texels the view can read; a caster far out of
// sight whose shadow falls into the view is among them.
TEST_F(ViewerFromAbove, ACasterOutOfSightStillShadowsWhatIsInSight) {
    // A map wider than the view, as when the camera looks down at a slant.
    SetShadowFocus({TMyVector3f{-14, 0, -14}, {14, 0, -14}, {14, 0, 14}, {-14, 0, 14}});
    const TMatrix4f flat = MatRotationX(-std::numbers::pi_v<float> / 2);
    auto shadeAtOrigin = [&](bool caster) {
        // A bump-mapped floor reads the shadow map; no landscape is queued.
        TModelDrawItem floor = Item("Bumpy", 0, 0, 0);
        floor.ModelMatrix = MatMultiply(flat, MatScaling(7, 7, 1));
        QueueModelItem(floor);
        if (caster) {
            // The light comes from -x at 45 degrees: twelve units up and twelve
            // to the side, the square throws its shadow onto the origin.
            TModelDrawItem roof = Item("Red", 0, 0, 0);
            roof.ModelMatrix =
                MatMultiply(MatTranslation(-12, 12, 0), MatMultiply(flat, MatScaling(1.5f, 1.5f, 1)));
            QueueModelItem(roof);
        }
        RenderScene(Cam, TMyVector3f{-100, 100, 0});
        return int(PixelAt({0, 0, 0}).b);
    };
    const int lit = shadeAtOrigin(false);
    const int shaded = shadeAtOrigin(true);
    EXPECT_LT(shaded + 40, lit);
    const int32_t texels = LastFrameStats().ShadowTexels;
    EXPECT_GT(texels, 0);
    EXPECT_LT(texels, 2048 * 2048) << "the view reads only part of the shadow map";
}

// A landscape draws the tiles no caster can reach with a program that reads no
// shadow, and those deep inside what is seen with one that reads no fog; what a
// caster can reach keeps its shadow, also where a figure's pose has carried it far
// from where its model stands, and what is hidden stays dark.
TEST_F(ViewerFromAbove, TilesSkipTheShadowAndFogTheyCannotShow) {
    TLandshaftObject land;
    land.Build(MakeSection(12, 12), 256, 256);
    land.TileSetTexture = White;
    Cam->SetPosition(6, 12, 6);
    SetShadowFocus({TMyVector3f{0, 0, 0}, {12, 0, 0}, {12, 0, 12}, {0, 0, 12}});
    const TMatrix4f flat = MatRotationX(-std::numbers::pi_v<float> / 2);
    // The figure stands at x = 3; its only bone carries its square, lying flat,
    // three units along x and one and a half up.
    TBoneFrame pose[1];
    pose[0].Position = {3, 0, 1.5f};
    pose[0].Rotation = IdentityQuat;
    auto frame = [&](bool figure) {
        if (figure) {
            TModelDrawItem carried = Figure(0, 0, 0);
            carried.ModelMatrix = MatMultiply(MatTranslation(3, 0.5f, 6), flat);
            carried.Pose = pose;
            carried.BoneCount = 1;
            QueueModelItem(carried);
        }
        QueueLandscape([&] { DrawLandscape(land); });
        // From -x at 45 degrees: the square two units up shades x 7..9, z 5..7.
        RenderScene(Cam, TMyVector3f{-100, 100, 0});
    };
    const TMyVector3f under{8, 0, 6}, beside{8, 0, 10}, below{2, 0, 6}, hidden{10.5f, 0, 1.5f};
    frame(false);
    const int bareUnder = PixelAt(under).g, bareBeside = PixelAt(beside).g, bareBelow = PixelAt(below).g;
    const int bareHidden = PixelAt(hidden).g;
    EXPECT_EQ(LastFrameStats().LandTiles, 144);
    EXPECT_EQ(LastFrameStats().LandTilesShadowed, 0);

    frame(true);
    const TFrameStats stats = LastFrameStats();
    EXPECT_EQ(stats.LandTiles, 144);
    EXPECT_GT(stats.LandTilesShadowed, 0);
    EXPECT_LT(stats.LandTilesShadowed, 144 / 4) << "only the tiles round the shadow read the map";
    EXPECT_LT(PixelAt(under).g + 40, bareUnder) << "the carried square shades the ground";
    EXPECT_EQ(PixelAt(beside).g, bareBeside);
    EXPECT_EQ(PixelAt(below).g, bareBelow) << "nothing shades the ground below the model's place";
    EXPECT_EQ(stats.LandTilesFogged, 144) << "the fog grid is not this map's";

    // All seen but the three by three tiles of the last rows and the first columns
    // (world x 9..12, z 0..3): the tiles that may read their fog are the eight by
    // eight in that corner.
    std::vector<bool> seen(144, true);
    for (int row = 9; row < 12; ++row)
        for (int col = 0; col < 3; ++col)
            seen[row * 12 + col] = false;
    UpdateFogTexture(12, 12, seen);
    frame(false);
    EXPECT_EQ(LastFrameStats().LandTilesFogged, 64);
    EXPECT_LT(PixelAt(hidden).g + 20, bareHidden) << "the hidden tiles are darker";
    EXPECT_EQ(PixelAt(below).g, bareBelow);
    EXPECT_EQ(PixelAt(beside).g, bareBeside);
}

TEST_F(ViewerFromAbove, ShadowsFallAwayFromTheLightFromEverySide) {
    // A texture first bound inside the landscape pass: its upload must not take the
    // shadow map away from the landscape program.
    White = LoadTexture("Sand", false);
    for (TMyVector3f light : {TMyVector3f{100, 100, 0}, TMyVector3f{-100, 100, 0}, TMyVector3f{0, 100, 100},
                              TMyVector3f{0, 100, -100}, TMyVector3f{-500, 1000, -300}}) {
        SCOPED_TRACE(testing::Message() << light.x << " " << light.y << " " << light.z);
        TModelDrawItem roof = Item("Red", 0, 1, 0);
        roof.ModelMatrix =
            MatMultiply(MatTranslation(0, 1, 0),
                        MatMultiply(MatRotationX(-std::numbers::pi_v<float> / 2), MatScaling(0.5f, 0.5f, 1)));
        QueueModelItem(roof);
        QueueLandscape(Ground);
        RenderScene(Cam, light);
        // Where the roof's centre falls along the light onto the ground.
        TMyVector3f d = light;
        Vec3Normalize(d);
        TMyVector3f shadow{-d.x / d.y, 0, -d.z / d.y};
        EXPECT_LT(PixelAt(shadow).g + 40, PixelAt({shadow.x + 2.5f, 0, shadow.z + 2.5f}).g);
        EXPECT_LT(PixelAt(shadow).g + 40, PixelAt({shadow.x - 2.5f, 0, shadow.z - 2.5f}).g);
    }
}

// While the view stands still, the still casters' depth is drawn once and copied into
// each frame's shadow map. The picture stays the one drawing them gives: a caster that
// comes is drawn on top of the copy, one that goes or moves makes the copy anew, and
// one that stirs by less than a texel (a swaying tree) leaves it as it is.
TEST_F(ViewerFromAbove, StillCastersAreDrawnOnceWhileTheViewStandsStill) {
    const TMyVector3f light{100, 100, 0};  // shadows fall one unit towards -x for each unit up
    auto square = [](float x, float z, float scale, float lean = 0.0f) {
        TModelDrawItem item = Item("Red", 0, 0, 0);
        item.ModelMatrix = MatMultiply(
            MatTranslation(x, 1, z),
            MatMultiply(MatRotationX(-std::numbers::pi_v<float> / 2 + lean), MatScaling(scale, scale, 1)));
        return item;
    };
    std::vector<uint8_t> pixels(size_t(Width) * Height * 4);
    auto frame = [&](const std::vector<TModelDrawItem>& casters, const TMyVector3f& sun) {
        for (const TModelDrawItem& c : casters)
            QueueModelItem(c);
        QueueLandscape(Ground);
        RenderScene(Cam, sun);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, Width, Height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        return LastFrameStats();
    };
    const TModelDrawItem roof = square(0, 0, 0.5f);
    // Another light first: the view of the frames before is not this one.
    EXPECT_EQ(frame({roof}, {-100, 100, 0}).StillShadow, StillShadowDrawn);
    EXPECT_EQ(frame({roof}, light).StillShadow, StillShadowDrawn);
    const std::vector<uint8_t> drawn = pixels;
    EXPECT_LT(PixelAt({-1, 0, 0}).g + 40, PixelAt({-1, 0, 2.5f}).g) << "the roof's shadow";

    TFrameStats stats = frame({roof}, light);
    EXPECT_EQ(stats.StillShadow, StillShadowKept);
    EXPECT_EQ(pixels, drawn);
    stats = frame({roof}, light);
    EXPECT_EQ(stats.StillShadow, StillShadowCopied);
    EXPECT_EQ(stats.StillCastersDrawn, 0);
    EXPECT_EQ(pixels, drawn);

    // An arrow comes and goes: it is drawn on top of the copy, its shadow with it.
    const TModelDrawItem arrow = square(0, 2.5f, 0.25f);
    stats = frame({roof, arrow}, light);
    EXPECT_EQ(stats.StillShadow, StillShadowCopied);
    EXPECT_EQ(stats.StillCastersDrawn, 1);
    EXPECT_LT(PixelAt({-1, 0, 2.5f}).g + 40, PixelAt({-1, 0, 4}).g) << "the arrow's shadow";
    EXPECT_EQ(frame({roof}, light).StillShadow, StillShadowCopied);
    EXPECT_EQ(pixels, drawn);

    // The roof sways by a hundredth of a degree: the copy stays.
    stats = frame({square(0, 0, 0.5f, 0.0002f)}, light);
    EXPECT_EQ(stats.StillShadow, StillShadowCopied);
    EXPECT_EQ(stats.StillCastersDrawn, 0);

    // The roof moves two units: its shadow goes with it, the ground where it was is lit.
    stats = frame({square(2, 0, 0.5f)}, light);
    EXPECT_NE(stats.StillShadow, StillShadowCopied);
    EXPECT_LT(PixelAt({1, 0, 0}).g + 40, PixelAt({1, 0, 2.5f}).g);
    EXPECT_NEAR(PixelAt({-1, 0, 0}).g, PixelAt({-1, 0, 2.5f}).g, 6);
    // And once it is gone, no shadow is left.
    frame({}, light);
    EXPECT_NEAR(PixelAt({1, 0, 0}).g, PixelAt({1, 0, 2.5f}).g, 6);
    EXPECT_NEAR(PixelAt({-1, 0, 0}).g, PixelAt({-1, 0, 2.5f}).g, 6);
    for (int i = 0; i < 3; ++i) {
        frame({roof}, light);
        EXPECT_EQ(pixels, drawn);
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(ViewerFromAbove, HiddenGroundIsDarkerThanSeenGround) {
    auto groundAt = [](const TMyVector3f& p) {
        QueueLandscape(Ground);
        RenderScene(Cam, TMyVector3f{10, 10, 0});
        return PixelAt(p).g;
    };
    UpdateFogTexture(12, 12, std::vector<bool>(144, true));
    int seen = groundAt({2, 0, 3});
    UpdateFogTexture(12, 12, std::vector<bool>(144, false));
    int hidden = groundAt({2, 0, 3});
    EXPECT_GT(seen, 150);
    EXPECT_NEAR(hidden, seen * 125 / 255, 8);

    // Seen: the first two columns only. World z runs along the columns, x along the rows.
    std::vector<bool> strip(144, false);
    for (int row = 0; row < 12; ++row)
        strip[row * 12] = strip[row * 12 + 1] = true;
    UpdateFogTexture(12, 12, strip);
    QueueLandscape(Ground);
    RenderScene(Cam, TMyVector3f{10, 10, 0});
    EXPECT_GT(PixelAt({3, 0, 0.5f}).g, PixelAt({3, 0, 5.5f}).g + 40);
    EXPECT_NEAR(PixelAt({3, 0, 5.5f}).g, hidden, 8);
}

TEST_F(ViewerFromAbove, WaterRingsStayOnTheWater) {
    int32_t ring = LoadTexture("Ring", false);
    // Water over the -x half only, marking the stencil.
    SetWaterDraw([](TShader&) {
        glColor4f(0, 0, 0.5f, 1);
        glBegin(GL_QUADS);
        glVertex3f(-6, 0, -6);
        glVertex3f(-6, 0, 6);
        glVertex3f(0, 0, 6);
        glVertex3f(0, 0, -6);
        glEnd();
    });
    QueueWaterRing(-3, 0.01f, 0, 1.0f, ring);     // on the water
    QueueWaterRing(3, 0.01f, 0, 1.0f, ring);      // on dry land: not drawn
    QueueWaterRing(-3, 0.01f, 3.5f, 2.0f, ring);  // at its end: fully transparent
    RenderScene(Cam, TMyVector3f{10, 10, 0});
    EXPECT_EQ(LastFrameStats().WaterRings, 3);
    RGB onWater = PixelAt({-3, 0, 0});
    RGB water = PixelAt({-3, 0, -4});
    RGB dry = PixelAt({3, 0, 0});
    RGB ended = PixelAt({-3, 0, 3.5f});
    EXPECT_GT(onWater.r, water.r + 10);  // a white ring at alpha 0.1 over the water
    EXPECT_EQ(dry.r + dry.g + dry.b, 0);
    EXPECT_NEAR(ended.r, water.r, 2);
    SetWaterDraw(nullptr);
}

TEST_F(ViewerFromAbove, RangeRingsAreDrawnOverEverything) {
    int32_t ring = LoadTexture("Ring", false);
    TModelDrawItem roof = Item("Red", 0, 3, 0);
    roof.ModelMatrix = MatMultiply(MatTranslation(0, 3, 0), MatRotationX(-std::numbers::pi_v<float> / 2));
    QueueModelItem(roof);
    QueueRangeRing(TMyVector3f{0, 0.75f, 0}, TColorRGBA{1, 1, 0, 0.5f}, ring, 2.0f);
    RenderScene(Cam, TMyVector3f{10, 10, 0});
    RGB c = PixelAt({0, 3, 0});
    // Yellow at half opacity over the red square, although the ring lies below it.
    EXPECT_GT(c.r, 200);
    EXPECT_GT(c.g, 100);
}

// A whole battle-like frame: ground, standing models and figures with their
// shadows, water with a ring, a range ring, fog over part of the ground, the
// selection frame and the cursor. MYGAME_TEST_SHOTS=DIR keeps the picture.
TEST_F(ViewerFromAbove, AComposedFrameReachesTheScreenshot) {
    const char* keep = std::getenv("MYGAME_TEST_SHOTS");
    TempDir out;
    std::string file = (keep ? std::string(keep) : out.path()) + "/composed.png";

    Cam->Orientation = IdentityQuat;
    Cam->Rotate(0, std::numbers::pi / 4, 0);
    Cam->Rotate(std::numbers::pi / 3, 0, 0);
    Cam->SetPosition(0, 0, 0);
    Cam->MoveBack(16);

    std::vector<bool> seen(12 * 12, true);
    for (int row = 0; row < 12; ++row)
        for (int col = 3; col < 12; ++col)
            seen[row * 12 + col] = false;  // world z beyond 3 hidden
    UpdateFogTexture(12, 12, seen);
    SetShadowFocus({TMyVector3f{-6, 0, -6}, {6, 0, -6}, {6, 0, 6}, {-6, 0, 6}});

    auto standing = [](const char* model, float x, float z, float yaw) {
        TModelDrawItem item = Item(model, x, 1, z);
        item.ModelMatrix = MatMultiply(MatTranslation(x, 1, z), MatRotationY(yaw));
        return item;
    };
    QueueModelItem(standing("Red", -2, -2, 0.3f));
    QueueModelItem(standing("Bumpy", 2, -3, -0.5f));
    QueueModelItem(standing("Glow", 3, 3, 1.2f));
    TModelDrawItem glass = standing("Glass", 0, 2, 0.8f);
    QueueModelItem(glass);
    TModelDrawItem hero = Figure(-3, 1, 2);
    hero.UseColor = true;
    hero.Color = {1, 0.25f, 0.25f};
    hero.ShowOutline = true;
    QueueModelItem(hero);
    TModelDrawItem dying = Figure(1, 1, 5);
    dying.Fading = true;
    dying.Alpha = 0.4f;
    QueueModelItem(dying);
    QueueLandscape(Ground);
    int32_t ring = LoadTexture("Ring", false);
    SetWaterDraw([](TShader&) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glColor4f(0.1f, 0.3f, 0.8f, 0.8f);
        glBegin(GL_QUADS);
        glVertex3f(-6, 0.02f, -6);
        glVertex3f(-6, 0.02f, -2);
        glVertex3f(-2, 0.02f, -2);
        glVertex3f(-2, 0.02f, -6);
        glEnd();
        glDisable(GL_BLEND);
    });
    QueueWaterRing(-4, 0.03f, -4, 0.8f, ring);
    QueueRangeRing(TMyVector3f{2, 0.75f, -3}, TColorRGBA{1, 1, 0, 0.5f}, ring, 1.5f);
    RenderScene(Cam, TMyVector3f{-500, 1000, -300});
    SetWaterDraw(nullptr);
    SetSelectionRect(20, 20, 120, 80);
    SetSelectionVisible(true);
    SetCursor(LoadTexture("Green", false), 1);
    SetCursorPosProc([](int32_t& x, int32_t& y) { x = 290, y = 20; });
    RequestScreenshot(file);
    EndFrame();
    SetCursorPosProc(nullptr);
    SetSelectionVisible(false);

    TFrameStats s = LastFrameStats();
    EXPECT_EQ(s.Instances, 6);
    EXPECT_EQ(s.BucketSizes[BucketSkinTranslucent], 1);
    EXPECT_EQ(s.BucketSizes[BucketSkinPlain], 1);
    EXPECT_EQ(s.BucketSizes[BucketStaticBlended], 1);
    EXPECT_EQ(s.ShadowDraws, 4);  // three static casters and the tinted figure
    EXPECT_GT(ReadBytes(file).size(), 1000u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Viewer, FogTextureIsUpdatedInPlaceUntilItsSizeChanges) {
    UpdateFogTexture(8, 4, std::vector<bool>(32, true));
    TRendererObjects a = GetRendererObjects();
    EXPECT_EQ(a.FogW, 8);
    EXPECT_EQ(a.FogH, 4);
    UpdateFogTexture(8, 4, std::vector<bool>(32, false));
    TRendererObjects b = GetRendererObjects();
    EXPECT_EQ(b.FogTex, a.FogTex);
    EXPECT_EQ(b.FogTmpTex, a.FogTmpTex);
    UpdateFogTexture(5, 9, std::vector<bool>(45, false));
    TRendererObjects c = GetRendererObjects();
    EXPECT_EQ(c.FogW, 5);
    EXPECT_EQ(c.FogH, 9);
    EXPECT_FALSE(c.FogTex == a.FogTex && c.FogTmpTex == a.FogTmpTex && a.FogW == 8);
    EXPECT_TRUE(glIsTexture(c.FogTex));

    // Nonsense sizes and short grids do no harm.
    UpdateFogTexture(0, 9, {});
    UpdateFogTexture(-3, -3, {});
    EXPECT_EQ(GetRendererObjects().FogW, 5);
    UpdateFogTexture(5, 9, {true});
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(Viewer, FogIsBlurredAcrossTheEdgeOfWhatIsSeen) {
    // 15 x 1: the first 7 cells seen.
    std::vector<bool> seen(15, false);
    for (int i = 0; i < 7; ++i)
        seen[i] = true;
    UpdateFogTexture(15, 1, seen);
    std::vector<uint8_t> texels(15 * 3);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, GetRendererObjects().FogTex);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGB, GL_UNSIGNED_BYTE, texels.data());
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
    auto at = [&](int i) { return static_cast<int>(texels[i * 3]); };
    EXPECT_NEAR(at(0), 255, 3);
    EXPECT_NEAR(at(14), 125, 3);
    EXPECT_GT(at(6), at(7));
    EXPECT_LT(at(6), 250);  // softened on the seen side
    EXPECT_GT(at(7), 130);  // and on the hidden side
    for (int i = 1; i < 15; ++i)
        EXPECT_LE(at(i), at(i - 1));
}

TEST_F(Viewer, FogOverlayDarkensOnlyWhatIsHidden) {
    std::vector<bool> seen(20, false);
    for (int i = 0; i < 10; ++i)
        seen[i] = true;
    UpdateFogTexture(20, 1, seen);
    glClearColor(1, 1, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 1, 0, 1, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    DrawFogOverlay(0, 0, 1, 1);
    RGB left = Pixel(Width / 8, Height / 2);
    RGB right = Pixel(Width * 7 / 8, Height / 2);
    EXPECT_GT(left.r, right.r + 40);
    EXPECT_GT(right.r, 100);
}

TEST_F(Viewer, EndFrameDrawsTheOverlaysAndWritesTheRequestedScreenshot) {
    TempDir out;
    int32_t cursor = LoadTexture("Green", false);
    SetCursor(cursor, 0);
    SetCursorPosProc([](int32_t& x, int32_t& y) {
        x = 40;
        y = 30;  // window pixels, y downward
    });
    SetSelectionRect(200, 50, 300, 150);
    SetSelectionVisible(true);
    QueueModelItem(Item("Red", 0, 0, -8));
    RenderScene(Cam, Front);
    EXPECT_TRUE(SaveScreenshotPNG(out.file("scene.png")));  // before the overlays
    RequestScreenshot(out.file("frame.png"));
    EndFrame();
    SetCursorPosProc(nullptr);

    // Decode the finished frame.
    FILE* f = std::fopen(out.file("frame.png").c_str(), "rb");
    ASSERT_NE(f, nullptr);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    ASSERT_EQ(png_get_image_width(png, info), static_cast<png_uint_32>(Width));
    ASSERT_EQ(png_get_image_height(png, info), static_cast<png_uint_32>(Height));
    ASSERT_EQ(png_get_color_type(png, info), PNG_COLOR_TYPE_RGB);
    png_bytepp rows = png_get_rows(png, info);
    // PNG rows run top to bottom.
    auto px = [&](int x, int yTop) {
        return RGB{rows[yTop][x * 3], rows[yTop][x * 3 + 1], rows[yTop][x * 3 + 2]};
    };
    RGB centre = px(Width / 2, Height / 2);
    RGB cursorPx = px(40, 30);
    RGB frame = px(199, Height - 100);  // left edge of the selection frame
    for (int x : {200, 201})
        if (px(x, Height - 100).g > frame.g)
            frame = px(x, Height - 100);
    RGB inside = px(250, Height - 100);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);

    EXPECT_GT(centre.r, 200);
    EXPECT_GT(cursorPx.g, 200);
    EXPECT_LT(cursorPx.r, 30);
    EXPECT_GT(frame.r, 150);
    EXPECT_GT(frame.g, 150);
    EXPECT_GT(inside.r + inside.g, 0);  // the faint yellow fill
    EXPECT_LT(inside.r, 40);
    EXPECT_GT(ReadBytes(out.file("scene.png")).size(), 100u);

    EXPECT_FALSE(SaveScreenshotPNG(out.file("no/such/folder/x.png")));
    SetSelectionVisible(false);
}

TEST_F(Viewer, DebugOutlinesAreDrawnOverTheModel) {
    TModelDrawItem boxed = Item("Wall", 0, 0, -8);
    boxed.ShowOutline = true;
    QueueModelItem(Item("Red", 0, 0, -6));  // in front of it
    QueueModelItem(boxed);
    RenderScene(Cam, Front);
    int x, y;
    Project({-1, 0, -8}, x, y);  // the box's left edge, behind the red square
    bool yellow = false;
    for (int dx = -1; dx <= 1; ++dx) {
        RGB c = Pixel(x + dx, y);
        yellow = yellow || (c.r > 180 && c.g > 180 && c.b < 60);
    }
    EXPECT_TRUE(yellow);
}

// A GUI that lays one texture over the whole screen, blended, as the HUD's panels are.
class TOverlayGui : public TGUIObject {
public:
    explicit TOverlayGui(int32_t texture) : Texture(texture) {}
    void Update(double) override {}
    void Draw() override {
        if (!Shown)
            return;
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        Quad();
        glDisable(GL_BLEND);
    }
    void DrawCover() override { Quad(); }
    bool Shown = true;

private:
    void Quad() const {
        BindTexture(Texture, 0);
        glEnable(GL_TEXTURE_2D);
        glColor4f(1, 1, 1, 1);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(0, 0);
        glTexCoord2f(1, 0);
        glVertex2f(1, 0);
        glTexCoord2f(1, 1);
        glVertex2f(1, 1);
        glTexCoord2f(0, 1);
        glVertex2f(0, 1);
        glEnd();
        glDisable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    int32_t Texture;
};

// Where the GUI will lie opaque over the frame, the frame draws nothing; the picture
// is the one drawing everything gives, to the pixel.
TEST_F(Viewer, NothingIsDrawnUnderTheOpaquePartsOfTheGui) {
    TCanvasHooks hooks;
    hooks.SetSize = [](int32_t, int32_t) {};
    hooks.Begin = [] {
        glDisable(GL_DEPTH_TEST);
        glMatrixMode(GL_PROJECTION);
        glPushMatrix();
        glLoadIdentity();
        glOrtho(0, 1, 0, 1, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
    };
    hooks.End = [] {
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
        glPopMatrix();
        glEnable(GL_DEPTH_TEST);
    };
    SetCanvasHooks(hooks);
    TOverlayGui gui(LoadTexture("HalfBlue", false));
    std::vector<uint8_t> pixels(size_t(Width) * Height * 4);
    auto frame = [&](bool cover) {
        // Squares under the opaque half, where the halves blend, and under the clear half.
        QueueModelItem(Item("Red", -3, 0, -8));
        QueueModelItem(Item("Red", 0, 0, -8));
        QueueModelItem(Item("Red", 3, 0, -8));
        if (cover)
            QueueGUICover(&gui);
        RenderScene(Cam, Front);
        DrawGUI(&gui);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, Width, Height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    };
    frame(false);
    const std::vector<uint8_t> drawn = pixels;
    EXPECT_GT(PixelAt({-3, 0, -8}).b, 200);
    EXPECT_GT(PixelAt({3, 0, -8}).r, 200);
    frame(true);
    EXPECT_EQ(pixels, drawn);

    // Without the GUI drawn over it, the cover shows what the frame left out.
    gui.Shown = false;
    frame(true);
    EXPECT_EQ(PixelAt({-3, 0, -8}).r, 0);
    EXPECT_GT(PixelAt({3, 0, -8}).r, 200);
    // The cover lasts one frame.
    frame(false);
    EXPECT_GT(PixelAt({-3, 0, -8}).r, 200);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    SetCanvasHooks(TCanvasHooks{});
}

TEST_F(Viewer, HeadlessModeStoresAndDrawsNothing) {
    SetHeadlessRenderer(true);
    EXPECT_FALSE(RendererActive());
    int calls = 0;
    QueueModelItem(Item("Red", 0, 0, -8));
    QueueLandscape([&] { ++calls; });
    QueueWaterRing(0, 0, 0, 1, 0);
    QueueRangeRing({}, {}, 0, 1);
    UpdateFogTexture(3, 3, {});
    RenderScene(Cam, Front);
    DrawGUI(nullptr);
    RequestScreenshot("/nonexistent/never-written.png");
    EndFrame();
    SetHeadlessRenderer(false);
    RenderScene(Cam, Front);
    EXPECT_EQ(calls, 0);
    TFrameStats s = LastFrameStats();
    EXPECT_EQ(s.Instances, 0);
    EXPECT_EQ(s.WaterRings, 0);
    EXPECT_EQ(s.RangeRings, 0);
    EXPECT_EQ(GetRendererObjects().FogW, 1);
}

TEST(FrameRateMeter, SwitchesVerticalSyncAtFiftyFramesPerSecond) {
    TFrameRateMeter meter;
    EXPECT_DOUBLE_EQ(meter.Fps(), 100.0);
    for (int i = 0; i < 84; ++i)
        EXPECT_FALSE(meter.AddFrame(25.0));
    EXPECT_DOUBLE_EQ(meter.Fps(), 100.0);  // unchanged until the block ends
    EXPECT_TRUE(meter.AddFrame(25.0));
    EXPECT_NEAR(meter.Fps(), 40.0, 0.01);
    EXPECT_FALSE(meter.VSync());
    for (int i = 0; i < 85; ++i)
        meter.AddFrame(1000.0 / 60.0);
    EXPECT_NEAR(meter.Fps(), 60.0, 0.01);
    EXPECT_TRUE(meter.VSync());
    // A frame measured as 0 ms counts as 1 ms instead of dividing by zero.
    for (int i = 0; i < 85; ++i)
        meter.AddFrame(i == 0 ? 0.0 : 20.0);
    EXPECT_TRUE(std::isfinite(meter.Fps()));
    EXPECT_NEAR(meter.Fps(), (1000.0 + 84 * 50.0) / 85.0, 0.05);
}

TEST(ShadowProjection, LooksAlongTheLightAndCoversTheFocus) {
    TMyVector3f light{-500, 1000, -300};
    TMatrix4f view = ShadowLightView(light);
    TMyVector3f d = light;
    Vec3Normalize(d);
    // The light's direction maps onto the view's +z axis (the view looks along -z).
    TMyVector3f along = MatTransformPoint(view, d);
    EXPECT_NEAR(along.x, 0, 1e-5);
    EXPECT_NEAR(along.y, 0, 1e-5);
    EXPECT_NEAR(along.z, 1, 1e-5);

    std::array<TMyVector3f, 4> focus{TMyVector3f{10, 0, 10}, {30, 0, 10}, {30, 0, 40}, {10, 0, 40}};
    TMatrix4f proj = FitShadowProjection(focus, view, 2048);
    TMatrix4f pv = MatMultiply(proj, view);
    for (const TMyVector3f& p : focus) {
        TMyVector3f c = MatTransformPoint(pv, p);
        EXPECT_LE(std::fabs(c.x), 1.0f);
        EXPECT_LE(std::fabs(c.y), 1.0f);
        EXPECT_LE(std::fabs(c.z), 1.0f);
    }
    // A tree top near the light's eye point is still inside the depth range.
    TMyVector3f top = MatTransformPoint(pv, TMyVector3f{0.5f, 6, 0.5f});
    EXPECT_LE(std::fabs(top.z), 1.0f);

    // Moving the focus by less than a texel leaves the projection's centre on the
    // same texel grid: the shadow does not crawl.
    std::array<TMyVector3f, 4> moved = focus;
    for (auto& p : moved)
        p.x += 0.001f;
    TMatrix4f proj2 = FitShadowProjection(moved, view, 2048);
    float texel = 2.0f / (2048 * proj.m[0]);
    float shift = (proj2.m[12] / proj2.m[0] - proj.m[12] / proj.m[0]);
    EXPECT_NEAR(std::remainder(shift, texel), 0.0f, texel * 0.05f);
}

TEST(ShadowProjection, DegenerateInputStaysFinite) {
    for (const TMyVector3f& light : {TMyVector3f{0, 0, 0}, TMyVector3f{1, 0, -1}, TMyVector3f{0, 1, 0}}) {
        TMatrix4f view = ShadowLightView(light);
        TMatrix4f proj = FitShadowProjection({}, view, 2048);  // no focus set yet
        for (float v : MatMultiply(proj, view).m)
            EXPECT_TRUE(std::isfinite(v));
    }
}

}  // namespace
