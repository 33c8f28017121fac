// The song loader on any bytes, then the sequencer over what it loaded with the simulated clock: a
// stretch at 1 ms steps, then long jumps so that slow songs also reach their end and start over. Every
// read must stay inside the track's data; releasing the player must reset the output before closing it.
#include "FuzzItem.h"

#include "framework/SString.h"
#include "framework/Timer.h"
#include "music/SMusic.h"
#include "platform/headless/Headless.h"
#include "platform/headless/MidiOut.h"

#include <cstdlib>

namespace {

constexpr uint32_t kFineTicks = 1500;
constexpr uint32_t kCoarseTicks = 1500;
constexpr uint32_t kCoarseStepMs = 997;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    TimerStartup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    SetFuzzItem(pData, nSize);
    HeadlessMidiOut output;
    {
        SMusic music(&output);
        try {
            music.Load(kFuzzItem, LOAD_RESOURCE, nullptr);
            music.Play();
        } catch (const SString&) {
        }
        for (uint32_t i = 0; i < kFineTicks + kCoarseTicks && music.m_nLoopCount < 2; ++i) {
            if (i >= kFineTicks) {
                HeadlessAdvanceTickCount(kCoarseStepMs - 1);
            }
            HeadlessStepTimers(1);
        }
        music.Stop();
        if (HeadlessLiveTimers() != 0) {
            std::abort();
        }
    }
    const std::vector<MidiEvent> events = output.TakeEvents();
    // Open, ..., reset, close: the player never closes an output it has not silenced.
    if (events.size() < 3 || events.back().kind != MidiEvent::CLOSE ||
        events[events.size() - 2].kind != MidiEvent::RESET) {
        std::abort();
    }
    return 0;
}
