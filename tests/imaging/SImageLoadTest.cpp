#include "TestItems.h"
#include "framework/SString.h"
#include "imaging/BmpTestData.h"
#include "imaging/SImage.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// Every pixel (x, y) of the image inside the w x h corner is the test picture's; the rest hold dwOther.
void ExpectPictureCorner(const SImage& image, int32_t w, int32_t h, uint32_t dwOther) {
    for (int32_t y = 0; y < image.height; ++y) {
        for (int32_t x = 0; x < image.width; ++x) {
            const uint32_t dwWant = (x < w && y < h) ? TestColour(x, y) : dwOther;
            ASSERT_EQ(image.pixels[y * image.width + x], dwWant) << "at " << x << "," << y;
        }
    }
}

} // namespace

TEST(SImageLoad, SizedImageIsZeroFilledAndAligned) {
    for (int32_t w = 0; w < 9; ++w) {
        SImage image(w, 3);
        EXPECT_EQ(image.width, w);
        EXPECT_EQ(image.height, 3);
        ASSERT_NE(image.pixels, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(image.pixels) % 8, 0u);
        EXPECT_LE(reinterpret_cast<uint8_t*>(image.pixels) + w * 3 * 4,
                  static_cast<uint8_t*>(image.pixelBlock) + w * 3 * 4 + 7);
        ExpectPictureCorner(image, 0, 0, 0);
    }
}

TEST(SImageLoad, ReadsEveryWidthFrom1To2000WithPaddedRows) {
    // Stored rows are rounded up to four bytes (width 5 -> 16 bytes, 6 -> 20, 7 -> 24) and their padding
    // holds garbage that must not reach the image.
    for (int32_t w = 1; w <= 2000; ++w) {
        SetTestItem("TEST_ITEM", MakeBmp(w, 2));
        SImage image("TEST_ITEM", LOAD_RESOURCE, nullptr);
        ASSERT_EQ(image.width, w);
        ASSERT_EQ(image.height, 2);
        ExpectPictureCorner(image, w, 2, 0);
        if (testing::Test::HasFatalFailure()) {
            FAIL() << "width " << w;
        }
    }
}

TEST(SImageLoad, IgnoresThePixelOffsetField) {
    BmpHeader header;
    header.dwPixelOffset = 1078;
    SetTestItem("TEST_ITEM", MakeBmp(header));
    SImage image("TEST_ITEM", LOAD_RESOURCE, nullptr);
    ExpectPictureCorner(image, header.nWidth, header.nHeight, 0);
}

TEST(SImageLoad, CropsALargerPictureAndPartlyFillsFromASmallerOne) {
    SImage image(320, 240);
    image.Clear(0x00123456);
    SetTestItem("TEST_ITEM", MakeBmp(100, 50));
    image.LoadBmp("TEST_ITEM", LOAD_RESOURCE, nullptr);
    EXPECT_EQ(image.width, 320);
    ExpectPictureCorner(image, 100, 50, 0x00123456);

    SetTestItem("TEST_ITEM", MakeBmp(640, 480));
    image.LoadBmp("TEST_ITEM", LOAD_RESOURCE, nullptr);
    EXPECT_EQ(image.width, 320);
    EXPECT_EQ(image.height, 240);
    ExpectPictureCorner(image, 320, 240, 0);
}

TEST(SImageLoad, LoadsFromAFileAndNamesAMissingOne) {
    TempFile file(MakeBmp(33, 7));
    SImage image(file.Path(), LOAD_FILE, nullptr);
    EXPECT_EQ(image.width, 33);
    ExpectPictureCorner(image, 33, 7, 0);

    try {
        SImage missing("/nonexistent/map.bmp", LOAD_FILE, nullptr);
        FAIL();
    } catch (const SString& error) {
        EXPECT_STREQ(error.Text(), "/nonexistent/map.bmpをオープンできませんでした。\n");
    }
}

TEST(SImageLoad, RejectsUnknownLoadTypes) {
    for (int32_t dwType : {0, 3, -1}) {
        try {
            SImage image("TEST_ITEM", dwType, nullptr);
            FAIL();
        } catch (const SString& error) {
            char szWant[80];
            std::snprintf(szWant, sizeof(szWant), "dwLoadTypeパラメータが不正です。dwLoadType=%x\n",
                          static_cast<unsigned>(dwType));
            EXPECT_STREQ(error.Text(), szWant);
        }
    }
}

TEST(SImageLoad, ReleaseEmptiesAndCanRepeat) {
    SImage image(4, 4);
    image.Release();
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.height, 0);
    EXPECT_EQ(image.pixels, nullptr);
    EXPECT_EQ(image.pixelBlock, nullptr);
    EXPECT_EQ(image.directionTable, nullptr);
    image.Release();
    // Sizing again after a release works like a fresh image.
    image.Allocate(2, 2);
    EXPECT_EQ(image.width, 2);
}

TEST(SImageLoad, SizesThatCannotBeHadThrowAndLeaveNothing) {
    // 70000 x 70000 x 4 + 7 wraps in 32 bits to a small block that the loops would overrun.
    try {
        SImage image(70000, 70000);
        FAIL();
    } catch (const SString& error) {
        EXPECT_STREQ(error.Text(), "必要なメモリ容量を確保できませんでした。メモリが不足しています。\n");
    }
    try {
        SImage image(-1, 10);
        FAIL();
    } catch (const SString& error) {
        EXPECT_STREQ(error.Text(), "nWidthが不正です。nWidth=ffffffff\n");
    }
    SImage image(3, 3);
    EXPECT_THROW(image.Allocate(5, -2), SString);
    EXPECT_EQ(image.width, 3);
    EXPECT_NE(image.pixels, nullptr);
}
