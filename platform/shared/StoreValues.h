// The values of one settings-store key held in memory, with the registry's rules for names (compared
// without regard to ASCII case) and for queries (the whole value or nothing). Shared by the in-memory
// store and the Linux file store. Not thread-safe: one owner.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct StoreValue {
    std::string name;
    uint32_t dwType;
    std::vector<uint8_t> bytes;
};

class StoreValues {
public:
    // The value of that name, or null.
    const StoreValue* Find(const char* pszName) const;
    // Adds the value or replaces the one of the same name (keeping its place and its first spelling).
    void Set(const char* pszName, uint32_t dwType, const void* pData, uint32_t dwSize);
    // The query of SettingsStore::QueryValue on these values.
    bool Query(const char* pszName, uint32_t* pdwType, void* pData, uint32_t* pdwSize) const;

    const std::vector<StoreValue>& All() const { return m_values; }

private:
    std::vector<StoreValue> m_values;
};

// Key and value names compare as the registry compares them.
bool StoreNamesEqual(const std::string& a, const std::string& b);
