// The language service of the headless layer: the catalogs compiled in, the language from the locale's
// variables as gettext reads them (a catalog's language, English otherwise) unless a test chooses one.
#include "platform/Language.h"
#include "platform/headless/Headless.h"
#include "platform/shared/Catalogs.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<const char*> g_pszChosen{nullptr};

// The language of the first of the locale's variables that is set, when a catalog has it; English
// otherwise (the C locale among them).
const char* LanguageOfLocale() {
    for (const char* pszName : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* pszValue = std::getenv(pszName);
        if (pszValue != nullptr && pszValue[0] != '\0') {
            for (int32_t i = 0; i < g_nCatalogLanguages; ++i) {
                const char* pszCode = g_aCatalogLanguages[i].pszCode;
                const size_t nLength = std::strlen(pszCode);
                if (std::strncmp(pszValue, pszCode, nLength) == 0 &&
                    std::strchr("_.@", pszValue[nLength]) != nullptr) {
                    return pszCode;
                }
            }
            return "en";
        }
    }
    return "en";
}

} // namespace

void HeadlessSetLanguage(const char* pszCode) {
    g_pszChosen.store(pszCode);
}

const char* PlatformLanguage() {
    const char* pszChosen = g_pszChosen.load();
    return pszChosen != nullptr ? pszChosen : LanguageOfLocale();
}

const char* PlatformTranslate(const char* pszEnglish) {
    const char* pszText = CatalogText(PlatformLanguage(), CatalogIndex(pszEnglish));
    return pszText != nullptr ? pszText : pszEnglish;
}
