// SMusic: the background music player, its own Standard MIDI File sequencer.
//
// The scene constructs one player on the main thread and calls Load with a file path (LOAD_FILE) or the
// name of a built-in item (LOAD_RESOURCE); Load opens the MIDI output and keeps a private copy of every
// track. The render thread calls Play, which starts a periodic 1 ms timer whose tick (OnTimer, on the
// timer's thread) sends every track's next due event and starts the song over when every track has
// ended, for ever; Stop kills the timer, after which no tick runs. Release (also the destructor) stops,
// resets and closes the output and frees the song.
//
// Load and Play throw SString with the system's messages; a failed Load leaves the player empty, and an
// empty player's Play does nothing. Damaged song data never makes the tick read outside a track: a track
// ends where its data ends. Nothing is thrown out of the tick.
//
//     SMusic* pMusic = NewObject<SMusic>();
//     pMusic->Load("ID_MIDI", LOAD_RESOURCE, hModule);
//     pMusic->Play();   // ... Stop(); DeleteObject(pMusic);
#pragma once

#include "framework/SInput.h" // LoadType
#include "platform/MidiOut.h"
#include "platform/PlatformTypes.h"

#include <cstdint>

// One track chunk and the sequencer's place in it.
struct MidiTrack {
    int32_t active;        // 1 while the track plays; 0 after its end
    int32_t nextTick;      // absolute song tick at which the next event is due
    uint32_t length;       // bytes in data
    uint8_t runningStatus; // status of the last event processed; 0 after a rewind
    uint8_t* data;         // owned copy of the chunk's event data
    const uint8_t* cursor; // next unread byte, within data .. data + length
};

class SMusic {
public:
    // pOutput is the MIDI output to open (not owned); null picks the platform's default output.
    explicit SMusic(PlatformMidiOut* pOutput = nullptr);
    SMusic(const SMusic&) = delete;
    SMusic& operator=(const SMusic&) = delete;
    virtual ~SMusic();

    // Opens the output, then reads the song. Main thread.
    void Load(const char* pszName, int32_t dwLoadType, ModuleHandle hModule);
    // Reads the song, replacing an earlier one; on failure releases the player and throws on.
    void LoadSmf(const char* pszName, int32_t dwLoadType, ModuleHandle hModule);
    void OpenDevice();
    void CloseDevice();
    // Packs status | data1 << 8 | data2 << 16 and sends it.
    void SendShortMsg(uint8_t bStatus, uint8_t bData1, uint8_t bData2);
    // Reads one variable-length quantity at the track's cursor (bits past 32 are lost). False, with the
    // cursor at the end of the data, when the quantity runs past it.
    static bool ReadVarLen(MidiTrack* pTrack, uint32_t* pdwValue);
    void Rewind();
    void Play();
    void Stop();
    void Release();
    // One tick of the sequencer, on the timer's thread.
    void OnTimer();
    static void TimerProc(uint32_t uTimerId, uint32_t uMsg, uintptr_t dwUser, uintptr_t dw1, uintptr_t dw2);

    PlatformMidiOut* m_hMidiOut; // the open output; null when closed
    uint32_t m_dwHeaderId;       // the header chunk's type bytes as read, in memory order
    uint32_t m_dwHeaderSize;
    uint16_t m_wFormat;
    uint16_t m_wTracks;
    uint16_t m_wTimeBase;
    MidiTrack* m_pTracks;
    uint32_t m_dwStartTime;
    uint32_t m_dwElapsed;
    int32_t m_nTempo;
    uint32_t m_nTimerId;
    int32_t m_nLoopCount;

private:
    // Acts on the track's next event; false when the track has ended, which ends the whole tick.
    bool PlayEvent(MidiTrack& track);
    // The song tick at dwElapsed ms since the rewind, at the current tempo: the tick's own arithmetic.
    double SongTick(uint32_t dwElapsed) const;
    // The first time since the rewind, from dwNow on, at which a tick would act (at most dwNow + the
    // horizon); dwNow itself when something is due already.
    uint32_t NextDueElapsed(uint32_t dwNow) const;
    void SendLongMsg(const uint8_t* pData, uint32_t dwCount);
    void FreeTracks();

    PlatformMidiOut* m_pOutput; // what OpenDevice opens
    uint32_t m_dwNextDue;       // time since the rewind at which the next tick acts, as last worked out
    bool m_bNextDueKnown;       // m_dwNextDue holds for the present state (timer's thread only)
};
