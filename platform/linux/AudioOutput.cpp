#include "platform/linux/AudioOutput.h"

#include "framework/Debug.h"

#include "platform/linux/SdlAudio.h"

#include <pulse/pulseaudio.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/prctl.h>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kSampleRate = 44100;
// What the server asks for at a time, as SDL's device did: a piece of 512 frames (11.6 ms).
constexpr uint32_t kPieceFrames = 512;
// The server holds four pieces (46 ms), four times what SDL asked for: it rides out a busy moment of
// this process, and the server still asks every 10 ms or so. Events reach the synthesizer between two
// renders, so that is how finely their timing is kept, as finely as before; a longer buffer would wake
// the thread less often but let the notes of a 20 ms stretch start together.
constexpr uint32_t kBufferFrames = 4 * kPieceFrames;
// The silent sink renders in longer steps: no one hears their timing, and it wakes the thread less.
constexpr milliseconds kSinkStep{40};
// A playing server that has not asked for sound for this long has stopped taking it for the moment.
constexpr milliseconds kSinkWhenSilent{100};
// A server that has not answered a connection within this long, or stopped asking for sound while
// playing, is taken as frozen: the music goes to the silent sink until it answers again. A server starved
// by a busy machine may pause for some hundreds of milliseconds; that is not a loss. Before the sound
// has started the wait is longer: an idle sink may finish a long block (2 s for a null sink) before it
// takes a new stream.
constexpr milliseconds kAnswerWithin{1500};
constexpr milliseconds kStallAfter{1000};
constexpr milliseconds kFirstSoundWithin{3000};
// Reconnection attempts after a loss: from the first step, doubled up to the last.
constexpr milliseconds kRetryFirst{250};
constexpr milliseconds kRetryLast{2000};

enum class Phase {
    Waiting,    // nothing open; the next attempt at retryAt
    Connecting, // the server has been called and has not answered yet
    Starting,   // the server answered; the stream has not asked for sound yet
    Playing,    // the server asks for sound
    Sdl,        // SDL's audio device plays; the server is not followed
    SinkOnly,   // SDL_AUDIODRIVER named a driver that did not open: the silent sink for good
};

} // namespace

void SynthFeed::Render(int16_t* pFrames, int nFrames) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_pSynth != nullptr) {
        m_pSynth->Render(pFrames, nFrames);
    } else {
        std::memset(pFrames, 0, static_cast<size_t>(nFrames) * 4);
    }
}

void SynthFeed::Detach() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_pSynth = nullptr;
}

struct AudioOutputThread::State {
    pa_mainloop* pLoop = nullptr;
    pa_context* pContext = nullptr;
    pa_stream* pStream = nullptr;
    Phase phase = Phase::Waiting;
    Clock::time_point retryAt;
    Clock::time_point answerBy;  // while Connecting or Starting
    Clock::time_point lastAsked; // while Playing
    bool bStarted = false;       // the present stream's sound has started
    milliseconds retryStep = kRetryFirst;
    bool bEverConnected = false; // a device has played since the start
    bool bLossTraced = false;    // the present loss has been traced
    Clock::time_point nextSink;
    SdlAudioDevice sdl;
    int16_t aSink[kSampleRate / 25 * 2]; // one sink step (40 ms) of stereo frames
};

std::shared_ptr<AudioOutputThread> AudioOutputThread::Start(std::shared_ptr<SynthFeed> pFeed) {
    std::shared_ptr<AudioOutputThread> pThread(new AudioOutputThread());
    pThread->m_pFeed = std::move(pFeed);
    pThread->m_pState = std::make_unique<State>();
    pThread->m_pState->pLoop = pa_mainloop_new();
    if (pThread->m_pState->pLoop == nullptr) {
        return nullptr;
    }
    try {
        pThread->m_thread = std::thread([pThread] { pThread->Run(); });
    } catch (const std::system_error&) {
        pa_mainloop_free(pThread->m_pState->pLoop);
        return nullptr;
    }
    return pThread;
}

bool AudioOutputThread::Stop(uint32_t dwMilliseconds) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_bStop = true;
    if (m_pState->pLoop != nullptr) {
        pa_mainloop_wakeup(m_pState->pLoop);
    }
    if (!m_ended.wait_for(lock, milliseconds(dwMilliseconds), [this] { return m_bEnded; })) {
        lock.unlock();
        m_thread.detach();
        return false;
    }
    lock.unlock();
    m_thread.join();
    return true;
}

namespace {

// The thread's work, apart from its start and end. Every function runs on the output thread.
class Output {
public:
    Output(AudioOutputThread::State& state, SynthFeed& feed, std::atomic<bool>& bHasDevice)
        : s(state), m_feed(feed), m_bHasDevice(bHasDevice) {}

    void Begin() {
        s.nextSink = Clock::now();
        const char* pszDriver = std::getenv("SDL_AUDIODRIVER");
        if (pszDriver != nullptr && *pszDriver != '\0') {
            // The user chose SDL's driver: only SDL opens the device.
            std::string why;
            if (!OpenSdl(why)) {
                Trace("LinuxMidiOut: no audio device (%s); the music plays into a silent sink.\n",
                      why.c_str());
                s.phase = Phase::SinkOnly;
            }
            return;
        }
        Connect();
    }

    // Runs the timers due by now; returns the time until the next one (-1: none).
    int Timers() {
        const Clock::time_point now = Clock::now();
        if (now >= SinkAt()) {
            m_feed.Render(s.aSink, kSampleRate / 25);
            s.nextSink += kSinkStep;
            if (s.nextSink <= now) {
                s.nextSink = now + kSinkStep; // after a long pause, no burst to catch up
            }
        }
        if (s.phase == Phase::Waiting && now >= s.retryAt) {
            Connect();
        } else if ((s.phase == Phase::Connecting || s.phase == Phase::Starting) && now >= s.answerBy) {
            Lose("the sound server does not answer", false);
        } else if (s.phase == Phase::Playing && now - s.lastAsked >= StallAfter()) {
            Lose("the sound server does not answer", false);
        }
        Clock::time_point next = SinkAt();
        switch (s.phase) {
        case Phase::Waiting:
            next = std::min(next, s.retryAt);
            break;
        case Phase::Connecting:
        case Phase::Starting:
            next = std::min(next, s.answerBy);
            break;
        case Phase::Playing:
            next = std::min(next, s.lastAsked + StallAfter());
            break;
        default:
            break;
        }
        if (next == Clock::time_point::max()) {
            return -1;
        }
        const auto wait = std::chrono::duration_cast<std::chrono::microseconds>(next - Clock::now()).count();
        return static_cast<int>(std::clamp<long long>(wait, 0, 60000000));
    }

    void End() {
        Disconnect();
        s.sdl.Close();
        SdlAudioDevice::ThreadEnd();
    }

private:
    // When the silent sink renders next. While the server plays it takes the sound; when it has not asked
    // for a while (an idle sink finishing a long block before it starts the stream, a server starved or
    // frozen) the sink keeps the synthesizer in time, so that the notes sent meanwhile do not all sound at
    // once when the server asks again.
    Clock::time_point SinkAt() const {
        switch (s.phase) {
        case Phase::Sdl:
            return Clock::time_point::max();
        case Phase::Playing:
            return std::max(s.nextSink, s.lastAsked + kSinkWhenSilent);
        default:
            return s.nextSink;
        }
    }
    milliseconds StallAfter() const { return s.bStarted ? kStallAfter : kFirstSoundWithin; }

    void Connect() {
        s.pContext = pa_context_new(pa_mainloop_get_api(s.pLoop), "Lumivorra");
        if (s.pContext == nullptr) {
            Retry();
            return;
        }
        pa_context_set_state_callback(s.pContext, ContextState, this);
        s.phase = Phase::Connecting;
        s.answerBy = Clock::now() + kAnswerWithin;
        if (pa_context_connect(s.pContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
            Refused();
        }
    }

    // The server is not there at all (no socket, or nobody listening).
    void Refused() {
        const std::string why = pa_strerror(pa_context_errno(s.pContext));
        Disconnect();
        if (!s.bEverConnected && !s.bLossTraced) {
            // No sound server at the start: SDL's own drivers (ALSA, PipeWire's) may still find a device.
            std::string sdlWhy;
            if (OpenSdl(sdlWhy)) {
                return;
            }
            Trace("LinuxMidiOut: no audio device (%s; %s); the music plays into a silent sink.\n",
                  why.c_str(), sdlWhy.c_str());
            s.bLossTraced = true;
        } else if (!s.bLossTraced) {
            Trace("LinuxMidiOut: the sound server went away (%s); the music plays into a silent sink.\n",
                  why.c_str());
            s.bLossTraced = true;
        }
        Retry();
    }

    void Lose(const char* pszWhat, bool bWentAway) {
        std::string why;
        if (s.pContext != nullptr && bWentAway) {
            why = pa_strerror(pa_context_errno(s.pContext));
        }
        Disconnect();
        if (!s.bLossTraced) {
            if (bWentAway) {
                Trace("LinuxMidiOut: %s (%s); the music plays into a silent sink.\n", pszWhat, why.c_str());
            } else {
                Trace("LinuxMidiOut: %s; the music plays into a silent sink.\n", pszWhat);
            }
            s.bLossTraced = true;
        }
        Retry();
    }

    void Retry() {
        s.phase = Phase::Waiting;
        s.retryAt = Clock::now() + s.retryStep;
        s.retryStep = std::min(s.retryStep * 2, kRetryLast);
    }

    // Closes the stream and the connection without waiting for the server: only the socket is closed.
    void Disconnect() {
        if (s.pStream != nullptr) {
            pa_stream_set_state_callback(s.pStream, nullptr, nullptr);
            pa_stream_set_write_callback(s.pStream, nullptr, nullptr);
            pa_stream_disconnect(s.pStream);
            pa_stream_unref(s.pStream);
            s.pStream = nullptr;
        }
        if (s.pContext != nullptr) {
            pa_context_set_state_callback(s.pContext, nullptr, nullptr);
            pa_context_disconnect(s.pContext);
            pa_context_unref(s.pContext);
            s.pContext = nullptr;
        }
        if (s.phase == Phase::Playing) {
            // The sink takes over from now on, not from a step long past.
            s.nextSink = Clock::now();
        }
        m_bHasDevice.store(false);
    }

    void OpenStream() {
        const pa_sample_spec spec = {PA_SAMPLE_S16LE, kSampleRate, 2};
        s.pStream = pa_stream_new(s.pContext, "Music", &spec, nullptr);
        if (s.pStream == nullptr) {
            Lose("the sound server refused the music", true);
            return;
        }
        pa_stream_set_state_callback(s.pStream, StreamState, this);
        pa_stream_set_write_callback(s.pStream, StreamWrite, this);
        pa_stream_set_started_callback(s.pStream, StreamStarted, this);
        pa_buffer_attr attr;
        attr.maxlength = static_cast<uint32_t>(-1);
        attr.tlength = kBufferFrames * 4;
        // Playback starts with the first piece: a server that asks for less than its whole buffer at first
        // would otherwise wait for the rest for ever.
        attr.prebuf = kPieceFrames * 4;
        attr.minreq = kPieceFrames * 4;
        attr.fragsize = static_cast<uint32_t>(-1);
        s.phase = Phase::Starting;
        s.bStarted = false;
        s.answerBy = Clock::now() + kAnswerWithin;
        if (pa_stream_connect_playback(s.pStream, nullptr, &attr, PA_STREAM_ADJUST_LATENCY, nullptr,
                                       nullptr) < 0) {
            Lose("the sound server refused the music", true);
        }
    }

    static void ContextState(pa_context* pContext, void* pUser) {
        Output& self = *static_cast<Output*>(pUser);
        switch (pa_context_get_state(pContext)) {
        case PA_CONTEXT_READY:
            self.OpenStream();
            break;
        case PA_CONTEXT_FAILED:
        case PA_CONTEXT_TERMINATED:
            if (self.s.phase == Phase::Connecting) {
                self.Refused();
            } else {
                self.Lose("the sound server went away", true);
            }
            break;
        default:
            break;
        }
    }

    static void StreamState(pa_stream* pStream, void* pUser) {
        Output& self = *static_cast<Output*>(pUser);
        const pa_stream_state_t state = pa_stream_get_state(pStream);
        if (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED) {
            self.Lose("the sound server went away", true);
        }
    }

    static void StreamStarted(pa_stream*, void* pUser) {
        Output& self = *static_cast<Output*>(pUser);
        self.s.bStarted = true;
        self.s.lastAsked = Clock::now();
    }

    static void StreamWrite(pa_stream* pStream, size_t nBytes, void* pUser) {
        Output& self = *static_cast<Output*>(pUser);
        self.s.lastAsked = Clock::now();
        while (nBytes >= 4) {
            void* pData = nullptr;
            size_t nChunk = nBytes;
            if (pa_stream_begin_write(pStream, &pData, &nChunk) < 0 || pData == nullptr || nChunk < 4) {
                break;
            }
            nChunk = std::min(nChunk, nBytes) & ~static_cast<size_t>(3);
            self.m_feed.Render(static_cast<int16_t*>(pData), static_cast<int>(nChunk / 4));
            pa_stream_write(pStream, pData, nChunk, nullptr, 0, PA_SEEK_RELATIVE);
            nBytes -= nChunk;
        }
        if (self.s.phase != Phase::Playing) {
            self.s.phase = Phase::Playing;
            self.s.bEverConnected = true;
            self.s.bLossTraced = false;
            self.s.retryStep = kRetryFirst;
            self.m_bHasDevice.store(true);
            const char* pszDevice = pa_stream_get_device_name(pStream);
            Trace("LinuxMidiOut: music to pulseaudio: %s\n", pszDevice != nullptr ? pszDevice : "default");
        }
    }

    bool OpenSdl(std::string& why) {
        if (!s.sdl.Open(m_feed, kSampleRate, kPieceFrames, why)) {
            return false;
        }
        s.phase = Phase::Sdl;
        m_bHasDevice.store(true);
        return true;
    }

    AudioOutputThread::State& s;
    SynthFeed& m_feed;
    std::atomic<bool>& m_bHasDevice;
};

} // namespace

void AudioOutputThread::Run() {
    prctl(PR_SET_NAME, "lv-music-out", 0, 0, 0);
    State& s = *m_pState;
    Output output(s, *m_pFeed, m_bHasDevice);
    output.Begin();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_bStop) {
                break;
            }
        }
        const int nWaitUs = output.Timers();
        if (pa_mainloop_prepare(s.pLoop, nWaitUs) < 0 || pa_mainloop_poll(s.pLoop) < 0) {
            break;
        }
        pa_mainloop_dispatch(s.pLoop);
    }
    output.End();
    std::lock_guard<std::mutex> lock(m_lock);
    pa_mainloop_free(s.pLoop);
    s.pLoop = nullptr;
    m_bEnded = true;
    m_ended.notify_all();
}
