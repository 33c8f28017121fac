#include "SyntheticImages.h"

#include <cstddef>
#include <vector>

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

void MakeDigit(SImage& digit, int32_t nDigit) {
    digit.Clear(0);
    for (int32_t y = 0; y < digit.height; ++y) {
        for (int32_t x = 0; x < digit.width; ++x) {
            const bool bEdge = x == 1 || x == digit.width - 2 || y == 1 || y == digit.height - 2 ||
                               (y == digit.height / 2 && nDigit % 3 != 0);
            if (bEdge && x > 0 && x < digit.width - 1 && y > 0 && y < digit.height - 1) {
                digit.pixels[y * digit.width + x] = 0x00C0C0C0;
            }
        }
    }
}
