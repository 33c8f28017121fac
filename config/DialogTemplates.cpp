#include "config/DialogTemplates.h"

namespace {

// The settings page. Template order is tab order; the statics with the group style split the radio
// buttons into the music set (1000, 1002, 1003) and the height-map set (1005, 1006).
const DialogItemTemplate g_configItems[] = {
    {DLG_ID_OK, "BUTTON", "OK", 0x50010001, 0, 100, 221, 50, 14},
    {DLG_ID_CANCEL, "BUTTON", "ｷｬﾝｾﾙ", 0x50010000, 0, 155, 221, 50, 14},
    {-1, "BUTTON", "ﾒﾀﾎﾞｰﾙ", 0x50000007, 0, 5, 5, 115, 70},
    {-1, "STATIC", "数(&N):", 0x50020000, 0, 15, 20, 20, 8},
    {IDC_NUMS, "EDIT", nullptr, 0x50812080, 0, 35, 20, 25, 12},
    {-1, "STATIC", "色(&C):", 0x50020000, 0, 15, 40, 20, 10},
    {IDC_SWATCH, "STATIC", nullptr, 0x50000007, 0x200, 35, 40, 25, 25},
    {IDC_PICK_COLOR, "BUTTON", "色の選択(&C)", 0x50010000, 0, 65, 50, 45, 15},
    {-1, "BUTTON", "ﾊﾞﾝﾌﾟﾏｯﾋﾟﾝｸﾞ", 0x50000007, 0, 5, 80, 200, 70},
    {-1, "BUTTON", "その他", 0x50000007, 0, 125, 45, 80, 30},
    {IDC_SHOW_FPS, "BUTTON", "FPSを表示する", 0x50010003, 0, 135, 60, 65, 10},
    {-1, "BUTTON", "BGM", 0x50000007, 0, 5, 155, 200, 60},
    {IDC_BGM_FILE, "BUTTON", "BGMをﾌｧｲﾙから選択", 0x50000009, 0, 15, 171, 75, 10},
    {IDC_MUSIC_PATH, "EDIT", nullptr, 0x50810080, 0, 25, 181, 160, 13},
    {IDC_MUSIC_BROWSE, "BUTTON", "...", 0x50010000, 0, 185, 181, 12, 13},
    {IDC_BGM_DEFAULT, "BUTTON", "ﾃﾞﾌｫﾙﾄBGM(&D)", 0x50000009, 0, 120, 171, 60, 10},
    {IDC_BGM_NONE, "BUTTON", "再生しない(&M)", 0x50000009, 0, 15, 201, 60, 10},
    {-1, "STATIC", "Lumivorra Ver 2.1", 0x5002000C, 0, 125, 15, 79, 19},
    {IDC_BUMP, "msctls_trackbar32", "Slider1", 0x50010005, 0, 60, 121, 70, 25},
    {-1, "STATIC", "大", 0x50020000, 0, 130, 130, 8, 8},
    {-1, "STATIC", "小", 0x50020000, 0, 52, 130, 8, 8},
    {IDC_MAP_FILE, "BUTTON", "ﾊｲﾄﾏｯﾌﾟをﾌｧｲﾙから選択", 0x50000009, 0, 15, 95, 85, 10},
    {IDC_MAP_PATH, "EDIT", nullptr, 0x50810080, 0, 25, 105, 160, 13},
    {IDC_MAP_BROWSE, "BUTTON", "...", 0x50010000, 0, 185, 105, 12, 13},
    {IDC_MAP_DEFAULT, "BUTTON", "ﾃﾞﾌｫﾙﾄﾊｲﾄﾏｯﾌﾟ", 0x50000009, 0, 120, 95, 60, 10},
    {-1, "STATIC", "ﾊﾞﾝﾌﾟ係数:", 0x50020000, 0, 15, 130, 35, 8},
};

// Popup with caption and system menu, centred, modal frame, own font.
const DialogTemplate g_configTemplate = {
    "DLG_CONFIG",
    0x80C808C0,
    0,
    0,
    0,
    209,
    239,
    "Lumivorra 設定",
    9,
    0,
    false,
    1,
    "ＭＳ Ｐゴシック",
    g_configItems,
    static_cast<int32_t>(sizeof(g_configItems) / sizeof(g_configItems[0])),
};

bool NamesEqual(const char* a, const char* b) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (; *a != '\0' && lower(*a) == lower(*b); ++a, ++b) {
    }
    return lower(*a) == lower(*b);
}

} // namespace

const DialogTemplate* FindDialogTemplate(const char* pszName) {
    if (pszName != nullptr && NamesEqual(pszName, g_configTemplate.pszName)) {
        return &g_configTemplate;
    }
    return nullptr;
}
