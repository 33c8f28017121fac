#include "platform/Window.h"
#include "platform/linux/InstanceLock.h"
#include "platform/linux/KeyMap.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
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

    // A title cannot lead the lock file out of its folder.
    const std::string path = InstanceLockPath("../x", "a/b");
    EXPECT_EQ(path, std::string(szFolder) + "/lumivorra-___x-a_b.lock");

    unlink((std::string(szFolder) + "/lumivorra-Lumivorra-Lumivorra.lock").c_str());
    rmdir(szFolder);
    unsetenv("XDG_RUNTIME_DIR");
}
