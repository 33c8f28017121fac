// Standard MIDI Files made by the tests.
#pragma once

#include <cstdint>
#include <vector>

using Bytes = std::vector<uint8_t>;

// An SMF whose header chunk is "MThd" with dwHeaderSize bytes of data (format, track count, time base,
// then zeros), followed by one "MTrk" chunk per track.
Bytes MakeSmf(uint16_t wTimeBase, const std::vector<Bytes>& tracks, uint32_t dwHeaderSize = 6,
              uint16_t wFormat = 1);
