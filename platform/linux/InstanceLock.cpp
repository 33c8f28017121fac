#include "platform/linux/InstanceLock.h"

#include "platform/Window.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
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

// The X display the windows go to, without its screen (":1.0" and ":1" are one display, as are "unix:1"
// and ":1"); Wayland's when there is no X display; empty when neither is named.
std::string DisplayName() {
    const char* pszDisplay = std::getenv("DISPLAY");
    if (pszDisplay == nullptr || pszDisplay[0] == '\0') {
        pszDisplay = std::getenv("WAYLAND_DISPLAY");
        return pszDisplay != nullptr ? pszDisplay : "";
    }
    std::string name(pszDisplay);
    const size_t nColon = name.rfind(':');
    if (nColon != std::string::npos) {
        const size_t nDot = name.find('.', nColon);
        if (nDot != std::string::npos) {
            name.erase(nDot);
        }
        if (name.compare(0, nColon, "unix") == 0) {
            name.erase(0, nColon);
        }
    }
    return name;
}

// An open file description's lock (not flock): a look can ask whether it could be taken without taking
// anything, so a look never makes a start that takes it believe another instance holds it.
struct flock WholeFile(short nType) {
    struct flock lock {};
    lock.l_type = nType;
    lock.l_whence = SEEK_SET;
    return lock;
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
    // A window on one display hides nothing on another: each display has its own lock.
    const std::string display = DisplayName();
    if (!display.empty()) {
        path += '-';
        AppendSafe(path, display.c_str());
    }
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
    struct flock lock = WholeFile(F_WRLCK);
    if (fcntl(nFd, F_OFD_SETLK, &lock) != 0) {
        if (pbHeldElsewhere != nullptr) {
            *pbHeldElsewhere = errno == EAGAIN || errno == EACCES;
        }
        close(nFd);
        return -1;
    }
    return nFd;
}

void ReleaseInstanceLock(int nFd) {
    if (nFd >= 0) {
        close(nFd); // closing the only descriptor of its open file drops the lock
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
    // Asks without taking: the answer is the holder's lock, or unlocked when it could be taken.
    struct flock lock = WholeFile(F_WRLCK);
    const bool bHeld = fcntl(nFd, F_OFD_GETLK, &lock) == 0 && lock.l_type != F_UNLCK;
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
