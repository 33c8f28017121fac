// Builds 24-bit BMP files in memory for the loader's tests, and reads the pixel that a test put at (x, y).
#pragma once

#include <cstdint>
#include <vector>

struct BmpHeader {
    int32_t nWidth = 4;
    int32_t nHeight = 3;
    uint16_t wPlanes = 1;
    uint16_t wBitCount = 24;
    uint32_t dwCompression = 0;
    uint32_t dwInfoSize = 40;
    uint32_t dwPixelOffset = 54; // the file header's own field, which the loader ignores
};

// The colour the test pictures hold at (x, y): distinct across a picture of up to 4096 columns.
uint32_t TestColour(int32_t x, int32_t y);

// A whole file: headers as given, rows bottom-up with padding, each pixel TestColour (as far as the
// dimensions are positive; no rows for others).
std::vector<uint8_t> MakeBmp(const BmpHeader& header);
std::vector<uint8_t> MakeBmp(int32_t nWidth, int32_t nHeight);
