#include "platform/headless/MidiOut.h"

#include "platform/Clock.h"

int32_t HeadlessMidiOut::Open() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_events.push_back(MidiEvent{PlatformMilliseconds(), MidiEvent::OPEN, 0, {}});
    return m_nOpenResult;
}

void HeadlessMidiOut::ShortMsg(uint32_t dwMsg) noexcept {
    std::lock_guard<std::mutex> lock(m_lock);
    m_events.push_back(MidiEvent{PlatformMilliseconds(), MidiEvent::SHORT, dwMsg, {}});
}

void HeadlessMidiOut::LongMsg(const uint8_t* pData, uint32_t dwSize) noexcept {
    std::lock_guard<std::mutex> lock(m_lock);
    m_events.push_back(MidiEvent{PlatformMilliseconds(), MidiEvent::LONG, 0, {pData, pData + dwSize}});
}

void HeadlessMidiOut::Reset() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_events.push_back(MidiEvent{PlatformMilliseconds(), MidiEvent::RESET, 0, {}});
}

void HeadlessMidiOut::Close() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_events.push_back(MidiEvent{PlatformMilliseconds(), MidiEvent::CLOSE, 0, {}});
}

std::vector<MidiEvent> HeadlessMidiOut::TakeEvents() {
    std::lock_guard<std::mutex> lock(m_lock);
    std::vector<MidiEvent> events;
    events.swap(m_events);
    return events;
}

PlatformMidiOut* PlatformDefaultMidiOut() {
    static HeadlessMidiOut s_output;
    return &s_output;
}
