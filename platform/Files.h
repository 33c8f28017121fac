// File service: reading a whole named file, in the steps the loaders take (open, size, one read, close).
#pragma once

#include <cstdint>

// An open file, held by value by its reader: a descriptor on Linux, a HANDLE on Windows.
struct PlatformFile {
    intptr_t hNative;
};

// Called by the loaders on the main thread; opens an existing regular file for reading without waiting.
// False when it cannot, and for what is not a regular file (a folder, a FIFO or pipe, a device).
bool PlatformFileOpen(const char* pszPath, PlatformFile* pFile);
// The file's size in bytes; false when it cannot be told.
bool PlatformFileSize(const PlatformFile& file, uint64_t* pqwSize);
// Reads up to dwSize bytes from the current position, repeating short reads until the end of the file;
// stores the count read. False when the read fails.
bool PlatformFileRead(const PlatformFile& file, void* pBuffer, uint32_t dwSize, uint32_t* pdwRead);
// Closes a file that PlatformFileOpen opened.
void PlatformFileClose(const PlatformFile& file);
