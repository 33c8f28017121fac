#include "platform/headless/SettingsStore.h"

MemoryStore::Key* MemoryStore::FindKey(const std::string& path) {
    for (Key& key : m_keys) {
        if (StoreNamesEqual(key.path, path)) {
            return &key;
        }
    }
    return nullptr;
}

const MemoryStore::Key* MemoryStore::FindKey(const std::string& path) const {
    return const_cast<MemoryStore*>(this)->FindKey(path);
}

bool MemoryStore::Open(StoreKey hParent, const char* pszName, bool bCreate, StoreKey* phKey) {
    m_log.push_back((bCreate ? "create " : "open ") + std::string(pszName));
    *phKey = STORE_NO_KEY;
    std::string path;
    if (hParent != STORE_CURRENT_USER) {
        const auto it = m_handles.find(hParent);
        if (it == m_handles.end()) {
            return false;
        }
        path = it->second + "\\";
    }
    path += pszName;
    if (FindKey(path) == nullptr) {
        if (!bCreate || m_bCreateFails) {
            return false;
        }
        m_keys.push_back(Key{path, {}});
    }
    *phKey = m_hNext++;
    m_handles[*phKey] = path;
    return true;
}

bool MemoryStore::OpenKey(StoreKey hParent, const char* pszName, StoreKey* phKey) {
    return Open(hParent, pszName, false, phKey);
}

bool MemoryStore::CreateKey(StoreKey hParent, const char* pszName, StoreKey* phKey) {
    return Open(hParent, pszName, true, phKey);
}

bool MemoryStore::QueryValue(StoreKey hKey, const char* pszName, uint32_t* pdwType, void* pData,
                             uint32_t* pdwSize) {
    m_log.push_back("query " + std::string(pszName) + " " + std::to_string(*pdwSize));
    const auto it = m_handles.find(hKey);
    return it != m_handles.end() && FindKey(it->second)->values.Query(pszName, pdwType, pData, pdwSize);
}

bool MemoryStore::SetValue(StoreKey hKey, const char* pszName, uint32_t dwType, const void* pData,
                           uint32_t dwSize) {
    m_log.push_back("set " + std::string(pszName) + " " + std::to_string(dwType) + " " +
                    std::to_string(dwSize));
    const auto it = m_handles.find(hKey);
    if (it == m_handles.end()) {
        return false;
    }
    FindKey(it->second)->values.Set(pszName, dwType, pData, dwSize);
    return true;
}

void MemoryStore::CloseKey(StoreKey hKey) {
    const auto it = m_handles.find(hKey);
    if (it == m_handles.end()) {
        return;
    }
    const size_t nSlash = it->second.rfind('\\');
    m_log.push_back("close " + it->second.substr(nSlash == std::string::npos ? 0 : nSlash + 1));
    m_handles.erase(it);
}

bool MemoryStore::HasKey(const std::string& path) const {
    return FindKey(path) != nullptr;
}

void MemoryStore::Put(const std::string& path, const char* pszName, uint32_t dwType,
                      const std::vector<uint8_t>& bytes) {
    for (size_t nEnd = path.find('\\');; nEnd = path.find('\\', nEnd + 1)) {
        const std::string level = path.substr(0, nEnd);
        if (FindKey(level) == nullptr) {
            m_keys.push_back(Key{level, {}});
        }
        if (nEnd == std::string::npos) {
            break;
        }
    }
    FindKey(path)->values.Set(pszName, dwType, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

const StoreValue* MemoryStore::Get(const std::string& path, const char* pszName) const {
    const Key* pKey = FindKey(path);
    return pKey ? pKey->values.Find(pszName) : nullptr;
}
