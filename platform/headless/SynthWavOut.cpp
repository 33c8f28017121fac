#include "platform/headless/SynthWavOut.h"

#include "platform/headless/Headless.h"

#include <utility>

namespace {

void PutLe32(uint8_t* p, uint32_t dwValue) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<uint8_t>(dwValue >> (8 * i));
    }
}

// The 44-byte header of a PCM WAV file of dwDataBytes bytes of 16-bit stereo samples.
void MakeWavHeader(uint8_t* pHeader, uint32_t dwDataBytes, uint32_t dwSampleRate) {
    const uint8_t aFixed[44] = {'R', 'I', 'F', 'F', 0,  0, 0,   0,   'W', 'A', 'V', 'E', 'f', 'm', 't',
                                ' ', 16,  0,   0,   0,  1, 0,   2,   0,   0,   0,   0,   0,   0,   0,
                                0,   0,   4,   0,   16, 0, 'd', 'a', 't', 'a', 0,   0,   0,   0};
    for (int i = 0; i < 44; ++i) {
        pHeader[i] = aFixed[i];
    }
    PutLe32(pHeader + 4, 36 + dwDataBytes);
    PutLe32(pHeader + 24, dwSampleRate);
    PutLe32(pHeader + 28, dwSampleRate * 4);
    PutLe32(pHeader + 40, dwDataBytes);
}

} // namespace

SynthWavOut::SynthWavOut(std::string path, const char* const* ppszSoundFonts)
    : m_path(std::move(path)), m_ppszSoundFonts(ppszSoundFonts) {}

SynthWavOut::~SynthWavOut() {
    Close();
}

int32_t SynthWavOut::Open() {
    Close();
    const int32_t nResult = m_synth.Open(kSampleRate, m_ppszSoundFonts);
    if (nResult != MIDIOUT_OK) {
        return nResult;
    }
    m_pFile = std::fopen(m_path.c_str(), "wb");
    uint8_t aHeader[44];
    MakeWavHeader(aHeader, 0, kSampleRate);
    if (m_pFile == nullptr || std::fwrite(aHeader, 1, sizeof(aHeader), m_pFile) != sizeof(aHeader)) {
        Close();
        return MIDIOUT_ERR_NO_SYNTH;
    }
    m_bWriteFailed = false;
    m_qwFrames = 0;
    m_qwMs = 0;
    m_nPeak = 0;
    return MIDIOUT_OK;
}

void SynthWavOut::ShortMsg(uint32_t dwMsg) noexcept {
    m_synth.ShortMsg(dwMsg);
}

void SynthWavOut::LongMsg(const uint8_t* pData, uint32_t dwSize) noexcept {
    m_synth.LongMsg(pData, dwSize);
}

void SynthWavOut::Reset() {
    m_synth.Reset();
}

void SynthWavOut::Close() {
    if (m_pFile != nullptr) {
        // The data size field holds 32 bits; a longer render keeps its samples but caps the size.
        const uint64_t qwBytes = m_qwFrames * 4;
        uint8_t aHeader[44];
        MakeWavHeader(aHeader, qwBytes > 0xFFFFFFD0u ? 0xFFFFFFD0u : static_cast<uint32_t>(qwBytes),
                      kSampleRate);
        if (std::fseek(m_pFile, 0, SEEK_SET) != 0 ||
            std::fwrite(aHeader, 1, sizeof(aHeader), m_pFile) != 44) {
            m_bWriteFailed = true;
        }
        if (std::fclose(m_pFile) != 0) {
            m_bWriteFailed = true;
        }
        m_pFile = nullptr;
    }
    m_synth.Close();
}

bool SynthWavOut::RunMilliseconds(uint32_t dwMs) {
    // 44.1 frames a millisecond: each millisecond renders up to the frame that its end falls in, so the
    // file's length is exact however the run is split.
    int16_t aFrames[2 * (kSampleRate / 1000 + 1)];
    for (uint32_t i = 0; i < dwMs && m_pFile != nullptr && !m_bWriteFailed; ++i) {
        HeadlessStepTimers(1);
        ++m_qwMs;
        const uint64_t qwTarget = m_qwMs * kSampleRate / 1000;
        const int nFrames = static_cast<int>(qwTarget - m_qwFrames);
        m_synth.Render(aFrames, nFrames);
        for (int k = 0; k < nFrames * 2; ++k) {
            const int32_t nAbs = aFrames[k] < 0 ? -static_cast<int32_t>(aFrames[k]) : aFrames[k];
            if (nAbs > m_nPeak) {
                m_nPeak = nAbs;
            }
        }
        if (std::fwrite(aFrames, 4, static_cast<size_t>(nFrames), m_pFile) != static_cast<size_t>(nFrames)) {
            m_bWriteFailed = true;
        }
        m_qwFrames = qwTarget;
    }
    return m_pFile != nullptr && !m_bWriteFailed;
}
