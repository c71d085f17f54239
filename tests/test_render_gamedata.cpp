// The generated models (build/Data) drawn by the renderer on a software GL context: each
// soldier in its idle, walk, attack and death poses, the main menu's ornament, the scenery.
// The pictures are checked for what a player would notice first (the figure is there, it
// stands on its feet, the dying one lies down, the ornament turns up where the menu puts
// it) and, when MYGAME_PICTURES names a folder, written there as PNG files to look at.

#include "TestSupport.h"

#include "app/e_CameraObject.h"
#include "app/e_Platform.h"
#include "render/my_Viewer.h"
#include "resources/e_ModelObject.h"
#include "resources/e_ResourceManager.h"

#include <SDL.h>
#include <epoxy/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int Width = 640;
constexpr int Height = 480;
const std::string BuildRoot = MYGAME_BINARY_DIR "/";

void QuietLog(const std::string&) {}

// What the camera caught: the rows and columns holding anything but the black background.
struct TCoverage {
    int Pixels = 0;
    int MinX = Width, MaxX = -1, MinY = Height, MaxY = -1;
};

TCoverage Coverage(int x0, int y0, int x1, int y1) {
    std::vector<uint8_t> px(static_cast<size_t>(Width) * Height * 4);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, Width, Height, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    TCoverage c;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const uint8_t* p = &px[(static_cast<size_t>(y) * Width + x) * 4];
            if (p[0] + p[1] + p[2] > 24) {
                ++c.Pixels;
                c.MinX = std::min(c.MinX, x), c.MaxX = std::max(c.MaxX, x);
                c.MinY = std::min(c.MinY, y), c.MaxY = std::max(c.MaxY, y);
            }
        }
    return c;
}

class GameData : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!FileExistsNoCase(BuildRoot + "Data/Animates/Kestrin.PAM"))
            return;
        setenv("MESA_GL_VERSION_OVERRIDE", "2.1", 1);
        setenv("MESA_GLSL_VERSION_OVERRIDE", "120", 1);
        ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
        SetRendererContextAttributes();
        Window = SDL_CreateWindow("data", 0, 0, Width, Height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(Window, nullptr) << SDL_GetError();
        AppPath = std::string(MYGAME_BINARY_DIR) + "/";
        SetMessageBoxesEnabled(false);
        SetViewport(0, 0, Width, Height);
        InitRenderer(QuietLog, Window);
        InitResourceSystem(QuietLog, BuildRoot, "Data/Textures/", "Data/Modeles/", "Data/Animates/");
        Ready = RendererActive();
    }

    static void TearDownTestSuite() {
        if (!Window)
            return;
        FreeResourceSystem();
        ShutdownRenderer();
        SDL_DestroyWindow(Window);
        SDL_Quit();
        Window = nullptr;
    }

    void SetUp() override {
        if (!Ready)
            GTEST_SKIP() << "no generated data in " << BuildRoot << "Data or no GL context";
        SetViewport(0, 0, Width, Height);
        UpdateFogTexture(1, 1, {true});
    }

    // A camera at `eye` looking along (sin yaw, 0, -cos yaw), tilted down by `pitch` (radians).
    static std::unique_ptr<TCamera> Camera(const TMyVector3f& eye, float yaw, float pitch,
                                           float fov = 40.0f) {
        auto cam = std::make_unique<TCamera>(fov, static_cast<double>(Width) / Height, 0.3, 200.0);
        // the view turns the world: first about the vertical, then about the camera's own x
        cam->Orientation =
            QuatMultiply(QuatFromAxisAngle({1, 0, 0}, pitch), QuatFromAxisAngle({0, 1, 0}, yaw));
        cam->SetPosition(eye.x, eye.y, eye.z);
        return cam;
    }

    // Draws what was queued and writes the picture when asked to.
    static void Render(TCamera* camera, const TMyVector3f& light, const std::string& picture) {
        RenderScene(camera, light);
        if (const char* dir = std::getenv("MYGAME_PICTURES")) {
            std::filesystem::create_directories(dir);
            SaveScreenshotPNG(std::string(dir) + "/" + picture);
        }
    }

    static SDL_Window* Window;
    static bool Ready;
};

SDL_Window* GameData::Window = nullptr;
bool GameData::Ready = false;

// One soldier in the given role, posed `time` seconds into the clip.
std::unique_ptr<TGamePersonage> Posed(const std::string& name, int role, double time, float x, float z) {
    auto p = std::make_unique<TGamePersonage>(name, 1);
    p->Phase = 0.0f;
    p->SetClip(role);
    p->PlayClip = p->CurClip;
    if (role == crDeath)
        p->PlayOnce(static_cast<float>(time));
    else
        p->Animate(time);
    // a three-quarter view: the figure turned towards the camera's left
    p->ModelMatrix = MatMultiply(MatTranslation(x, 0, z), MatRotationY(-0.6f));
    return p;
}

TEST_F(GameData, EachSoldierStandsWalksFightsAndFalls) {
    const struct {
        const char* Name;
        float Spacing;
    } soldiers[] = {{"Kestrin", 2.0f}, {"SirGuy", 2.0f}, {"Sheriff", 3.4f}};
    const int roles[4] = {crIdle, crWalk, crAttack, crDeath};
    for (const auto& s : soldiers) {
        SCOPED_TRACE(s.Name);
        std::vector<std::unique_ptr<TGamePersonage>> figures;
        for (int k = 0; k < 4; ++k) {
            const double t = roles[k] == crDeath ? 0.85 : (roles[k] == crAttack ? 0.3 : 0.2);
            figures.push_back(Posed(s.Name, roles[k], t, 0.0f, (static_cast<float>(k) - 1.5f) * s.Spacing));
            QueueModel(figures.back().get());
        }
        // looking at the line of figures along -x, from a little above
        const float dist = s.Spacing * 3.4f;
        auto cam = Camera({dist, 1.6f + 0.3f * s.Spacing, 0.0f}, -Pi / 2, 0.12f);
        SetShadowFocus({TMyVector3f{-3, 0, -8}, {3, 0, -8}, {3, 0, 8}, {-3, 0, 8}});
        Render(cam.get(), {600, 800, 300}, std::string(s.Name) + "_poses.png");
        // Every pose shows up in its quarter of the picture; the dead one lies lower and wider.
        TCoverage quarter[4];
        for (int k = 0; k < 4; ++k) {
            // the figure at z = (k - 1.5) spacing appears from right (k = 0) to left, seen along -x
            const int x0 = Width - (k + 1) * Width / 4, x1 = Width - k * Width / 4;
            quarter[k] = Coverage(x0, 0, x1, Height);
            EXPECT_GT(quarter[k].Pixels, 800) << "role " << roles[k];
        }
        const int standing = quarter[0].MaxY - quarter[0].MinY;
        const int lying = quarter[3].MaxY - quarter[3].MinY;
        EXPECT_LT(lying, standing * 3 / 4) << "the dead figure should lie down";
        EXPECT_GT(LastFrameStats().BucketSizes[BucketSkinPlain], 0);
    }
}

TEST_F(GameData, DeathFadesAfterTheClip) {
    auto p = std::make_unique<TGamePersonage>("SirGuy", 0);
    p->SetClip(crDeath);
    p->PlayOnce(0.5f);
    EXPECT_FALSE(p->Fading);
    p->PlayOnce(1.5f);
    EXPECT_TRUE(p->Fading);
    EXPECT_GT(p->Alpha, 0.3f);
    EXPECT_LT(p->Alpha, 0.7f);
    p->ModelMatrix = MatTranslation(0, 0, -6);
    QueueModel(p.get());
    auto cam = Camera({0, 1, 0}, 0, 0);
    Render(cam.get(), {0, 10, 10}, "SirGuy_fading.png");
    EXPECT_EQ(LastFrameStats().BucketSizes[BucketSkinTranslucent], 1);
}

// The main menu's title picture and the turning ornament of two knives on a stand, placed
// as the menu places them.
TEST_F(GameData, MenuOrnament) {
    auto title = std::make_unique<TGameModel>("Title");
    auto knife1 = std::make_unique<TGameModel>("Knife");
    auto knife2 = std::make_unique<TGameModel>("Knife");
    auto stand = std::make_unique<TGameModel>("Stand");
    title->ModelMatrix = MatMultiply(MatTranslation(0, 0, -10), MatScaling(7.7f, 5.75f, 0));
    const float deg = Pi / 180.0f;
    for (float spin : {0.0f, 60.0f}) {
        auto chain = [](std::initializer_list<TMatrix4f> ms) {
            TMatrix4f m = IdentityMatrix;
            for (const auto& f : ms)
                m = MatMultiply(m, f);
            return m;
        };
        knife1->ModelMatrix =
            chain({MatTranslation(-1.5f, -0.75f, -5), MatRotationY(spin * deg),
                   MatTranslation(-0.4f, 0, -0.04f), MatRotationZ(50 * deg), MatTranslation(-0.15f, 0, 0)});
        knife2->ModelMatrix = chain({MatTranslation(-1.5f, -0.75f, -5), MatRotationY(spin * deg),
                                     MatTranslation(0.4f, 0, 0.04f), MatRotationZ(-50 * deg),
                                     MatRotationY(180 * deg), MatTranslation(-0.15f, 0, 0)});
        stand->ModelMatrix =
            chain({MatTranslation(-1.5f, -2.0f, -5), MatRotationY(spin * deg), MatScaling(2.5f, 1, 2.5f)});
        // the ornament alone first, to find it against the black
        QueueModel(knife1.get());
        QueueModel(knife2.get());
        QueueModel(stand.get());
        auto cam = std::make_unique<TCamera>(60.0, static_cast<double>(Width) / Height, 0.5, 5000.0);
        SetShadowFocus({TMyVector3f{-3, -2, -6}, {0, -2, -6}, {0, -2, -4}, {-3, -2, -4}});
        Render(cam.get(), {-300, 400, 1000},
               "Menu_ornament_" + std::to_string(static_cast<int>(spin)) + ".png");
        const TCoverage c = Coverage(0, 0, Width, Height);
        EXPECT_GT(c.Pixels, 2000);
        // left of centre and in the lower half, where the menu has room for it
        EXPECT_LT(c.MaxX, Width / 2);
        EXPECT_LT(c.MaxY, Height * 3 / 5);
        // then with the title picture behind it
        QueueModel(title.get());
        QueueModel(knife1.get());
        QueueModel(knife2.get());
        QueueModel(stand.get());
        Render(cam.get(), {-300, 400, 1000}, "Menu_" + std::to_string(static_cast<int>(spin)) + ".png");
        // the picture fills the view
        EXPECT_GT(Coverage(0, 0, Width, Height).Pixels, Width * Height * 9 / 10);
    }
}

// The three soldiers close up, as their own players' troops (base skin, variants 1 and 2).
TEST_F(GameData, Portraits) {
    std::vector<std::unique_ptr<TGamePersonage>> figures;
    const char* names[] = {"Kestrin", "SirGuy", "Sheriff"};
    for (int k = 0; k < 3; ++k) {
        auto p = std::make_unique<TGamePersonage>(names[k], k);
        p->Phase = 0.0f;
        p->Animate(0.4);
        p->ModelMatrix =
            MatMultiply(MatTranslation(0, 0, (static_cast<float>(k) - 1) * 1.6f), MatRotationY(-0.8f));
        QueueModel(p.get());
        figures.push_back(std::move(p));
    }
    auto cam = Camera({5.5f, 1.6f, 0.2f}, -Pi / 2, 0.05f, 40.0f);
    SetShadowFocus({TMyVector3f{-3, 0, -3}, {3, 0, -3}, {3, 0, 3}, {-3, 0, 3}});
    Render(cam.get(), {600, 800, 300}, "Portraits.png");
    EXPECT_GT(Coverage(0, 0, Width, Height).Pixels, 20000);
}

// The bowman's shot in three moments: nocking, full draw, just loosed; seen from his right.
TEST_F(GameData, BowmanShooting) {
    std::vector<std::unique_ptr<TGamePersonage>> figures;
    const double moments[] = {0.05, 0.7, 0.8};
    for (int k = 0; k < 3; ++k) {
        auto p = Posed("Kestrin", crAttack2, moments[k], 0.0f, 0.0f);
        p->ModelMatrix = MatTranslation((static_cast<float>(k) - 1) * 1.7f, 0, 0);
        QueueModel(p.get());
        figures.push_back(std::move(p));
    }
    auto cam = Camera({0.3f, 1.3f, 5.5f}, 0, 0.05f, 45.0f);
    SetShadowFocus({TMyVector3f{-3, 0, -3}, {3, 0, -3}, {3, 0, 3}, {-3, 0, 3}});
    Render(cam.get(), {300, 800, 600}, "Kestrin_shooting.png");
    EXPECT_GT(Coverage(0, 0, Width, Height).Pixels, 10000);
}

// The scenery and the markers in a row, each interchange copy beside its own model file.
TEST_F(GameData, SceneryLineUp) {
    const char* names[] = {"Tree1",     "Tree2",      "Tree3",      "House1.PRM", "House1.3DS", "Ruin1.PRM",
                           "Ruin1.ASE", "Fence1.PRM", "Fence1.3DS", "Rock1.PRM",  "Rock1.ASE",  "Flag",
                           "Arrow",     "ArrowSmall", "Pica",       "BaseUnit"};
    // two rows: the scenery at the back, the smaller things in front
    std::vector<std::unique_ptr<TGameModel>> models;
    float width[2] = {0, 0};
    for (size_t i = 0; i < std::size(names); ++i) {
        auto m = std::make_unique<TGameModel>(names[i]);
        width[i < 11 ? 0 : 1] += std::max(1.2f, m->LocalBox.HalfSize[0] * 2 + 0.4f);
        models.push_back(std::move(m));
    }
    float x[2] = {-width[0] / 2, -width[1] / 2};
    for (size_t i = 0; i < models.size(); ++i) {
        const int row = i < 11 ? 0 : 1;
        const float w = std::max(1.2f, models[i]->LocalBox.HalfSize[0] * 2 + 0.4f);
        models[i]->ModelMatrix =
            MatTranslation(x[row] + w / 2 - models[i]->LocalBox.Center.x, 0, row == 0 ? -2.0f : 4.0f);
        x[row] += w;
        QueueModel(models[i].get());
    }
    auto cam = Camera({0, 9, 21}, 0, 0.3f, 60.0f);
    SetShadowFocus({TMyVector3f{-20, 0, -6}, {20, 0, -6}, {20, 0, 6}, {-20, 0, 6}});
    Render(cam.get(), {-500, 1000, 300}, "Scenery.png");
    EXPECT_GT(Coverage(0, 0, Width, Height).Pixels, 15000);
}

}  // namespace
