// The loading screen as the player sees it: its picture, the "Loading ..." text and
// the bar at the progress the loading thread has reached. (Frames drawn while a scene
// loads are not counted frames, so a script cannot photograph them.)

#include "TestSupport.h"
#include "GameProcess.h"
#include "app/LoadingScene.h"
#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "gui/v_CanvasOpenGL.h"
#include "gui/v_Classes.h"
#include "render/my_Viewer.h"
#include "resources/e_ResourceManager.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

void QuietLog(const std::string&) {}

TEST(LoadingScreen, ShowsItsPictureTextAndTheBarAtTheProgressReached) {
    const std::string root = std::string(MYGAME_BINARY_DIR) + "/";
    if (!FileExistsNoCase(root + "Data/Modeles/Loading.PRM"))
        GTEST_SKIP() << "no generated data: build the gamedata target first";
    const int w = 640, h = 480;
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    SetRendererContextAttributes();
    SDL_Window* window = SDL_CreateWindow("loading", 0, 0, w, h, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    const std::string savedPath = AppPath;
    AppPath = root;
    SetMessageBoxesEnabled(false);
    TCanvasHooks hooks;
    hooks.SetSize = SetCanvasSize;
    hooks.Begin = BeginGUI;
    hooks.End = End2D;
    hooks.FreeFonts = FreeFontLists;
    SetCanvasHooks(hooks);
    SetViewport(0, 0, w, h);
    InitRenderer(QuietLog, window);
    ASSERT_TRUE(RendererActive());
    InitResourceSystem(QuietLog, root, "Data/Textures/", "Data/Modeles/", "Data/Animates/");

    TempDir dir;
    {
        TLoadingScene scene;
        ASSERT_NE(scene.LoadingModel, nullptr);
        scene.OwnGUI->ProgressBar->Position = 0.75f;  // the battle's map has been read
        scene.Draw();
        ASSERT_TRUE(SaveScreenshotPNG(dir.file("loading.png")));
    }
    FreeResourceSystem();
    ShutdownRenderer();
    SDL_DestroyWindow(window);
    SDL_Quit();
    AppPath = savedPath;

    TPicture shot = ReadPng(dir.file("loading.png"));
    ASSERT_EQ(shot.Width, w);
    std::error_code ec;
    std::filesystem::copy_file(dir.file("loading.png"),
                               std::string(MYGAME_BINARY_DIR) + "/loading-screen.png",
                               std::filesystem::copy_options::overwrite_existing, ec);
    // The bar spans x 0.2-0.8 at y 0.08-0.12 (bottom-up); its red fill reaches three quarters.
    auto red = [&](double fx) {
        const unsigned char* c = shot.At(static_cast<int>(fx * w), h - 1 - static_cast<int>(0.10 * h));
        return c[0] > 180 && c[1] < 120 && c[2] < 120;
    };
    EXPECT_TRUE(red(0.25));
    EXPECT_TRUE(red(0.60));
    EXPECT_FALSE(red(0.70));
    // The picture fills the screen behind: the middle is not the black of an empty frame.
    const unsigned char* mid = shot.At(w / 2, h / 2);
    EXPECT_GT(mid[0] + mid[1] + mid[2], 60);
}

}  // namespace
