// SInput: the bytes a loader reads, from a named file or from a built-in item of the program.
//
// The BMP loader (imaging/SImage) and the MIDI file loader use it on the main thread. A file is read
// whole into a block from MemAlloc that SInput owns; a built-in item is used in place and never freed.
// Load throws SString with the system's messages:
//   "Could not open %s.\n"                    the file cannot be opened
//   "Could not read %s correctly.\n"          the read fails or is short (or the file is over 4 GiB)
//   "Could not find %s among the resources.\n" no built-in item of that name
//   "Could not load the resource into memory.\n" / "Could not lock the resource.\n"
// An unknown load type is the caller's to reject first, since each loader words that message its own way.
#pragma once

#include "platform/PlatformTypes.h"

#include <cstdint>

// Where a loader's name points: the dwLoadType of the BMP and MIDI loaders.
enum LoadType : int32_t {
    LOAD_FILE = 1,     // a file path
    LOAD_RESOURCE = 2, // the name of a built-in item of the module
};

class SInput {
public:
    SInput();
    SInput(const SInput&) = delete;
    SInput& operator=(const SInput&) = delete;
    ~SInput();

    // dwLoadType must be LOAD_FILE or LOAD_RESOURCE; hModule is used with LOAD_RESOURCE only.
    void Load(const char* pszName, int32_t dwLoadType, ModuleHandle hModule);
    // Frees the file block, if any; safe to call again.
    void Release();

    const uint8_t* m_pData; // the bytes; null before Load
    uint32_t m_dwSize;      // their count
    uint8_t* m_pBuffer;     // the owned file block; null for a built-in item
};
