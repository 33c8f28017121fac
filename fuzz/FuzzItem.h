// The fuzzer's input as a built-in item, so that the loaders read it exactly as they read the program's
// own items: held in a block of exactly its size, so that AddressSanitizer sees any read past its end.
#pragma once

#include <cstddef>
#include <cstdint>

// The item's name for LOAD_RESOURCE.
inline constexpr const char* kFuzzItem = "FUZZ_ITEM";

// Makes kFuzzItem name a copy of the bytes until the next call.
void SetFuzzItem(const uint8_t* pData, size_t nSize);
