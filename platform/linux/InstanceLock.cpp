#include "platform/linux/InstanceLock.h"

#include "platform/Window.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Letters and digits pass; everything else becomes '_', so that no title can leave the folder.
void AppendSafe(std::string& path, const char* pszText) {
    for (; *pszText != '\0'; ++pszText) {
        const char c = *pszText;
        const bool bPlain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        path += bPlain ? c : '_';
    }
}

std::string LockFolder() {
    const char* pszRuntime = std::getenv("XDG_RUNTIME_DIR");
    if (pszRuntime != nullptr && pszRuntime[0] == '/') {
        return pszRuntime;
    }
    std::string folder = "/tmp/lumivorra-" + std::to_string(getuid());
    mkdir(folder.c_str(), 0700);
    // Someone else's folder of that name must not be trusted with our lock.
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != getuid()) {
        return std::string();
    }
    return folder;
}

} // namespace

std::string InstanceLockPath(const char* pszClassName, const char* pszTitle) {
    std::string path = LockFolder();
    if (path.empty()) {
        return path;
    }
    path += "/lumivorra-";
    AppendSafe(path, pszClassName);
    path += '-';
    AppendSafe(path, pszTitle);
    path += ".lock";
    return path;
}

int AcquireInstanceLock(const char* pszClassName, const char* pszTitle) {
    const std::string path = InstanceLockPath(pszClassName, pszTitle);
    if (path.empty()) {
        return -1;
    }
    const int nFd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (nFd < 0) {
        return -1;
    }
    if (flock(nFd, LOCK_EX | LOCK_NB) != 0) {
        close(nFd);
        return -1;
    }
    return nFd;
}

void ReleaseInstanceLock(int nFd) {
    if (nFd >= 0) {
        close(nFd); // closing the only descriptor drops the flock
    }
}

bool IsInstanceLockHeld(const char* pszClassName, const char* pszTitle) {
    const std::string path = InstanceLockPath(pszClassName, pszTitle);
    if (path.empty()) {
        return false;
    }
    const int nFd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (nFd < 0) {
        return false; // nobody ever made it
    }
    // A shared lock is refused exactly while an instance holds the exclusive one.
    const bool bHeld = flock(nFd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    close(nFd);
    return bHeld;
}

// The single-instance test: a full-screen instance of the user holds the lock.
bool PlatformFindWindow(const char* pszClassName, const char* pszTitle) {
    return IsInstanceLockHeld(pszClassName, pszTitle);
}
