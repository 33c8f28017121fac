// The single-instance lock on Linux: a lock file per user, per display ($DISPLAY without its screen, or
// $WAYLAND_DISPLAY) and per window class and title, in $XDG_RUNTIME_DIR (or a private
// /tmp/lumivorra-<uid> folder made with mode 0700), held with an open file description lock by
// every instance whose window the Windows test would find, a top-level one (full screen, or a plain
// window), for as long as its window exists; previews and the settings dialog hold none. The kernel drops
// the lock when the process ends, however it ends, so a crashed instance never blocks the next one.
//
// Main thread. Nothing throws; when the folder or file cannot be made the lock is simply not held.
#pragma once

#include <string>

// The lock file of a class and title pair on this display (joined into a safe file name).
std::string InstanceLockPath(const char* pszClassName, const char* pszTitle);
// Takes the lock; returns its file descriptor, or -1 when it cannot be taken (and then, when given,
// *pbHeldElsewhere tells whether another holder is the reason).
int AcquireInstanceLock(const char* pszClassName, const char* pszTitle, bool* pbHeldElsewhere = nullptr);
// Gives a lock from AcquireInstanceLock back; -1 is ignored.
void ReleaseInstanceLock(int nFd);
// True when some process (this one included) holds the lock. Only looks: it takes nothing, even for an
// instant.
bool IsInstanceLockHeld(const char* pszClassName, const char* pszTitle);

// Called by main before a full-screen run: from then on the single-instance test takes the lock itself
// when it is free and keeps it for the window, so that of two runs started together only one finds it
// free (a test that only looked would let both through before either had its window).
void ClaimInstanceLockAtTest();
// For a new top-level window: the lock the test took, or else the lock taken now if it is free; -1 when
// the window holds none.
int TakeInstanceLock(const char* pszClassName, const char* pszTitle);
