#include "framework/Processor.h"

ProcessorInfo ThisProcessor() {
#if defined(__i386__) || defined(__x86_64__)
    return {CPU_X86, ProcessorHas(ISA_MMX)};
#elif defined(__aarch64__)
    return {CPU_ARM64, false};
#else
    return {CPU_OTHER, false};
#endif
}

int32_t HasKernelUnit(const ProcessorInfo& cpu) {
    return cpu.family != CPU_X86 || cpu.bMMX ? 1 : 0;
}

int32_t HasKernelUnit() {
    return HasKernelUnit(ThisProcessor());
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
#elif defined(__aarch64__)
    // Advanced SIMD is mandatory in every AArch64 processor that runs Linux or Windows.
    return isa == ISA_NEON;
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
    case ISA_NEON:
        return "neon";
    }
    return "?";
}
