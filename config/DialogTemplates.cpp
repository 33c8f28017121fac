#include "config/DialogTemplates.h"

#include "platform/Language.h"

#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <utility>

namespace {

// One line of the description: an item, or the place of the item before it in one language.
struct DialogLine {
    const char* pszLanguage; // null for an item
    DialogItemTemplate item;
};

// The page's font in a language other than the template's own.
struct DialogFont {
    const char* pszLanguage;
    uint16_t wPointSize, wWeight;
    bool bItalic;
    uint8_t bCharSet;
    const char* pszFace;
};

// The settings page, from its one description.
#define DLG_TEMPLATE(name, style, exStyle, x, y, cx, cy, caption, points, weight, italic, charset, face)
#define DLG_FONT(language, points, weight, italic, charset, face)
#define DLG_ITEM(id, cls, text, style, exStyle, x, y, cx, cy)                                                \
    {nullptr, {id, cls, text, style, exStyle, x, y, cx, cy}},
#define DLG_PLACE(language, x, y, cx, cy) {#language, {0, nullptr, nullptr, 0, 0, x, y, cx, cy}},
constexpr DialogLine g_configLines[] = {
#include "config/ConfigDialog.inc"
};
#undef DLG_ITEM
#undef DLG_PLACE
#define DLG_ITEM(id, cls, text, style, exStyle, x, y, cx, cy)
#define DLG_PLACE(language, x, y, cx, cy)
#undef DLG_FONT
#define DLG_FONT(language, points, weight, italic, charset, face)                                            \
    {#language, points, weight, italic != 0, charset, face},
const DialogFont g_configFonts[] = {
#include "config/ConfigDialog.inc"
};
#undef DLG_FONT
#define DLG_FONT(language, points, weight, italic, charset, face)
#undef DLG_TEMPLATE

constexpr int32_t kMaxItems = 32;

// clang-format off
#define DLG_TEMPLATE(name, style, exStyle, x, y, cx, cy, caption, points, weight, italic, charset, face) \
    name, style, exStyle, x, y, cx, cy, caption, points, weight, italic != 0, charset, face, nullptr, 0
// clang-format on
const DialogTemplate g_configSource = {
#include "config/ConfigDialog.inc"
};
#undef DLG_TEMPLATE
#undef DLG_FONT
#undef DLG_ITEM
#undef DLG_PLACE

// The page in the user's language: texts translated, the language's places and font.
struct LocalTemplate {
    DialogTemplate dialog;
    DialogItemTemplate items[kMaxItems];
};

const char* Translated(const char* pszText) {
    return pszText != nullptr && pszText[0] != '\0' ? Tr(pszText) : pszText;
}

void Localise(const char* pszLanguage, LocalTemplate* pLocal) {
    pLocal->dialog = g_configSource;
    pLocal->dialog.pszCaption = Translated(g_configSource.pszCaption);
    for (const DialogFont& font : g_configFonts) {
        if (std::strcmp(font.pszLanguage, pszLanguage) == 0) {
            pLocal->dialog.wPointSize = font.wPointSize;
            pLocal->dialog.wWeight = font.wWeight;
            pLocal->dialog.bItalic = font.bItalic;
            pLocal->dialog.bCharSet = font.bCharSet;
            pLocal->dialog.pszFace = font.pszFace;
        }
    }
    int32_t nItems = 0;
    for (const DialogLine& line : g_configLines) {
        if (line.pszLanguage == nullptr) {
            DialogItemTemplate& item = pLocal->items[nItems++];
            item = line.item;
            item.pszText = Translated(line.item.pszText);
        } else if (nItems > 0 && std::strcmp(line.pszLanguage, pszLanguage) == 0) {
            DialogItemTemplate& item = pLocal->items[nItems - 1];
            item.x = line.item.x;
            item.y = line.item.y;
            item.cx = line.item.cx;
            item.cy = line.item.cy;
        }
    }
    pLocal->dialog.pItems = pLocal->items;
    pLocal->dialog.nItems = nItems;
}

bool NamesEqual(const char* a, const char* b) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    for (; *a != '\0' && lower(*a) == lower(*b); ++a, ++b) {
    }
    return lower(*a) == lower(*b);
}

} // namespace

constexpr int32_t CountItems() {
    int32_t nItems = 0;
    for (const DialogLine& line : g_configLines) {
        nItems += line.pszLanguage == nullptr ? 1 : 0;
    }
    return nItems;
}
static_assert(CountItems() <= kMaxItems);

const DialogTemplate* FindDialogTemplate(const char* pszName) {
    if (pszName == nullptr || !NamesEqual(pszName, g_configSource.pszName)) {
        return nullptr;
    }
    // One page per language asked for, made once and kept (a deque does not move what it holds).
    static std::mutex s_lock;
    static std::deque<std::pair<std::string, LocalTemplate>> s_pages;
    const char* pszLanguage = PlatformLanguage();
    const std::lock_guard<std::mutex> hold(s_lock);
    for (const auto& page : s_pages) {
        if (page.first == pszLanguage) {
            return &page.second.dialog;
        }
    }
    auto& page = s_pages.emplace_back(pszLanguage, LocalTemplate{});
    Localise(pszLanguage, &page.second);
    return &page.second.dialog;
}
