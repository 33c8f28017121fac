#include "platform/win32/MidiOut.h"

#include <cstring>
#include <new>

namespace {
// How long each wait for the driver lasts, in milliseconds of the clock: a count of Sleep(1) calls would
// last 15.6 times as long where the timer keeps its default granularity.
constexpr DWORD kWaitMs = 1000;
} // namespace

const WinMidiCalls g_winmmCalls = {
    midiOutOpen,  midiOutShortMsg, midiOutPrepareHeader, midiOutLongMsg, midiOutUnprepareHeader, midiOutReset,
    midiOutClose, Sleep,           timeGetTime};

WinMidiOut::~WinMidiOut() {
    if (m_hMidiOut != nullptr) {
        Reset();
        Close();
    }
}

int32_t WinMidiOut::Open() {
    HMIDIOUT hMidiOut = nullptr;
    const MMRESULT uResult = m_calls.pfnOpen(&hMidiOut, MIDI_MAPPER, 0, 0, CALLBACK_NULL);
    if (uResult != MMSYSERR_NOERROR) {
        return static_cast<int32_t>(uResult);
    }
    m_hMidiOut = hMidiOut;
    return 0;
}

void WinMidiOut::ShortMsg(uint32_t dwMsg) noexcept {
    if (m_hMidiOut != nullptr) {
        m_calls.pfnShortMsg(m_hMidiOut, dwMsg);
    }
}

void WinMidiOut::LongMsg(const uint8_t* pData, uint32_t dwSize) noexcept {
    if (m_hMidiOut == nullptr || dwSize == 0) {
        return;
    }
    // The driver reads the bytes after the call returns: they must be prepared, and stay until it marks
    // the header done; only then may the header be unprepared and the bytes freed. They are a copy, so
    // that a driver that never gives them back can keep them while the caller frees its own.
    MIDIHDR* pHeader = new (std::nothrow) MIDIHDR{};
    uint8_t* pCopy = new (std::nothrow) uint8_t[dwSize];
    if (pHeader == nullptr || pCopy == nullptr) {
        delete pHeader;
        delete[] pCopy;
        return;
    }
    std::memcpy(pCopy, pData, dwSize);
    MIDIHDR& header = *pHeader;
    header.lpData = reinterpret_cast<LPSTR>(pCopy);
    header.dwBufferLength = dwSize;
    header.dwFlags = 0;
    if (m_calls.pfnPrepareHeader(m_hMidiOut, &header, sizeof(header)) != MMSYSERR_NOERROR) {
        delete pHeader;
        delete[] pCopy;
        return;
    }
    if (m_calls.pfnLongMsg(m_hMidiOut, &header, sizeof(header)) == MMSYSERR_NOERROR) {
        // A system-exclusive message is a few bytes: a few milliseconds at most at MIDI's rate.
        const DWORD dwSent = m_calls.pfnTime();
        while ((header.dwFlags & MHDR_DONE) == 0 && m_calls.pfnTime() - dwSent < kWaitMs) {
            m_calls.pfnSleep(1);
        }
        // This runs on the timer's thread, and the timer's kill waits for it: a driver still holding the
        // buffer after a second is asked for it with a reset, and given up on after one more.
        if ((header.dwFlags & MHDR_DONE) == 0) {
            m_calls.pfnReset(m_hMidiOut);
        }
    }
    const DWORD dwAsked = m_calls.pfnTime();
    while (m_calls.pfnUnprepareHeader(m_hMidiOut, &header, sizeof(header)) == MIDIERR_STILLPLAYING) {
        if (m_calls.pfnTime() - dwAsked >= kWaitMs) {
            return; // the header and the copy stay the driver's: never freed under it
        }
        m_calls.pfnSleep(1);
    }
    delete pHeader;
    delete[] pCopy;
}

void WinMidiOut::Reset() {
    if (m_hMidiOut != nullptr) {
        m_calls.pfnReset(m_hMidiOut);
    }
}

void WinMidiOut::Close() {
    if (m_hMidiOut != nullptr) {
        m_calls.pfnClose(m_hMidiOut);
        m_hMidiOut = nullptr;
    }
}

PlatformMidiOut* PlatformDefaultMidiOut() {
    static WinMidiOut s_MidiOut;
    return &s_MidiOut;
}
