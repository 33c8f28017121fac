// File service: reading a whole named file, in the steps the loaders take (open, size, one read, close).
#pragma once

#include <cstdint>

struct PlatformFile;

// Called by the loaders on the main thread; opens an existing file for reading, or returns null.
PlatformFile* PlatformFileOpen(const char* pszPath);
// The file's size in bytes; false when it cannot be told.
bool PlatformFileSize(PlatformFile* pFile, uint64_t* pqwSize);
// Reads up to dwSize bytes from the current position, repeating short reads until the end of the file;
// stores the count read. False when the read fails.
bool PlatformFileRead(PlatformFile* pFile, void* pBuffer, uint32_t dwSize, uint32_t* pdwRead);
// Closes a file from PlatformFileOpen; null is ignored.
void PlatformFileClose(PlatformFile* pFile);
