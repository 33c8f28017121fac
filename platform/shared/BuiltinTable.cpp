#include "platform/shared/BuiltinTable.h"

#include "platform/BuiltinItems.h"

namespace {

struct Table {
    const BuiltinItem* pItems;
    size_t nCount;
};

// The program registers one table and tests a few; registration happens before any lookup, on the
// main thread, so the list needs no lock.
constexpr size_t kMaxTables = 32;
Table g_tables[kMaxTables];
size_t g_nTables = 0;

bool SameNameIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char ca = *a;
        char cb = *b;
        if (ca >= 'a' && ca <= 'z') {
            ca = static_cast<char>(ca - 'a' + 'A');
        }
        if (cb >= 'a' && cb <= 'z') {
            cb = static_cast<char>(cb - 'a' + 'A');
        }
        if (ca != cb) {
            return false;
        }
        if (ca == '\0') {
            return true;
        }
    }
}

} // namespace

void RegisterBuiltinItems(const BuiltinItem* pItems, size_t nCount) {
    for (size_t i = 0; i < g_nTables; ++i) {
        if (g_tables[i].pItems == pItems) {
            return;
        }
    }
    if (g_nTables < kMaxTables) {
        g_tables[g_nTables++] = Table{pItems, nCount};
    }
}

BuiltinStatus PlatformFindBuiltinItem(ModuleHandle, const char* pszName, const uint8_t** ppData,
                                      uint32_t* pdwSize) {
    for (size_t t = g_nTables; t-- > 0;) {
        for (size_t i = 0; i < g_tables[t].nCount; ++i) {
            const BuiltinItem& item = g_tables[t].pItems[i];
            if (SameNameIgnoringCase(item.pszName, pszName)) {
                *ppData = item.pData;
                *pdwSize = item.dwSize;
                return BUILTIN_FOUND;
            }
        }
    }
    return BUILTIN_NOT_FOUND;
}
