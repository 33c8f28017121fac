#include "platform/Files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct PlatformFile {
    int fd;
};

PlatformFile* PlatformFileOpen(const char* pszPath) {
    const int fd = ::open(pszPath, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    // The handle is tiny and short-lived; plain new is fine here, outside the program's own heap.
    return new PlatformFile{fd};
}

bool PlatformFileSize(PlatformFile* pFile, uint64_t* pqwSize) {
    struct stat st {};
    if (::fstat(pFile->fd, &st) != 0 || st.st_size < 0) {
        return false;
    }
    *pqwSize = static_cast<uint64_t>(st.st_size);
    return true;
}

bool PlatformFileRead(PlatformFile* pFile, void* pBuffer, uint32_t dwSize, uint32_t* pdwRead) {
    auto* pBytes = static_cast<unsigned char*>(pBuffer);
    uint32_t dwDone = 0;
    while (dwDone < dwSize) {
        const ssize_t n = ::read(pFile->fd, pBytes + dwDone, dwSize - dwDone);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            *pdwRead = dwDone;
            return false;
        }
        if (n == 0) {
            break;
        }
        dwDone += static_cast<uint32_t>(n);
    }
    *pdwRead = dwDone;
    return true;
}

void PlatformFileClose(PlatformFile* pFile) {
    if (pFile == nullptr) {
        return;
    }
    ::close(pFile->fd);
    delete pFile;
}
