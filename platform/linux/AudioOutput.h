// The music's way to the speakers: a thread of its own that opens the audio device, follows the sound
// server and renders into a silent sink whenever no device takes the sound, so that nothing a sound
// server does (answer slowly, freeze, go away, come back) can delay the picture or the end of a run.
//
// LinuxMidiOut (MidiOut.cpp) starts one after it has made the synthesizer and stops it before freeing the
// synthesizer. The sound server is spoken to through libpulse (PulseAudio, and PipeWire's pipewire-pulse)
// without ever waiting on it; where no such server runs at the start, or where SDL_AUDIODRIVER names a
// driver, SDL's audio opens the device instead.
#pragma once

#include "platform/shared/FluidSynthMidi.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

// What every renderer (the sound server's requests, SDL's audio thread, the silent sink) renders from.
// Shared with the output thread, so that a device left behind still finds it; Detach makes every later
// render silence, after which the synthesizer may be freed.
class SynthFeed {
public:
    explicit SynthFeed(FluidSynthMidi* pSynth) : m_pSynth(pSynth) {}
    // Any renderer's thread: nFrames stereo frames of interleaved 16-bit samples.
    void Render(int16_t* pFrames, int nFrames);
    // Owner's thread: returns once no render uses the synthesizer any more.
    void Detach();

private:
    std::mutex m_lock;
    FluidSynthMidi* m_pSynth;
};

class AudioOutputThread {
public:
    // Owner's thread: starts the thread, which keeps a reference to itself and to the feed until it ends.
    // Null when no thread could be made.
    static std::shared_ptr<AudioOutputThread> Start(std::shared_ptr<SynthFeed> pFeed);

    // Owner's thread: asks the thread to close its device and end, and waits at most dwMilliseconds. True
    // when it has ended; false when the device did not close in time, in which case the thread is left
    // behind (it renders nothing more once the feed is detached) and ends whenever the device lets it.
    bool Stop(uint32_t dwMilliseconds);

    // True while a device takes the sound (not the silent sink).
    bool HasDevice() const { return m_bHasDevice.load(); }

    struct State; // the thread's own, touched only by it

private:
    AudioOutputThread() = default;
    void Run();

    std::shared_ptr<SynthFeed> m_pFeed;
    std::unique_ptr<State> m_pState;
    std::atomic<bool> m_bHasDevice{false};
    std::thread m_thread;
    std::mutex m_lock; // guards m_bStop, m_bEnded and the wake-up of the thread's main loop
    std::condition_variable m_ended;
    bool m_bStop = false;
    bool m_bEnded = false;
};
