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

// The catalog language that a locale name ("ja_JP.UTF-8", "ja") or a LANGUAGE entry names; null when no
// catalog has it.
const char* CatalogOf(const char* pszName, size_t nNameLength) {
    for (int32_t i = 0; i < g_nCatalogLanguages; ++i) {
        const char* pszCode = g_aCatalogLanguages[i].pszCode;
        const size_t nLength = std::strlen(pszCode);
        if (nLength <= nNameLength && std::strncmp(pszName, pszCode, nLength) == 0 &&
            (nLength == nNameLength || std::strchr("_.@", pszName[nLength]) != nullptr)) {
            return pszCode;
        }
    }
    return nullptr;
}

// As gettext chooses: the locale is the first of the locale's variables that is set; in a locale other than
// C, LANGUAGE (a list such as "fr:ja") comes before it, its first entry with a catalog winning. English
// otherwise (the C locale among them).
const char* LanguageOfLocale() {
    const char* pszLocale = "C";
    for (const char* pszName : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* pszValue = std::getenv(pszName);
        if (pszValue != nullptr && pszValue[0] != '\0') {
            pszLocale = pszValue;
            break;
        }
    }
    if (std::strcmp(pszLocale, "C") == 0 || std::strcmp(pszLocale, "POSIX") == 0) {
        return "en";
    }
    const char* pszList = std::getenv("LANGUAGE");
    if (pszList != nullptr && pszList[0] != '\0') {
        for (const char* pszEntry = pszList; *pszEntry != '\0';) {
            const size_t nLength = std::strcspn(pszEntry, ":");
            // Like the C locale, an entry "C" ends the list untranslated.
            if ((nLength == 1 && pszEntry[0] == 'C') ||
                (nLength == 5 && std::strncmp(pszEntry, "POSIX", 5) == 0)) {
                return "en";
            }
            if (const char* pszCode = CatalogOf(pszEntry, nLength)) {
                return pszCode;
            }
            pszEntry += pszEntry[nLength] == ':' ? nLength + 1 : nLength;
        }
        return "en";
    }
    const char* pszCode = CatalogOf(pszLocale, std::strlen(pszLocale));
    return pszCode != nullptr ? pszCode : "en";
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
