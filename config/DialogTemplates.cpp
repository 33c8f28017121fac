#include "config/DialogTemplates.h"

namespace {

// The settings page, from its one description.
#define DLG_TEMPLATE(name, style, exStyle, x, y, cx, cy, caption, points, weight, italic, charset, face)
#define DLG_ITEM(id, cls, text, style, exStyle, x, y, cx, cy) {id, cls, text, style, exStyle, x, y, cx, cy},
const DialogItemTemplate g_configItems[] = {
#include "config/ConfigDialog.inc"
};
#undef DLG_TEMPLATE
#undef DLG_ITEM

// clang-format off
#define DLG_TEMPLATE(name, style, exStyle, x, y, cx, cy, caption, points, weight, italic, charset, face) \
    name, style, exStyle, x, y, cx, cy, caption, points, weight, italic != 0, charset, face, g_configItems, \
    static_cast<int32_t>(sizeof(g_configItems) / sizeof(g_configItems[0]))
// clang-format on
#define DLG_ITEM(id, cls, text, style, exStyle, x, y, cx, cy)
const DialogTemplate g_configTemplate = {
#include "config/ConfigDialog.inc"
};
#undef DLG_TEMPLATE
#undef DLG_ITEM

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
