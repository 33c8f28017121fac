#include "platform/linux/SdlAudio.h"

#include "framework/Debug.h"
#include "platform/linux/AudioOutput.h"

#include <alsa/asoundlib.h>

namespace {

// libasound prints its own lines on stderr while SDL looks for a sound card that is not there; the one
// line that matters is the trace, and stderr stays for the program's error message.
void IgnoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

void Callback(void* pUser, Uint8* pStream, int nLength) {
    static_cast<SynthFeed*>(pUser)->Render(reinterpret_cast<int16_t*>(pStream), nLength / 4);
}

} // namespace

bool SdlAudioDevice::Open(SynthFeed& feed, int nSampleRate, uint32_t dwPieceFrames, std::string& why) {
    snd_lib_error_set_handler(IgnoreAlsaError);
    s_nInUse.fetch_add(1); // SDL's start-up may itself wait on a sound server
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        why = SDL_GetError();
        s_nInUse.fetch_sub(1);
        return false;
    }
    m_bInit = true;
    SDL_AudioSpec want{};
    want.freq = nSampleRate;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(dwPieceFrames);
    want.callback = Callback;
    want.userdata = &feed;
    SDL_AudioSpec have{};
    m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (m_device == 0) {
        why = SDL_GetError();
        Close();
        return false;
    }
    SDL_PauseAudioDevice(m_device, 0);
    Trace("LinuxMidiOut: music to %s: default\n", SDL_GetCurrentAudioDriver());
    return true;
}

void SdlAudioDevice::Close() {
    if (m_device != 0) {
        SDL_CloseAudioDevice(m_device);
        m_device = 0;
    }
    if (m_bInit) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_bInit = false;
        s_nInUse.fetch_sub(1);
    }
}
