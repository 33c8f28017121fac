#include "platform/shared/Catalogs.h"

#include <cstring>

int32_t CatalogIndex(const char* pszEnglish) {
    int32_t nLow = 0;
    int32_t nHigh = g_nCatalogTexts - 1;
    while (nLow <= nHigh) {
        const int32_t nMiddle = nLow + (nHigh - nLow) / 2;
        const int nOrder = std::strcmp(pszEnglish, g_apszCatalogEnglish[nMiddle]);
        if (nOrder == 0) {
            return nMiddle;
        }
        if (nOrder < 0) {
            nHigh = nMiddle - 1;
        } else {
            nLow = nMiddle + 1;
        }
    }
    return -1;
}

const char* CatalogText(const char* pszCode, int32_t nIndex) {
    if (nIndex < 0 || nIndex >= g_nCatalogTexts) {
        return nullptr;
    }
    for (int32_t i = 0; i < g_nCatalogLanguages; ++i) {
        if (std::strcmp(g_aCatalogLanguages[i].pszCode, pszCode) == 0) {
            return g_aCatalogLanguages[i].ppszTranslated[nIndex];
        }
    }
    return nullptr;
}
