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
//   lumivorra-render --frames K [--seed N] [--nums N] [--color 0xRRGGBB] [--bump F] [--heightmap FILE.bmp]
//                    [--show-fps] [--fps N] [--png OUT.png] [--raw OUT.bin] [--frames-dir DIR] [--fade N]
//       Runs the scene in a headless window until frame K (frame 1 is the first after the scene is built)
//       and prints "sha256 <hex>" of frame K's 320 x 240 x 4 bytes (blue, green, red, fourth; rows
//       top-down). --seed is the tick count the generator is seeded from (decimal or 0x-hex), --heightmap
//       a 24-bit BMP instead of the built-in map, --show-fps draws the counter showing the rate --fps.
//       --png and --raw write frame K, --frames-dir every frame as DIR/frame-NNNN.png, followed by the
//       first N (at most 32) frames of the fade-out with --fade N.
//
// Errors go to stderr with the system's message; the exit code is 1, or 2 for a bad command line.
#include "RenderFrames.h"
#include "framework/SInput.h"
#include "framework/SString.h"
#include "framework/Timer.h"
#include "music/SMusic.h"
#include "platform/headless/Headless.h"
#include "platform/headless/MidiOut.h"
#if LV_RENDER_WAV
#include "platform/headless/SynthWavOut.h"
#endif
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

#if LV_RENDER_WAV
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
            throw SString(Tr("Could not write %s.\n"), path.c_str());
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
#else
// The cross builds have no synthesizer of their own processor.
int RenderWav(const std::string& path, double, const std::string&) {
    throw SString(Tr("Could not write %s. This build cannot write WAV files.\n"), path.c_str());
}
#endif

int Usage() {
    std::fprintf(stderr,
                 "usage: lumivorra-render --dump-midi FILE|builtin --ms N\n"
                 "       lumivorra-render --wav OUT.wav --seconds S [--song FILE|builtin]\n"
                 "       lumivorra-render --frames K [--seed N] [--nums N] [--color 0xRRGGBB] [--bump F]\n"
                 "                        [--heightmap FILE.bmp] [--show-fps] [--fps N] [--png OUT.png]\n"
                 "                        [--raw OUT.bin] [--frames-dir DIR] [--fade N]\n");
    return 2;
}

// A whole unsigned 32-bit number, decimal or 0x-hex, at most dwMax.
bool ParseUnsigned(const char* pszText, uint32_t dwMax, uint32_t* pdwValue) {
    const bool bHex = pszText[0] == '0' && (pszText[1] == 'x' || pszText[1] == 'X');
    const char* pszDigits = bHex ? pszText + 2 : pszText;
    if (*pszDigits == '\0') {
        return false;
    }
    uint64_t qwValue = 0;
    for (const char* p = pszDigits; *p != '\0'; ++p) {
        int nDigit;
        if (*p >= '0' && *p <= '9') {
            nDigit = *p - '0';
        } else if (bHex && *p >= 'a' && *p <= 'f') {
            nDigit = *p - 'a' + 10;
        } else if (bHex && *p >= 'A' && *p <= 'F') {
            nDigit = *p - 'A' + 10;
        } else {
            return false;
        }
        qwValue = qwValue * (bHex ? 16 : 10) + static_cast<uint64_t>(nDigit);
        if (qwValue > dwMax) {
            return false;
        }
    }
    *pdwValue = static_cast<uint32_t>(qwValue);
    return true;
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

// The options of the frame renderer; false for an unknown flag or a bad value.
bool ParseFrameOption(const char* pszFlag, const char* pszValue, FrameOptions* pOptions, bool* pbFrames) {
    const std::string flag = pszFlag;
    uint32_t dwValue = 0;
    *pbFrames = true;
    if (flag == "--heightmap") {
        pOptions->heightMap = pszValue;
    } else if (flag == "--png") {
        pOptions->pngPath = pszValue;
    } else if (flag == "--raw") {
        pOptions->rawPath = pszValue;
    } else if (flag == "--frames-dir") {
        pOptions->framesDir = pszValue;
    } else if (flag == "--seed" && ParseUnsigned(pszValue, 0xFFFFFFFFu, &dwValue)) {
        pOptions->dwSeed = dwValue;
    } else if (flag == "--frames" && ParseUnsigned(pszValue, 0x7FFFFFFF, &dwValue)) {
        pOptions->nFrames = static_cast<int32_t>(dwValue);
    } else if (flag == "--nums" && ParseUnsigned(pszValue, 0xFFFFFFFFu, &dwValue)) {
        pOptions->dwNums = dwValue;
    } else if (flag == "--color" && ParseUnsigned(pszValue, 0xFFFFFF, &dwValue)) {
        pOptions->dwColor = dwValue;
    } else if (flag == "--bump" && ParseUnsigned(pszValue, 0xFFFFFFFFu, &dwValue)) {
        pOptions->dwBump = dwValue;
    } else if (flag == "--fps" && ParseUnsigned(pszValue, 0x7FFFFFFF, &dwValue)) {
        pOptions->nFps = static_cast<int32_t>(dwValue);
    } else if (flag == "--fade" && ParseUnsigned(pszValue, 32, &dwValue)) {
        pOptions->nFade = static_cast<int32_t>(dwValue);
    } else {
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    TimerStartup();
    RegisterBuiltinResources();
    std::string dumpSong, wavPath, song = "builtin";
    double dMs = -1, dSeconds = -1;
    FrameOptions frames;
    bool bFrames = false;
    for (int i = 1; i < argc; ++i) {
        const char* pszFlag = argv[i];
        if (std::strcmp(pszFlag, "--show-fps") == 0) {
            frames.bShowFps = true;
            bFrames = true;
            continue;
        }
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
        } else if (!ParseFrameOption(pszFlag, pszValue, &frames, &bFrames)) {
            return Usage();
        }
    }
    try {
        if (!dumpSong.empty() && dMs >= 0 && wavPath.empty() && !bFrames) {
            return DumpMidi(dumpSong, static_cast<uint32_t>(dMs));
        }
        if (!wavPath.empty() && dSeconds >= 0 && dumpSong.empty() && !bFrames) {
            return RenderWav(wavPath, dSeconds, song);
        }
        if (bFrames && frames.nFrames >= 1 && dumpSong.empty() && wavPath.empty()) {
            return RenderFrames(frames);
        }
    } catch (const SString& error) {
        std::fprintf(stderr, "lumivorra-render: %s", error.Text());
        return 1;
    }
    return Usage();
}
