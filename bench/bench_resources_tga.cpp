// Decoding speed of texture files: a 1024x1024 true-colour TGA, raw and run-length,
// stored top-down (so the flip runs too), and a 24-bit BMP of the same size.

#include "app/e_ByteReader.h"
#include "resources/_TGA2.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

constexpr uint16_t Side = 1024;

// A Side x Side picture, top-left origin with 8 alpha bits (0x28).
std::vector<uint8_t> Header(uint8_t type, uint8_t bits) {
    std::vector<uint8_t> t(18, 0);
    t[2] = type;
    StoreLE16(&t[12], Side);
    StoreLE16(&t[14], Side);
    t[16] = bits;
    t[17] = 0x28;
    return t;
}

// A picture with runs of 1..16 equal pixels, like painted textures.
std::vector<uint8_t> Pixel(size_t i) { return {uint8_t(i / 7), uint8_t(i / 3), uint8_t(i), 255}; }

std::vector<uint8_t> RawTga() {
    auto f = Header(2, 32);
    for (size_t i = 0; i < size_t(Side) * Side; ++i) {
        auto p = Pixel(i / (1 + i % 16));
        f.insert(f.end(), p.begin(), p.end());
    }
    return f;
}

std::vector<uint8_t> RleTga() {
    auto f = Header(10, 32);
    size_t total = size_t(Side) * Side, i = 0;
    while (i < total) {
        size_t run = std::min<size_t>(1 + i % 16, total - i);
        f.push_back(uint8_t(0x80 | (run - 1)));
        auto p = Pixel(i);
        f.insert(f.end(), p.begin(), p.end());
        i += run;
    }
    return f;
}

std::vector<uint8_t> Bmp24() {
    const uint32_t stride = Side * 3, size = 54 + stride * Side;
    std::vector<uint8_t> f(size, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int k = 0; k < 4; ++k)
            f[at + k] = uint8_t(v >> (8 * k));
    };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, size);
    put32(10, 54);
    put32(14, 40);
    put32(18, Side);
    put32(22, Side);
    f[26] = 1;
    f[28] = 24;
    for (size_t i = 54; i < size; ++i)
        f[i] = uint8_t(i * 31);
    return f;
}

void DecodeTga(benchmark::State& state, std::vector<uint8_t> (*make)()) {
    const auto file = make();
    for (auto _ : state) {
        TStoredTextureData tex;
        std::string error;
        bool ok = DecodeTGATexture(file, tex, error);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(tex.Pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Side) * Side * 4);
}

void BM_TgaRaw32(benchmark::State& state) { DecodeTga(state, RawTga); }
void BM_TgaRle32(benchmark::State& state) { DecodeTga(state, RleTga); }

void BM_Bmp24(benchmark::State& state) {
    const auto file = Bmp24();
    for (auto _ : state) {
        TStoredTextureData tex;
        std::string error;
        bool ok = DecodeBMPTexture(file, tex, error);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(tex.Pixels.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Side) * Side * 3);
}

}  // namespace

BENCHMARK(BM_TgaRaw32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TgaRle32)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Bmp24)->Unit(benchmark::kMillisecond);
