// The kernel forms this processor runs, for checking every fast form against the scalar reference.
#pragma once

#include "imaging/PixelOps.h"

#include <vector>

// Every available form, the scalar reference first.
inline std::vector<const PixelKernels*> PixelKernelForms() {
    std::vector<const PixelKernels*> forms;
    for (int32_t n = ISA_SCALAR; n < ISA_COUNT; ++n) {
        if (const PixelKernels* pKernels = GetPixelKernels(static_cast<InstructionSet>(n))) {
            forms.push_back(pKernels);
        }
    }
    return forms;
}

// SImage draws with one form while this lives, then with the form it used before.
class ScopedPixelKernels {
public:
    explicit ScopedPixelKernels(const PixelKernels& kernels) : m_pBefore(&ActivePixelKernels()) {
        UsePixelKernels(kernels);
    }
    ~ScopedPixelKernels() { UsePixelKernels(*m_pBefore); }
    ScopedPixelKernels(const ScopedPixelKernels&) = delete;
    ScopedPixelKernels& operator=(const ScopedPixelKernels&) = delete;

private:
    const PixelKernels* m_pBefore;
};
