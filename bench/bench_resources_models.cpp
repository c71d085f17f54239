// Loading the generated soldiers: a skinned model with its textures and its
// ".PSA" clips, through the registry as the battle's loading thread does. Each
// iteration starts a fresh registry, so nothing is found already loaded.
// Needs the game data: build the gamedata target first.

#include "app/e_Platform.h"
#include "resources/e_ResourceManager.h"

#include <benchmark/benchmark.h>

#include <filesystem>

namespace {

void Quiet(const std::string&) {}

void LoadSoldier(benchmark::State& state, const char* name) {
    const std::string root = std::string(MYGAME_BINARY_DIR) + "/";
    if (!std::filesystem::exists(root + "Data/Animates/" + name + ".PAM")) {
        state.SkipWithError("no game data: build the gamedata target first");
        return;
    }
    for (auto _ : state) {
        InitResourceSystem(Quiet, root, "Data/Textures/", "Data/Modeles/", "Data/Animates/");
        benchmark::DoNotOptimize(LoadModel(std::string(name) + ".PAM"));
        state.PauseTiming();
        FreeResourceSystem();
        state.ResumeTiming();
    }
}

BENCHMARK_CAPTURE(LoadSoldier, Bowman, "Kestrin")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadSoldier, Warrior, "SirGuy")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(LoadSoldier, Cavalryman, "Sheriff")->Unit(benchmark::kMillisecond);

}  // namespace
