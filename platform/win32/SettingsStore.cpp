#include "platform/win32/SettingsStore.h"

#include <windows.h>

namespace {
// The store's root stands for HKEY_CURRENT_USER; every other key is a registry handle.
HKEY Native(StoreKey hKey) {
    return hKey == STORE_CURRENT_USER ? HKEY_CURRENT_USER : reinterpret_cast<HKEY>(hKey);
}
} // namespace

bool RegistryStore::OpenKey(StoreKey hParent, const char* pszName, StoreKey* phKey) {
    *phKey = STORE_NO_KEY;
    HKEY hKey = nullptr;
    if (hParent == STORE_NO_KEY ||
        RegOpenKeyExA(Native(hParent), pszName, 0, KEY_QUERY_VALUE, &hKey) != ERROR_SUCCESS) {
        return false;
    }
    *phKey = reinterpret_cast<StoreKey>(hKey);
    return true;
}

bool RegistryStore::CreateKey(StoreKey hParent, const char* pszName, StoreKey* phKey) {
    *phKey = STORE_NO_KEY;
    HKEY hKey = nullptr;
    DWORD dwDisposition = 0;
    if (hParent == STORE_NO_KEY ||
        RegCreateKeyExA(Native(hParent), pszName, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &hKey, &dwDisposition) != ERROR_SUCCESS) {
        return false;
    }
    *phKey = reinterpret_cast<StoreKey>(hKey);
    return true;
}

bool RegistryStore::QueryValue(StoreKey hKey, const char* pszName, uint32_t* pdwType, void* pData,
                               uint32_t* pdwSize) {
    if (hKey == STORE_NO_KEY) {
        return false;
    }
    // Asked for its size first, so that a larger value leaves the field untouched.
    DWORD dwType = 0;
    DWORD dwSize = 0;
    if (RegQueryValueExA(Native(hKey), pszName, nullptr, &dwType, nullptr, &dwSize) != ERROR_SUCCESS) {
        return false;
    }
    if (dwSize > *pdwSize) {
        *pdwSize = dwSize;
        return false;
    }
    dwSize = *pdwSize;
    if (RegQueryValueExA(Native(hKey), pszName, nullptr, &dwType, static_cast<BYTE*>(pData), &dwSize) !=
        ERROR_SUCCESS) {
        return false;
    }
    *pdwType = dwType;
    *pdwSize = dwSize;
    return true;
}

bool RegistryStore::SetValue(StoreKey hKey, const char* pszName, uint32_t dwType, const void* pData,
                             uint32_t dwSize) {
    if (hKey == STORE_NO_KEY || hKey == STORE_CURRENT_USER) {
        return false;
    }
    return RegSetValueExA(Native(hKey), pszName, 0, dwType, static_cast<const BYTE*>(pData), dwSize) ==
           ERROR_SUCCESS;
}

void RegistryStore::CloseKey(StoreKey hKey) {
    if (hKey != STORE_NO_KEY && hKey != STORE_CURRENT_USER) {
        RegCloseKey(Native(hKey));
    }
}
