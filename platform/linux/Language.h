// What the Linux language service lets a test steer (platform/Language.h is the service itself).
#pragma once

// Reads the catalogs from pszFolder/<lang>/LC_MESSAGES/lumivorra.mo from now on (for test programs that
// live away from the program's folder). Main thread, before texts are asked for on other threads.
void SetCatalogFolder(const char* pszFolder);
