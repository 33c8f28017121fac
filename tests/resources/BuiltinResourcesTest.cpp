#include "resources/BuiltinResources.h"
#include "framework/SInput.h"
#include "imaging/SImage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<uint8_t> ItemBytes(const char* pszName) {
    RegisterBuiltinResources();
    SInput input;
    input.Load(pszName, LOAD_RESOURCE, nullptr);
    return std::vector<uint8_t>(input.m_pData, input.m_pData + input.m_dwSize);
}

uint32_t Le(const std::vector<uint8_t>& b, size_t at, int nBytes) {
    uint32_t value = 0;
    for (int i = nBytes - 1; i >= 0; --i) {
        value = value << 8 | b.at(at + i);
    }
    return value;
}

uint32_t Be(const std::vector<uint8_t>& b, size_t at, int nBytes) {
    uint32_t value = 0;
    for (int i = 0; i < nBytes; ++i) {
        value = value << 8 | b.at(at + i);
    }
    return value;
}

// The channel of a 24-bit BMP at (x, y), row 0 at the top; channel 0 blue, 1 green, 2 red.
struct Bmp {
    explicit Bmp(std::vector<uint8_t> bytes) : b(std::move(bytes)) {
        EXPECT_EQ(Le(b, 0, 2), 0x4D42u);
        EXPECT_EQ(Le(b, 10, 4), 54u);
        EXPECT_EQ(Le(b, 14, 4), 40u);
        EXPECT_EQ(Le(b, 26, 2), 1u);
        EXPECT_EQ(Le(b, 28, 2), 24u);
        EXPECT_EQ(Le(b, 30, 4), 0u);
        width = static_cast<int>(Le(b, 18, 4));
        height = static_cast<int>(Le(b, 22, 4));
        EXPECT_GE(b.size(), 54u + static_cast<size_t>(RowLength() * height));
    }
    int RowLength() const { return (width * 3 + 3) & ~3; }
    int At(int x, int y, int channel) const {
        return b.at(54 + (height - 1 - y) * RowLength() + x * 3 + channel);
    }

    std::vector<uint8_t> b;
    int width = 0;
    int height = 0;
};

} // namespace

TEST(BuiltinResources, EveryListedItemIsTheCommittedFile) {
    std::ifstream list(LV_SOURCE_DIR "/resources/items.txt");
    std::string line;
    int nItems = 0;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string name, file;
        fields >> name >> file;
        std::ifstream in(LV_SOURCE_DIR "/resources/" + file, std::ios::binary);
        const std::vector<uint8_t> committed{std::istreambuf_iterator<char>(in), {}};
        ASSERT_FALSE(committed.empty()) << file;
        EXPECT_EQ(ItemBytes(name.c_str()), committed) << name;
        ++nItems;
    }
    EXPECT_EQ(nItems, 12);
}

TEST(BuiltinResources, HeightMapIsSoftWarmCloudsOnFlatBlue) {
    const Bmp map(ItemBytes("ID_BUMPMAP"));
    EXPECT_EQ(map.b.size(), 230456u);
    ASSERT_EQ(map.width, 320);
    ASSERT_EQ(map.height, 240);
    int minRed = 255, maxRed = 0, minGreen = 255, maxGreen = 0, maxOffset = 0, maxSlope = 0;
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            ASSERT_EQ(map.At(x, y, 0), 255) << x << "," << y;
            const int red = map.At(x, y, 2), green = map.At(x, y, 1);
            minRed = std::min(minRed, red), maxRed = std::max(maxRed, red);
            minGreen = std::min(minGreen, green), maxGreen = std::max(maxGreen, green);
            maxOffset = std::max(maxOffset, std::abs(red - green));
            for (int c = 1; c <= 2; ++c) {
                if (x >= 1 && x <= 318) {
                    maxSlope = std::max(maxSlope, std::abs(map.At(x + 1, y, c) - map.At(x - 1, y, c)));
                }
                if (y >= 1 && y <= 238) {
                    maxSlope = std::max(maxSlope, std::abs(map.At(x, y + 1, c) - map.At(x, y - 1, c)));
                }
            }
        }
    }
    EXPECT_EQ(std::make_pair(minRed, maxRed), std::make_pair(61, 215));
    EXPECT_EQ(std::make_pair(minGreen, maxGreen), std::make_pair(46, 212));
    EXPECT_LE(maxOffset, 15);
    EXPECT_EQ(maxSlope, 10);
}

TEST(BuiltinResources, HeightMapFillsThe320x240HeightImage) {
    RegisterBuiltinResources();
    SImage heightMap(320, 240);
    heightMap.Clear(0);
    heightMap.LoadBmp("ID_BUMPMAP", LOAD_RESOURCE, nullptr);
    const Bmp map(ItemBytes("ID_BUMPMAP"));
    for (int y = 0; y < 240; ++y) {
        for (int x = 0; x < 320; ++x) {
            const uint32_t expected =
                0xFFu | uint32_t(map.At(x, y, 1)) << 8 | uint32_t(map.At(x, y, 2)) << 16;
            ASSERT_EQ(heightMap.pixels[y * 320 + x], expected) << x << "," << y;
        }
    }
}

TEST(BuiltinResources, DigitsAreGreyGlyphsOnBlackAtTheirAdvanceWidths) {
    RegisterBuiltinResources();
    const int widths[10] = {12, 10, 12, 12, 14, 13, 13, 11, 13, 13};
    for (int d = 0; d < 10; ++d) {
        const std::string name = std::string(1, char('0' + d)) + "_BMP";
        SImage digit(name.c_str(), LOAD_RESOURCE, nullptr);
        EXPECT_EQ(digit.width, widths[d]) << name;
        EXPECT_EQ(digit.height, 18) << name;
        const Bmp bmp(ItemBytes(name.c_str()));
        int brightest = 0, inked = 0;
        for (int y = 0; y < bmp.height; ++y) {
            for (int x = 0; x < bmp.width; ++x) {
                const int grey = bmp.At(x, y, 0);
                ASSERT_EQ(bmp.At(x, y, 1), grey) << name << " " << x << "," << y;
                ASSERT_EQ(bmp.At(x, y, 2), grey) << name << " " << x << "," << y;
                brightest = std::max(brightest, grey);
                inked += grey > 0;
                // A black frame keeps neighbouring digits apart in the counter.
                if (x == 0 || y == 0 || x == bmp.width - 1 || y == bmp.height - 1) {
                    ASSERT_EQ(grey, 0) << name << " " << x << "," << y;
                }
            }
        }
        EXPECT_EQ(brightest, 255) << name;
        EXPECT_GT(inked, 20) << name;
    }
}

// Walks every track of the song, checking the events on the way.
TEST(BuiltinResources, SongIsALoopingFormat1FileOfChannelTracks) {
    const std::vector<uint8_t> s = ItemBytes("ID_MIDI");
    ASSERT_EQ(s.size(), 13051u);
    EXPECT_EQ(std::string(s.begin(), s.begin() + 4), "MThd");
    EXPECT_EQ(Be(s, 4, 4), 6u);
    EXPECT_EQ(Be(s, 8, 2), 1u);    // format
    EXPECT_EQ(Be(s, 10, 2), 33u);  // tracks
    EXPECT_EQ(Be(s, 12, 2), 480u); // ticks per quarter note

    size_t at = 14;
    for (int t = 0; t < 33; ++t) {
        SCOPED_TRACE("track " + std::to_string(t + 1));
        ASSERT_EQ(std::string(s.begin() + at, s.begin() + at + 4), "MTrk");
        const size_t end = at + 8 + Be(s, at + 4, 4);
        ASSERT_LE(end, s.size());
        at += 8;
        auto varLen = [&] {
            uint32_t value = 0;
            uint8_t byte = 0;
            do {
                byte = s.at(at++);
                value = value << 7 | (byte & 0x7F);
            } while (byte & 0x80);
            return value;
        };
        uint32_t tick = 0;
        uint8_t status = 0;
        bool ended = false;
        std::map<int, int> held; // channel * 128 + key -> notes on
        std::vector<std::pair<uint32_t, std::vector<uint8_t>>> metas;
        while (at < end && !ended) {
            tick += varLen();
            if (s.at(at) & 0x80) {
                status = s.at(at++);
            }
            if (status == 0xFF) {
                const size_t start = at - 1;
                const uint8_t type = s.at(at++);
                at += varLen();
                metas.push_back({tick, std::vector<uint8_t>(s.begin() + start, s.begin() + at)});
                ended = type == 0x2F;
                continue;
            }
            ASSERT_GE(status, 0x80);
            ASSERT_LT(status, 0xF0) << "only channel events in the channel tracks";
            ASSERT_GT(t, 0) << "no channel events in the conductor track";
            const int kind = status & 0xF0;
            const int key = (status & 0x0F) * 128 + s.at(at);
            at += (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
            if (kind == 0x90 && s.at(at - 1) > 0) {
                ASSERT_EQ(held[key]++, 0) << "key struck while held, tick " << tick;
            } else if (kind == 0x80 || kind == 0x90) {
                ASSERT_EQ(held[key]--, 1) << "note-off without its note, tick " << tick;
            }
        }
        EXPECT_TRUE(ended);
        EXPECT_EQ(at, end) << "nothing after the end of the track";
        EXPECT_LE(tick, 182400u);
        for (const auto& [key, count] : held) {
            EXPECT_EQ(count, 0) << "note " << key % 128 << " still sounding at the end";
        }
        if (t == 0) {
            using Meta = std::vector<std::pair<uint32_t, std::vector<uint8_t>>>;
            EXPECT_EQ(metas, (Meta{{0, {0xFF, 0x51, 3, 0x0C, 0x35, 0x00}},
                                   {0, {0xFF, 0x59, 2, 0xFB, 0x00}},
                                   {0, {0xFF, 0x58, 4, 4, 2, 24, 8}},
                                   {182400, {0xFF, 0x2F, 0}}}));
        } else {
            EXPECT_EQ(metas.size(), 1u) << "channel tracks hold no meta event but their end";
        }
    }
    EXPECT_EQ(at, s.size());
}
