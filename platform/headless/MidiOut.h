// The headless MIDI output: records, with the simulated time, everything the player does to it.
// Tests and lumivorra-render read the record; PlatformDefaultMidiOut is one of these in the headless build.
#pragma once

#include "platform/MidiOut.h"

#include <cstdint>
#include <mutex>
#include <vector>

struct MidiEvent {
    enum Kind { OPEN, SHORT, LONG, RESET, CLOSE };
    uint32_t dwTime; // PlatformMilliseconds when it happened
    Kind kind;
    uint32_t dwMsg;             // SHORT: the packed message
    std::vector<uint8_t> bytes; // LONG: the whole message, F0 first
};

class HeadlessMidiOut : public PlatformMidiOut {
public:
    int32_t Open() override;
    void ShortMsg(uint32_t dwMsg) noexcept override;
    void LongMsg(const uint8_t* pData, uint32_t dwSize) noexcept override;
    void Reset() override;
    void Close() override;

    // Hands over the record so far and starts a new one.
    std::vector<MidiEvent> TakeEvents();

    // What Open returns (and records anyway); a test sets a failure code here.
    int32_t m_nOpenResult = 0;

private:
    std::mutex m_lock;
    std::vector<MidiEvent> m_events;
};
