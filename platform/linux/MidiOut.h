// The Linux MIDI output: FluidSynth in the process, its sound sent to the default SDL audio device.
// Without an audio device the synthesizer still opens and renders into a silent sink (with a trace
// line), so that the picture runs on a machine without sound. Without a soundfont Open fails.
#pragma once

#include "platform/MidiOut.h"
#include "platform/shared/FluidSynthMidi.h"

#include <SDL.h>

#include <atomic>
#include <thread>

class LinuxMidiOut : public PlatformMidiOut {
public:
    explicit LinuxMidiOut(const char* const* ppszSoundFonts = g_apszDefaultSoundFonts);
    ~LinuxMidiOut() override;

    int32_t Open() override;
    void ShortMsg(uint32_t dwMsg) noexcept override;
    void LongMsg(const uint8_t* pData, uint32_t dwSize) noexcept override;
    void Reset() override;
    void Close() override;

    // True while the sound goes to an audio device rather than the silent sink.
    bool HasAudioDevice() const { return m_audioDevice != 0; }

private:
    static void AudioCallback(void* pUser, Uint8* pStream, int nLength);
    void RunSilentSink();

    const char* const* m_ppszSoundFonts;
    FluidSynthMidi m_synth;
    bool m_bAudioInit = false;
    SDL_AudioDeviceID m_audioDevice = 0;
    std::atomic<bool> m_bSinkStop{false};
    std::thread m_sinkThread;
};
