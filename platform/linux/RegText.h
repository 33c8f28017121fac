// The text form of the Linux settings files: one key's values in the registry's export style, UTF-8.
//
//     Windows Registry Editor Version 5.00
//
//     [HKEY_CURRENT_USER\Software\quillo\Lumivorra]
//     "Nums"=dword:00000028
//     "CustomColors"=hex:ff,64,64,00,ff,ff,ff,ff,...
//     "MusicFile"=sz(256):"/home/me/song.mid"
//
// Numbers of 4 bytes are dword:, binary values hex:, other types hex(type):. A string is "text" when it
// is exactly the text and its zero, and sz(size):"text" when zeros pad it to a larger stored size (the
// store keeps every value's type and size); a string that is not plain text is written as hex(1):. In
// quoted text \ and " are escaped with \. Long hex lines continue on the next line after a \.
#pragma once

#include "platform/shared/StoreValues.h"

#include <string>

// The whole file for the key at keyPath (for example "HKEY_CURRENT_USER\Software\quillo\Lumivorra").
std::string FormatRegText(const std::string& keyPath, const StoreValues& values);
// Adds to *pValues every well-formed value of the section keyPath in text. Anything else (other
// sections, unknown or damaged lines, values too large) is skipped; never fails.
void ParseRegText(const std::string& text, const std::string& keyPath, StoreValues* pValues);
