#pragma once
// The application object: owns every long-lived service, runs one update step
// (Frame) and one draw step (Paint) per loop turn, and switches scenes by
// building the next one on a loading thread while the loading screen is shown.

#include "app/e_AppServices.h"
#include "app/e_Config.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

struct SDL_Window;
class TSceneObject;
class TLoadingScene;
class TGameModel;

// How the program was started (the command line).
struct TAppOptions {
    int Width = 1024;
    int Height = 768;
    bool Windowed = false;
    std::string DataDir;  // empty: the executable's folder
    bool Batch = false;
    bool Headless = false;
    bool HasSeed = false;
    uint32_t Seed = 0;
    double FixedDt = 0.0;   // 0: time steps come from the frame rate
    long long Frames = -1;  // -1: run until asked to stop
    std::string ScriptFile;
    struct TShot {
        long long Frame = -1;
        std::string File;
    };
    std::vector<TShot> Screenshots;
    std::string MapFile;
    std::string RecordFile;  // --record
    std::string ReplayFile;  // --replay
};

class TGameApp : public TAppServices {
public:
    // `window` is null in headless runs.
    TGameApp(SDL_Window* window, const TAppOptions& options);
    ~TGameApp();
    TGameApp(const TGameApp&) = delete;
    TGameApp& operator=(const TGameApp&) = delete;

    void Frame();
    void Paint();
    void SetActive(bool flag);
    // "defMainMenu" or the path of a map file; takes effect at the next Frame.
    void SwitchScene(const std::string& name) override;
    void ReleaseTimer() {}

    // True while the current scene is ready (Progress has reached 1).
    bool SceneReady() const { return Progress.load(std::memory_order_acquire) >= 1.0f; }
    // Raised by scene constructors on the loading thread to move the progress bar.
    void SetProgress(float value) override { Progress.store(value, std::memory_order_release); }
    float GetProgress() const { return Progress.load(std::memory_order_acquire); }
    // Counts the frames in which a scene was updated (scripts and --frames count these).
    long long UpdatedFrames() const { return UpdatedFrameCount; }
    // Asks the main loop to end normally, as closing the window does.
    // Ends the program after this frame, with that exit code.
    void RequestQuit(int exitCode = 0) override {
        QuitRequested = true;
        QuitCode = exitCode;
    }
    TConfigApp* Settings() override { return Config.get(); }
    std::string MapsFolder() const override { return MapsDir; }
    bool QuitWanted() const { return QuitRequested; }
    int QuitExitCode() const { return QuitCode; }
    TSceneObject* CurrentScene() const { return SceneReady() ? Scene.get() : nullptr; }

    SDL_Window* Handle = nullptr;
    bool Active = false;
    std::unique_ptr<TConfigApp> Config;
    std::string TexturesDir;
    std::string ModelsDir;
    std::string MapsDir;
    std::string AnimatesDir;
    std::string SoundsDir;
    uint32_t FrameTime = 0;
    uint32_t PrevFrameTime = 0;
    uint32_t StartTime = 0;
    bool SwitchPending = false;
    std::string NextSceneName;
    TAppOptions Options;

private:
    void LoadingThreadProc(std::string sceneName);
    void JoinLoadingThread();

    // A switch request leaves the old scene in place for one more draw; the
    // next Frame frees it and the loading thread publishes the new one.
    std::unique_ptr<TSceneObject> Scene;
    std::unique_ptr<TLoadingScene> LoadingScene;
    std::unique_ptr<TGameModel> SplashModel;
    std::atomic<float> Progress{0.0f};
    std::thread LoadingThread;
    long long UpdatedFrameCount = 0;
    bool QuitRequested = false;
    int QuitCode = 0;
    bool FirstSceneBuilt = false;
};

extern TGameApp* GameApp;
