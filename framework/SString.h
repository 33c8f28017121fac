// SString: the one error object of the program.
//
// Every failure anywhere is reported by throwing an SString by value, built printf-style from the system's
// own message; it is caught by constant reference. Whoever catches it reads m_szMessage as a plain
// NUL-terminated string (never as a format: it can carry user text such as a file name). Messages are
// written in English and shown in the user's language through Tr (platform/Language.h).
//
//     throw SString(Tr("Could not open %s.\n"), pszName);
//
// The text keeps at most 511 bytes; a longer result is cut there. Usable on any thread.
#pragma once

#include "platform/Language.h"

#include <cstdint>

#if defined(__GNUC__)
#define LV_PRINTF_FORMAT(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define LV_PRINTF_FORMAT(fmt, args)
#endif

class SString {
public:
    // Formats the message with the standard printf rules.
    explicit SString(const char* pszFormat, ...) LV_PRINTF_FORMAT(2, 3);
    SString(const SString& other);
    SString& operator=(const SString& other);
    virtual ~SString();

    const char* Text() const { return m_szMessage; }

    char m_szMessage[512];
    int32_t m_nLength;
};
