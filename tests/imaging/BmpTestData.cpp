#include "imaging/BmpTestData.h"

#include <cstddef>

namespace {

void Put16(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void Put32(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    Put16(out, at, v & 0xFFFF);
    Put16(out, at + 2, v >> 16);
}

} // namespace

uint32_t TestColour(int32_t x, int32_t y) {
    const auto ux = static_cast<uint32_t>(x);
    const auto uy = static_cast<uint32_t>(y);
    return ((ux * 7 + uy * 13) & 0xFF) | ((ux & 0xFF) << 8) |
           ((((ux >> 8) & 0x0F) | ((uy & 0x0F) << 4)) << 16);
}

std::vector<uint8_t> MakeBmp(const BmpHeader& h) {
    const size_t nRow =
        h.nWidth > 0 ? static_cast<size_t>(h.nWidth) * 3 + (static_cast<size_t>(h.nWidth) & 3) : 0;
    const size_t nRows = h.nHeight > 0 && h.nWidth > 0 ? static_cast<size_t>(h.nHeight) : 0;
    std::vector<uint8_t> out(54 + nRow * nRows, 0);
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, static_cast<uint32_t>(out.size()));
    Put32(out, 10, h.dwPixelOffset);
    Put32(out, 14, h.dwInfoSize);
    Put32(out, 18, static_cast<uint32_t>(h.nWidth));
    Put32(out, 22, static_cast<uint32_t>(h.nHeight));
    Put16(out, 26, h.wPlanes);
    Put16(out, 28, h.wBitCount);
    Put32(out, 30, h.dwCompression);
    for (size_t row = 0; row < nRows; ++row) {
        // Stored bottom-up: stored row `row` is picture row nHeight - 1 - row.
        const auto y = static_cast<int32_t>(nRows - 1 - row);
        for (int32_t x = 0; x < h.nWidth; ++x) {
            const uint32_t c = TestColour(x, y);
            uint8_t* p = &out[54 + row * nRow + static_cast<size_t>(x) * 3];
            p[0] = static_cast<uint8_t>(c);
            p[1] = static_cast<uint8_t>(c >> 8);
            p[2] = static_cast<uint8_t>(c >> 16);
        }
        // Padding bytes carry garbage that must not reach the image.
        for (size_t pad = static_cast<size_t>(h.nWidth) * 3; pad < nRow; ++pad) {
            out[54 + row * nRow + pad] = 0xEE;
        }
    }
    return out;
}

std::vector<uint8_t> MakeBmp(int32_t nWidth, int32_t nHeight) {
    BmpHeader header;
    header.nWidth = nWidth;
    header.nHeight = nHeight;
    return MakeBmp(header);
}
