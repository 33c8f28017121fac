// The headless synthesizer output: FluidSynth rendering into a 16-bit stereo WAV file in simulated
// time, for lumivorra-render and the tests. Open creates the synthesizer and the file; Close finishes
// the file's header. Between sends, RunMilliseconds drives the stepped timers and renders the audio.
#pragma once

#include "platform/MidiOut.h"
#include "platform/shared/FluidSynthMidi.h"

#include <cstdint>
#include <cstdio>
#include <string>

class SynthWavOut : public PlatformMidiOut {
public:
    static constexpr int kSampleRate = 44100;

    explicit SynthWavOut(std::string path, const char* const* ppszSoundFonts = g_apszDefaultSoundFonts);
    ~SynthWavOut() override;

    // MIDIOUT_OK; the synthesizer's own error; or MIDIOUT_ERR_NO_SYNTH when the file cannot be created.
    int32_t Open() override;
    void ShortMsg(uint32_t dwMsg) noexcept override;
    void LongMsg(const uint8_t* pData, uint32_t dwSize) noexcept override;
    void Reset() override;
    void Close() override;

    // For each of dwMs simulated milliseconds: step the timers by one (the music tick runs), then render
    // that millisecond of sound into the file. False once a write has failed.
    bool RunMilliseconds(uint32_t dwMs);

    // Frames written so far, and the largest absolute sample among them.
    uint64_t Frames() const { return m_qwFrames; }
    int32_t Peak() const { return m_nPeak; }

private:
    std::string m_path;
    const char* const* m_ppszSoundFonts;
    FluidSynthMidi m_synth;
    std::FILE* m_pFile = nullptr;
    bool m_bWriteFailed = false;
    uint64_t m_qwFrames = 0;
    uint64_t m_qwMs = 0;
    int32_t m_nPeak = 0;
};
