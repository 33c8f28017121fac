// The per-frame kernels on the 320x240 frame, in every form the processor runs, plus one whole composed
// frame and the memory floor of the lighting. Entries are named Kernel/form; see README.md for the ratios.
#include "display/PixelConvert.h"
#include "framework/Random.h"
#include "imaging/PixelOps.h"
#include "imaging/SImage.h"
#include "resources/BuiltinResources.h"
#include "scene/SBallSwarm.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#if defined(__i386__) || defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

constexpr int32_t kW = 320;
constexpr int32_t kH = 240;

void FillRandom(SImage& image, uint32_t dwSeed) {
    std::mt19937 rng(dwSeed);
    for (int32_t i = 0; i < image.width * image.height; ++i) {
        image.pixels[i] = static_cast<uint32_t>(rng()) & 0x00FFFFFF;
    }
}

// The built-in height map, as the scene loads it.
struct HeightMap {
    SImage image{kW, kH};
    HeightMap() {
        RegisterBuiltinResources();
        image.LoadBmp("ID_BUMPMAP", LOAD_RESOURCE, nullptr);
    }
};

// The scene's light: the 640x640 white glow of radius 320 with its direction table.
struct Light {
    SImage image{640, 640};
    Light() {
        image.BuildDirectionTable(1);
        image.DrawGlow(320, 0x00FFFFFF);
    }
};

void BumpLight(benchmark::State& state, const PixelKernels* pForm) {
    UsePixelKernels(*pForm);
    SImage frame(kW, kH);
    HeightMap height;
    Light light;
    FillRandom(frame, 1);
    for (auto _ : state) {
        frame.BumpLight(height.image, 160, 120, light.image, 5);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 318 * 238);
}

// A 128x128 glow sprite added onto the middle of the frame.
void BlitAdd128(benchmark::State& state, const PixelKernels* pForm) {
    SImage frame(kW, kH);
    SImage sprite(128, 128);
    FillRandom(frame, 2);
    FillRandom(sprite, 3);
    for (auto _ : state) {
        pForm->BlitAddRows(frame.pixels + 56 * kW + 96, kW, sprite.pixels, 128, 128, 128);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * 128 * 128 * 4);
}

void Fade(benchmark::State& state, const PixelKernels* pForm) {
    SImage frame(kW, kH);
    FillRandom(frame, 1);
    for (auto _ : state) {
        pForm->Fade(frame.pixels, kW * kH, 0x080808);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kW * kH * 4);
}

void Clear(benchmark::State& state, const PixelKernels* pForm) {
    SImage frame(kW, kH);
    for (auto _ : state) {
        pForm->Clear(frame.pixels, kW * kH, 0);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kW * kH * 4);
}

void Convert565(benchmark::State& state, const ConvertKernels* pForm) {
    SImage frame(kW, kH);
    FillRandom(frame, 4);
    std::vector<uint8_t> surface(kW * 2 * kH);
    for (auto _ : state) {
        pForm->ConvertTo565(surface.data(), kW * 2, frame.pixels);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * kW * kH * 4);
}

// One frame as the scene composes it: clear, 40 balls moved and drawn, the light on their centre, and a
// three-digit rate added at (10, 10) with the built-in digit pictures.
// What the scene draws in one frame: clear, 40 balls moved and drawn, the light on the swarm's centre,
// three stand-in digits added at (10, 10).
class FrameComposer {
public:
    FrameComposer() : m_frame(kW, kH) {
        SeedRandom(1);
        m_swarm.Create(40, 0x00FF6464);
        for (char c = '0'; c <= '9'; ++c) {
            const char szName[] = {c, '_', 'B', 'M', 'P', '\0'};
            m_digits.push_back(std::make_unique<SImage>(szName, LOAD_RESOURCE, nullptr));
        }
    }

    void Compose() {
        m_frame.Clear(0);
        m_swarm.Update();
        m_swarm.Draw(m_frame);
        m_frame.BumpLight(m_height.image, static_cast<int32_t>(m_swarm.centerX) + kW / 2,
                          static_cast<int32_t>(m_swarm.centerY) + kH / 2, m_light.image, 5);
        int32_t x = 10;
        for (const char* p = "123"; *p != '\0'; ++p) {
            const SImage& digit = *m_digits[*p - '0'];
            m_frame.Blit(x, 10, digit, BLIT_ADD);
            x += digit.width;
        }
        benchmark::ClobberMemory();
    }

private:
    SBallSwarm m_swarm;
    SImage m_frame;
    HeightMap m_height;
    Light m_light;
    std::vector<std::unique_ptr<SImage>> m_digits;
};

void ComposeFrame(benchmark::State& state, const PixelKernels* pForm) {
    UsePixelKernels(*pForm);
    FrameComposer composer;
    for (auto _ : state) {
        composer.Compose();
    }
}

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The same frame composed as the program composes it: once every sixtieth of a second, with the thread
// asleep in between, so that caches and the processor's clock are what an idle machine leaves them.
// The time is the thread's processor time for the frame alone.
void ComposeFramePaced(benchmark::State& state, const PixelKernels* pForm) {
    UsePixelKernels(*pForm);
    FrameComposer composer;
    auto next = std::chrono::steady_clock::now();
    for (auto _ : state) {
        next += std::chrono::microseconds(16667);
        std::this_thread::sleep_until(next);
        const double dStart = ThreadCpuSeconds();
        composer.Compose();
        state.SetIterationTime(ThreadCpuSeconds() - dStart);
    }
}

// The memory floor of the lighting: one pass that reads what BumpLight must read (the height map's rows,
// the light window, the direction window, the lit frame) and writes the frame, with only bitwise OR to
// keep every load, in the widest vectors the processor has.
#if defined(__i386__) || defined(__x86_64__)
__attribute__((target("avx2"))) void StreamRowsAvx2(uint32_t* pFrame, const uint32_t* pHeight,
                                                    const uint32_t* pLight, const int8_t* pDir) {
    for (int32_t y = 1; y < kH - 1; ++y) {
        uint32_t* f = pFrame + y * kW + 1;
        const uint32_t* h = pHeight + y * kW + 1;
        const uint32_t* l = pLight + (y + 200) * 640 + 161;
        const int8_t* d = pDir + 2 * ((y + 200) * 640 + 161);
        for (int32_t x = 0; x + 8 <= kW - 2; x += 8) {
            const __m256i dir =
                _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(d + 2 * x)));
            const __m256i v = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(f + x)),
                                              _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h + x)));
            const __m256i w =
                _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(l + x)), dir);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(f + x), _mm256_or_si256(v, w));
        }
    }
}

void StreamRowsSse2(uint32_t* pFrame, const uint32_t* pHeight, const uint32_t* pLight, const int8_t* pDir) {
    for (int32_t y = 1; y < kH - 1; ++y) {
        uint32_t* f = pFrame + y * kW + 1;
        const uint32_t* h = pHeight + y * kW + 1;
        const uint32_t* l = pLight + (y + 200) * 640 + 161;
        const int8_t* d = pDir + 2 * ((y + 200) * 640 + 161);
        for (int32_t x = 0; x + 4 <= kW - 2; x += 4) {
            const __m128i dir = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(d + 2 * x));
            const __m128i v = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(f + x)),
                                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(h + x)));
            const __m128i w = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(l + x)), dir);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(f + x), _mm_or_si128(v, w));
        }
    }
}
#endif

void StreamRowsScalar(uint32_t* pFrame, const uint32_t* pHeight, const uint32_t* pLight, const int8_t* pDir) {
    for (int32_t y = 1; y < kH - 1; ++y) {
        for (int32_t x = 1; x < kW - 1; ++x) {
            const int32_t u = (y + 200) * 640 + x + 160;
            const uint32_t dir =
                static_cast<uint8_t>(pDir[2 * u]) | (static_cast<uint8_t>(pDir[2 * u + 1]) << 8);
            pFrame[y * kW + x] |= pHeight[y * kW + x] | pLight[u] | dir;
        }
    }
}

void StreamBound(benchmark::State& state) {
    SImage frame(kW, kH);
    HeightMap height;
    Light light;
    auto* pStream = StreamRowsScalar;
#if defined(__i386__) || defined(__x86_64__)
    pStream = ProcessorHas(ISA_AVX2)   ? StreamRowsAvx2
              : ProcessorHas(ISA_SSE2) ? StreamRowsSse2
                                       : StreamRowsScalar;
#endif
    for (auto _ : state) {
        frame.Clear(0);
        // The top and bottom rows of the height map are read by the lighting too, as neighbours.
        uint32_t dwEdges = 0;
        for (int32_t x = 0; x < kW; ++x) {
            dwEdges |= height.image.pixels[x] | height.image.pixels[(kH - 1) * kW + x];
        }
        benchmark::DoNotOptimize(dwEdges);
        pStream(frame.pixels, height.image.pixels, light.image.pixels, light.image.directionTable);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * 318 * 238);
}

// Registers Kernel/form for every form this processor runs, then Kernel/best.
template <class Kernels, class Fn>
void RegisterForms(const char* pszKernel, const Kernels* (*pGet)(InstructionSet), const Kernels* pBest,
                   Fn fn) {
    for (int32_t n = ISA_SCALAR; n < ISA_COUNT; ++n) {
        const auto isa = static_cast<InstructionSet>(n);
        if (const Kernels* pForm = pGet(isa)) {
            benchmark::RegisterBenchmark((std::string(pszKernel) + "/" + InstructionSetName(isa)).c_str(), fn,
                                         pForm);
        }
    }
    benchmark::RegisterBenchmark((std::string(pszKernel) + "/best").c_str(), fn, pBest);
}

const ConvertKernels* BestConvertKernels() {
    for (int32_t n = ISA_COUNT - 1; n >= ISA_SCALAR; --n) {
        if (const ConvertKernels* pForm = GetConvertKernels(static_cast<InstructionSet>(n))) {
            return pForm;
        }
    }
    return nullptr;
}

const bool g_bRegistered = [] {
    const PixelKernels* pBest = &ActivePixelKernels();
    RegisterForms("BumpLight", GetPixelKernels, pBest, BumpLight);
    RegisterForms("BlitAdd128", GetPixelKernels, pBest, BlitAdd128);
    RegisterForms("Fade", GetPixelKernels, pBest, Fade);
    RegisterForms("Clear", GetPixelKernels, pBest, Clear);
    RegisterForms("Convert565", GetConvertKernels, BestConvertKernels(), Convert565);
    benchmark::RegisterBenchmark("ComposeFrame/scalar", ComposeFrame, GetPixelKernels(ISA_SCALAR));
    benchmark::RegisterBenchmark("ComposeFrame/best", ComposeFrame, pBest);
    // A frame every 16.7 ms: 90 of them take a second and a half.
    benchmark::RegisterBenchmark("ComposeFrame/best_at_60Hz", ComposeFramePaced, pBest)
        ->UseManualTime()
        ->Iterations(90);
    benchmark::RegisterBenchmark("StreamBound", StreamBound);
    return true;
}();

} // namespace
