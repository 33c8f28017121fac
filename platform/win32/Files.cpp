#include "platform/Files.h"

#include <windows.h>

namespace {
HANDLE Native(const PlatformFile& file) {
    return reinterpret_cast<HANDLE>(file.hNative);
}
} // namespace

bool PlatformFileOpen(const char* pszPath, PlatformFile* pFile) {
    // No sharing: nobody may change the file while it is read.
    const HANDLE hFile =
        CreateFileA(pszPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (hFile == INVALID_HANDLE_VALUE) {
        return false;
    }
    // A pipe, a console or another device opens too, but holds no picture or song and its read might
    // never end: only a file on disk is read.
    if (GetFileType(hFile) != FILE_TYPE_DISK) {
        CloseHandle(hFile);
        return false;
    }
    pFile->hNative = reinterpret_cast<intptr_t>(hFile);
    return true;
}

bool PlatformFileSize(const PlatformFile& file, uint64_t* pqwSize) {
    DWORD dwHigh = 0;
    const DWORD dwLow = GetFileSize(Native(file), &dwHigh);
    if (dwLow == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        return false;
    }
    *pqwSize = (static_cast<uint64_t>(dwHigh) << 32) | dwLow;
    return true;
}

bool PlatformFileRead(const PlatformFile& file, void* pBuffer, uint32_t dwSize, uint32_t* pdwRead) {
    uint32_t dwTotal = 0;
    while (dwTotal < dwSize) {
        DWORD dwRead = 0;
        if (!ReadFile(Native(file), static_cast<char*>(pBuffer) + dwTotal, dwSize - dwTotal, &dwRead,
                      nullptr)) {
            *pdwRead = dwTotal;
            return false;
        }
        if (dwRead == 0) {
            break;
        }
        dwTotal += dwRead;
    }
    *pdwRead = dwTotal;
    return true;
}

void PlatformFileClose(const PlatformFile& file) {
    CloseHandle(Native(file));
}
