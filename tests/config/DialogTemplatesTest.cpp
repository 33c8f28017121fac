#include "config/DialogTemplates.h"
#include "platform/headless/Headless.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// The page as the system has always had it in Japanese.
#define DLG_TEMPLATE(name, style, exStyle, x, y, cx, cy, caption, points, weight, italic, charset, face)
#define DLG_ITEM(id, cls, text, style, exStyle, x, y, cx, cy) {id, cls, text, style, exStyle, x, y, cx, cy},
// clang-format off
const DialogItemTemplate g_japaneseItems[] = {
    DLG_ITEM(DLG_ID_OK, "BUTTON", "OK", 0x50010001, 0, 100, 221, 50, 14)
    DLG_ITEM(DLG_ID_CANCEL, "BUTTON", "ｷｬﾝｾﾙ", 0x50010000, 0, 155, 221, 50, 14)
    DLG_ITEM(-1, "BUTTON", "ﾒﾀﾎﾞｰﾙ", 0x50000007, 0, 5, 5, 115, 70)
    DLG_ITEM(-1, "STATIC", "数(&N):", 0x50020000, 0, 15, 20, 20, 8)
    DLG_ITEM(IDC_NUMS, "EDIT", "", 0x50812080, 0, 35, 20, 25, 12)
    DLG_ITEM(-1, "STATIC", "色(&C):", 0x50020000, 0, 15, 40, 20, 10)
    DLG_ITEM(IDC_SWATCH, "STATIC", "", 0x50000007, 0x200, 35, 40, 25, 25)
    DLG_ITEM(IDC_PICK_COLOR, "BUTTON", "色の選択(&C)", 0x50010000, 0, 65, 50, 45, 15)
    DLG_ITEM(-1, "BUTTON", "ﾊﾞﾝﾌﾟﾏｯﾋﾟﾝｸﾞ", 0x50000007, 0, 5, 80, 200, 70)
    DLG_ITEM(-1, "BUTTON", "その他", 0x50000007, 0, 125, 45, 80, 30)
    DLG_ITEM(IDC_SHOW_FPS, "BUTTON", "FPSを表示する", 0x50010003, 0, 135, 60, 65, 10)
    DLG_ITEM(-1, "BUTTON", "BGM", 0x50000007, 0, 5, 155, 200, 60)
    DLG_ITEM(IDC_BGM_FILE, "BUTTON", "BGMをﾌｧｲﾙから選択", 0x50000009, 0, 15, 171, 75, 10)
    DLG_ITEM(IDC_MUSIC_PATH, "EDIT", "", 0x50810080, 0, 25, 181, 160, 13)
    DLG_ITEM(IDC_MUSIC_BROWSE, "BUTTON", "...", 0x50010000, 0, 185, 181, 12, 13)
    DLG_ITEM(IDC_BGM_DEFAULT, "BUTTON", "ﾃﾞﾌｫﾙﾄBGM(&D)", 0x50000009, 0, 120, 171, 60, 10)
    DLG_ITEM(IDC_BGM_NONE, "BUTTON", "再生しない(&M)", 0x50000009, 0, 15, 201, 60, 10)
    DLG_ITEM(-1, "STATIC", "Lumivorra Ver 2.1", 0x5002000C, 0, 125, 15, 79, 19)
    DLG_ITEM(IDC_BUMP, "msctls_trackbar32", "Slider1", 0x50010005, 0, 60, 121, 70, 25)
    DLG_ITEM(-1, "STATIC", "大", 0x50020000, 0, 130, 130, 8, 8)
    DLG_ITEM(-1, "STATIC", "小", 0x50020000, 0, 52, 130, 8, 8)
    DLG_ITEM(IDC_MAP_FILE, "BUTTON", "ﾊｲﾄﾏｯﾌﾟをﾌｧｲﾙから選択", 0x50000009, 0, 15, 95, 85, 10)
    DLG_ITEM(IDC_MAP_PATH, "EDIT", "", 0x50810080, 0, 25, 105, 160, 13)
    DLG_ITEM(IDC_MAP_BROWSE, "BUTTON", "...", 0x50010000, 0, 185, 105, 12, 13)
    DLG_ITEM(IDC_MAP_DEFAULT, "BUTTON", "ﾃﾞﾌｫﾙﾄﾊｲﾄﾏｯﾌﾟ", 0x50000009, 0, 120, 95, 60, 10)
    DLG_ITEM(-1, "STATIC", "ﾊﾞﾝﾌﾟ係数:", 0x50020000, 0, 15, 130, 35, 8)
};
// clang-format on
#undef DLG_TEMPLATE
#undef DLG_ITEM

bool Inside(const DialogItemTemplate& inner, const DialogItemTemplate& outer) {
    return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.cx <= outer.x + outer.cx &&
           inner.y + inner.cy <= outer.y + outer.cy;
}

bool Meet(const DialogItemTemplate& a, const DialogItemTemplate& b) {
    return a.x < b.x + b.cx && b.x < a.x + a.cx && a.y < b.y + b.cy && b.y < a.y + a.cy;
}

bool IsFrame(const DialogItemTemplate& item) {
    return std::strcmp(item.pszClass, "BUTTON") == 0 &&
           (item.dwStyle & DLG_BUTTON_TYPE_MASK) == DLG_BUTTON_GROUPBOX;
}

class DialogPage : public testing::Test {
protected:
    void TearDown() override { HeadlessSetLanguage(nullptr); }
};

} // namespace

TEST_F(DialogPage, InJapaneseItIsTheOriginalPageItemForItem) {
    HeadlessSetLanguage("ja");
    const DialogTemplate* pPage = FindDialogTemplate("DLG_CONFIG");
    ASSERT_NE(pPage, nullptr);
    EXPECT_STREQ(pPage->pszCaption, "Lumivorra 設定");
    EXPECT_STREQ(pPage->pszFace, "ＭＳ Ｐゴシック");
    EXPECT_EQ(pPage->wPointSize, 9);
    EXPECT_EQ(pPage->bCharSet, 1);
    EXPECT_EQ(pPage->dwStyle, 0x80C808C0u);
    EXPECT_EQ(pPage->cx, 209);
    EXPECT_EQ(pPage->cy, 239);
    ASSERT_EQ(pPage->nItems, 26);
    for (int i = 0; i < 26; ++i) {
        const DialogItemTemplate& got = pPage->pItems[i];
        const DialogItemTemplate& want = g_japaneseItems[i];
        EXPECT_EQ(got.nId, want.nId) << i;
        EXPECT_STREQ(got.pszClass, want.pszClass) << i;
        EXPECT_STREQ(got.pszText, want.pszText) << i;
        EXPECT_EQ(got.dwStyle, want.dwStyle) << i;
        EXPECT_EQ(got.dwExStyle, want.dwExStyle) << i;
        EXPECT_EQ(got.x, want.x) << want.pszText;
        EXPECT_EQ(got.y, want.y) << want.pszText;
        EXPECT_EQ(got.cx, want.cx) << want.pszText;
        EXPECT_EQ(got.cy, want.cy) << want.pszText;
    }
}

// The English page has its own places: every control must stay on the page and in its frame, and no two
// controls may cover each other, whatever the toolkit's metrics.
TEST_F(DialogPage, InEnglishEveryControlStaysInItsFrameAndMeetsNoOther) {
    HeadlessSetLanguage("en");
    const DialogTemplate* pPage = FindDialogTemplate("DLG_CONFIG");
    ASSERT_NE(pPage, nullptr);
    EXPECT_STREQ(pPage->pszCaption, "Lumivorra Settings");
    EXPECT_STREQ(pPage->pszFace, "MS Shell Dlg");
    ASSERT_EQ(pPage->nItems, 26);
    const DialogItemTemplate page{0, "", "", 0, 0, 0, 0, pPage->cx, pPage->cy};
    for (int i = 0; i < pPage->nItems; ++i) {
        const DialogItemTemplate& item = pPage->pItems[i];
        EXPECT_EQ(item.nId, g_japaneseItems[i].nId) << i;
        EXPECT_EQ(item.dwStyle, g_japaneseItems[i].dwStyle) << i;
        for (const char* p = item.pszText; *p != '\0'; ++p) {
            EXPECT_EQ(static_cast<unsigned char>(*p) & 0x80, 0) << item.pszText;
        }
        EXPECT_TRUE(Inside(item, page)) << item.pszText;
        if (IsFrame(item)) {
            continue;
        }
        for (int j = 0; j < pPage->nItems; ++j) {
            const DialogItemTemplate& other = pPage->pItems[j];
            if (IsFrame(other) && other.x <= item.x && other.y <= item.y && other.x + other.cx > item.x &&
                other.y + other.cy > item.y) {
                EXPECT_TRUE(Inside(item, other)) << item.pszText << " leaves " << other.pszText;
            } else if (j != i && !IsFrame(other)) {
                EXPECT_FALSE(Meet(item, other)) << item.pszText << " meets " << other.pszText;
            }
        }
    }
    // The page that opens for the user follows the language too, and the Japanese one stays as it was.
    HeadlessSetLanguage("ja");
    EXPECT_STREQ(FindDialogTemplate("DLG_CONFIG")->pszCaption, "Lumivorra 設定");
}
