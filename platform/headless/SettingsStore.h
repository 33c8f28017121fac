// MemoryStore: the settings store of the headless platform, a tree of keys held in memory for the life
// of the object. It also lets a test look inside: put values in place, read what was stored, see every
// call in order, and make key creation fail. One owner thread, as for every settings store.
#pragma once

#include "platform/SettingsStore.h"
#include "platform/shared/StoreValues.h"

#include <map>
#include <string>
#include <vector>

class MemoryStore : public SettingsStore {
public:
    bool OpenKey(StoreKey hParent, const char* pszName, StoreKey* phKey) override;
    bool CreateKey(StoreKey hParent, const char* pszName, StoreKey* phKey) override;
    bool QueryValue(StoreKey hKey, const char* pszName, uint32_t* pdwType, void* pData,
                    uint32_t* pdwSize) override;
    bool SetValue(StoreKey hKey, const char* pszName, uint32_t dwType, const void* pData,
                  uint32_t dwSize) override;
    void CloseKey(StoreKey hKey) override;

    // Keys are named by their path below the user's root, levels joined with '\'.
    bool HasKey(const std::string& path) const;
    // Stores a value, creating the key path; not logged.
    void Put(const std::string& path, const char* pszName, uint32_t dwType,
             const std::vector<uint8_t>& bytes);
    // The stored value, or null.
    const StoreValue* Get(const std::string& path, const char* pszName) const;

    // Every call since the last clear, one line each: "open Software", "query Nums 4" (the size asked),
    // "create quillo", "set Nums 4 4" (type and size), "close Lumivorra".
    std::vector<std::string> m_log;
    // When set, CreateKey fails for every key.
    bool m_bCreateFails = false;
    // Keys handed out and not yet closed.
    size_t OpenKeyCount() const { return m_handles.size(); }

private:
    struct Key {
        std::string path;
        StoreValues values;
    };
    Key* FindKey(const std::string& path);
    const Key* FindKey(const std::string& path) const;
    bool Open(StoreKey hParent, const char* pszName, bool bCreate, StoreKey* phKey);

    std::vector<Key> m_keys;
    std::map<StoreKey, std::string> m_handles;
    StoreKey m_hNext = 2;
};
