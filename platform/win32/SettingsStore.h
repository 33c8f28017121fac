// The settings store on the current user's registry (advapi32).
#pragma once

#include "platform/SettingsStore.h"

class RegistryStore final : public SettingsStore {
public:
    bool OpenKey(StoreKey hParent, const char* pszName, StoreKey* phKey) override;
    bool CreateKey(StoreKey hParent, const char* pszName, StoreKey* phKey) override;
    bool QueryValue(StoreKey hKey, const char* pszName, uint32_t* pdwType, void* pData,
                    uint32_t* pdwSize) override;
    bool SetValue(StoreKey hKey, const char* pszName, uint32_t dwType, const void* pData,
                  uint32_t dwSize) override;
    void CloseKey(StoreKey hKey) override;
};
