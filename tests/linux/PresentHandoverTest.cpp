// The hand-over of pictures from the render thread to the main thread, without SDL: the main thread's
// part is played by the test's own thread, the window's by a flag under the host's lock.
#include "platform/linux/PresentHandover.h"

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

PresentRequest Picture(int32_t nNumber) {
    PresentRequest request{};
    request.hWnd = 1;
    request.src.left = nNumber; // which picture it is
    return request;
}

// The render thread's part: hands the picture over while its window is live, as PresentPicture does.
bool Hand(int32_t nNumber) {
    std::unique_lock<std::mutex> lock(g_hostMutex);
    return g_bWindowLive && g_handover.Hand(lock, Picture(nNumber));
}

bool Show(const PresentRequest& request) {
    g_shown.push_back(request.src.left);
    return g_bWindowShown.load();
}

// The main thread's part, as ServePresent and ServePresentsFor do.
void Serve() {
    PresentRequest request;
    if (g_handover.Take(&request)) {
        g_handover.Done(Show(request));
    }
}

void ServeFor(int nMilliseconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nMilliseconds);
    PresentRequest request;
    while (g_handover.TakeUntil(deadline, &request)) {
        g_handover.Done(Show(request));
    }
}

class PresentHandoverTest : public testing::Test {
protected:
    void SetUp() override {
        std::lock_guard<std::mutex> lock(g_hostMutex);
        g_bWindowLive = true;
        g_bWindowShown.store(true);
        g_shown.clear();
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
            results.push_back(Hand(i));
        }
        bDone.store(true);
    });
    while (!bDone.load()) {
        ServeFor(5);
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
}

TEST_F(PresentHandoverTest, AClosedWindowTakesNoPictureAndOneCaughtClosingIsNotShown) {
    // Served one at a time, so that the close falls between two pictures.
    std::atomic<bool> bRefused{false};
    std::vector<bool> results;
    std::thread render([&] {
        for (int32_t i = 0; !bRefused.load(); ++i) {
            const bool bShown = Hand(i);
            results.push_back(bShown);
            if (!bShown) {
                bRefused.store(true);
            }
        }
    });
    while (g_shown.size() < 10) {
        Serve();
    }
    // The window goes while its next picture may already wait: showing it now fails, as drawing into a
    // window being destroyed does.
    Close();
    g_bWindowShown.store(false);
    while (!bRefused.load()) {
        Serve();
    }
    render.join();
    const size_t nShownBefore = g_shown.size();
    ASSERT_FALSE(results.empty());
    EXPECT_FALSE(results.back());
    for (size_t i = 0; i + 1 < results.size(); ++i) {
        EXPECT_TRUE(results[i]) << i;
    }
    // Nothing is handed over after the close, and nothing waits to be served.
    EXPECT_FALSE(Hand(1000));
    ServeFor(10);
    EXPECT_EQ(g_shown.size(), nShownBefore);
    std::lock_guard<std::mutex> lock(g_hostMutex);
    EXPECT_FALSE(g_handover.IsPendingLocked());
}

TEST_F(PresentHandoverTest, APictureNotTakenWithinASecondIsTakenBackAndTheNextOneIsShown) {
    bool bShown = true;
    std::thread render([&] { bShown = Hand(1); });
    render.join(); // no one serves
    EXPECT_FALSE(bShown);
    {
        std::lock_guard<std::mutex> lock(g_hostMutex);
        EXPECT_FALSE(g_handover.IsPendingLocked());
    }
    // The picture taken back is never shown later; the next one is.
    Serve();
    EXPECT_TRUE(g_shown.empty());
    std::thread next([&] { bShown = Hand(2); });
    while (g_shown.empty()) {
        ServeFor(5);
    }
    next.join();
    EXPECT_TRUE(bShown);
    EXPECT_EQ(g_shown, std::vector<int32_t>{2});
}

TEST_F(PresentHandoverTest, AShowThatOutlastsTheDeadlineIsWaitedForAsleep) {
    // The main thread takes the picture and is slow to show it, past the hand-over's one-second
    // deadline, which is for a main thread that never comes: the render thread must sleep until the show
    // ends and get its result, not spin on the lock meanwhile.
    std::atomic<bool> bHanded{false};
    bool bShown = false;
    std::thread render([&] {
        bShown = Hand(7);
        bHanded.store(true);
    });
    PresentRequest request;
    while (!g_handover.TakeUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(5), &request)) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_FALSE(bHanded.load()) << "the render thread gave up on a picture being shown";
    g_handover.Done(Show(request));
    render.join();
    EXPECT_TRUE(bShown);
    EXPECT_EQ(g_shown, std::vector<int32_t>{7});
    // One wake-up for the deadline, one for the show's end; a spurious one or two at most.
    EXPECT_LE(g_handover.WakeupsOfLastHand(), 5u);
}

} // namespace
