// The music tick: the cost of one OnTimer call on the built-in song, over every tick of a whole pass.
// Reported as counters: p50 and p99 of the tick in nanoseconds, and the ticks in the pass.
#include "framework/SInput.h"
#include "framework/SString.h"
#include "music/SMusic.h"
#include "platform/MidiOut.h"
#include "platform/headless/Headless.h"
#include "resources/BuiltinResources.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

// Takes the messages and does nothing with them, so that only the sequencer is timed.
class DiscardMidiOut : public PlatformMidiOut {
public:
    int32_t Open() override { return 0; }
    void ShortMsg(uint32_t dwMsg) noexcept override { benchmark::DoNotOptimize(dwMsg); }
    void LongMsg(const uint8_t* pData, uint32_t) noexcept override { benchmark::DoNotOptimize(pData); }
    void Reset() override {}
    void Close() override {}
};

void BM_MusicTick_builtin(benchmark::State& state) {
    RegisterBuiltinResources();
    DiscardMidiOut output;
    SMusic music(&output);
    try {
        music.Load("ID_MIDI", LOAD_RESOURCE, nullptr);
    } catch (const SString& error) {
        state.SkipWithError(error.Text());
        return;
    }
    std::vector<double> tickNs;
    for (auto _ : state) {
        // The tick is called directly on a stepped clock, as the timer would call it, for one pass.
        HeadlessSetTickCount(0);
        music.m_nLoopCount = 0;
        music.Rewind();
        tickNs.clear();
        while (music.m_nLoopCount == 0) {
            HeadlessAdvanceTickCount(1);
            const auto start = std::chrono::steady_clock::now();
            music.OnTimer();
            const auto end = std::chrono::steady_clock::now();
            tickNs.push_back(std::chrono::duration<double, std::nano>(end - start).count());
        }
    }
    std::sort(tickNs.begin(), tickNs.end());
    state.counters["tick_p50_ns"] = tickNs[tickNs.size() / 2];
    state.counters["tick_p99_ns"] = tickNs[tickNs.size() * 99 / 100];
    state.counters["tick_max_ns"] = tickNs.back();
    state.counters["ticks_per_pass"] = static_cast<double>(tickNs.size());
}
BENCHMARK(BM_MusicTick_builtin)->Name("MusicTick/builtin")->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
