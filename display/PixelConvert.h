// Moves the finished 320x240 frame (SImage pixels, 0x00RRGGBB, rows of 1280 bytes with no gap) into the
// locked memory of a display surface: 16-bit 5-6-5 or 5-5-5 for full screen, a plain 32-bit copy for a
// window. Channels are cut by dropping low bits. Row r goes to pDest + r * lPitch; bytes of a surface row
// beyond the 320 pixels are not touched. Called by the display on the render thread; never throws.
//
//     ConvertTo565(lock.pBits, lock.lPitch, frame.pixels);
//
// Each routine has a scalar form (the reference), on x86 MMX, SSE2 and AVX2 forms and on ARM64 an Advanced
// SIMD (NEON) form; the public functions use the best form the processor has.
#pragma once

#include "framework/Processor.h"

#include <cstdint>

constexpr int32_t kConvertWidth = 320;
constexpr int32_t kConvertHeight = 240;

void ConvertTo565(void* pDest, int32_t lPitch, const uint32_t* pSource);
void ConvertTo555(void* pDest, int32_t lPitch, const uint32_t* pSource);
void CopyRows32(void* pDest, int32_t lPitch, const uint32_t* pSource);

// One form of the three routines.
struct ConvertKernels {
    InstructionSet isa;
    void (*ConvertTo565)(void* pDest, int32_t lPitch, const uint32_t* pSource);
    void (*ConvertTo555)(void* pDest, int32_t lPitch, const uint32_t* pSource);
    void (*CopyRows32)(void* pDest, int32_t lPitch, const uint32_t* pSource);
};

// The forms of one instruction set; null when not built for this processor family or not supported.
const ConvertKernels* GetConvertKernels(InstructionSet isa);

void ConvertTo565_scalar(void* pDest, int32_t lPitch, const uint32_t* pSource);
void ConvertTo555_scalar(void* pDest, int32_t lPitch, const uint32_t* pSource);
void CopyRows32_scalar(void* pDest, int32_t lPitch, const uint32_t* pSource);
#if LV_X86_KERNELS
void ConvertTo565_mmx(void* pDest, int32_t lPitch, const uint32_t* pSource);
void ConvertTo555_mmx(void* pDest, int32_t lPitch, const uint32_t* pSource);
void ConvertTo565_sse2(void* pDest, int32_t lPitch, const uint32_t* pSource);
void ConvertTo555_sse2(void* pDest, int32_t lPitch, const uint32_t* pSource);
void ConvertTo565_avx2(void* pDest, int32_t lPitch, const uint32_t* pSource);
void ConvertTo555_avx2(void* pDest, int32_t lPitch, const uint32_t* pSource);
#endif
#if LV_NEON_KERNELS
void ConvertTo565_neon(void* pDest, int32_t lPitch, const uint32_t* pSource);
void ConvertTo555_neon(void* pDest, int32_t lPitch, const uint32_t* pSource);
#endif

// The surface row that frame row nRow goes to. Static: the forms' files are compiled for different
// instruction sets, and a shared out-of-line copy could be one the processor cannot run.
static inline uint8_t* SurfaceRow(void* pDest, int32_t lPitch, int32_t nRow) {
    return static_cast<uint8_t*>(pDest) + static_cast<intptr_t>(nRow) * lPitch;
}
