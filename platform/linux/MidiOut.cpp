#include "platform/linux/MidiOut.h"

#include "framework/Debug.h"

namespace {
constexpr int kSampleRate = 44100;
// How long a close waits for the device: well inside the two seconds in which a run must end.
constexpr uint32_t kCloseWithinMs = 500;
} // namespace

LinuxMidiOut::LinuxMidiOut(const char* const* ppszSoundFonts) : m_ppszSoundFonts(ppszSoundFonts) {}

LinuxMidiOut::~LinuxMidiOut() {
    Close();
}

int32_t LinuxMidiOut::Open() {
    Close();
    const int32_t nResult = m_synth.Open(kSampleRate, m_ppszSoundFonts);
    if (nResult != MIDIOUT_OK) {
        return nResult;
    }
    m_pFeed = std::make_shared<SynthFeed>(&m_synth);
    m_pOutput = AudioOutputThread::Start(m_pFeed);
    if (m_pOutput == nullptr) {
        // Without its thread the music is not heard, but the sequencer and the picture go on.
        Trace("LinuxMidiOut: no audio thread; the music is not heard.\n");
    }
    return MIDIOUT_OK;
}

void LinuxMidiOut::Close() {
    if (m_pOutput != nullptr) {
        if (!m_pOutput->Stop(kCloseWithinMs)) {
            Trace("LinuxMidiOut: the audio device did not close within %u ms; it is left behind.\n",
                  kCloseWithinMs);
        }
        m_pOutput.reset();
    }
    if (m_pFeed != nullptr) {
        // A device left behind may still call for sound: from now on it gets silence, not the freed synth.
        m_pFeed->Detach();
        m_pFeed.reset();
    }
    m_synth.Close();
}

void LinuxMidiOut::ShortMsg(uint32_t dwMsg) noexcept {
    m_synth.ShortMsg(dwMsg);
}

void LinuxMidiOut::LongMsg(const uint8_t* pData, uint32_t dwSize) noexcept {
    m_synth.LongMsg(pData, dwSize);
}

void LinuxMidiOut::Reset() {
    m_synth.Reset();
}

PlatformMidiOut* PlatformDefaultMidiOut() {
    static LinuxMidiOut s_output;
    return &s_output;
}
