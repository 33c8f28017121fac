#include "platform/BuiltinItems.h"

#include <windows.h>

// The built-in items are RCDATA resources of the module, found by name (case-blind, as resource names are).
BuiltinStatus PlatformFindBuiltinItem(ModuleHandle hModule, const char* pszName, const uint8_t** ppData,
                                      uint32_t* pdwSize) {
    HMODULE hModuleNative = static_cast<HMODULE>(const_cast<void*>(hModule));
    HRSRC hInfo = FindResourceA(hModuleNative, pszName, MAKEINTRESOURCEA(10)); // RT_RCDATA
    if (hInfo == nullptr) {
        return BUILTIN_NOT_FOUND;
    }
    HGLOBAL hData = LoadResource(hModuleNative, hInfo);
    if (hData == nullptr) {
        return BUILTIN_LOAD_FAILED;
    }
    const void* pData = LockResource(hData);
    if (pData == nullptr) {
        return BUILTIN_LOCK_FAILED;
    }
    *ppData = static_cast<const uint8_t*>(pData);
    *pdwSize = SizeofResource(hModuleNative, hInfo);
    return BUILTIN_FOUND;
}
