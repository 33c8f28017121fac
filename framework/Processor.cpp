#include "framework/Processor.h"

int32_t HasMMX() {
    return ProcessorHas(ISA_MMX) ? 1 : 0;
}

bool ProcessorHas(InstructionSet isa) {
    if (isa == ISA_SCALAR) {
        return true;
    }
#if defined(__i386__) || defined(__x86_64__)
    // The compiler's CPUID reader; for AVX2 it also checks that the OS saves the 256-bit registers.
    __builtin_cpu_init();
    switch (isa) {
    case ISA_MMX:
        return __builtin_cpu_supports("mmx");
    case ISA_SSE2:
        return __builtin_cpu_supports("sse2");
    case ISA_AVX2:
        return __builtin_cpu_supports("avx2");
    default:
        return false;
    }
#else
    return false;
#endif
}

const char* InstructionSetName(InstructionSet isa) {
    switch (isa) {
    case ISA_SCALAR:
        return "scalar";
    case ISA_MMX:
        return "mmx";
    case ISA_SSE2:
        return "sse2";
    case ISA_AVX2:
        return "avx2";
    }
    return "?";
}
