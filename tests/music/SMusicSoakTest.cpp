// An hour of the built-in song in simulated time: the song starts over again and again with the same
// messages every pass, and the player's memory stays as it was.
#include "music/SMusic.h"
#include "platform/headless/Headless.h"
#include "resources/BuiltinResources.h"

#include <gtest/gtest.h>

#include <malloc.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers' runtime keeps the heap; GCC ships no header declaring this query.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

// Bytes the process has allocated and not freed; the sanitizers keep their own heap.
size_t BytesInUse() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

// Counts messages without keeping them, so that the count costs no memory.
class CountingOutput : public PlatformMidiOut {
public:
    int32_t Open() override { return 0; }
    void ShortMsg(uint32_t) noexcept override { ++m_nMessages; }
    void LongMsg(const uint8_t*, uint32_t) noexcept override { ++m_nMessages; }
    void Reset() override {}
    void Close() override {}
    uint64_t m_nMessages = 0;
};

TEST(SMusicSoak, AnHourOfTheBuiltinSongRepeatsEveryPassExactlyInConstantMemory) {
    RegisterBuiltinResources();
    HeadlessSetTickCount(0);
    CountingOutput output;
    SMusic music(&output);
    music.Load("ID_MIDI", LOAD_RESOURCE, nullptr);
    music.Play();

    struct Pass {
        uint32_t dwEndMs;
        uint64_t nMessages;
        size_t nBytes;
    };
    std::vector<Pass> passes;
    passes.reserve(4096); // no allocation of the test's own while it measures
    int32_t nLoops = 0;
    uint64_t nCounted = 0;
    constexpr uint32_t kHourMs = 60 * 60 * 1000;
    for (uint32_t ms = 1; ms <= kHourMs; ++ms) {
        HeadlessStepTimers(1);
        if (music.m_nLoopCount != nLoops) {
            ASSERT_EQ(music.m_nLoopCount, nLoops + 1);
            nLoops = music.m_nLoopCount;
            passes.push_back(Pass{ms, output.m_nMessages - nCounted, BytesInUse()});
            nCounted = output.m_nMessages;
        }
    }
    music.Stop();

    ASSERT_GE(passes.size(), 3u) << "the song should start over several times in an hour";
    // The first pass starts at the play, the others at a rewind: compare from the second on.
    for (size_t i = 2; i < passes.size(); ++i) {
        SCOPED_TRACE("pass " + std::to_string(i));
        EXPECT_EQ(passes[i].nMessages, passes[1].nMessages);
        EXPECT_EQ(passes[i].dwEndMs - passes[i - 1].dwEndMs, passes[1].dwEndMs - passes[0].dwEndMs);
        EXPECT_EQ(passes[i].nBytes, passes[1].nBytes);
    }
    EXPECT_EQ(passes[0].nMessages, passes[1].nMessages);
    RecordProperty("passes", static_cast<int>(passes.size()));
    RecordProperty("messages_per_pass", static_cast<int>(passes[1].nMessages));
    RecordProperty("pass_ms", static_cast<int>(passes[1].dwEndMs - passes[0].dwEndMs));
    std::printf("soak: %zu passes of %u ms, %llu messages each, %zu bytes in use\n", passes.size(),
                passes[1].dwEndMs - passes[0].dwEndMs, static_cast<unsigned long long>(passes[1].nMessages),
                passes[1].nBytes);
}

} // namespace
