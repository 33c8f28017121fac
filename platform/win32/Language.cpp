// The language service on Windows: the module's string table, which holds every text in each language
// tagged with that language (po/catalogs.py), so that the resource loader picks the user's UI language
// as it does for the settings page. String 999 is the language's code, 1000 + n the n-th English text of
// the compiled-in table. Texts come in the ANSI code page; each is loaded once and kept. Where that code
// page cannot hold the UI language's texts, the program's texts are English.
#include "platform/Language.h"
#include "platform/shared/Catalogs.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <memory>

namespace {

constexpr UINT kLanguageId = 999;
constexpr UINT kFirstTextId = 1000;

// The text of string nId in the ANSI code page, in memory that lives as long as the process; null when
// the module has none. *pbWhole says whether the code page held every character: a Japanese UI on a
// system whose code page for programs that are not Unicode is another would read question marks.
const char* LoadText(UINT nId, bool* pbWhole) {
    *pbWhole = true;
    const wchar_t* pwszText = nullptr;
    // Length 0: a pointer to the resource's own characters, not a copy.
    const int nWide = LoadStringW(GetModuleHandleA(nullptr), nId, reinterpret_cast<LPWSTR>(&pwszText), 0);
    if (nWide <= 0 || pwszText == nullptr) {
        return nullptr;
    }
    // UTF-8 holds everything, and takes neither the flag nor the question.
    const bool bUtf8 = GetACP() == CP_UTF8;
    const DWORD dwFlags = bUtf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL bLost = FALSE;
    const int nBytes =
        WideCharToMultiByte(CP_ACP, dwFlags, pwszText, nWide, nullptr, 0, nullptr, bUtf8 ? nullptr : &bLost);
    if (nBytes <= 0) {
        return nullptr;
    }
    char* pszCopy = new char[static_cast<size_t>(nBytes) + 1];
    WideCharToMultiByte(CP_ACP, dwFlags, pwszText, nWide, pszCopy, nBytes, nullptr, nullptr);
    pszCopy[nBytes] = '\0';
    *pbWhole = bLost == FALSE;
    return pszCopy;
}

// Whether the texts of the language the loader picked reach the program whole; if not, the program
// speaks English, whose texts it holds itself, rather than question marks.
bool LanguageUsable() {
    static const bool s_bUsable = [] {
        for (int32_t i = 0; i < g_nCatalogTexts; ++i) {
            bool bWhole = true;
            delete[] LoadText(kFirstTextId + static_cast<UINT>(i), &bWhole);
            if (!bWhole) {
                return false;
            }
        }
        return true;
    }();
    return s_bUsable;
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
    if (nIndex < 0 || !LanguageUsable()) {
        return pszEnglish;
    }
    std::atomic<const char*>& slot = Slots()[nIndex];
    const char* pszText = slot.load();
    if (pszText == nullptr) {
        bool bWhole = true;
        const char* pszLoaded = LoadText(kFirstTextId + static_cast<UINT>(nIndex), &bWhole);
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
        bool bWhole = true;
        const char* pszCode = LanguageUsable() ? LoadText(kLanguageId, &bWhole) : nullptr;
        return pszCode != nullptr ? pszCode : "en";
    }();
    return s_pszLanguage;
}
