#include "platform/headless/SynthWavOut.h"
#include "TestItems.h"
#include "framework/SString.h"
#include "music/SMusic.h"
#include "music/SmfTestData.h"
#include "platform/headless/Headless.h"
#include "resources/BuiltinResources.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

uint32_t Le32(const Bytes& bytes, size_t nAt) {
    return bytes[nAt] | bytes[nAt + 1] << 8 | bytes[nAt + 2] << 16 |
           static_cast<uint32_t>(bytes[nAt + 3]) << 24;
}

// Root mean square of the 16-bit samples in [dBegin, dEnd) seconds of a 44.1 kHz stereo WAV's data.
double Rms(const Bytes& wav, double dBegin, double dEnd) {
    double dSum = 0;
    const size_t nFirst = static_cast<size_t>(dBegin * 44100) * 2;
    const size_t nLast = static_cast<size_t>(dEnd * 44100) * 2;
    for (size_t i = nFirst; i < nLast; ++i) {
        const int16_t nSample = static_cast<int16_t>(wav[44 + 2 * i] | wav[45 + 2 * i] << 8);
        dSum += static_cast<double>(nSample) * nSample;
    }
    return std::sqrt(dSum / static_cast<double>(nLast - nFirst));
}

// The whole file, which is then removed.
Bytes TakeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    return bytes;
}

} // namespace

TEST(SynthWavOut, RendersTheSongInSimulatedTime) {
    const std::string path = (std::filesystem::temp_directory_path() / "lumivorra-synth-test.wav").string();
    // A program change sent as a system-exclusive GM reset first, then a piano chord from 0.5 s to 1 s.
    SetTestItem("TEST_ITEM", MakeSmf(480, {{0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x00, 0xC0, 0x00,
                                            0x81, 0x70, 0x90, 0x3C, 0x64, 0x00, 0x40, 0x64, 0x00, 0x43, 0x64,
                                            0x81, 0x70, 0x80, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00}}));
    {
        SynthWavOut output(path);
        SMusic music(&output);
        music.Load("TEST_ITEM", LOAD_RESOURCE, nullptr);
        HeadlessSetTickCount(0);
        music.Play();
        ASSERT_TRUE(output.RunMilliseconds(1500));
        EXPECT_EQ(output.Frames(), 66150u);
        EXPECT_GT(output.Peak(), 0);
        EXPECT_LT(output.Peak(), 32767); // not clipped
    }
    const Bytes wav = TakeFile(path);
    ASSERT_EQ(wav.size(), 44u + 66150u * 4);
    EXPECT_EQ(Le32(wav, 4), wav.size() - 8);
    EXPECT_EQ(Le32(wav, 24), 44100u);
    EXPECT_EQ(Le32(wav, 40), 66150u * 4);
    // Silence before the chord, audible sound while it plays.
    EXPECT_LT(Rms(wav, 0.0, 0.45), 1.0);
    EXPECT_GT(Rms(wav, 0.6, 0.9), 300.0);
}

TEST(SynthWavOut, TheBuiltinSongPeaksBetweenMinusSixAndMinusOneDecibelsUnclipped) {
    RegisterBuiltinResources();
    const std::string path = (std::filesystem::temp_directory_path() / "lumivorra-builtin-test.wav").string();
    // The whole song: 380 quarter notes of 0.8 s, and a second for the last notes to die away.
    constexpr uint32_t kMs = 380 * 800 + 1000;
    int32_t nPeak = 0;
    {
        SynthWavOut output(path);
        SMusic music(&output);
        music.Load("ID_MIDI", LOAD_RESOURCE, nullptr);
        HeadlessSetTickCount(0);
        music.Play();
        ASSERT_TRUE(output.RunMilliseconds(kMs));
        nPeak = output.Peak();
    }
    const Bytes wav = TakeFile(path);
    ASSERT_EQ(wav.size(), 44u + size_t{kMs} * 441u / 10u * 4u);
    // -6 dBFS is 16423, -1 dBFS 29204 of 32768: loud enough to hear at a normal volume, never clipped.
    EXPECT_GE(nPeak, 16423);
    EXPECT_LE(nPeak, 29204);
    EXPECT_GT(Rms(wav, 0.0, 10.0), 1000.0);
}

TEST(SynthWavOut, WithoutASoundfontTheOutputDoesNotOpen) {
    const char* const apszNone[] = {"/nonexistent/none.sf2", nullptr};
    SynthWavOut output("/nonexistent/out.wav", apszNone);
    SMusic music(&output);
    SetTestItem("TEST_ITEM", MakeSmf(480, {}));
    try {
        music.Load("TEST_ITEM", LOAD_RESOURCE, nullptr);
        ADD_FAILURE() << "opened without a soundfont";
    } catch (const SString& error) {
        EXPECT_STREQ(error.Text(), "midiOutOpen()でエラーが発生しました。\n返値:2\n");
    }
}
