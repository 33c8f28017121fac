#include "framework/SInput.h"

#include "framework/Memory.h"
#include "framework/SString.h"
#include "platform/BuiltinItems.h"
#include "platform/Files.h"

#include <cstring>

SInput::SInput() : m_pData(nullptr), m_dwSize(0), m_pBuffer(nullptr) {}

SInput::~SInput() {
    Release();
}

void SInput::Release() {
    MemFree(m_pBuffer);
    m_pBuffer = nullptr;
    m_pData = nullptr;
    m_dwSize = 0;
}

void SInput::Load(const char* pszName, int32_t dwLoadType, ModuleHandle hModule) {
    Release();
    if (dwLoadType == LOAD_RESOURCE) {
        const uint8_t* pData = nullptr;
        uint32_t dwSize = 0;
        switch (PlatformFindBuiltinItem(hModule, pszName, &pData, &dwSize)) {
        case BUILTIN_FOUND:
            break;
        case BUILTIN_NOT_FOUND:
            throw SString(Tr("Could not find %s among the resources.\n"), pszName);
        case BUILTIN_LOAD_FAILED:
            throw SString(Tr("Could not load the resource into memory.\n"));
        case BUILTIN_LOCK_FAILED:
            throw SString(Tr("Could not lock the resource.\n"));
        }
        m_pData = pData;
        m_dwSize = dwSize;
        return;
    }

    PlatformFile file{};
    if (!PlatformFileOpen(pszName, &file)) {
        throw SString(Tr("Could not open %s.\n"), pszName);
    }
    try {
        uint64_t qwSize = 0;
        // A size beyond 32 bits cannot be read whole; reading only its low part would give a wrong picture.
        if (!PlatformFileSize(file, &qwSize) || qwSize > 0xFFFFFFFFu) {
            throw SString(Tr("Could not read %s correctly.\n"), pszName);
        }
        const uint32_t dwSize = static_cast<uint32_t>(qwSize);
        m_pBuffer = static_cast<uint8_t*>(MemAlloc(dwSize));
        std::memset(m_pBuffer, 0, dwSize);
        uint32_t dwRead = 0;
        if (!PlatformFileRead(file, m_pBuffer, dwSize, &dwRead) || dwRead < dwSize) {
            throw SString(Tr("Could not read %s correctly.\n"), pszName);
        }
        m_pData = m_pBuffer;
        m_dwSize = dwSize;
    } catch (const SString&) {
        Release();
        PlatformFileClose(file);
        throw;
    }
    PlatformFileClose(file);
}
