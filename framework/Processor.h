// Which instruction sets the processor offers, for choosing the fast forms of the pixel kernels.
//
// The entry point asks HasKernelUnit once before anything is built (the program needs the packed-integer
// unit of its kernels: MMX on x86, Advanced SIMD on ARM64); the imaging and display kernels ask ProcessorHas
// when they first choose their forms. Safe on any thread; never throws. On a processor that is neither x86
// nor ARM64 only ISA_SCALAR is reported.
#pragma once

#include <cstdint>

// The forms a kernel can take, from the plain reference to the widest vectors. The order is the order of
// preference: a larger value is faster where the processor has it.
enum InstructionSet : int32_t {
    ISA_SCALAR = 0, // plain C++, every processor; the reference every other form must match
    ISA_MMX = 1,    // 64-bit packed integers
    ISA_SSE2 = 2,   // 128-bit packed integers
    ISA_AVX2 = 3,   // 256-bit packed integers
    ISA_NEON = 4,   // ARM64's 128-bit Advanced SIMD; never on the same processor as the three above
};
constexpr int32_t ISA_COUNT = 5;

// What the start-up check needs to know of a processor.
enum ProcessorFamily : int32_t {
    CPU_X86,   // 32- or 64-bit x86: the kernels' unit is MMX, which a very old one may lack
    CPU_ARM64, // AArch64: Advanced SIMD is part of the architecture
    CPU_OTHER, // anything else: the scalar forms serve
};
struct ProcessorInfo {
    ProcessorFamily family;
    bool bMMX; // x86 only: CPUID function 1, bit 23 of EDX
};

// The processor this program runs on.
ProcessorInfo ThisProcessor();
// Nonzero when the program can run on cpu: an x86 needs MMX; ARM64 and other processors always pass.
int32_t HasKernelUnit(const ProcessorInfo& cpu);
// The check of this processor, the one the entry point makes by default.
int32_t HasKernelUnit();
// True when the processor (and, for AVX2, the operating system's register saving) supports the set.
bool ProcessorHas(InstructionSet isa);
// "scalar", "mmx", "sse2", "avx2" or "neon": the suffix of the benchmark entries.
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
