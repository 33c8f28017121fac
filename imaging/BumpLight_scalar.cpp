#include "imaging/PixelOps.h"

void BumpLightRows_scalar(const BumpRun& run) {
    for (size_t y = 0; y < run.nRows; ++y) {
        uint32_t* pDst = run.pDst + y * run.nStride;
        const uint32_t* pHeight = run.pHeight + y * run.nStride;
        const uint32_t* pLight = run.pLight + y * run.nLightStride;
        const int8_t* pDir = run.pDir + 2 * y * run.nLightStride;
        for (size_t x = 0; x < run.nWidth; ++x) {
            pDst[x] = BumpLightPixel(pDst[x], pHeight + x, run.nStride, pLight[x], pDir + 2 * x, run.nShift);
        }
    }
}
