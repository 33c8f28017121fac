#include "TestItems.h"
#include "framework/SString.h"
#include "imaging/BmpTestData.h"
#include "imaging/SImage.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

const char* const kNotBitmap = "ビットマップファイルではありません。";
const char* const kBadInfoHeader = "BITMAPINFOHEADERが不正です。";
const char* const kUnsupported = "未対応のビットマップです。";
const char* const kTruncated = "TEST_ITEMのビットマップデータが途中で終わっています。\n";

// Loads the bytes as a built-in item into a fresh image; the error text, or "" when it loaded.
std::string LoadError(const std::vector<uint8_t>& bytes) {
    SetTestItem("TEST_ITEM", bytes);
    try {
        SImage image("TEST_ITEM", LOAD_RESOURCE, nullptr);
    } catch (const SString& error) {
        return error.Text();
    }
    return "";
}

std::string LoadError(const BmpHeader& header) {
    return LoadError(MakeBmp(header));
}

} // namespace

TEST(SImageMalformed, ChecksHeadersInTheirFixedOrder) {
    // "BM" comes first, even when everything else is wrong too.
    BmpHeader header;
    header.dwInfoSize = 12;
    header.wBitCount = 8;
    std::vector<uint8_t> bytes = MakeBmp(header);
    bytes[0] = 'M';
    bytes[1] = 'B';
    EXPECT_EQ(LoadError(bytes), kNotBitmap);
    // The information header's size comes before the planes, compression and depth.
    EXPECT_EQ(LoadError(header), kBadInfoHeader);
    for (uint32_t dwSize : {12u, 56u, 108u, 124u, 0u}) {
        BmpHeader h;
        h.dwInfoSize = dwSize;
        EXPECT_EQ(LoadError(h), kBadInfoHeader) << dwSize;
    }
    for (uint16_t wBits : {1, 4, 8, 16, 32}) {
        BmpHeader h;
        h.wBitCount = wBits;
        EXPECT_EQ(LoadError(h), kUnsupported) << wBits;
    }
    BmpHeader planes;
    planes.wPlanes = 2;
    EXPECT_EQ(LoadError(planes), kUnsupported);
    BmpHeader compressed;
    compressed.dwCompression = 1;
    EXPECT_EQ(LoadError(compressed), kUnsupported);
}

TEST(SImageMalformed, RejectsEmptyAndTopDownPictures) {
    for (auto [w, h] : {std::pair{0, 5}, {5, 0}, {-4, 3}, {4, -3}, {INT32_MIN, INT32_MIN}}) {
        BmpHeader header;
        header.nWidth = w;
        header.nHeight = h;
        EXPECT_EQ(LoadError(header), kUnsupported) << w << "x" << h;
    }
}

TEST(SImageMalformed, EveryTruncationIsRejectedWithoutReadingPastTheData) {
    const std::vector<uint8_t> whole = MakeBmp(7, 5);
    ASSERT_EQ(whole.size(), 54u + 5 * 24);
    EXPECT_EQ(LoadError(whole), "");
    for (size_t n = 0; n < whole.size(); ++n) {
        const std::string error = LoadError(std::vector<uint8_t>(whole.begin(), whole.begin() + n));
        const char* pszWant = n < 2 ? kNotBitmap : n < 54 ? kBadInfoHeader : kTruncated;
        EXPECT_EQ(error, pszWant) << "cut at " << n;
    }
}

TEST(SImageMalformed, HugeDimensionsAllocateNothing) {
    // Valid headers claiming 3,000,000 x 2,000,000 pixels: w x h x 4 + 7 overflows 32 bits.
    for (auto [w, h] :
         {std::pair{3000000, 2000000}, {INT32_MAX, INT32_MAX}, {65536, 16385}, {1, INT32_MAX}}) {
        BmpHeader header;
        header.nWidth = 1; // MakeBmp writes one row; the header then claims the huge size
        header.nHeight = 1;
        std::vector<uint8_t> bytes = MakeBmp(header);
        for (int i = 0; i < 4; ++i) {
            bytes[18 + i] = static_cast<uint8_t>(static_cast<uint32_t>(w) >> (8 * i));
            bytes[22 + i] = static_cast<uint8_t>(static_cast<uint32_t>(h) >> (8 * i));
        }
        EXPECT_EQ(LoadError(bytes), kTruncated) << w << "x" << h;
    }
}

TEST(SImageMalformed, ARejectedPictureLeavesALoadedImageUnchanged) {
    SImage image(8, 8);
    image.Clear(0x00ABCDEF);
    std::vector<uint8_t> bytes = MakeBmp(8, 8);
    bytes.resize(bytes.size() - 1);
    SetTestItem("TEST_ITEM", bytes);
    EXPECT_THROW(image.LoadBmp("TEST_ITEM", LOAD_RESOURCE, nullptr), SString);
    for (int32_t i = 0; i < 64; ++i) {
        ASSERT_EQ(image.pixels[i], 0x00ABCDEFu);
    }
}

TEST(SImageMalformed, RandomlyDamagedFilesLoadOrFailCleanly) {
    // Bit flips and random values in the headers, and random cuts; the sanitizer presets watch for any
    // read or write out of bounds. A file that still loads must give an image of its claimed size.
    std::mt19937 rng(20261207);
    const std::vector<uint8_t> whole = MakeBmp(13, 6);
    for (int i = 0; i < 3000; ++i) {
        std::vector<uint8_t> bytes = whole;
        const int nFlips = 1 + static_cast<int>(rng() % 4);
        for (int f = 0; f < nFlips; ++f) {
            const size_t at = rng() % (i % 2 == 0 ? 54 : bytes.size());
            if (rng() % 2) {
                bytes[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
            } else {
                bytes[at] = static_cast<uint8_t>(rng());
            }
        }
        if (i % 5 == 0) {
            bytes.resize(rng() % (bytes.size() + 1));
        }
        SetTestItem("TEST_ITEM", bytes);
        try {
            SImage image("TEST_ITEM", LOAD_RESOURCE, nullptr);
            ASSERT_GT(image.width, 0);
            ASSERT_GT(image.height, 0);
            ASSERT_LE(static_cast<uint64_t>(image.width) * 3 * static_cast<uint64_t>(image.height),
                      bytes.size());
        } catch (const SString& error) {
            ASSERT_GT(error.m_nLength, 0);
        }
    }
}
