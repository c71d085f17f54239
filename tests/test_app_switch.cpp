// Scene switches through the loading thread, run without a window.

#include "TestSupport.h"
#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "app/e_SceneObject.h"
#include "app/my_GameApp.h"
#include "render/my_Viewer.h"
#include "scenes/MainMenuScene.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

class AppSwitch : public ::testing::Test {
protected:
    void SetUp() override {
        saved = AppPath;
        AppPath = dir.path() + "/";
        SetHeadlessRenderer(true);
        TAppOptions options;
        options.Batch = options.Headless = true;
        options.FixedDt = 0.01;
        GameApp = new TGameApp(nullptr, options);
    }
    void TearDown() override {
        delete GameApp;
        GameApp = nullptr;
        AppPath = saved;
    }
    void Turn() {
        GameApp->Frame();
        GameApp->Paint();
    }
    // Runs turns until a scene is ready again; false after 20 s.
    bool RunUntilReady() {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        do {
            Turn();
            if (GameApp->SceneReady() && !GameApp->SwitchPending)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        } while (std::chrono::steady_clock::now() < until);
        return false;
    }
    TempDir dir;
    std::string saved;
};

TEST_F(AppSwitch, TheFirstPaintBuildsTheMenuAndASwitchGoesThroughTheLoadingThread) {
    EXPECT_FALSE(GameApp->SceneReady());
    Turn();
    ASSERT_TRUE(GameApp->SceneReady());
    auto* first = GameApp->CurrentScene();
    ASSERT_NE(dynamic_cast<TMainMenuScene*>(first), nullptr);
    Turn();
    EXPECT_EQ(GameApp->UpdatedFrames(), 1);

    GameApp->SwitchScene("defMainMenu");
    Turn();  // frees the old scene, starts the thread
    ASSERT_TRUE(RunUntilReady());
    EXPECT_NE(dynamic_cast<TMainMenuScene*>(GameApp->CurrentScene()), nullptr);
    std::string log = ReadText(dir.file("InfoLog.txt"));
    auto start = log.find("Start Loading Thread ++++++++++++++++++++++++");
    auto menu = log.find("++CreateScene: \"MainMenuScene\" ...", start);
    auto close = log.find("Close Loading Thread ++++++++++++++++++++++++", menu);
    EXPECT_NE(start, std::string::npos);
    EXPECT_NE(menu, std::string::npos);
    EXPECT_NE(close, std::string::npos);
}

TEST_F(AppSwitch, LoadingFramesDoNotCountAndDoNotConsumeInput) {
    Turn();
    long long before = GameApp->UpdatedFrames();
    GameApp->SwitchScene("defMainMenu");
    Turn();
    EXPECT_FALSE(GameApp->SceneReady() && GameApp->UpdatedFrames() > before + 1);
    ASSERT_TRUE(RunUntilReady());
}

TEST_F(AppSwitch, QuittingWhileASceneLoadsIsClean) {
    Turn();
    for (int i = 0; i < 5; ++i) {
        GameApp->SwitchScene("defMainMenu");
        Turn();  // the loading thread is now running; TearDown destroys the application under it
    }
}

// A failure the scene constructors do not know of (here the log cannot be written)
// reaches the player as a program message, and the program ends normally.
TEST_F(AppSwitch, AFailureOnTheLoadingThreadIsReportedAndEndsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    SetMessageBoxesEnabled(false);
    Turn();
    ASSERT_TRUE(GameApp->SceneReady());
    TChildFoldersInside inside(dir);
    EXPECT_EXIT(
        {
            std::filesystem::remove(dir.file("InfoLog.txt"));
            std::filesystem::create_directory(dir.file("InfoLog.txt"));
            GameApp->SwitchScene("defMainMenu");
            Turn();
            RunUntilReady();
        },
        ::testing::ExitedWithCode(0), "Scene \"defMainMenu\" cannot be loaded: .+");
}

}  // namespace
