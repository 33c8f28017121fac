// The monitors a full-screen run spans: the span worked out from the server's list, where the picture
// goes on each, and the list read from a real X server (Xvfb) that describes its monitors by RandR, by
// Xinerama alone, or not at all.
#include "platform/linux/Monitors.h"

#include "linux/VirtualServer.h"

#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

bool Same(const ScaleRect& a, const ScaleRect& b) {
    return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
}

TEST(MonitorsTest, TheSpanHoldsEveryMonitorOnceRelativeToItsCorner) {
    MonitorSpan span{};
    // A smaller monitor left of the primary one and lower down; a mirror of the primary; one of no size.
    ASSERT_TRUE(SpanMonitors(
        {{0, 0, 1920, 1080}, {-1280, 200, 1280, 1024}, {0, 0, 1920, 1080}, {50, 50, 0, 0}}, &span));
    EXPECT_TRUE(Same(span.bounds, {-1280, 0, 3200, 1224}));
    ASSERT_EQ(span.monitors.size(), 2u);
    EXPECT_TRUE(Same(span.monitors[0], {1280, 0, 1920, 1080}));
    EXPECT_TRUE(Same(span.monitors[1], {0, 200, 1280, 1024}));
    // The server's indices: top, bottom, left, right.
    EXPECT_EQ(span.edges[0], 0);
    EXPECT_EQ(span.edges[1], 1);
    EXPECT_EQ(span.edges[2], 1);
    EXPECT_EQ(span.edges[3], 0);

    // Three in a column, the widest in the middle.
    ASSERT_TRUE(SpanMonitors({{0, 0, 800, 600}, {0, 600, 1024, 768}, {0, 1368, 640, 480}}, &span));
    EXPECT_TRUE(Same(span.bounds, {0, 0, 1024, 1848}));
    EXPECT_EQ(span.edges[0], 0);
    EXPECT_EQ(span.edges[1], 2);
    EXPECT_EQ(span.edges[3], 1);
}

TEST(MonitorsTest, OneMonitorOrMirrorsAloneNeedNoSpan) {
    MonitorSpan span{};
    EXPECT_FALSE(SpanMonitors({}, &span));
    EXPECT_FALSE(SpanMonitors({{0, 0, 1920, 1080}}, &span));
    EXPECT_FALSE(SpanMonitors({{0, 0, 1920, 1080}, {0, 0, 1920, 1080}}, &span));
    EXPECT_FALSE(SpanMonitors({{0, 0, 1920, 1080}, {1920, 0, 0, 1080}, {0, 0, -5, 10}}, &span));
}

TEST(MonitorsTest, EachMonitorGetsThePictureLetterboxedAtItsSizeAndEachSizeIsScaledOnce) {
    std::vector<MonitorPicture> pictures;
    // 1280x720 and 800x600 side by side, and a second 1280x720 below the first.
    const uint32_t nImages = PlanMonitorPictures(
        {{0, 0, 1280, 720}, {1280, 0, 800, 600}, {0, 720, 1280, 720}}, 320, 240, &pictures);
    EXPECT_EQ(nImages, 2u);
    ASSERT_EQ(pictures.size(), 3u);
    EXPECT_TRUE(Same(pictures[0].dst, {160, 0, 960, 720}));
    EXPECT_TRUE(Same(pictures[1].dst, {1280, 0, 800, 600})); // 4:3: no bars at all
    EXPECT_TRUE(Same(pictures[2].dst, {160, 720, 960, 720}));
    EXPECT_EQ(pictures[0].nImage, 0u);
    EXPECT_EQ(pictures[1].nImage, 1u);
    EXPECT_EQ(pictures[2].nImage, 0u);

    // A monitor too small for any picture gets none; the plan is made anew, not added to.
    EXPECT_EQ(PlanMonitorPictures({{0, 0, 1, 0}, {10, 0, 400, 300}}, 320, 240, &pictures), 1u);
    ASSERT_EQ(pictures.size(), 1u);
    EXPECT_TRUE(Same(pictures[0].dst, {10, 0, 400, 300}));
    EXPECT_EQ(pictures[0].nImage, 0u);
}

// The test's own server; xrandr sets its monitors apart as a desktop's settings would.
class ServerMonitorsTest : public testing::Test {
protected:
    void TearDown() override {
        if (m_pDisplay != nullptr) {
            XCloseDisplay(m_pDisplay);
        }
    }
    bool Start(const std::vector<std::string>& args) {
        m_pServer = std::make_unique<VirtualServer>(args);
        m_pDisplay = m_pServer->Ready() ? XOpenDisplay(nullptr) : nullptr;
        return m_pDisplay != nullptr;
    }
    std::vector<ScaleRect> Read(const char** ppszSource) { return X11ReadMonitors(m_pDisplay, ppszSource); }

    std::unique_ptr<VirtualServer> m_pServer;
    Display* m_pDisplay = nullptr;
};

TEST_F(ServerMonitorsTest, RandrMonitorsAreReadAsTheServerListsThem) {
    ASSERT_TRUE(Start({"-screen", "0", "2080x720x24"}));
    const char* pszSource = nullptr;
    std::vector<ScaleRect> monitors = Read(&pszSource);
    // Untouched, the server's one monitor is the screen.
    EXPECT_STREQ(pszSource, "RandR");
    ASSERT_EQ(monitors.size(), 1u);
    EXPECT_TRUE(Same(monitors[0], {0, 0, 2080, 720}));

    ASSERT_EQ(std::system("xrandr --setmonitor one 1280/338x720/190+0+0 screen >/dev/null 2>&1 && "
                          "xrandr --setmonitor two 800/211x600/158+1280+0 none >/dev/null 2>&1"),
              0);
    monitors = Read(&pszSource);
    EXPECT_STREQ(pszSource, "RandR");
    ASSERT_EQ(monitors.size(), 2u);
    EXPECT_TRUE(Same(monitors[0], {0, 0, 1280, 720}));
    EXPECT_TRUE(Same(monitors[1], {1280, 0, 800, 600}));
}

TEST_F(ServerMonitorsTest, WithoutRandrXineramasScreensAreTheMonitors) {
    ASSERT_TRUE(Start(
        {"-screen", "0", "640x480x24", "-screen", "1", "800x600x24", "+xinerama", "-extension", "RANDR"}));
    const char* pszSource = nullptr;
    const std::vector<ScaleRect> monitors = Read(&pszSource);
    EXPECT_STREQ(pszSource, "Xinerama");
    ASSERT_EQ(monitors.size(), 2u);
    EXPECT_TRUE(Same(monitors[0], {0, 0, 640, 480}));
    EXPECT_TRUE(Same(monitors[1], {0, 0, 800, 600}));
}

TEST_F(ServerMonitorsTest, WithNeitherThereAreNoMonitorsToSpan) {
    ASSERT_TRUE(Start({"-screen", "0", "640x480x24", "-extension", "RANDR"}));
    const char* pszSource = "unset";
    EXPECT_TRUE(Read(&pszSource).empty());
    EXPECT_STREQ(pszSource, "");
    EXPECT_TRUE(X11ReadMonitors(nullptr, &pszSource).empty());
}

} // namespace
