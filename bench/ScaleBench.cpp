// What showing a frame costs us on the surface path: the 320x240 frame scaled into a window surface.
// Read against ComposeFrame/best of the same run.
#include "display/NearestScale.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

void NearestScale(benchmark::State& state, int32_t nWidth, int32_t nHeight, ScaleSource format) {
    std::vector<uint32_t> source(320 * 240);
    for (size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF; // the 5-6-5 case reads half of it
    }
    std::vector<uint32_t> dest(static_cast<size_t>(nWidth) * static_cast<size_t>(nHeight));
    const ScaleRect box =
        format == SCALE_RGB565 ? LetterboxRect(320, 240, nWidth, nHeight) : ScaleRect{0, 0, nWidth, nHeight};
    const int32_t nSourcePitch = format == SCALE_RGB565 ? 640 : 1280;
    NearestScaler scaler;
    for (auto _ : state) {
        scaler.Scale(source.data(), nSourcePitch, format, ScaleRect{0, 0, 320, 240}, dest.data(), nWidth * 4,
                     box);
        benchmark::DoNotOptimize(dest.data());
        benchmark::ClobberMemory();
    }
}

BENCHMARK_CAPTURE(NearestScale, window320x240, 320, 240, SCALE_XRGB8888);
BENCHMARK_CAPTURE(NearestScale, full1280x720, 1280, 720, SCALE_RGB565);
BENCHMARK_CAPTURE(NearestScale, full1920x1080, 1920, 1080, SCALE_RGB565);
BENCHMARK_CAPTURE(NearestScale, full3840x2160, 3840, 2160, SCALE_RGB565);

} // namespace
