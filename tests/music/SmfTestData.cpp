#include "music/SmfTestData.h"

namespace {
void PutBigEndian(Bytes& out, uint32_t dwValue, int nBytes) {
    for (int i = nBytes - 1; i >= 0; --i) {
        out.push_back(static_cast<uint8_t>(dwValue >> (8 * i)));
    }
}
} // namespace

Bytes MakeSmf(uint16_t wTimeBase, const std::vector<Bytes>& tracks, uint32_t dwHeaderSize, uint16_t wFormat) {
    Bytes out = {'M', 'T', 'h', 'd'};
    PutBigEndian(out, dwHeaderSize, 4);
    PutBigEndian(out, wFormat, 2);
    PutBigEndian(out, static_cast<uint32_t>(tracks.size()), 2);
    PutBigEndian(out, wTimeBase, 2);
    out.resize(out.size() + dwHeaderSize - 6, 0);
    for (const Bytes& track : tracks) {
        out.insert(out.end(), {'M', 'T', 'r', 'k'});
        PutBigEndian(out, static_cast<uint32_t>(track.size()), 4);
        out.insert(out.end(), track.begin(), track.end());
    }
    return out;
}
