#include "platform/shared/FluidSynthMidi.h"

#include "framework/Debug.h"

#include <mutex>

const char* const g_apszDefaultSoundFonts[] = {
    "/usr/share/sounds/sf2/default-GM.sf2",
    "/usr/share/sounds/sf2/TimGM6mb.sf2",
    "/usr/share/sounds/sf2/FluidR3_GM.sf2",
    "/usr/share/sounds/sf3/default-GM.sf3",
    nullptr,
};

namespace {

// FluidSynth's own messages would go to stderr; they become trace lines like the player's.
void TraceFluidLog(int, const char* pszMessage, void*) {
    Trace("FluidSynthMidi: %s\n", pszMessage);
}

void RouteFluidLog() {
    static std::once_flag s_once;
    std::call_once(s_once, [] {
        for (int nLevel : {FLUID_PANIC, FLUID_ERR, FLUID_WARN, FLUID_INFO, FLUID_DBG}) {
            fluid_set_log_function(nLevel, TraceFluidLog, nullptr);
        }
    });
}

} // namespace

int32_t FluidSynthMidi::Open(double dSampleRate, const char* const* ppszSoundFonts) {
    Close();
    RouteFluidLog();
    m_pSettings = new_fluid_settings();
    if (m_pSettings == nullptr) {
        return MIDIOUT_ERR_NO_SYNTH;
    }
    fluid_settings_setnum(m_pSettings, "synth.sample-rate", dSampleRate);
    // Messages arrive on the music timer thread while the audio thread renders.
    fluid_settings_setint(m_pSettings, "synth.threadsafe-api", 1);
    // FluidSynth's default gain (0.2) leaves a General MIDI song far below full scale. At 1.8 the built-in
    // song peaks at about -3 dBFS over its whole length (RMS about -19 dBFS): as loud as other programs'
    // sound, with room left for a denser song before the samples clip.
    fluid_settings_setnum(m_pSettings, "synth.gain", 1.8);
    m_pSynth = new_fluid_synth(m_pSettings);
    if (m_pSynth == nullptr) {
        Close();
        return MIDIOUT_ERR_NO_SYNTH;
    }
    for (const char* const* pp = ppszSoundFonts; *pp != nullptr; ++pp) {
        if (fluid_is_soundfont(*pp) && fluid_synth_sfload(m_pSynth, *pp, 1) != FLUID_FAILED) {
            Trace("FluidSynthMidi: soundfont %s\n", *pp);
            return MIDIOUT_OK;
        }
    }
    Close();
    return MIDIOUT_ERR_NO_SOUNDFONT;
}

void FluidSynthMidi::Close() {
    if (m_pSynth != nullptr) {
        delete_fluid_synth(m_pSynth);
        m_pSynth = nullptr;
    }
    if (m_pSettings != nullptr) {
        delete_fluid_settings(m_pSettings);
        m_pSettings = nullptr;
    }
}

void FluidSynthMidi::ShortMsg(uint32_t dwMsg) noexcept {
    if (m_pSynth == nullptr) {
        return;
    }
    const int nStatus = static_cast<int>(dwMsg & 0xFF);
    const int nChannel = nStatus & 0x0F;
    const int nData1 = static_cast<int>(dwMsg >> 8) & 0x7F;
    const int nData2 = static_cast<int>(dwMsg >> 16) & 0x7F;
    switch (nStatus >> 4) {
    case 0x8:
        fluid_synth_noteoff(m_pSynth, nChannel, nData1);
        break;
    case 0x9:
        // Velocity 0 is a note-off; FluidSynth treats it so.
        fluid_synth_noteon(m_pSynth, nChannel, nData1, nData2);
        break;
    case 0xA:
        fluid_synth_key_pressure(m_pSynth, nChannel, nData1, nData2);
        break;
    case 0xB:
        fluid_synth_cc(m_pSynth, nChannel, nData1, nData2);
        break;
    case 0xC:
        fluid_synth_program_change(m_pSynth, nChannel, nData1);
        break;
    case 0xD:
        fluid_synth_channel_pressure(m_pSynth, nChannel, nData1);
        break;
    case 0xE:
        fluid_synth_pitch_bend(m_pSynth, nChannel, nData1 | nData2 << 7);
        break;
    default:
        break; // system messages have no meaning for the synthesizer
    }
}

void FluidSynthMidi::LongMsg(const uint8_t* pData, uint32_t dwSize) noexcept {
    // FluidSynth takes the bytes between F0 and F7, neither included.
    if (m_pSynth == nullptr || dwSize < 2 || pData[0] != 0xF0) {
        return;
    }
    uint32_t dwCount = dwSize - 1;
    if (pData[dwSize - 1] == 0xF7) {
        --dwCount;
    }
    fluid_synth_sysex(m_pSynth, reinterpret_cast<const char*>(pData + 1), static_cast<int>(dwCount), nullptr,
                      nullptr, nullptr, 0);
}

void FluidSynthMidi::Reset() {
    if (m_pSynth == nullptr) {
        return;
    }
    // The system reset lifts the pedals, resets the controllers and empties the reverb and chorus; the
    // sounds-off must come after it, since a note-off or a pedal lifted after it brings the cut voices
    // back into their release, and a held chord would ring on for half a second.
    fluid_synth_system_reset(m_pSynth);
    fluid_synth_all_sounds_off(m_pSynth, -1);
}

void FluidSynthMidi::Render(int16_t* pFrames, int nFrames) {
    if (m_pSynth == nullptr) {
        for (int i = 0; i < nFrames * 2; ++i) {
            pFrames[i] = 0;
        }
        return;
    }
    fluid_synth_write_s16(m_pSynth, nFrames, pFrames, 0, 2, pFrames, 1, 2);
}

int FluidSynthMidi::ActiveVoices() {
    return m_pSynth != nullptr ? fluid_synth_get_active_voice_count(m_pSynth) : 0;
}
