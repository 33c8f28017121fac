// The whole per-frame pipeline (clear, swarm, lighting) against pinned hashes, so that any drift in the
// arithmetic of any kernel form shows.
#include "KernelForms.h"
#include "Sha256.h"
#include "framework/Random.h"
#include "scene/SBallSwarm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

#include <string>
#include <vector>

namespace {

// A grey relief: random heights on a 32-pixel lattice, joined smoothly, with a little grain. Integer
// arithmetic only, so the same bytes on every platform, independent of the built-in height map.
void MakeHeightMap(SImage& height, uint32_t dwSeed) {
    constexpr int32_t kCell = 32;
    const int32_t nLatticeW = height.width / kCell + 2;
    const int32_t nLatticeH = height.height / kCell + 2;
    uint32_t dwState = dwSeed;
    const auto next = [&dwState] {
        dwState = dwState * 1103515245u + 12345u;
        return static_cast<int32_t>((dwState >> 16) % 192);
    };
    std::vector<int32_t> lattice(static_cast<size_t>(nLatticeW) * nLatticeH);
    for (int32_t& v : lattice) {
        v = next();
    }
    for (int32_t y = 0; y < height.height; ++y) {
        for (int32_t x = 0; x < height.width; ++x) {
            const int32_t i = (y / kCell) * nLatticeW + x / kCell;
            // Smoothstep weights 3f^2 - 2f^3 (0 .. kCell): no creases along the lattice lines.
            const int32_t fx = (x % kCell) * (x % kCell) * (3 * kCell - 2 * (x % kCell)) / (kCell * kCell);
            const int32_t fy = (y % kCell) * (y % kCell) * (3 * kCell - 2 * (y % kCell)) / (kCell * kCell);
            const int32_t top = lattice[i] * (kCell - fx) + lattice[i + 1] * fx;
            const int32_t bottom = lattice[i + nLatticeW] * (kCell - fx) + lattice[i + nLatticeW + 1] * fx;
            int32_t v = (top * (kCell - fy) + bottom * fy) / (kCell * kCell) + (next() & 1);
            v = v > 255 ? 255 : v;
            height.pixels[y * height.width + x] = static_cast<uint32_t>(v) * 0x010101u;
        }
    }
}

std::vector<std::string> ComposeAndHash(const std::vector<int>& hashedFrames) {
    SeedRandom(20261207);
    SBallSwarm swarm;
    swarm.Create(40, 0x00FF6464);
    SImage frame(320, 240);
    SImage height(320, 240);
    SImage light(640, 640);
    MakeHeightMap(height, 7);
    light.BuildDirectionTable(1);
    light.DrawGlow(320, 0x00FFFFFF);
    std::vector<std::string> hashes;
    for (int n = 1; n <= hashedFrames.back(); ++n) {
        frame.Clear(0);
        swarm.Update();
        swarm.Draw(frame);
        frame.BumpLight(height, static_cast<int32_t>(swarm.centerX) + 160,
                        static_cast<int32_t>(swarm.centerY) + 120, light, 5);
        if (std::find(hashedFrames.begin(), hashedFrames.end(), n) != hashedFrames.end()) {
            hashes.push_back(Sha256Hex(frame.pixels, 320 * 240 * 4));
        }
    }
    return hashes;
}

} // namespace

TEST(ComposeGolden, Sha256OfKnownBytes) {
    EXPECT_EQ(Sha256Hex("abc", 3), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string s56 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(Sha256Hex(s56.data(), s56.size()),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(ComposeGolden, ThreeHundredFramesOfFortyBallsKeepTheirHashes) {
    const std::vector<std::string> pinned = {
        "0e798c964cbe659670ef2614318f67c3af237ade554e18c4424e1ac2321d557e",
        "7beb05a21f8b88b7245d4e243a6824390f93af9357019e9138c0d639d8c6b699",
        "151b6a7a0e18366490b41d171f3564ed4e71c93acc534ddc245adc5c2d5bba28"};
    for (const PixelKernels* pForm : PixelKernelForms()) {
        ScopedPixelKernels use(*pForm);
        EXPECT_EQ(ComposeAndHash({1, 10, 300}), pinned) << InstructionSetName(pForm->isa);
    }
}
