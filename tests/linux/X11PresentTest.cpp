// The render thread's puts into X windows, on a virtual X server of the test's own (Xvfb): windows on
// every screen, of depths our pictures fit or not, with or without shared memory, and windows that end
// while pictures go to them.
#include "platform/linux/X11Present.h"

#include "linux/VirtualServer.h"
#include "platform/linux/X11MainConnection.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 48;

class X11PresentTest : public testing::Test {
protected:
    void SetUp() override { X11InstallErrorHandlers(); }
    void TearDown() override { Stop(); }

    // A server of its own, and the test's own connection to it, which makes the windows and reads them
    // back. False when either cannot be had.
    bool Start(const std::vector<std::string>& args) {
        m_pServer = std::make_unique<VirtualServer>(args);
        m_pDisplay = m_pServer->Ready() ? XOpenDisplay(nullptr) : nullptr;
        return m_pDisplay != nullptr;
    }
    // One 24-bit screen, without the extension named (none for "").
    bool StartWithout(const char* pszExtension) {
        std::vector<std::string> args = {"-screen", "0", "320x240x24"};
        if (*pszExtension != '\0') {
            args.insert(args.end(), {"-extension", pszExtension});
        }
        return Start(args);
    }
    // Every connection closed before the server goes (a lost server ends the process).
    void Stop() {
        X11CloseDirect();
        X11CloseMainConnection();
        if (m_pDisplay != nullptr) {
            XCloseDisplay(m_pDisplay);
            m_pDisplay = nullptr;
        }
        m_pServer.reset();
    }

    Window MakeWindow(int nScreen) {
        const Window window = XCreateSimpleWindow(m_pDisplay, RootWindow(m_pDisplay, nScreen), 0, 0, kWidth,
                                                  kHeight, 0, 0, WhitePixel(m_pDisplay, nScreen));
        XMapWindow(m_pDisplay, window);
        XSync(m_pDisplay, False);
        return window;
    }

    // Image nImage, nWidth x nHeight, filled with one colour; false when there is none.
    static bool Fill(uint32_t nImage, int32_t nWidth, int32_t nHeight, uint32_t dwColour) {
        int32_t nPitch = 0;
        uint32_t* pPixels = X11DirectImage(nImage, nWidth, nHeight, &nPitch);
        if (pPixels == nullptr) {
            return false;
        }
        for (int y = 0; y < nHeight; ++y) {
            for (int x = 0; x < nWidth; ++x) {
                pPixels[y * (nPitch / 4) + x] = dwColour;
            }
        }
        return true;
    }

    // Puts a picture of one colour through the render thread's way; its result.
    static X11PutResult Put(Window window, uint32_t dwColour) {
        if (!Fill(0, kWidth, kHeight, dwColour)) {
            return X11_PUT_NOTHING;
        }
        const X11Put put{0, 0, 0};
        return X11DirectShow(window, true, kWidth, kHeight, &put, 1);
    }

    // What the window shows at (x, y), by default its middle, as 0xRRGGBB.
    uint32_t Shown(Window window, int x = kWidth / 2, int y = kHeight / 2) {
        XSync(m_pDisplay, False);
        XImage* pImage = XGetImage(m_pDisplay, window, x, y, 1, 1, AllPlanes, ZPixmap);
        if (pImage == nullptr) {
            return 0xFFFFFFFF;
        }
        const uint32_t dwPixel = static_cast<uint32_t>(XGetPixel(pImage, 0, 0)) & 0xFFFFFF;
        XDestroyImage(pImage);
        return dwPixel;
    }

    // The same, once it is dwExpected or two seconds have passed: the puts go on the render thread's own
    // connection, and a put that waits for nothing (plain XPutImage after the first) may still be on its
    // way when our connection asks.
    uint32_t ShownOnceSent(Window window, int x, int y, uint32_t dwExpected) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        uint32_t dwShown = Shown(window, x, y);
        while (dwShown != dwExpected && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            dwShown = Shown(window, x, y);
        }
        return dwShown;
    }

    std::unique_ptr<VirtualServer> m_pServer;
    Display* m_pDisplay = nullptr;
};

TEST_F(X11PresentTest, PicturesReachWindowsOnEveryScreenOfOurDepthAndNoneOfAnother) {
    ASSERT_TRUE(
        Start({"-screen", "0", "320x240x24", "-screen", "1", "320x240x24", "-screen", "2", "320x240x16"}));
    const Window first = MakeWindow(0);
    const Window second = MakeWindow(1);
    ASSERT_TRUE(X11DirectUsable(first));
    EXPECT_EQ(Put(first, 0x123456), X11_PUT_DONE);
    EXPECT_TRUE(X11DirectShares()); // Xvfb shares memory with a local client
    EXPECT_EQ(Shown(first), 0x123456u);
    // A window on another screen than the connection's default one takes the pictures as well.
    ASSERT_TRUE(X11DirectUsable(second));
    EXPECT_EQ(Put(second, 0x00FF80), X11_PUT_DONE);
    EXPECT_EQ(Shown(second), 0x00FF80u);
    // 16-bit pixels are not what our scaler writes: another way must show them.
    EXPECT_FALSE(X11DirectUsable(MakeWindow(2)));
    // And back to the first window: its own graphics context again.
    ASSERT_TRUE(X11DirectUsable(first));
    EXPECT_EQ(Put(first, 0xABCDEF), X11_PUT_DONE);
    EXPECT_EQ(Shown(first), 0xABCDEFu);
}

TEST_F(X11PresentTest, WithoutSharedMemoryThePicturesArePutPlainly) {
    ASSERT_TRUE(StartWithout("MIT-SHM"));
    const Window window = MakeWindow(0);
    ASSERT_TRUE(X11DirectUsable(window));
    EXPECT_EQ(Put(window, 0x345678), X11_PUT_DONE);
    EXPECT_FALSE(X11DirectShares());
    EXPECT_EQ(Shown(window), 0x345678u);
}

// A window over monitors of two sizes: two images, one of them put twice, frame after frame (each image
// written again only once the server has read it), with shared memory and without.
TEST_F(X11PresentTest, ImagesOfSeveralSizesArePutIntoSeveralPlaces) {
    for (const char* pszShm : {"", "MIT-SHM"}) {
        ASSERT_TRUE(StartWithout(pszShm));
        const Window window = MakeWindow(0);
        ASSERT_TRUE(X11DirectUsable(window));
        const X11Put puts[] = {{0, 0, 0}, {1, 0, 32}, {0, 32, 0}};
        for (uint32_t dwFrame = 1; dwFrame <= 3; ++dwFrame) {
            ASSERT_TRUE(Fill(0, 16, 16, 0x100000 * dwFrame));
            ASSERT_TRUE(Fill(1, 8, 8, 0x000010 * dwFrame));
            ASSERT_EQ(X11DirectShow(window, dwFrame == 1, kWidth, kHeight, puts, 3), X11_PUT_DONE);
            const uint32_t dwLarge = 0x100000 * dwFrame;
            const uint32_t dwSmall = 0x000010 * dwFrame;
            EXPECT_EQ(ShownOnceSent(window, 15, 15, dwLarge), dwLarge) << pszShm << " frame " << dwFrame;
            EXPECT_EQ(ShownOnceSent(window, 40, 8, dwLarge), dwLarge) << pszShm << " frame " << dwFrame;
            EXPECT_EQ(ShownOnceSent(window, 7, 39, dwSmall), dwSmall) << pszShm << " frame " << dwFrame;
            EXPECT_EQ(Shown(window, 20, 20), 0u) << "between the pictures: black";
        }
        EXPECT_EQ(X11DirectShares(), *pszShm == '\0');
        // A put of an image never made is nothing to show, not a fault.
        const X11Put missing{5, 0, 0};
        EXPECT_EQ(X11DirectShow(window, false, kWidth, kHeight, &missing, 1), X11_PUT_NOTHING);
        Stop();
    }
}

// A window that ends while pictures go to it (a preview's host destroyed by its program) makes the server
// refuse them: said, so that the pictures go another way, and never fatal.
TEST_F(X11PresentTest, AWindowThatEndsWhilePicturesGoToItGetsThemRefused) {
    for (const char* pszShm : {"", "MIT-SHM"}) {
        ASSERT_TRUE(StartWithout(pszShm));
        const Window window = MakeWindow(0);
        ASSERT_TRUE(X11DirectUsable(window));
        ASSERT_EQ(Put(window, 0x102030), X11_PUT_DONE);
        XDestroyWindow(m_pDisplay, window);
        XSync(m_pDisplay, False);
        // The server's answer comes at one of the next puts; a bounded number of them.
        X11PutResult result = X11_PUT_DONE;
        for (int i = 0; i < 2000 && result == X11_PUT_DONE; ++i) {
            result = Put(window, 0x102030);
            usleep(1000);
        }
        EXPECT_EQ(result, X11_PUT_REFUSED) << (*pszShm != '\0' ? "plain puts" : "shared memory");
        Stop();
    }
}

} // namespace
