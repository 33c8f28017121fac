// SDL's audio device as the music's output where no sound server answers at the start (ALSA, PipeWire's
// own protocol) or where SDL_AUDIODRIVER names a driver. Used only by the music's output thread
// (AudioOutput.cpp): Open and Close may wait on the device, which is why they run there.
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <string>

class SynthFeed;

class SdlAudioDevice {
public:
    // Opens the default device for nSampleRate stereo 16-bit sound in pieces of dwPieceFrames, each
    // rendered from the feed on SDL's audio thread (SDL converts to what the device wants). False, with
    // SDL's reason in why and nothing open, when no device opens.
    bool Open(SynthFeed& feed, int nSampleRate, uint32_t dwPieceFrames, std::string& why);
    // Waits for SDL's audio thread, which may wait on the device.
    void Close();
    bool IsOpen() const { return m_device != 0; }
    // At the end of the thread that used SDL: SDL keeps what it holds per thread (its last error
    // message) of a thread it did not make until the thread gives it back.
    static void ThreadEnd() { SDL_TLSCleanup(); }
    // Any thread: SDL's audio is starting or open, or its Close has not returned (a device left behind waits
    // in it for SDL's audio thread). SDL_Quit would then wait for that same thread for ever: the main thread
    // must leave SDL's audio alone at the end.
    static bool InUse() { return s_nInUse.load() > 0; }

private:
    static inline std::atomic<int> s_nInUse{0};

    SDL_AudioDeviceID m_device = 0;
    bool m_bInit = false;
};
