#include "platform/win32/MidiOut.h"

WinMidiOut::~WinMidiOut() {
    if (m_hMidiOut != nullptr) {
        Reset();
        Close();
    }
}

int32_t WinMidiOut::Open() {
    HMIDIOUT hMidiOut = nullptr;
    const MMRESULT uResult = midiOutOpen(&hMidiOut, MIDI_MAPPER, 0, 0, CALLBACK_NULL);
    if (uResult != MMSYSERR_NOERROR) {
        return static_cast<int32_t>(uResult);
    }
    m_hMidiOut = hMidiOut;
    return 0;
}

void WinMidiOut::ShortMsg(uint32_t dwMsg) noexcept {
    if (m_hMidiOut != nullptr) {
        midiOutShortMsg(m_hMidiOut, dwMsg);
    }
}

void WinMidiOut::LongMsg(const uint8_t* pData, uint32_t dwSize) noexcept {
    if (m_hMidiOut == nullptr || dwSize == 0) {
        return;
    }
    // The driver reads the bytes after the call returns: they must be prepared, and stay until it marks
    // the header done; only then may the header be unprepared and the caller free them.
    MIDIHDR header{};
    header.lpData = reinterpret_cast<LPSTR>(const_cast<uint8_t*>(pData));
    header.dwBufferLength = dwSize;
    header.dwFlags = 0;
    if (midiOutPrepareHeader(m_hMidiOut, &header, sizeof(header)) != MMSYSERR_NOERROR) {
        return;
    }
    if (midiOutLongMsg(m_hMidiOut, &header, sizeof(header)) == MMSYSERR_NOERROR) {
        // A system-exclusive message is a few bytes: a few milliseconds at most at MIDI's rate.
        for (int i = 0; i < 1000 && (header.dwFlags & MHDR_DONE) == 0; ++i) {
            Sleep(1);
        }
    }
    while (midiOutUnprepareHeader(m_hMidiOut, &header, sizeof(header)) == MIDIERR_STILLPLAYING) {
        Sleep(1);
    }
}

void WinMidiOut::Reset() {
    if (m_hMidiOut != nullptr) {
        midiOutReset(m_hMidiOut);
    }
}

void WinMidiOut::Close() {
    if (m_hMidiOut != nullptr) {
        midiOutClose(m_hMidiOut);
        m_hMidiOut = nullptr;
    }
}

PlatformMidiOut* PlatformDefaultMidiOut() {
    static WinMidiOut s_MidiOut;
    return &s_MidiOut;
}
