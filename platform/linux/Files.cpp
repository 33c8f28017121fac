#include "platform/Files.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
int Descriptor(const PlatformFile& file) {
    return static_cast<int>(file.hNative);
}
} // namespace

bool PlatformFileOpen(const char* pszPath, PlatformFile* pFile) {
    // Without O_NONBLOCK the open of a FIFO waits for a writer for ever; what is not a regular file (a
    // FIFO, a device, a folder) holds no picture or song, and a read of it might never end. O_NOCTTY: a
    // terminal named as a file must not become the controlling terminal before it is refused.
    const int fd = ::open(pszPath, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    pFile->hNative = fd;
    return true;
}

bool PlatformFileSize(const PlatformFile& file, uint64_t* pqwSize) {
    struct stat st {};
    if (::fstat(Descriptor(file), &st) != 0 || st.st_size < 0) {
        return false;
    }
    *pqwSize = static_cast<uint64_t>(st.st_size);
    return true;
}

bool PlatformFileRead(const PlatformFile& file, void* pBuffer, uint32_t dwSize, uint32_t* pdwRead) {
    auto* pBytes = static_cast<unsigned char*>(pBuffer);
    uint32_t dwDone = 0;
    while (dwDone < dwSize) {
        const ssize_t n = ::read(Descriptor(file), pBytes + dwDone, dwSize - dwDone);
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

void PlatformFileClose(const PlatformFile& file) {
    ::close(Descriptor(file));
}
