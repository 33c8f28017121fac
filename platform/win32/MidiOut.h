// The system's default MIDI output through winmm, on the MIDI mapper.
#pragma once

#include "platform/MidiOut.h"

#include <windows.h>

#include <mmsystem.h>

class WinMidiOut final : public PlatformMidiOut {
public:
    ~WinMidiOut() override;
    // midiOutOpen's result: 0, or a MMSYSERR_/MIDIERR_ code (nothing open then).
    int32_t Open() override;
    void ShortMsg(uint32_t dwMsg) noexcept override;
    void LongMsg(const uint8_t* pData, uint32_t dwSize) noexcept override;
    void Reset() override;
    void Close() override;

private:
    HMIDIOUT m_hMidiOut = nullptr;
};
