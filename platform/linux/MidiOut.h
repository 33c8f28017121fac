// The Linux MIDI output: FluidSynth in the process, its sound sent to the sound server (or SDL's audio
// device) by a thread of its own (AudioOutput.h). Open returns as soon as the synthesizer is made; the
// device is opened behind it, and until one takes the sound (or while none does: no device, a frozen or
// restarted server) the synthesizer renders into a silent sink, so that voices still run their course.
// Without a soundfont Open fails.
#pragma once

#include "platform/MidiOut.h"
#include "platform/linux/AudioOutput.h"
#include "platform/shared/FluidSynthMidi.h"

#include <memory>

class LinuxMidiOut : public PlatformMidiOut {
public:
    explicit LinuxMidiOut(const char* const* ppszSoundFonts = g_apszDefaultSoundFonts);
    ~LinuxMidiOut() override;

    int32_t Open() override;
    void ShortMsg(uint32_t dwMsg) noexcept override;
    void LongMsg(const uint8_t* pData, uint32_t dwSize) noexcept override;
    void Reset() override;
    // Returns within a bound whatever the device does: a device that does not close in time is left
    // behind with a silent feed.
    void Close() override;

    // True while the sound goes to an audio device rather than the silent sink.
    bool HasAudioDevice() const { return m_pOutput != nullptr && m_pOutput->HasDevice(); }
    // Voices sounding in the synthesizer: they die away only while something renders it.
    int ActiveVoices() { return m_synth.ActiveVoices(); }

private:
    const char* const* m_ppszSoundFonts;
    FluidSynthMidi m_synth;
    std::shared_ptr<SynthFeed> m_pFeed;
    std::shared_ptr<AudioOutputThread> m_pOutput;
};
