// The hand-over of pictures from the render thread to the main thread, without SDL: the main thread's
// part is played by the test's own thread, the window's by a flag under the host's lock.
#include "platform/linux/Present.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

namespace {

std::mutex g_hostMutex;
PresentHandover g_handover(g_hostMutex);
bool g_bWindowLive = true;              // under g_hostMutex, as the host's window list is
std::atomic<bool> g_bWindowShown{true}; // what showing the picture in the window gives
std::vector<int32_t> g_shown;           // main thread only
std::atomic<int> g_nWakes{0};

bool Accepts(WindowHandle) {
    return g_bWindowLive;
}

void Wake() {
    g_nWakes.fetch_add(1);
}

bool Show(const PresentRequest& request) {
    g_shown.push_back(request.src.left);
    return g_bWindowShown.load();
}

PresentRequest Picture(int32_t nNumber) {
    PresentRequest request{};
    request.hWnd = 1;
    request.src.left = nNumber; // which picture it is
    return request;
}

class PresentHandoverTest : public testing::Test {
protected:
    void SetUp() override {
        std::lock_guard<std::mutex> lock(g_hostMutex);
        g_bWindowLive = true;
        g_bWindowShown.store(true);
        g_shown.clear();
        g_nWakes.store(0);
    }

    static void Close() {
        std::lock_guard<std::mutex> lock(g_hostMutex);
        g_bWindowLive = false;
    }
};

TEST_F(PresentHandoverTest, EveryPictureIsShownOnceAndInOrderWhileTheMainThreadServes) {
    constexpr int32_t kPictures = 300;
    std::atomic<bool> bDone{false};
    std::vector<bool> results;
    std::thread render([&] {
        for (int32_t i = 0; i < kPictures; ++i) {
            results.push_back(g_handover.Hand(Picture(i), Accepts, Wake));
        }
        bDone.store(true);
    });
    while (!bDone.load()) {
        g_handover.ServeFor(5, Show);
    }
    render.join();
    ASSERT_EQ(results.size(), static_cast<size_t>(kPictures));
    for (bool bShown : results) {
        EXPECT_TRUE(bShown);
    }
    ASSERT_EQ(g_shown.size(), static_cast<size_t>(kPictures));
    for (int32_t i = 0; i < kPictures; ++i) {
        EXPECT_EQ(g_shown[static_cast<size_t>(i)], i);
    }
    EXPECT_EQ(g_nWakes.load(), kPictures);
}

TEST_F(PresentHandoverTest, AClosedWindowTakesNoPictureAndOneCaughtClosingIsNotShown) {
    // Served one at a time, so that the close falls between two pictures.
    std::atomic<int> nHanded{0};
    std::atomic<bool> bRefused{false};
    std::vector<bool> results;
    std::thread render([&] {
        for (int32_t i = 0; !bRefused.load(); ++i) {
            const bool bShown = g_handover.Hand(Picture(i), Accepts, Wake);
            results.push_back(bShown);
            nHanded.fetch_add(1);
            if (!bShown) {
                bRefused.store(true);
            }
        }
    });
    while (g_shown.size() < 10) {
        g_handover.Serve(Show);
    }
    // The window goes while its next picture may already wait: showing it now fails, as drawing into a
    // window being destroyed does.
    Close();
    g_bWindowShown.store(false);
    while (!bRefused.load()) {
        g_handover.Serve(Show);
    }
    render.join();
    const size_t nShownBefore = g_shown.size();
    ASSERT_FALSE(results.empty());
    EXPECT_FALSE(results.back());
    for (size_t i = 0; i + 1 < results.size(); ++i) {
        EXPECT_TRUE(results[i]) << i;
    }
    // Nothing is handed over after the close, and nothing waits to be served.
    EXPECT_FALSE(g_handover.Hand(Picture(1000), Accepts, Wake));
    g_handover.ServeFor(10, Show);
    EXPECT_EQ(g_shown.size(), nShownBefore);
    std::lock_guard<std::mutex> lock(g_hostMutex);
    EXPECT_FALSE(g_handover.IsPendingLocked());
}

TEST_F(PresentHandoverTest, APictureNotTakenWithinASecondIsTakenBackAndTheNextOneIsShown) {
    const auto start = std::chrono::steady_clock::now();
    bool bShown = true;
    std::thread render([&] { bShown = g_handover.Hand(Picture(1), Accepts, Wake); });
    render.join(); // no one serves
    EXPECT_FALSE(bShown);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    {
        std::lock_guard<std::mutex> lock(g_hostMutex);
        EXPECT_FALSE(g_handover.IsPendingLocked());
    }
    // The picture taken back is never shown later; the next one is.
    g_handover.Serve(Show);
    EXPECT_TRUE(g_shown.empty());
    std::thread next([&] { bShown = g_handover.Hand(Picture(2), Accepts, Wake); });
    while (g_shown.empty()) {
        g_handover.ServeFor(5, Show);
    }
    next.join();
    EXPECT_TRUE(bShown);
    EXPECT_EQ(g_shown, std::vector<int32_t>{2});
}

} // namespace
