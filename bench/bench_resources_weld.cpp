// The converter's weld: pairwise comparison against the position grid, on the unwelded
// corners of a smooth grid mesh (every inner vertex is shared by six corners).

#include "resources/e_ModelLoader.h"

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

// A height field of side x side quads, smoothed, with texture coordinates from the position.
TLoadModelData GridModel(int side) {
    TLoadModelData d;
    d.Materials = {{"ground.tga", ""}};
    d.MaterialCount = 1;
    TGeomData g;
    g.Name = "Ground";
    g.MaterialRef = 0;
    auto& m = g.Mesh;
    for (int i = 0; i <= side; ++i) {
        for (int j = 0; j <= side; ++j) {
            float x = float(i) * 0.5f, z = float(j) * 0.5f;
            m.Vertices.push_back({x, std::sin(x * 0.3f) * std::cos(z * 0.2f), z});
            m.TVerts.push_back({x * 0.1f, z * 0.1f});
        }
    }
    for (int i = 0; i < side; ++i) {
        for (int j = 0; j < side; ++j) {
            int a = i * (side + 1) + j, b = a + 1, c = a + side + 1, e = c + 1;
            m.Faces.push_back({a, b, c, 1});
            m.Faces.push_back({b, e, c, 1});
            m.TFaces.push_back({a, b, c});
            m.TFaces.push_back({b, e, c});
        }
    }
    m.VertCount = int32_t(m.Vertices.size());
    m.TVertCount = m.VertCount;
    m.FaceCount = int32_t(m.Faces.size());
    m.TFaceCount = m.FaceCount;
    d.Geoms.push_back(std::move(g));
    return d;
}

// The unwelded corners as the converter has them just before the weld: one per face corner.
std::vector<TDrawVertData> Corners(int side) {
    TLoadModelData d = GridModel(side);
    const auto& m = d.Geoms[0].Mesh;
    std::vector<TDrawVertData> out;
    for (const auto& f : m.Faces) {
        for (int32_t v : {f.A, f.B, f.C}) {
            TDrawVertData c{};
            c.Position = m.Vertices[size_t(v)];
            c.TexCoord = m.TVerts[size_t(v)];
            c.Normal = {0.0f, 1.0f, 0.0f};
            out.push_back(c);
        }
    }
    return out;
}

void Weld(benchmark::State& state, TWeldMode mode) {
    auto corners = Corners(int(state.range(0)));
    std::vector<TDrawVertData> kept;
    std::vector<int32_t> remap;
    for (auto _ : state) {
        WeldVertices(corners, mode, kept, remap);
        benchmark::DoNotOptimize(kept.data());
    }
    state.counters["corners"] = double(corners.size());
    state.counters["kept"] = double(kept.size());
    state.SetItemsProcessed(state.iterations() * int64_t(corners.size()));
}

void BM_WeldQuadratic(benchmark::State& state) { Weld(state, TWeldMode::Quadratic); }
void BM_WeldHashed(benchmark::State& state) { Weld(state, TWeldMode::Hashed); }

void Convert(benchmark::State& state, TWeldMode mode) {
    TLoadModelData d = GridModel(int(state.range(0)));
    for (auto _ : state) {
        auto stream = ConvertModel(d, mode);
        benchmark::DoNotOptimize(stream.get());
    }
    state.counters["faces"] = double(d.Geoms[0].Mesh.Faces.size());
}

void BM_ConvertQuadratic(benchmark::State& state) { Convert(state, TWeldMode::Quadratic); }
void BM_ConvertHashed(benchmark::State& state) { Convert(state, TWeldMode::Hashed); }

// side 16: 1536 corners; 32: 6144; 64: 24576; 256: 393216.
BENCHMARK(BM_WeldQuadratic)->Arg(16)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WeldHashed)->Arg(16)->Arg(32)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertQuadratic)->Arg(32)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertHashed)->Arg(32)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace
