#include "platform/linux/MidiOut.h"

#include "framework/Debug.h"

#include <alsa/asoundlib.h>

#include <chrono>

namespace {
constexpr int kSampleRate = 44100;
constexpr int kSinkFrames = kSampleRate / 100; // 10 ms

// libasound prints its own lines on stderr while SDL looks for a sound card that is not there; the one
// line that matters is the trace below, and stderr stays for the program's error message.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}
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
    snd_lib_error_set_handler(IgnoreAlsaError);
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0) {
        m_bAudioInit = true;
        SDL_AudioSpec want{};
        want.freq = kSampleRate;
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 512;
        want.callback = AudioCallback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // SDL converts to whatever the device wants, so the synthesizer keeps its own format.
        m_audioDevice = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    if (m_audioDevice != 0) {
        SDL_PauseAudioDevice(m_audioDevice, 0);
        return MIDIOUT_OK;
    }
    Trace("LinuxMidiOut: no audio device (%s); the music plays into a silent sink.\n", SDL_GetError());
    if (m_bAudioInit) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_bAudioInit = false;
    }
    m_bSinkStop.store(false);
    m_sinkThread = std::thread([this] { RunSilentSink(); });
    return MIDIOUT_OK;
}

void LinuxMidiOut::Close() {
    if (m_audioDevice != 0) {
        SDL_CloseAudioDevice(m_audioDevice); // waits for a running callback
        m_audioDevice = 0;
    }
    if (m_bAudioInit) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_bAudioInit = false;
    }
    if (m_sinkThread.joinable()) {
        m_bSinkStop.store(true);
        m_sinkThread.join();
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

void LinuxMidiOut::AudioCallback(void* pUser, Uint8* pStream, int nLength) {
    static_cast<LinuxMidiOut*>(pUser)->m_synth.Render(reinterpret_cast<int16_t*>(pStream), nLength / 4);
}

// Voices must still run their course without a device, or held and released notes would pile up in
// the synthesizer; the sink renders at the pace of real time and throws the sound away.
void LinuxMidiOut::RunSilentSink() {
    int16_t aFrames[kSinkFrames * 2];
    auto next = std::chrono::steady_clock::now();
    while (!m_bSinkStop.load()) {
        m_synth.Render(aFrames, kSinkFrames);
        next += std::chrono::milliseconds(10);
        std::this_thread::sleep_until(next);
    }
}

PlatformMidiOut* PlatformDefaultMidiOut() {
    static LinuxMidiOut s_output;
    return &s_output;
}
