// The language service on Linux: gettext, with the catalogs beside the program (the build folder) or
// where they are installed, relative to the program (share/locale under the prefix).
#include "platform/Language.h"
#include "platform/linux/Language.h"
#include "platform/linux/ProgramFolder.h"

#include <libintl.h>

#include <clocale>
#include <cstring>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#ifndef LV_LOCALE_DIR
#define LV_LOCALE_DIR ""
#endif

namespace {

constexpr const char* kDomain = "lumivorra";

std::once_flag g_started;
std::string g_language = "en";

bool IsFolder(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The language of the catalog gettext chose, from its header ("Language: ja"); English without one.
std::string CatalogLanguage() {
    const char* pszHeader = dgettext(kDomain, "");
    const char* pszField = pszHeader != nullptr ? std::strstr(pszHeader, "Language: ") : nullptr;
    if (pszField == nullptr) {
        return "en";
    }
    pszField += std::strlen("Language: ");
    const size_t nLength = std::strcspn(pszField, "_@.\n");
    return nLength == 0 ? std::string("en") : std::string(pszField, nLength);
}

void Bind(const std::string& folder) {
    bindtextdomain(kDomain, folder.c_str());
    // The program's texts are UTF-8 whatever the locale's character set.
    bind_textdomain_codeset(kDomain, "UTF-8");
    g_language = CatalogLanguage();
}

void Start() {
    // Only the language of messages follows the locale: numbers keep being read and written the C way.
    std::setlocale(LC_MESSAGES, "");
    const std::string program = ProgramFolder();
    const std::string installed = LV_LOCALE_DIR;
    std::string folder = program + "/locale";
    if (program.empty() || !IsFolder(folder)) {
        folder = installed.empty() || program.empty() ? std::string() : program + "/" + installed;
    }
    if (!folder.empty()) {
        Bind(folder);
    }
}

} // namespace

const char* PlatformTranslate(const char* pszEnglish) {
    std::call_once(g_started, Start);
    return dgettext(kDomain, pszEnglish);
}

const char* PlatformLanguage() {
    std::call_once(g_started, Start);
    return g_language.c_str();
}

void SetCatalogFolder(const char* pszFolder) {
    std::call_once(g_started, Start);
    Bind(pszFolder);
}
