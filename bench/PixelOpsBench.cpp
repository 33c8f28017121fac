// The per-frame pixel kernels on the 320x240 frame, in each form that exists.
#include "imaging/PixelOps.h"
#include "imaging/SImage.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

void FillRandom(SImage& image, uint32_t dwSeed) {
    std::mt19937 rng(dwSeed);
    for (int32_t i = 0; i < image.width * image.height; ++i) {
        image.pixels[i] = static_cast<uint32_t>(rng()) & 0x00FFFFFF;
    }
}

void BM_Fade_scalar(benchmark::State& state) {
    SImage frame(320, 240);
    FillRandom(frame, 1);
    for (auto _ : state) {
        FadePixels_scalar(frame.pixels, 320 * 240, 0x080808);
        benchmark::DoNotOptimize(frame.pixels[0]);
    }
    state.SetBytesProcessed(state.iterations() * 320 * 240 * 4);
}
BENCHMARK(BM_Fade_scalar)->Name("Fade/scalar");

// A 128x128 glow sprite added onto the middle of the frame.
void BM_BlitAdd128_scalar(benchmark::State& state) {
    SImage frame(320, 240);
    SImage sprite(128, 128);
    FillRandom(frame, 2);
    FillRandom(sprite, 3);
    for (auto _ : state) {
        BlitAddRows_scalar(frame.pixels + 56 * 320 + 96, 320, sprite.pixels, 128, 128, 128);
        benchmark::DoNotOptimize(frame.pixels[0]);
    }
    state.SetBytesProcessed(state.iterations() * 128 * 128 * 4);
}
BENCHMARK(BM_BlitAdd128_scalar)->Name("BlitAdd128/scalar");

void BM_Clear_scalar(benchmark::State& state) {
    SImage frame(320, 240);
    for (auto _ : state) {
        ClearPixels_scalar(frame.pixels, 320 * 240, 0);
        benchmark::DoNotOptimize(frame.pixels[0]);
    }
    state.SetBytesProcessed(state.iterations() * 320 * 240 * 4);
}
BENCHMARK(BM_Clear_scalar)->Name("Clear/scalar");

} // namespace
