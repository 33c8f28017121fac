#include "platform/linux/InstanceLock.h"

#include "platform/Window.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Main thread only.
bool g_bClaimAtTest = false;
int g_nTestLockFd = -1; // taken by the test, not yet handed to a window

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

int AcquireInstanceLock(const char* pszClassName, const char* pszTitle, bool* pbHeldElsewhere) {
    if (pbHeldElsewhere != nullptr) {
        *pbHeldElsewhere = false;
    }
    const std::string path = InstanceLockPath(pszClassName, pszTitle);
    if (path.empty()) {
        return -1;
    }
    const int nFd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (nFd < 0) {
        return -1;
    }
    if (flock(nFd, LOCK_EX | LOCK_NB) != 0) {
        if (pbHeldElsewhere != nullptr) {
            *pbHeldElsewhere = errno == EWOULDBLOCK;
        }
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

void ClaimInstanceLockAtTest() {
    g_bClaimAtTest = true;
}

// The single-instance test: another process of the user holds the lock (see ClaimInstanceLockAtTest).
bool PlatformFindWindow(const char* pszClassName, const char* pszTitle) {
    if (!g_bClaimAtTest) {
        return IsInstanceLockHeld(pszClassName, pszTitle);
    }
    if (g_nTestLockFd >= 0) {
        return false;
    }
    // Taking it is the test: no other start can slip in between a look and the window's lock. A lock that
    // cannot be made at all (no safe folder) finds nothing, as the look would.
    bool bHeldElsewhere = false;
    g_nTestLockFd = AcquireInstanceLock(pszClassName, pszTitle, &bHeldElsewhere);
    return bHeldElsewhere;
}

int TakeInstanceLock(const char* pszClassName, const char* pszTitle) {
    if (g_nTestLockFd >= 0) {
        const int nFd = g_nTestLockFd;
        g_nTestLockFd = -1;
        return nFd;
    }
    return AcquireInstanceLock(pszClassName, pszTitle);
}
