// The table behind the built-in item service where items are compiled into the program (Linux, and
// the headless layer that shares it). The program registers its compiled items at start-up; tests register
// their own.
#pragma once

#include <cstddef>
#include <cstdint>

struct BuiltinItem {
    const char* pszName;
    const uint8_t* pData;
    uint32_t dwSize;
};

// Called on the main thread before any lookup. Tables registered later are searched first, so a test
// can stand its own item in for a built-in one. Registering the same table again does nothing.
void RegisterBuiltinItems(const BuiltinItem* pItems, size_t nCount);
