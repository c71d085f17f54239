// One scene pass (shadow map, buckets, colour pass) on the software rasteriser:
// 4n static models and n skinned figures (n = 0 and 50), the way a battle
// queues them. Run with SDL_VIDEODRIVER=offscreen.

#include "app/e_CameraObject.h"
#include "app/e_Log.h"
#include "app/e_Platform.h"
#include "render/my_Viewer.h"
#include "resources/e_ModelLoader.h"
#include "resources/e_ResourceManager.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void Quiet(const std::string&) {}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void WriteTexture(const std::string& path) {
    std::vector<uint8_t> f(18, 0);
    f[2] = 2, f[12] = 8, f[14] = 8, f[16] = 24;
    for (int i = 0; i < 64; ++i)
        f.insert(f.end(), {90, 160, 200});
    WriteFile(path, f);
}

// A box-like model: six squares of `grid` x `grid` quads each.
void WriteModel(const std::string& path, bool skinned, int grid) {
    TModelStreamData data;
    data.Skinned = skinned;
    data.RendData.BoneCount = skinned ? 1 : 0;
    TStoredRenderMesh m;
    m.Material.DiffuseMap = "Bench.tga";
    for (int face = 0; face < 6; ++face) {
        int base = static_cast<int>(m.Vertices.size()) / (skinned ? 22 : 14);
        for (int i = 0; i <= grid; ++i)
            for (int j = 0; j <= grid; ++j) {
                float u = float(i) / grid * 2 - 1, v = float(j) / grid * 2 - 1;
                float p[3] = {u, v, 1};
                float x = p[face % 3], y = p[(face + 1) % 3],
                      z = face < 3 ? p[(face + 2) % 3] : -p[(face + 2) % 3];
                const float vert[14] = {x, y, z, 0, 0, 1, 1, 0, 0, 0, 1, 0, u, v};
                m.Vertices.insert(m.Vertices.end(), vert, vert + 14);
                if (skinned)
                    m.Vertices.insert(m.Vertices.end(), {0, 0, 0, 0, 1, 0, 0, 0});
            }
        for (int i = 0; i < grid; ++i)
            for (int j = 0; j < grid; ++j) {
                int a = base + i * (grid + 1) + j;
                m.Triangles.push_back({a, a + grid + 1, a + grid + 2});
                m.Triangles.push_back({a, a + grid + 2, a + 1});
            }
    }
    m.VertCount = static_cast<int32_t>(m.Vertices.size()) / (skinned ? 22 : 14);
    m.TriCount = static_cast<int32_t>(m.Triangles.size());
    m.BoxMin = {-1, -1, -1};
    m.BoxMax = {1, 1, 1};
    data.RendData.Meshes.push_back(m);
    WriteFile(path, WriteModelStream(data));
}

void BM_SceneWithShadows(benchmark::State& state) {
    SDL_Init(SDL_INIT_VIDEO);
    SetRendererContextAttributes();
    SDL_Window* window = SDL_CreateWindow("bench", 0, 0, 1024, 768, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    std::string root = std::filesystem::temp_directory_path().string() + "/mygame-bench-viewer/";
    WriteTexture(root + "Data/Textures/Bench.tga");
    WriteModel(root + "Data/Modeles/Block.PRM", false, 8);
    WriteModel(root + "Data/Animates/Man.PAM", true, 8);
    // The programs are read from the source tree's Shaders folder.
    AppPath = std::filesystem::path(__FILE__).parent_path().parent_path().string() + "/";
    SetMessageBoxesEnabled(false);
    SetViewport(0, 0, 1024, 768);
    InitRenderer(Quiet, window);
    InitResourceSystem(Quiet, root, "Data/Textures/", "Data/Modeles/", "Data/Animates/");
    TCamera camera(60.0, 1.0, 0.5, 500.0);
    camera.Rotate(0.9, 0.7, 0);
    camera.MoveBack(60);
    SetShadowFocus({TMyVector3f{-30, 0, -30}, {30, 0, -30}, {30, 0, 30}, {-30, 0, 30}});
    int32_t block = LoadModel("Block"), man = LoadModel("Man.PAM");
    std::vector<TBoneFrame> pose(1);
    pose[0].Rotation = IdentityQuat;

    for (auto _ : state) {
        for (int i = 0; i < state.range(0) * 4; ++i) {
            TModelDrawItem item;
            item.ModelHandle = block;
            item.ModelMatrix = MatTranslation(float(i % 20) * 3 - 30, 1, float(i / 20) * 3 - 15);
            QueueModelItem(item);
        }
        for (int i = 0; i < state.range(0); ++i) {
            TModelDrawItem item;
            item.ModelHandle = man;
            item.Skinned = true;
            item.Pose = pose.data();
            item.BoneCount = 1;
            item.ModelMatrix = MatTranslation(float(i % 10) * 3 - 15, 1, float(i / 10) * 3 + 16);
            QueueModelItem(item);
        }
        RenderScene(&camera, TMyVector3f{-500, 1000, -300});
        glFinish();
    }
    state.counters["draws"] = LastFrameStats().DrawCalls;

    FreeResourceSystem();
    ShutdownRenderer();
    SDL_DestroyWindow(window);
    SDL_Quit();
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_SceneWithShadows)->Arg(0)->Arg(50)->Unit(benchmark::kMillisecond);

}  // namespace
