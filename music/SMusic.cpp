#include "music/SMusic.h"

#include "framework/Debug.h"
#include "framework/Memory.h"
#include "framework/SInput.h"
#include "framework/SString.h"
#include "framework/Timer.h"
#include "platform/Clock.h"

#include <cstring>

namespace {

uint32_t ReadBigEndian32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
           static_cast<uint32_t>(p[2]) << 8 | p[3];
}

uint16_t ReadBigEndian16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

uint32_t BytesLeft(const MidiTrack& track) {
    return static_cast<uint32_t>(track.data + track.length - track.cursor);
}

SString TruncatedSong(const char* pszName) {
    return SString(Tr("The MIDI data of %s ends early.\n"), pszName);
}

constexpr int32_t kRewindTempo = 1000000;
// How far ahead the tick looks for its next due event; beyond it the timer calls anyway.
constexpr uint32_t kIdleHorizonMs = 1000;

} // namespace

SMusic::SMusic(PlatformMidiOut* pOutput)
    : m_hMidiOut(nullptr), m_dwHeaderId(0), m_dwHeaderSize(0), m_wFormat(0), m_wTracks(0), m_wTimeBase(0),
      m_pTracks(nullptr), m_dwStartTime(0), m_dwElapsed(0), m_nTempo(0), m_nTimerId(0), m_nLoopCount(0),
      m_pOutput(pOutput != nullptr ? pOutput : PlatformDefaultMidiOut()), m_dwNextDue(0),
      m_bNextDueKnown(false) {}

SMusic::~SMusic() {
    Release();
}

void SMusic::Load(const char* pszName, int32_t dwLoadType, ModuleHandle hModule) {
    OpenDevice();
    LoadSmf(pszName, dwLoadType, hModule);
}

void SMusic::LoadSmf(const char* pszName, int32_t dwLoadType, ModuleHandle hModule) {
    FreeTracks();
    Trace("SMusic: \"%s\" Loading...\n", pszName);

    SInput input;
    uint8_t* pHeader = nullptr;
    try {
        if (dwLoadType != LOAD_FILE && dwLoadType != LOAD_RESOURCE) {
            throw SString(Tr("dwLoadType is invalid. dwLoadType=%x\n"), static_cast<unsigned>(dwLoadType));
        }
        input.Load(pszName, dwLoadType, hModule);
        const uint8_t* pInput = input.m_pData;
        const uint64_t qwSize = input.m_dwSize;

        // Every length is checked against the input before it is used, so a short or damaged song is
        // refused instead of being read past its end.
        if (qwSize < 8) {
            throw TruncatedSong(pszName);
        }
        std::memcpy(&m_dwHeaderId, pInput, 4);
        m_dwHeaderSize = ReadBigEndian32(pInput + 4);
        if (8 + static_cast<uint64_t>(m_dwHeaderSize) > qwSize) {
            throw TruncatedSong(pszName);
        }
        if (m_dwHeaderSize < 6) {
            throw SString(Tr("m_dwHeaderSize is invalid. m_dwHeaderSize=%x\n"), m_dwHeaderSize);
        }
        pHeader = static_cast<uint8_t*>(MemAlloc(m_dwHeaderSize));
        std::memcpy(pHeader, pInput + 8, m_dwHeaderSize);
        m_wFormat = ReadBigEndian16(pHeader);
        m_wTracks = ReadBigEndian16(pHeader + 2);
        m_wTimeBase = ReadBigEndian16(pHeader + 4);
        Trace("SMusic: Format=%d TimeBase=%d Tracks=%d\n", m_wFormat, m_wTimeBase, m_wTracks);

        m_pTracks = static_cast<MidiTrack*>(MemAlloc(sizeof(MidiTrack) * m_wTracks));
        std::memset(static_cast<void*>(m_pTracks), 0, sizeof(MidiTrack) * m_wTracks);

        // Chunk types are not looked at: the first m_wTracks chunks after the header are the tracks.
        uint64_t qwOffset = 8 + static_cast<uint64_t>(m_dwHeaderSize);
        for (uint32_t i = 0; i < m_wTracks; ++i) {
            if (qwOffset + 8 > qwSize) {
                throw TruncatedSong(pszName);
            }
            const uint32_t dwLength = ReadBigEndian32(pInput + qwOffset + 4);
            if (qwOffset + 8 + dwLength > qwSize) {
                throw TruncatedSong(pszName);
            }
            MidiTrack& track = m_pTracks[i];
            track.active = 1;
            track.length = dwLength;
            track.data = static_cast<uint8_t*>(MemAlloc(dwLength));
            std::memcpy(track.data, pInput + qwOffset + 8, dwLength);
            qwOffset += 8 + static_cast<uint64_t>(dwLength);
        }
        Trace("SMusic: Load success!\n");
    } catch (const SString&) {
        MemFree(pHeader);
        input.Release();
        Release();
        throw;
    }
    MemFree(pHeader);
    input.Release();
}

void SMusic::OpenDevice() {
    // Opening again would leave the first open output behind; it is closed (and reset) first.
    CloseDevice();
    const int32_t nResult = m_pOutput->Open();
    if (nResult != 0) {
        throw SString(Tr("midiOutOpen() failed.\nReturned:%d\n"), nResult);
    }
    m_hMidiOut = m_pOutput;
    Trace("SMusic: MIDI device open.\n");
}

void SMusic::CloseDevice() {
    if (m_hMidiOut == nullptr) {
        return;
    }
    m_hMidiOut->Reset();
    m_hMidiOut->Close();
    m_hMidiOut = nullptr;
    Trace("SMusic: MIDI device close.\n");
}

void SMusic::SendShortMsg(uint8_t bStatus, uint8_t bData1, uint8_t bData2) {
    if (m_hMidiOut != nullptr) {
        m_hMidiOut->ShortMsg(static_cast<uint32_t>(bStatus) | static_cast<uint32_t>(bData1) << 8 |
                             static_cast<uint32_t>(bData2) << 16);
    }
}

void SMusic::SendLongMsg(const uint8_t* pData, uint32_t dwCount) {
    // The only allocation of the tick. When the heap cannot supply it the message is dropped: an error
    // may not leave the timer's thread, and the song goes on without it.
    uint8_t* pBuffer = nullptr;
    try {
        pBuffer = static_cast<uint8_t*>(MemAlloc(static_cast<size_t>(dwCount) + 1));
    } catch (const SString&) {
        return;
    }
    pBuffer[0] = 0xF0;
    std::memcpy(pBuffer + 1, pData, dwCount);
    if (m_hMidiOut != nullptr) {
        m_hMidiOut->LongMsg(pBuffer, dwCount + 1);
    }
    MemFree(pBuffer);
}

bool SMusic::ReadVarLen(MidiTrack* pTrack, uint32_t* pdwValue) {
    const uint8_t* pEnd = pTrack->data + pTrack->length;
    uint32_t dwValue = 0;
    uint8_t bByte;
    do {
        if (pTrack->cursor >= pEnd) {
            *pdwValue = dwValue;
            return false;
        }
        bByte = *pTrack->cursor++;
        dwValue = dwValue << 7 | (bByte & 0x7Fu);
    } while (bByte & 0x80);
    *pdwValue = dwValue;
    return true;
}

void SMusic::Rewind() {
    m_nTempo = kRewindTempo;
    for (uint32_t i = 0; i < m_wTracks; ++i) {
        MidiTrack& track = m_pTracks[i];
        track.active = 1;
        track.cursor = track.data;
        uint32_t dwDelta = 0;
        // A track without even a first delta-time has nothing to play: it has ended already.
        if (!ReadVarLen(&track, &dwDelta)) {
            track.active = 0;
        }
        track.nextTick = static_cast<int32_t>(dwDelta);
        track.runningStatus = 0;
    }
    m_dwStartTime = PlatformMilliseconds();
}

void SMusic::Play() {
    if (m_pTracks == nullptr) {
        return;
    }
    m_nLoopCount = 0;
    Rewind();
    m_bNextDueKnown = false;
    m_nTimerId = TimerSetEvent(1, TimerProc, reinterpret_cast<uintptr_t>(this));
    if (m_nTimerId == 0) {
        throw SString(Tr("Could not create the timer.\n"));
    }
    Trace("SMusic: Play start.\n");
}

void SMusic::Stop() {
    if (m_nTimerId == 0) {
        return;
    }
    Trace("SMusic: Play stop.\n");
    TimerKillEvent(m_nTimerId);
    m_nTimerId = 0;
}

void SMusic::FreeTracks() {
    if (m_pTracks == nullptr) {
        return;
    }
    for (uint32_t i = 0; i < m_wTracks; ++i) {
        MemFree(m_pTracks[i].data);
    }
    MemFree(m_pTracks);
    m_pTracks = nullptr;
}

void SMusic::Release() {
    Stop();
    CloseDevice();
    FreeTracks();
    m_nLoopCount = 0;
    m_dwElapsed = 0;
    m_dwStartTime = 0;
    m_nTempo = 0;
    m_dwHeaderId = 0;
    m_dwHeaderSize = 0;
    m_wFormat = 0;
    m_wTracks = 0;
    m_wTimeBase = 0;
}

void SMusic::TimerProc(uint32_t, uint32_t, uintptr_t dwUser, uintptr_t, uintptr_t) {
    reinterpret_cast<SMusic*>(dwUser)->OnTimer();
}

void SMusic::OnTimer() {
    m_dwElapsed = PlatformMilliseconds() - m_dwStartTime;
    uint32_t dwNow = m_dwElapsed;
    bool bAnyActive = false;
    bool bActed = false;
    for (uint32_t i = 0; i < m_wTracks; ++i) {
        MidiTrack& track = m_pTracks[i];
        if (track.active == 0) {
            continue;
        }
        bAnyActive = true;
        // The whole time since the rewind at the current tempo, recomputed for every track so that a
        // tempo event applies at once to the tracks after it.
        if (!(SongTick(m_dwElapsed) > track.nextTick)) {
            continue;
        }
        bActed = true;
        if (!PlayEvent(track)) {
            m_bNextDueKnown = false;
            return;
        }
    }
    if (!bAnyActive) {
        ++m_nLoopCount;
        Trace("SMusic: LoopCount=%d\n", m_nLoopCount);
        Rewind();
        dwNow = 0;
        bActed = true;
    }
    // Until the next event is due every tick would do nothing but read the clock: the timer may leave
    // those calls out. Ticks that do run see the same clock and act exactly as every tick would. The
    // due time changes only when a tick acts (or reaches the end of what was looked at), so a timer that
    // calls every period anyway pays for the search only then.
    if (bActed || !m_bNextDueKnown || dwNow >= m_dwNextDue) {
        m_dwNextDue = NextDueElapsed(dwNow);
        m_bNextDueKnown = true;
    }
    TimerIdleUntil(m_dwStartTime + m_dwNextDue);
}

double SMusic::SongTick(uint32_t dwElapsed) const {
    // The product wraps in 32 bits.
    const uint32_t dwProduct = static_cast<uint32_t>(m_wTimeBase) * dwElapsed;
    return static_cast<double>(dwProduct) * static_cast<double>(1000.0f) / m_nTempo;
}

uint32_t SMusic::NextDueElapsed(uint32_t dwNow) const {
    const uint32_t dwHorizon = dwNow + kIdleHorizonMs;
    // Past the product's wrap the song tick is no longer rising with the time: every tick runs there.
    if (static_cast<uint64_t>(m_wTimeBase) * dwHorizon > 0xFFFFFFFFu || dwHorizon < dwNow) {
        return dwNow;
    }
    uint32_t dwDue = dwHorizon;
    bool bAnyActive = false;
    for (uint32_t i = 0; i < m_wTracks; ++i) {
        const MidiTrack& track = m_pTracks[i];
        if (track.active == 0) {
            continue;
        }
        bAnyActive = true;
        if (SongTick(dwNow) > track.nextTick) {
            return dwNow;
        }
        if (!(SongTick(dwDue) > track.nextTick)) {
            continue; // not due within what is looked at
        }
        // The song tick rises with the time up to the horizon, so the first due time is found by
        // halving, with the tick's own comparison: between dwLow (not due) and dwDue (due).
        uint32_t dwLow = dwNow;
        while (dwDue - dwLow > 1) {
            const uint32_t dwMid = dwLow + (dwDue - dwLow) / 2;
            if (SongTick(dwMid) > track.nextTick) {
                dwDue = dwMid;
            } else {
                dwLow = dwMid;
            }
        }
    }
    // A song without an active track starts over at the next tick.
    return bAnyActive ? dwDue : dwNow;
}

bool SMusic::PlayEvent(MidiTrack& track) {
    // A track whose data runs out anywhere inside an event or a delta-time ends there, as at an
    // end-of-track event: the cut event is not sent and the tick ends.
    auto endTrack = [&track] {
        track.active = 0;
        return false;
    };
    if (BytesLeft(track) == 0) {
        return endTrack();
    }
    uint8_t bStatus = *track.cursor;
    if (bStatus >= 0x80) {
        ++track.cursor;
    } else {
        bStatus = track.runningStatus;
    }

    switch (bStatus >> 4) {
    case 0x8:
    case 0x9:
    case 0xA:
    case 0xB:
    case 0xE:
        if (BytesLeft(track) < 2) {
            return endTrack();
        }
        SendShortMsg(bStatus, track.cursor[0], track.cursor[1]);
        track.cursor += 2;
        break;
    case 0xC:
    case 0xD:
        if (BytesLeft(track) < 1) {
            return endTrack();
        }
        SendShortMsg(bStatus, track.cursor[0], 0);
        track.cursor += 1;
        break;
    case 0xF:
        if (bStatus == 0xF0 || bStatus == 0xF7) {
            uint32_t dwCount = 0;
            if (!ReadVarLen(&track, &dwCount) || dwCount > BytesLeft(track)) {
                return endTrack();
            }
            // An F7 escape carries its own count; skipping it keeps the track's timing. Only F0
            // messages are sent.
            if (bStatus == 0xF0) {
                SendLongMsg(track.cursor, dwCount);
            }
            track.cursor += dwCount;
        } else if (bStatus == 0xFF) {
            if (BytesLeft(track) < 1) {
                return endTrack();
            }
            const uint8_t bType = *track.cursor++;
            if (bType == 0x2F) {
                return endTrack();
            }
            uint32_t dwCount = 0;
            if (!ReadVarLen(&track, &dwCount) || dwCount > BytesLeft(track)) {
                return endTrack();
            }
            if (bType == 0x51) {
                uint32_t dwTempo = 0;
                for (uint32_t k = 0; k < dwCount; ++k) {
                    dwTempo = dwTempo * 256 + track.cursor[k];
                }
                // A tempo of 0 would make every event due at once and one that wraps negative would stop
                // the song for good; such a tempo event is ignored and the current tempo stays.
                if (static_cast<int32_t>(dwTempo) > 0) {
                    m_nTempo = static_cast<int32_t>(dwTempo);
                }
            }
            track.cursor += dwCount;
        }
        break;
    default:
        // A data byte with no running status yet: nothing is sent, and the byte is read as the next
        // delta-time.
        break;
    }
    track.runningStatus = bStatus;

    uint32_t dwDelta = 0;
    if (!ReadVarLen(&track, &dwDelta)) {
        return endTrack();
    }
    track.nextTick = static_cast<int32_t>(static_cast<uint32_t>(track.nextTick) + dwDelta);
    return true;
}
