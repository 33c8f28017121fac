// Built-in item service: the bytes of an item carried inside the program (height map, song, digits),
// found by name as an RCDATA resource would be.
#pragma once

#include "platform/PlatformTypes.h"

#include <cstdint>

enum BuiltinStatus {
    BUILTIN_FOUND = 0,
    BUILTIN_NOT_FOUND,   // no item of that name
    BUILTIN_LOAD_FAILED, // the item exists but could not be brought into memory
    BUILTIN_LOCK_FAILED, // the item is in memory but yields no address
};

// Called by the loaders on the main thread. Names compare without regard to ASCII case, as resource
// names do. On BUILTIN_FOUND the bytes stay valid for the life of the process and are never freed.
BuiltinStatus PlatformFindBuiltinItem(ModuleHandle hModule, const char* pszName, const uint8_t** ppData,
                                      uint32_t* pdwSize);
