// A General MIDI synthesizer inside the process: FluidSynth with the first soundfont that loads.
// Shared by the Linux MIDI output (which sounds it through SDL audio) and the headless one that renders
// it into a WAV file. The message calls may come from the music timer's thread while another thread
// renders: FluidSynth's own lock orders them.
#pragma once

#include "platform/MidiOut.h"

#include <cstdint>
#include <fluidsynth.h>

// Where Debian puts General MIDI soundfonts, in the order they are tried; ends with null.
extern const char* const g_apszDefaultSoundFonts[];

class FluidSynthMidi {
public:
    FluidSynthMidi() = default;
    FluidSynthMidi(const FluidSynthMidi&) = delete;
    FluidSynthMidi& operator=(const FluidSynthMidi&) = delete;
    ~FluidSynthMidi() { Close(); }

    // Creates the synthesizer at the sample rate and loads the first of the null-terminated soundfont
    // paths that loads. MIDIOUT_OK, or MIDIOUT_ERR_NO_SYNTH / MIDIOUT_ERR_NO_SOUNDFONT with nothing open.
    int32_t Open(double dSampleRate, const char* const* ppszSoundFonts = g_apszDefaultSoundFonts);
    void Close();
    bool IsOpen() const { return m_pSynth != nullptr; }

    void ShortMsg(uint32_t dwMsg) noexcept;
    // pData is a whole system-exclusive message, F0 first (and normally F7 last).
    void LongMsg(const uint8_t* pData, uint32_t dwSize) noexcept;
    // Every voice cut at once (a few milliseconds' fade against a click), controllers, pedals, programs and
    // the reverb and chorus reset: what follows is silence.
    void Reset();
    // Renders nFrames stereo frames of interleaved 16-bit samples.
    void Render(int16_t* pFrames, int nFrames);
    // Voices still sounding (a released note's voice sounds until its release has run its course).
    int ActiveVoices();

private:
    fluid_settings_t* m_pSettings = nullptr;
    fluid_synth_t* m_pSynth = nullptr;
};
