#include "platform/shared/StoreValues.h"

#include <cstring>

bool StoreNamesEqual(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

const StoreValue* StoreValues::Find(const char* pszName) const {
    for (const StoreValue& value : m_values) {
        if (StoreNamesEqual(value.name, pszName)) {
            return &value;
        }
    }
    return nullptr;
}

void StoreValues::Set(const char* pszName, uint32_t dwType, const void* pData, uint32_t dwSize) {
    const auto* pBytes = static_cast<const uint8_t*>(pData);
    std::vector<uint8_t> bytes(pBytes, pBytes + dwSize);
    for (StoreValue& value : m_values) {
        if (StoreNamesEqual(value.name, pszName)) {
            value.dwType = dwType;
            value.bytes = std::move(bytes);
            return;
        }
    }
    m_values.push_back(StoreValue{pszName, dwType, std::move(bytes)});
}

bool StoreValues::Query(const char* pszName, uint32_t* pdwType, void* pData, uint32_t* pdwSize) const {
    const StoreValue* pValue = Find(pszName);
    if (pValue == nullptr) {
        return false;
    }
    const uint32_t dwSize = static_cast<uint32_t>(pValue->bytes.size());
    const bool bFits = dwSize <= *pdwSize;
    *pdwSize = dwSize;
    if (!bFits) {
        return false;
    }
    *pdwType = pValue->dwType;
    if (dwSize != 0) {
        std::memcpy(pData, pValue->bytes.data(), dwSize);
    }
    return true;
}
