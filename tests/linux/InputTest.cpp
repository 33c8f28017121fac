#include "platform/Window.h"
#include "platform/linux/InstanceLock.h"
#include "platform/linux/KeyMap.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <unistd.h>

TEST(LinuxKeys, KeysBecomeWindowsVirtualKeyCodes) {
    EXPECT_EQ(VirtualKeyOf(SDLK_ESCAPE), VKEY_ESCAPE);
    EXPECT_EQ(VirtualKeyOf(SDLK_a), 0x41u);
    EXPECT_EQ(VirtualKeyOf(SDLK_z), 0x5Au);
    EXPECT_EQ(VirtualKeyOf(SDLK_0), 0x30u);
    EXPECT_EQ(VirtualKeyOf(SDLK_F1), 0x70u);
    EXPECT_EQ(VirtualKeyOf(SDLK_F12), 0x7Bu);
    EXPECT_EQ(VirtualKeyOf(SDLK_RETURN), 0x0Du);
    EXPECT_EQ(VirtualKeyOf(SDLK_LEFT), 0x25u);
    EXPECT_EQ(VirtualKeyOf(SDLK_RSHIFT), 0x10u);
    EXPECT_EQ(VirtualKeyOf(SDLK_KP_5), 0x65u);
    // A key without a code still counts as a key.
    EXPECT_EQ(VirtualKeyOf(SDLK_AUDIONEXT), 0xFFu);
}

TEST(LinuxKeys, AltAndF10AreSystemKeys) {
    EXPECT_EQ(KeyMessageOf(SDLK_LALT, KMOD_LALT), WMSG_SYSKEYDOWN);
    EXPECT_EQ(KeyMessageOf(SDLK_RALT, KMOD_NONE), WMSG_SYSKEYDOWN);
    EXPECT_EQ(KeyMessageOf(SDLK_x, KMOD_RALT), WMSG_SYSKEYDOWN);
    EXPECT_EQ(KeyMessageOf(SDLK_F10, KMOD_NONE), WMSG_SYSKEYDOWN);
    EXPECT_EQ(KeyMessageOf(SDLK_F9, KMOD_NONE), WMSG_KEYDOWN);
    EXPECT_EQ(KeyMessageOf(SDLK_x, KMOD_LCTRL | KMOD_LSHIFT), WMSG_KEYDOWN);
    EXPECT_EQ(KeyMessageOf(SDLK_ESCAPE, KMOD_NONE), WMSG_KEYDOWN);
}

namespace {

SDL_Event Motion(uint32_t uWindowId, int32_t nX, int32_t nY) {
    SDL_Event event{};
    event.motion.type = SDL_MOUSEMOTION;
    event.motion.windowID = uWindowId;
    event.motion.x = nX;
    event.motion.y = nY;
    return event;
}

} // namespace

TEST(LinuxPointer, MovesBecomeMessagesButAReturnWithoutMovingDoesNot) {
    // Window ids no other test uses: the translation remembers the last move of the process.
    WindowMsg msg{};
    ASSERT_TRUE(InputMessageOf(Motion(901, 50, 200), &msg));
    EXPECT_EQ(msg.hWnd, 901u);
    EXPECT_EQ(msg.uMsg, WMSG_MOUSEMOVE);
    EXPECT_EQ(msg.lParam, 50 | (200 << 16));
    // Taken out and put back where it was by the compositor: no move.
    EXPECT_FALSE(InputMessageOf(Motion(901, 50, 200), &msg));
    EXPECT_TRUE(InputMessageOf(Motion(901, 55, 200), &msg));
    EXPECT_FALSE(InputMessageOf(Motion(901, 55, 200), &msg));
    EXPECT_TRUE(InputMessageOf(Motion(901, 50, 200), &msg));
    // The same point in another window is a move there.
    EXPECT_TRUE(InputMessageOf(Motion(902, 50, 200), &msg));
    EXPECT_EQ(msg.hWnd, 902u);
    EXPECT_TRUE(InputMessageOf(Motion(901, 50, 200), &msg));
}

TEST(LinuxInstanceLock, HeldOnlyWhileTheInstanceHoldsIt) {
    char szFolder[] = "/tmp/lumivorra-lock-XXXXXX";
    ASSERT_NE(mkdtemp(szFolder), nullptr);
    setenv("XDG_RUNTIME_DIR", szFolder, 1);

    EXPECT_FALSE(IsInstanceLockHeld("Lumivorra", "Lumivorra"));
    const int nFd = AcquireInstanceLock("Lumivorra", "Lumivorra");
    ASSERT_GE(nFd, 0);
    EXPECT_TRUE(IsInstanceLockHeld("Lumivorra", "Lumivorra"));
    EXPECT_FALSE(IsInstanceLockHeld("Lumivorra", "Other"));
    EXPECT_EQ(AcquireInstanceLock("Lumivorra", "Lumivorra"), -1);
    ReleaseInstanceLock(nFd);
    EXPECT_FALSE(IsInstanceLockHeld("Lumivorra", "Lumivorra"));

    // A title cannot lead the lock file out of its folder, nor can the display's name.
    unsetenv("DISPLAY");
    EXPECT_EQ(InstanceLockPath("../x", "a/b"), std::string(szFolder) + "/lumivorra-___x-a_b.lock");
    setenv("DISPLAY", "../h:1.0", 1);
    EXPECT_EQ(InstanceLockPath("../x", "a/b"), std::string(szFolder) + "/lumivorra-___x-a_b-___h_1.lock");

    for (const char* pszName : {"lumivorra-Lumivorra-Lumivorra.lock", "lumivorra-Lumivorra-Lumivorra-_1.lock",
                                "lumivorra-Lumivorra-Lumivorra-_2.lock"}) {
        unlink((std::string(szFolder) + "/" + pszName).c_str());
    }
    rmdir(szFolder);
    unsetenv("XDG_RUNTIME_DIR");
}

TEST(LinuxInstanceLock, EachDisplayHasItsOwnAndScreensOfOneDisplayShareIt) {
    char szFolder[] = "/tmp/lumivorra-lock-XXXXXX";
    ASSERT_NE(mkdtemp(szFolder), nullptr);
    setenv("XDG_RUNTIME_DIR", szFolder, 1);
    setenv("DISPLAY", ":1", 1);
    const int nFd = AcquireInstanceLock("Lumivorra", "Lumivorra");
    ASSERT_GE(nFd, 0);
    EXPECT_TRUE(IsInstanceLockHeld("Lumivorra", "Lumivorra"));
    setenv("DISPLAY", ":2", 1);
    EXPECT_FALSE(IsInstanceLockHeld("Lumivorra", "Lumivorra")); // a full screen on :1 hides nothing on :2
    for (const char* pszSame : {":1.0", ":1.1", "unix:1"}) {
        setenv("DISPLAY", pszSame, 1);
        EXPECT_TRUE(IsInstanceLockHeld("Lumivorra", "Lumivorra")) << pszSame;
    }
    ReleaseInstanceLock(nFd);
    for (const char* pszName :
         {"lumivorra-Lumivorra-Lumivorra-_1.lock", "lumivorra-Lumivorra-Lumivorra-_2.lock"}) {
        unlink((std::string(szFolder) + "/" + pszName).c_str());
    }
    rmdir(szFolder);
    unsetenv("XDG_RUNTIME_DIR");
    unsetenv("DISPLAY");
}

TEST(LinuxInstanceLock, ALookNeverMakesTheLockLookTaken) {
    // A /c or /p start only looks; a /s starting at that moment must still get the lock.
    char szFolder[] = "/tmp/lumivorra-lock-XXXXXX";
    ASSERT_NE(mkdtemp(szFolder), nullptr);
    setenv("XDG_RUNTIME_DIR", szFolder, 1);
    unsetenv("DISPLAY");
    ReleaseInstanceLock(AcquireInstanceLock("Lumivorra", "Lumivorra")); // the file exists
    std::atomic<bool> bDone{false};
    std::thread looker([&] {
        while (!bDone.load()) {
            EXPECT_FALSE(IsInstanceLockHeld("Lumivorra", "Other"));
            IsInstanceLockHeld("Lumivorra", "Lumivorra");
        }
    });
    int nRefused = 0;
    for (int i = 0; i < 20000; ++i) {
        bool bHeldElsewhere = false;
        const int nFd = AcquireInstanceLock("Lumivorra", "Lumivorra", &bHeldElsewhere);
        nRefused += nFd < 0 ? 1 : 0;
        ReleaseInstanceLock(nFd);
    }
    bDone.store(true);
    looker.join();
    EXPECT_EQ(nRefused, 0);
    unlink((std::string(szFolder) + "/lumivorra-Lumivorra-Lumivorra.lock").c_str());
    rmdir(szFolder);
    unsetenv("XDG_RUNTIME_DIR");
}
