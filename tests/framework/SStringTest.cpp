#include "framework/SString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(SString, FormatsPrintfStyleWithTheProgramsConversions) {
    const SString error("%sをオープンできませんでした。%d %x\n", "a.bmp", -5, 255u);
    EXPECT_STREQ(error.Text(), "a.bmpをオープンできませんでした。-5 ff\n");
    EXPECT_EQ(error.m_nLength, static_cast<int32_t>(std::strlen(error.m_szMessage)));
}

TEST(SString, KeepsAtMost511BytesOfALongerMessage) {
    const std::string exact(511, 'x');
    const SString fits("%s", exact.c_str());
    EXPECT_EQ(fits.m_nLength, 511);
    EXPECT_EQ(std::string(fits.Text()), exact);

    const std::string longer(2000, 'y');
    const SString cut("%s", longer.c_str());
    EXPECT_EQ(cut.m_nLength, 511);
    EXPECT_EQ(std::string(cut.Text()), longer.substr(0, 511));
    EXPECT_EQ(cut.m_szMessage[511], '\0');
}

TEST(SString, CopiesAndThrowsByValueWithTextAndLength) {
    const std::string path(600, 'p');
    try {
        try {
            throw SString("%s", path.c_str());
        } catch (const SString& inner) {
            // Loaders free what they hold and throw a copy on.
            throw SString(inner);
        }
    } catch (const SString& outer) {
        EXPECT_EQ(outer.m_nLength, 511);
        EXPECT_EQ(std::string(outer.Text()), path.substr(0, 511));
    }
    SString assigned("x");
    assigned = SString("%d", 42);
    EXPECT_STREQ(assigned.Text(), "42");
    EXPECT_EQ(assigned.m_nLength, 2);
}
