#include "app/my_GameApp.h"

#include "app/LoadingScene.h"
#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "app/my_Input.h"
#include "gui/v_CanvasOpenGL.h"
#include "render/my_Viewer.h"
#include "resources/GameDataNames.h"
#include "resources/e_ModelObject.h"
#include "resources/e_ResourceManager.h"
#include "scenes/GameScene.h"
#include "world/MapObject.h"
#include "scenes/MainMenuScene.h"
#include "sound/e_SoundManager.h"
#include "sound/e_SoundPlayer.h"

#include <clocale>
#include <cmath>

TGameApp* GameApp = nullptr;

namespace {

void SettingsVolumeToPlayer(int percent) { SetMusicVolume(percent); }

}  // namespace

TGameApp::TGameApp(SDL_Window* window, const TAppOptions& options) : Options(options) {
    AppServices = this;
    RandomSeed(options.HasSeed ? options.Seed : GetTickCountMs());
    // Settings and data files are written with "." whatever the user's locale says.
    std::setlocale(LC_NUMERIC, "C");
    StartLog();
    Config = std::make_unique<TConfigApp>(ConfigPath.empty() ? AppPath : ConfigPath);
    Handle = window;

    TexturesDir = GameNames::TexturesDir;
    ModelsDir = GameNames::ModelsDir;
    MapsDir = GameNames::MapsDir;
    AnimatesDir = GameNames::AnimatesDir;
    SoundsDir = GameNames::SoundsDir;

    if (window) {
        // The renderer sits below the GUI; the canvas reaches it through these.
        TCanvasHooks hooks;
        hooks.SetSize = SetCanvasSize;
        hooks.Begin = BeginGUI;
        hooks.End = End2D;
        hooks.FreeFonts = FreeFontLists;
        SetCanvasHooks(hooks);
        InitRenderer(Log, window);
    }
    InitResourceSystem(Log, AppPath, TexturesDir, ModelsDir, AnimatesDir);
    InitSound(AppPath, SoundsDir);
    InitSoundStorage(Log, AppPath, SoundsDir);
    // The settings pass on changes only; the saved volume must reach the player once.
    SetMusicVolume(static_cast<int>(std::lround(Config->MusicVolume * 100.0f)));
    SetConfigMusicVolumeProc(SettingsVolumeToPlayer);

    ResetInputState();

    SplashModel = TryLoadModel(GameNames::SplashModel);
    if (SplashModel)
        SplashModel->ModelMatrix = MatScaling(0.3f, 0.05f, 1.0f);
    LoadingScene = std::make_unique<TLoadingScene>();

    SwitchPending = false;
    NextSceneName.clear();
    Progress.store(0.0f, std::memory_order_release);
    Active = true;
    StartTime = GetTickCountMs();
    RestartFrameTimer();
}

TGameApp::~TGameApp() {
    // A scene still being built would be published into a dead object: wait for it.
    JoinLoadingThread();
    Scene.reset();
    LoadingScene.reset();
    SplashModel.reset();
    ShutdownResourceSystem();
    if (Handle)
        ShutdownRenderer();
    SetConfigMusicVolumeProc(nullptr);
    // Closing the device explicitly keeps OpenAL from complaining at exit.
    DoneSound();
    DoneSoundStorage();
    Config.reset();
    CloseLog();
    if (AppServices == this)
        AppServices = nullptr;
}

void TGameApp::JoinLoadingThread() {
    if (LoadingThread.joinable())
        LoadingThread.join();
}

void TGameApp::Frame() {
    if (SwitchPending) {
        JoinLoadingThread();
        // The old scene was drawn once more after the request; now it goes.
        Scene.reset();
        Progress.store(0.0f, std::memory_order_release);
        // The thread gets the name by value: a later request may rewrite NextSceneName.
        LoadingThread = std::thread(&TGameApp::LoadingThreadProc, this, NextSceneName);
        NextSceneName.clear();
        SwitchPending = false;
    }
    if (SceneReady()) {
        FrameTime = GetTickCountMs();
        double dt = Options.FixedDt > 0.0 ? Options.FixedDt : 1.0 / CurrentFps();
        Scene->Update(dt);
        PrevFrameTime = FrameTime;
        EndInputFrame();
        ++UpdatedFrameCount;
    } else {
        LoadingScene->Update(1.0);
    }
}

void TGameApp::Paint() {
    if (static_cast<int32_t>(FrameTime - StartTime) < 1000) {
        if (SplashModel)
            QueueModel(SplashModel.get());
        RenderScene(nullptr, TMyVector3f{0.0f, 0.0f, 0.0f});
        // Only the very first scene is built here; later ones come from the
        // loading thread, which may be writing Scene right now.
        if (!FirstSceneBuilt) {
            FirstSceneBuilt = true;
            Scene = std::make_unique<TMainMenuScene>();
            Progress.store(1.0f, std::memory_order_release);
        }
    } else if (SceneReady()) {
        Scene->Draw();
    } else {
        LoadingScene->Draw();
    }
    EndFrame();
}

void TGameApp::SetActive(bool flag) {
    if (flag == Active)
        return;
    Active = flag;
    // While a switch is under way the scene is either freed or not yet published.
    if (SceneReady() && Scene)
        Scene->SetPaused(!flag);
}

void TGameApp::SwitchScene(const std::string& name) {
    SwitchPending = true;
    NextSceneName = name;
}

void TGameApp::LoadingThreadProc(std::string sceneName) {
    // The scene constructors report the damaged files they know of; anything else
    // (a log that cannot be written, memory running out) would otherwise end the
    // program without a word.
    try {
        Log("Start Loading Thread ++++++++++++++++++++++++");
        std::unique_ptr<TSceneObject> next;
        if (sceneName == "defMainMenu")
            next = std::make_unique<TMainMenuScene>();
        else
            next = std::make_unique<TGameScene>(sceneName);
        Scene = std::move(next);
        Progress.store(1.0f, std::memory_order_release);
        Log("Close Loading Thread ++++++++++++++++++++++++");
    } catch (const std::exception& e) {
        FatalProgramMessage("Scene \"" + sceneName + "\" cannot be loaded: " + e.what());
    } catch (...) {
        FatalProgramMessage("Scene \"" + sceneName + "\" cannot be loaded: unknown error");
    }
}
