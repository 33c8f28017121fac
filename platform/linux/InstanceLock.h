// The single-instance lock on Linux: a lock file per user and per window class and title, in
// $XDG_RUNTIME_DIR (or a private /tmp/lumivorra-<uid> folder made with mode 0700), held with flock by the
// full-screen instance for as long as its window exists. The kernel drops the lock when the process
// ends, however it ends, so a crashed instance never blocks the next one.
//
// Main thread. Nothing throws; when the folder or file cannot be made the lock is simply not held.
#pragma once

#include <string>

// The lock file of a class and title pair (the two are joined into a safe file name).
std::string InstanceLockPath(const char* pszClassName, const char* pszTitle);
// Takes the lock; returns its file descriptor, or -1 when it cannot be taken.
int AcquireInstanceLock(const char* pszClassName, const char* pszTitle);
// Gives a lock from AcquireInstanceLock back; -1 is ignored.
void ReleaseInstanceLock(int nFd);
// True when some process (this one included) holds the lock.
bool IsInstanceLockHeld(const char* pszClassName, const char* pszTitle);
