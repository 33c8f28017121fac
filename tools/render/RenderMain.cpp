// lumivorra-render: the core on the headless platform, without a display or a sound device.
//
//   lumivorra-render --dump-midi FILE|builtin --ms N
//       Plays the song at simulated clock 0 and ticks at 1, 2, ..., N; prints one line per message
//       sent ("<clock>\tshort\t90 3c 64", "<clock>\tlong\tf0 7e ... f7") and one per completed pass
//       ("<clock>\tloop\t<count>"). Nothing else goes to stdout.
//   lumivorra-render --wav OUT.wav --seconds S [--song FILE|builtin]
//       Renders the song (the built-in one by default) through FluidSynth in simulated time into a
//       44.1 kHz 16-bit stereo WAV file, with a progress line on stderr.
//
// Errors go to stderr with the system's message; the exit code is 1, or 2 for a bad command line.
#include "framework/SInput.h"
#include "framework/SString.h"
#include "music/SMusic.h"
#include "platform/headless/Headless.h"
#include "platform/headless/HeadlessMidiOut.h"
#include "platform/headless/SynthWavOut.h"
#include "resources/BuiltinResources.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void LoadSong(SMusic& music, const std::string& song) {
    if (song == "builtin") {
        music.Load("ID_MIDI", LOAD_RESOURCE, nullptr);
    } else {
        music.Load(song.c_str(), LOAD_FILE, nullptr);
    }
}

void PrintEvents(HeadlessMidiOut& output) {
    for (const MidiEvent& event : output.TakeEvents()) {
        if (event.kind == MidiEvent::SHORT) {
            std::printf("%u\tshort\t%02x %02x %02x\n", event.dwTime, event.dwMsg & 0xFF,
                        (event.dwMsg >> 8) & 0xFF, (event.dwMsg >> 16) & 0xFF);
        } else if (event.kind == MidiEvent::LONG) {
            std::printf("%u\tlong\t", event.dwTime);
            for (size_t i = 0; i < event.bytes.size(); ++i) {
                std::printf(i == 0 ? "%02x" : " %02x", event.bytes[i]);
            }
            std::printf("\n");
        }
    }
}

int DumpMidi(const std::string& song, uint32_t dwMs) {
    HeadlessMidiOut output;
    SMusic music(&output);
    LoadSong(music, song);
    HeadlessSetTickCount(0);
    music.Play();
    output.TakeEvents(); // the open
    int32_t nLoops = 0;
    for (uint32_t dwClock = 1; dwClock <= dwMs; ++dwClock) {
        HeadlessStepTimers(1);
        PrintEvents(output);
        if (music.m_nLoopCount != nLoops) {
            nLoops = music.m_nLoopCount;
            std::printf("%u\tloop\t%d\n", dwClock, nLoops);
        }
    }
    music.Release();
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int RenderWav(const std::string& path, double dSeconds, const std::string& song) {
    SynthWavOut output(path);
    SMusic music(&output);
    LoadSong(music, song);
    HeadlessSetTickCount(0);
    music.Play();
    const uint32_t dwTotalMs = static_cast<uint32_t>(dSeconds * 1000.0);
    for (uint32_t dwDone = 0; dwDone < dwTotalMs;) {
        const uint32_t dwChunk = dwTotalMs - dwDone < 1000 ? dwTotalMs - dwDone : 1000;
        if (!output.RunMilliseconds(dwChunk)) {
            throw SString("%sを書き込めませんでした。\n", path.c_str());
        }
        dwDone += dwChunk;
        std::fprintf(stderr, "\rlumivorra-render: %s %u.%03u / %.3f s", path.c_str(), dwDone / 1000,
                     dwDone % 1000, dSeconds);
    }
    const uint64_t qwFrames = output.Frames();
    const int32_t nPeak = output.Peak();
    const int32_t nLoops = music.m_nLoopCount;
    music.Release();
    std::fprintf(stderr, "\nlumivorra-render: %llu frames, peak %d, loops %d\n",
                 static_cast<unsigned long long>(qwFrames), nPeak, nLoops);
    return 0;
}

int Usage() {
    std::fprintf(stderr, "usage: lumivorra-render --dump-midi FILE|builtin --ms N\n"
                         "       lumivorra-render --wav OUT.wav --seconds S [--song FILE|builtin]\n");
    return 2;
}

bool ParseNumber(const char* pszText, double dMax, double* pdValue) {
    char* pszEnd = nullptr;
    const double dValue = std::strtod(pszText, &pszEnd);
    if (pszEnd == pszText || *pszEnd != '\0' || !(dValue >= 0) || dValue > dMax) {
        return false;
    }
    *pdValue = dValue;
    return true;
}

} // namespace

int main(int argc, char** argv) {
    RegisterBuiltinResources();
    std::string dumpSong, wavPath, song = "builtin";
    double dMs = -1, dSeconds = -1;
    for (int i = 1; i < argc; ++i) {
        const char* pszFlag = argv[i];
        if (i + 1 >= argc) {
            return Usage();
        }
        const char* pszValue = argv[++i];
        if (std::strcmp(pszFlag, "--dump-midi") == 0) {
            dumpSong = pszValue;
        } else if (std::strcmp(pszFlag, "--ms") == 0) {
            if (!ParseNumber(pszValue, 4294967295.0, &dMs)) {
                return Usage();
            }
        } else if (std::strcmp(pszFlag, "--wav") == 0) {
            wavPath = pszValue;
        } else if (std::strcmp(pszFlag, "--seconds") == 0) {
            if (!ParseNumber(pszValue, 4294967.0, &dSeconds)) {
                return Usage();
            }
        } else if (std::strcmp(pszFlag, "--song") == 0) {
            song = pszValue;
        } else {
            return Usage();
        }
    }
    try {
        if (!dumpSong.empty() && dMs >= 0 && wavPath.empty()) {
            return DumpMidi(dumpSong, static_cast<uint32_t>(dMs));
        }
        if (!wavPath.empty() && dSeconds >= 0 && dumpSong.empty()) {
            return RenderWav(wavPath, dSeconds, song);
        }
    } catch (const SString& error) {
        std::fprintf(stderr, "lumivorra-render: %s", error.Text());
        return 1;
    }
    return Usage();
}
