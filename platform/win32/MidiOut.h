// The system's default MIDI output through winmm, on the MIDI mapper.
#pragma once

#include "platform/MidiOut.h"

#include <windows.h>

#include <mmsystem.h>

// The winmm calls the output makes (and its pause and clock), replaceable so that a test can play a driver
// that never gives a buffer back, on a clock as coarse as the system's default timer.
struct WinMidiCalls {
    MMRESULT(WINAPI* pfnOpen)(LPHMIDIOUT, UINT, DWORD_PTR, DWORD_PTR, DWORD);
    MMRESULT(WINAPI* pfnShortMsg)(HMIDIOUT, DWORD);
    MMRESULT(WINAPI* pfnPrepareHeader)(HMIDIOUT, LPMIDIHDR, UINT);
    MMRESULT(WINAPI* pfnLongMsg)(HMIDIOUT, LPMIDIHDR, UINT);
    MMRESULT(WINAPI* pfnUnprepareHeader)(HMIDIOUT, LPMIDIHDR, UINT);
    MMRESULT(WINAPI* pfnReset)(HMIDIOUT);
    MMRESULT(WINAPI* pfnClose)(HMIDIOUT);
    void(WINAPI* pfnSleep)(DWORD);
    DWORD(WINAPI* pfnTime)();
};
extern const WinMidiCalls g_winmmCalls;

class WinMidiOut final : public PlatformMidiOut {
public:
    explicit WinMidiOut(const WinMidiCalls& calls = g_winmmCalls) : m_calls(calls) {}
    ~WinMidiOut() override;
    // midiOutOpen's result: 0, or a MMSYSERR_/MIDIERR_ code (nothing open then).
    int32_t Open() override;
    void ShortMsg(uint32_t dwMsg) noexcept override;
    // On the music timer's thread. Returns once the driver has given the buffer back, or after about two
    // seconds when it does not (the output is then reset and a copy of the bytes left to the driver), so
    // that a stuck driver cannot hold up the tick and with it the end of the run.
    void LongMsg(const uint8_t* pData, uint32_t dwSize) noexcept override;
    void Reset() override;
    void Close() override;

private:
    const WinMidiCalls& m_calls;
    HMIDIOUT m_hMidiOut = nullptr;
};
