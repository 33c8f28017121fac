// What the Linux language service lets a test steer (platform/Language.h is the service itself).
#pragma once

#include <string>

// Reads the catalogs from pszFolder/<lang>/LC_MESSAGES/lumivorra.mo from now on (for test programs that
// live away from the program's folder). Main thread, before texts are asked for on other threads.
void SetCatalogFolder(const char* pszFolder);
// The text (UTF-8, as Tr gives it) in the character set of the user's terminal, the locale's (LC_CTYPE as
// the environment names it): converted where that is another one that holds every character, such as
// EUC-JP for ja_JP.eucJP; unchanged otherwise. For what goes to stdout and stderr. Any thread.
std::string TerminalText(const char* pszText);
