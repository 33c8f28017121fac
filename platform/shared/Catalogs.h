// The program's translations compiled in (made from po/<lang>.po by po/catalogs.py), for the layers that
// have no gettext: the headless one, and the Windows one, whose string table numbers its texts in the same
// order. Read-only, any thread.
#pragma once

#include <cstdint>

struct CatalogLanguage {
    const char* pszCode;               // "ja", ...
    const char* const* ppszTranslated; // in the order of the English texts; null where untranslated
};

// The English texts, sorted by their bytes; the catalogs' languages.
extern const char* const g_apszCatalogEnglish[];
extern const int32_t g_nCatalogTexts;
extern const CatalogLanguage g_aCatalogLanguages[];
extern const int32_t g_nCatalogLanguages;

// The place of pszEnglish among the English texts, or -1.
int32_t CatalogIndex(const char* pszEnglish);
// Text nIndex in the language pszCode, or null when that language has no catalog or no translation.
const char* CatalogText(const char* pszCode, int32_t nIndex);
