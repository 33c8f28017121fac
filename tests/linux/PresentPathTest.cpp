// Which present path a window gets, by the rules alone: what is forced, the video driver, the X server's
// direct rendering and SDL's renderer with its OpenGL driver.
#include "platform/linux/Present.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

TEST(PresentPath, WithoutDirectRenderingOnX11NoRendererIsMadeAndTheRenderThreadPuts) {
    const PathChoice choice = PathBeforeRenderer("", SESSION_X11, false);
    EXPECT_FALSE(choice.bAskRenderer);
    EXPECT_FALSE(choice.bMainThread);
    EXPECT_STREQ(choice.pszReason, "no direct rendering on this X server");
    // With direct rendering, and away from X11 (where nobody can be asked), the renderer decides.
    EXPECT_TRUE(PathBeforeRenderer("", SESSION_X11, true).bAskRenderer);
    EXPECT_TRUE(PathBeforeRenderer("", SESSION_OTHER, false).bAskRenderer);
    EXPECT_TRUE(PathBeforeRenderer("texture", SESSION_X11, false).bAskRenderer);
}

TEST(PresentPath, ForcedSurfaceWaysAndTheSurfaceAwayFromX11) {
    const PathChoice direct = PathBeforeRenderer("surface", SESSION_X11, true);
    EXPECT_FALSE(direct.bAskRenderer);
    EXPECT_FALSE(direct.bMainThread);
    EXPECT_STREQ(direct.pszReason, "forced");
    EXPECT_TRUE(PathBeforeRenderer("surface-main", SESSION_X11, true).bMainThread);
    // Neither X11 nor Wayland: the surface path can only go through SDL on the main thread.
    EXPECT_TRUE(PathBeforeRenderer("surface", SESSION_OTHER, true).bMainThread);
    EXPECT_TRUE(PathBeforeRenderer("", SESSION_OTHER, true).bMainThread);
}

// On Wayland the render thread puts pictures itself, as on X11; a compositor that takes no GPU buffers
// from its clients leaves OpenGL on the processor, so no renderer is even made.
TEST(PresentPath, OnWaylandTheRenderThreadPutsAndNoRendererIsMadeWithoutGpuBuffers) {
    const PathChoice choice = PathBeforeRenderer("", SESSION_WAYLAND, false);
    EXPECT_FALSE(choice.bAskRenderer);
    EXPECT_FALSE(choice.bMainThread);
    EXPECT_STREQ(choice.pszReason, "the compositor takes no GPU buffers");
    const PathChoice gpu = PathBeforeRenderer("", SESSION_WAYLAND, true);
    EXPECT_TRUE(gpu.bAskRenderer);
    EXPECT_FALSE(gpu.bMainThread);
    EXPECT_TRUE(PathBeforeRenderer("texture", SESSION_WAYLAND, false).bAskRenderer);
    const PathChoice forced = PathBeforeRenderer("surface", SESSION_WAYLAND, true);
    EXPECT_FALSE(forced.bAskRenderer);
    EXPECT_FALSE(forced.bMainThread);
    EXPECT_TRUE(PathBeforeRenderer("surface-main", SESSION_WAYLAND, false).bMainThread);
}

TEST(PresentPath, TheTextureWhereTheRendererRunsOnAGpuTheSurfaceWhereOnTheProcessor) {
    struct Case {
        const char* pszRenderer;
        const char* pszGl;
        PresentPath expected;
    };
    for (const Case& c :
         {Case{"opengl", "Mesa Intel(R) UHD Graphics 620 (KBL GT2)", PATH_TEXTURE},
          Case{"opengl", "NVIDIA GeForce GTX 1060/PCIe/SSE2", PATH_TEXTURE},
          Case{"opengles2", "", PATH_TEXTURE}, // not OpenGL's desktop driver: not asked
          Case{"opengl", "llvmpipe (LLVM 15.0.6, 256 bits)", PATH_SURFACE},
          Case{"opengl", "softpipe", PATH_SURFACE}, Case{"opengl", "Mesa X11 swrast", PATH_SURFACE},
          Case{"opengl", "Software Rasterizer", PATH_SURFACE}, Case{"software", "", PATH_SURFACE}}) {
        EXPECT_EQ(PathForRenderer("", c.pszRenderer, c.pszGl), c.expected)
            << c.pszRenderer << ", " << c.pszGl;
    }
    EXPECT_EQ(PathForRenderer("texture", "opengl", "llvmpipe (LLVM 15.0.6, 256 bits)"), PATH_TEXTURE);
    EXPECT_EQ(PathForRenderer("texture", "software", ""), PATH_TEXTURE);
}

// The picture's rectangles in a window: full screen letterboxed at any size, odd ones included; a
// window's stretch only while its rectangles fit the window and the frame.
TEST(PresentPath, PictureRectsLetterboxOddSizesAndRefuseRectanglesThatNoLongerFit) {
    PresentRequest request{};
    request.source = SurfaceContext{nullptr, 640, 320, 240, PRESENT_RGB565};
    request.bFullScreen = true;
    ScaleRect src{};
    ScaleRect dst{};
    struct Size {
        int32_t w, h;
    };
    for (const Size& c : {Size{1279, 721}, Size{1365, 767}, Size{801, 601}, Size{3, 1}, Size{1, 1000}}) {
        ASSERT_TRUE(PictureRects(request, c.w, c.h, &src, &dst));
        // As large as fits: one side fills the window; inside it, centred to the pixel, of the frame's
        // aspect to the pixel.
        EXPECT_TRUE(dst.w == c.w || dst.h == c.h) << c.w << "x" << c.h;
        EXPECT_GE(dst.x, 0);
        EXPECT_GE(dst.y, 0);
        EXPECT_LE(dst.x + dst.w, c.w) << c.w << "x" << c.h;
        EXPECT_LE(dst.y + dst.h, c.h) << c.w << "x" << c.h;
        EXPECT_LE(std::abs((c.w - dst.w) - 2 * dst.x), 1) << c.w << "x" << c.h;
        EXPECT_LE(std::abs((c.h - dst.h) - 2 * dst.y), 1) << c.w << "x" << c.h;
        EXPECT_LT(std::abs(dst.w * 240 - dst.h * 320), 320) << c.w << "x" << c.h;
        EXPECT_EQ(src.w, 320);
        EXPECT_EQ(src.h, 240);
    }
    request.bFullScreen = false;
    request.src = ClientRect{0, 0, 320, 240};
    request.dst = ClientRect{0, 0, 401, 299};
    ASSERT_TRUE(PictureRects(request, 401, 299, &src, &dst));
    EXPECT_EQ(dst.w, 401);
    EXPECT_EQ(dst.h, 299);
    EXPECT_FALSE(PictureRects(request, 400, 299, &src, &dst)) << "the window shrank meanwhile";
    request.src = ClientRect{0, 0, 321, 240};
    EXPECT_FALSE(PictureRects(request, 401, 299, &src, &dst)) << "beyond the frame";
}

TEST(PresentPath, BarsArePaintedOnceForEachPlaceOfThePicture) {
    PictureTarget target;
    const ScaleRect box{100, 0, 600, 450};
    EXPECT_TRUE(NeedsBars(target, box));
    EXPECT_FALSE(NeedsBars(target, box));
    EXPECT_TRUE(NeedsBars(target, ScaleRect{100, 0, 600, 449}));
    target.bBarsPainted = false; // the window's contents were lost
    EXPECT_TRUE(NeedsBars(target, ScaleRect{100, 0, 600, 449}));
    EXPECT_FALSE(NeedsBars(target, ScaleRect{100, 0, 600, 449}));
}

} // namespace
