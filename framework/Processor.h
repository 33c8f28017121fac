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

// The form of a kernel table for isa: forms holds one entry per instruction set (nullptr where that form
// is not built); nullptr when the processor lacks the set or the form is missing.
template <typename Kernels>
const Kernels* PickForm(const Kernels* const (&forms)[ISA_COUNT], InstructionSet isa) {
    return isa >= ISA_SCALAR && isa < ISA_COUNT && ProcessorHas(isa) ? forms[isa] : nullptr;
}

// The fastest form the processor can run; the scalar reference when it has none of the others.
template <typename Kernels>
const Kernels* BestForm(const Kernels* const (&forms)[ISA_COUNT]) {
    for (int32_t n = ISA_COUNT - 1; n > ISA_SCALAR; --n) {
        if (const Kernels* pKernels = PickForm(forms, static_cast<InstructionSet>(n))) {
            return pKernels;
        }
    }
    return forms[ISA_SCALAR];
}
