// The battle scene on the real battle map, the way a headless run drives it (no
// window, no GL; sound on OpenAL's null device):
//   BattleLoad       building the scene from FirstBlood.map with every registry
//                    and the sound storage empty, as the loading thread does
//                    after the main menu;
//   OpeningBattle    the first 3000 frames (60 s at 0.02 s a frame) of a battle
//                    seeded with 1, one frame per iteration;
//   Battle1000       the same map with 1000 units for 3000 frames: every
//                    player's army grown round its starting place (march: the
//                    armies still have to find each other) or round the middle of
//                    the map (contact: within sight, so shooting, melee and
//                    deaths start at once).
// Times are per frame; worst_frame_ms is the single dearest frame (thread CPU),
// frames_over_8ms counts the frames of the 1000-unit battle that took longer.
//
// The game folder (holding Data/) is $MYGAME_DATA, else the build folder above
// this program. The log goes to a temporary folder.

#include "scenes/GameScene.h"

#include "UnitsFrame.h"

#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "app/my_Input.h"
#include "render/my_Viewer.h"
#include "resources/e_ResourceManager.h"
#include "sound/e_SoundManager.h"
#include "sound/e_SoundPlayer.h"
#include "units/GameUnits.h"
#include "units/PlayerObject.h"
#include "world/MapObject.h"

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double FrameStep = 0.02;
constexpr int OpeningFrames = 3000;

std::string GameFolder() {
    if (const char* dir = std::getenv("MYGAME_DATA"); dir && *dir) {
        std::string s = dir;
        return s.back() == '/' ? s : s + "/";
    }
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("./") : exe.parent_path().parent_path().string() + "/";
}

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

// One frame, remembering the dearest one: the computer players think every half
// second, and a frame that plans many paths is the one a player would feel.
double TimedFrame(TGameScene& scene, double& worstMs) {
    const double start = ThreadCpuMs();
    scene.Update(FrameStep);
    const double ms = ThreadCpuMs() - start;
    worstMs = std::max(worstMs, ms);
    return ms;
}

std::string MapFile() { return AppPath + "Data/Maps/FirstBlood.map"; }

void StartServices() {
    InitResourceSystem(Log, AppPath, "Data/Textures/", "Data/Modeles/", "Data/Animates/");
    InitSound(AppPath, "Data/Sounds/");
    InitSoundStorage(Log, AppPath, "Data/Sounds/");
}

void StopServices() {
    DoneSound();
    DoneSoundStorage();
    FreeResourceSystem();
}

// Process-wide set-up, once: the folders, the log, a headless 1024 x 768 screen.
bool Prepare(benchmark::State& state) {
    static bool ready = false;
    static bool ok = false;
    if (!ready) {
        ready = true;
        setenv("ALSOFT_DRIVERS", "null", 0);
        SetMessageBoxesEnabled(false);
        AppPath = GameFolder();
        static const std::string logs = [] {
            std::string t = (std::filesystem::temp_directory_path() / "mygame-bench-XXXXXX").string();
            return mkdtemp(t.data()) ? t + "/" : std::string();
        }();
        LogFolder = logs;
        StartLog();
        SetHeadlessRenderer(true);
        SetViewport(0, 0, 1024, 768);
        ScreenRect = TScreenRect{0, 0, 1024, 768};
        ResetInputState();
        ok = std::filesystem::exists(MapFile());
        if (ok)
            StartServices();
    }
    if (!ok)
        state.SkipWithError(("no battle map at " + MapFile() + " (set MYGAME_DATA)").c_str());
    return ok;
}

std::unique_ptr<TGameScene> NewBattle() {
    RandomSeed(1);
    return std::make_unique<TGameScene>(MapFile());
}

void BM_BattleLoad(benchmark::State& state) {
    if (!Prepare(state))
        return;
    for (auto _ : state) {
        state.PauseTiming();
        StopServices();
        StartServices();
        state.ResumeTiming();
        auto scene = NewBattle();
        state.PauseTiming();
        scene.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BattleLoad)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_OpeningBattle(benchmark::State& state) {
    if (!Prepare(state))
        return;
    auto scene = NewBattle();
    double worst = 0.0;
    for (auto _ : state)
        TimedFrame(*scene, worst);
    state.counters["worst_frame_ms"] = worst;
    size_t units = 0;
    for (int32_t i = 0; i < scene->Battle->PlayerCount; ++i)
        units += scene->Battle->Players[size_t(i)]->Units.size();
    state.counters["units_at_end"] = double(units);
    state.counters["battle_s"] = scene->Battle->Time;
}
BENCHMARK(BM_OpeningBattle)->Unit(benchmark::kMicrosecond)->Iterations(OpeningFrames);

void BM_Battle1000(benchmark::State& state) {
    if (!Prepare(state))
        return;
    const bool contact = state.range(0) != 0;
    auto scene = NewBattle();
    TGameMap& map = *scene->Map;
    // 15 : 10 : 10 as in the opening battle.
    const size_t total = 1000, human = total * 15 / 35, cpu = (total - human) / 2;
    auto unitAt = [&](int32_t p) { return scene->Battle->Players[size_t(p)]->Units.front()->Position; };
    const TMyVector3f h = unitAt(0), c1 = unitAt(1), c2 = unitAt(2);
    if (contact) {
        const int32_t mc = map.MapCols / 2, mr = map.MapRows / 2;
        GrowArmy(*scene->Map, *scene->Battle->Players[0], human, mc, mr);
        GrowArmy(*scene->Map, *scene->Battle->Players[1], cpu, mc - 22, mr - 8);
        GrowArmy(*scene->Map, *scene->Battle->Players[2], total - human - cpu, mc - 22, mr + 8);
    } else {
        GrowArmy(*scene->Map, *scene->Battle->Players[0], human, int32_t(h.x), int32_t(h.y));
        GrowArmy(*scene->Map, *scene->Battle->Players[1], cpu, int32_t(c1.x), int32_t(c1.y));
        GrowArmy(*scene->Map, *scene->Battle->Players[2], total - human - cpu, int32_t(c2.x), int32_t(c2.y));
    }
    size_t living = 0, frames = 0, slow = 0;
    double worst = 0.0;
    for (auto _ : state) {
        if (TimedFrame(*scene, worst) > 8.0)
            ++slow;
        for (int32_t i = 0; i < scene->Battle->PlayerCount; ++i)
            living += scene->Battle->Players[size_t(i)]->Units.size();
        ++frames;
    }
    state.counters["units"] = frames ? double(living) / double(frames) : 0.0;  // on average
    state.counters["worst_frame_ms"] = worst;
    state.counters["frames_over_8ms"] = double(slow);
}
BENCHMARK(BM_Battle1000)
    ->ArgName("contact")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(OpeningFrames);

}  // namespace
