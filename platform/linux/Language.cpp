// The language service on Linux: gettext, with the catalogs beside the program (the build folder) or
// where they are installed, relative to the program (share/locale under the prefix).
#include "platform/Language.h"
#include "platform/linux/Language.h"
#include "platform/linux/ProgramFolder.h"

#include <iconv.h>
#include <langinfo.h>
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
std::string g_codeset; // the terminal's character set, as the environment's LC_CTYPE names it

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
    // The terminal's character set, for TerminalText: the environment's LC_CTYPE is taken only for this
    // look (newlocale would do it without touching the process's, but keeps a block of $LOCPATH's).
    const char* pszCType = std::setlocale(LC_CTYPE, nullptr);
    const std::string cType = pszCType != nullptr ? pszCType : "C";
    if (std::setlocale(LC_CTYPE, "") != nullptr) {
        g_codeset = nl_langinfo(CODESET);
        std::setlocale(LC_CTYPE, cType.c_str());
    }
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

std::string TerminalText(const char* pszText) {
    std::call_once(g_started, Start);
    const std::string& codeset = g_codeset;
    std::string text(pszText);
    if (codeset.empty() || codeset == "UTF-8") {
        return text;
    }
    const iconv_t hConvert = iconv_open(codeset.c_str(), "UTF-8");
    if (hConvert == reinterpret_cast<iconv_t>(-1)) {
        return text;
    }
    std::string converted(text.size() * 4 + 16, '\0'); // no character set takes more than 4 bytes a character
    char* pIn = text.data();
    size_t nIn = text.size();
    char* pOut = converted.data();
    size_t nOut = converted.size();
    // A character the terminal's set lacks leaves the text as it was, rather than cut or replaced.
    const bool bWhole = iconv(hConvert, &pIn, &nIn, &pOut, &nOut) == 0 &&
                        iconv(hConvert, nullptr, nullptr, &pOut, &nOut) == 0;
    iconv_close(hConvert);
    if (!bWhole) {
        return text;
    }
    converted.resize(converted.size() - nOut);
    return converted;
}

void SetCatalogFolder(const char* pszFolder) {
    std::call_once(g_started, Start);
    Bind(pszFolder);
}
