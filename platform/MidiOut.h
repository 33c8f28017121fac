// MIDI output service: the default MIDI output that the music player (music/SMusic) plays through.
//
// One object stands for one output device; the player opens it in Load, sends from its timer thread
// while playing, and resets and closes it on release. Linux: an in-process FluidSynth sounding through
// the sound server (or SDL's audio), opened behind the first frame and closed within a bound whatever
// the device does; headless: a recorder, or FluidSynth rendering into a WAV file in simulated time.
#pragma once

#include <cstdint>

// Result codes of Open on platforms without a code of their own (Linux, headless).
enum MidiOutResult : int32_t {
    MIDIOUT_OK = 0,
    MIDIOUT_ERR_NO_SYNTH = 1,     // the synthesizer could not be created
    MIDIOUT_ERR_NO_SOUNDFONT = 2, // no General MIDI soundfont could be loaded
};

class PlatformMidiOut {
public:
    virtual ~PlatformMidiOut() = default;

    // Called by SMusic::OpenDevice on the owner's thread; 0 when the output is ready, otherwise the
    // platform's result code (nothing is left open then).
    virtual int32_t Open() = 0;
    // Called on the music timer's thread: one packed short message (status in bits 0-7, data bytes
    // in bits 8-15 and 16-23). Never fails visibly.
    virtual void ShortMsg(uint32_t dwMsg) noexcept = 0;
    // Called on the music timer's thread: a system-exclusive message starting with F0. Returns once the
    // output is done with the bytes, so the caller may free them at once.
    virtual void LongMsg(const uint8_t* pData, uint32_t dwSize) noexcept = 0;
    // Called on the owner's thread while no message is being sent: silences every note on every channel.
    virtual void Reset() = 0;
    // Called on the owner's thread after Reset; releases the device (Linux: returns within half a second
    // even when the device does not answer). Open may follow again.
    virtual void Close() = 0;
};

// The platform's default output, for players constructed without one. Lives as long as the process.
PlatformMidiOut* PlatformDefaultMidiOut();
