// Which instruction sets the processor offers, for choosing the fast forms of the pixel kernels.
//
// The entry point asks HasMMX once before anything is built (the program needs MMX); the imaging and display
// kernels ask ProcessorHas when they first choose their forms. Safe on any thread; never throws. On a
// processor other than x86 only ISA_SCALAR is reported.
#pragma once

#include <cstdint>

// The forms a kernel can take, from the plain reference to the widest vectors. The order is the order of
// preference: a larger value is faster where the processor has it.
enum InstructionSet : int32_t {
    ISA_SCALAR = 0, // plain C++, every processor; the reference every other form must match
    ISA_MMX = 1,    // 64-bit packed integers
    ISA_SSE2 = 2,   // 128-bit packed integers
    ISA_AVX2 = 3,   // 256-bit packed integers
};
constexpr int32_t ISA_COUNT = 4;

// Nonzero when the processor reports MMX (CPUID function 1, bit 23 of EDX).
int32_t HasMMX();
// True when the processor (and, for AVX2, the operating system's register saving) supports the set.
bool ProcessorHas(InstructionSet isa);
// "scalar", "mmx", "sse2" or "avx2": the suffix of the benchmark entries.
const char* InstructionSetName(InstructionSet isa);
