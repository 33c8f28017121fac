#include "framework/SString.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

SString::SString(const char* pszFormat, ...) {
    va_list args;
    va_start(args, pszFormat);
    const int nWanted = std::vsnprintf(m_szMessage, sizeof(m_szMessage), pszFormat, args);
    va_end(args);
    if (nWanted < 0) {
        // An encoding error leaves no usable text; an empty message is still a valid error.
        m_szMessage[0] = '\0';
        m_nLength = 0;
        return;
    }
    const int nMax = static_cast<int>(sizeof(m_szMessage)) - 1;
    m_nLength = nWanted < nMax ? nWanted : nMax;
}

SString::SString(const SString& other) : m_nLength(other.m_nLength) {
    std::memcpy(m_szMessage, other.m_szMessage, sizeof(m_szMessage));
}

SString& SString::operator=(const SString& other) {
    std::memcpy(m_szMessage, other.m_szMessage, sizeof(m_szMessage));
    m_nLength = other.m_nLength;
    return *this;
}

SString::~SString() {}
