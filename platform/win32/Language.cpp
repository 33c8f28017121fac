// The language service on Windows: the module's string table, which holds every text in each language
// tagged with that language (po/catalogs.py), so that the resource loader picks the user's UI language
// as it does for the settings page. String 999 is the language's code, 1000 + n the n-th English text of
// the compiled-in table. Texts come in the ANSI code page; each is loaded once and kept.
#include "platform/Language.h"
#include "platform/shared/Catalogs.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>

namespace {

constexpr UINT kLanguageId = 999;
constexpr UINT kFirstTextId = 1000;

// The text of string nId, in memory that lives as long as the process; null when the module has none.
const char* LoadText(UINT nId) {
    char szText[2048];
    const int nLength = LoadStringA(GetModuleHandleA(nullptr), nId, szText, sizeof(szText));
    if (nLength <= 0) {
        return nullptr;
    }
    char* pszCopy = new char[static_cast<size_t>(nLength) + 1];
    std::memcpy(pszCopy, szText, static_cast<size_t>(nLength) + 1);
    return pszCopy;
}

// One slot per text; a slot is filled at most once, by whichever thread gets there first.
std::atomic<const char*>* Slots() {
    static std::unique_ptr<std::atomic<const char*>[]> s_slots(
        new std::atomic<const char*>[g_nCatalogTexts]());
    return s_slots.get();
}

} // namespace

const char* PlatformTranslate(const char* pszEnglish) {
    const int32_t nIndex = CatalogIndex(pszEnglish);
    if (nIndex < 0) {
        return pszEnglish;
    }
    std::atomic<const char*>& slot = Slots()[nIndex];
    const char* pszText = slot.load();
    if (pszText == nullptr) {
        const char* pszLoaded = LoadText(kFirstTextId + static_cast<UINT>(nIndex));
        if (pszLoaded == nullptr) {
            return pszEnglish;
        }
        if (slot.compare_exchange_strong(pszText, pszLoaded)) {
            pszText = pszLoaded;
        } else {
            delete[] pszLoaded;
        }
    }
    return pszText;
}

const char* PlatformLanguage() {
    static const char* s_pszLanguage = [] {
        const char* pszCode = LoadText(kLanguageId);
        return pszCode != nullptr ? pszCode : "en";
    }();
    return s_pszLanguage;
}
