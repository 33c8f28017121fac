#include "platform/Language.h"
#include "framework/SInput.h"
#include "framework/SString.h"
#include "platform/headless/Headless.h"
#include "platform/shared/Catalogs.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

// Sets a variable of the environment for the test's length.
class ScopedVariable {
public:
    ScopedVariable(const char* pszName, const char* pszValue) : m_name(pszName) {
        if (const char* pszOld = std::getenv(pszName)) {
            m_old = pszOld;
            m_bHad = true;
        }
        Set(pszValue);
    }
    ~ScopedVariable() { Set(m_bHad ? m_old.c_str() : nullptr); }

private:
    void Set(const char* pszValue) {
#if defined(_WIN32)
        _putenv_s(m_name.c_str(), pszValue != nullptr ? pszValue : "");
#else
        if (pszValue != nullptr) {
            setenv(m_name.c_str(), pszValue, 1);
        } else {
            unsetenv(m_name.c_str());
        }
#endif
    }
    std::string m_name, m_old;
    bool m_bHad = false;
};

std::string OpenError(const char* pszPath) {
    SInput input;
    try {
        input.Load(pszPath, LOAD_FILE, nullptr);
    } catch (const SString& error) {
        return error.Text();
    }
    return "no error";
}

// The printf conversions of a format, in order ("%s%x").
std::string Conversions(const char* pszFormat) {
    std::string found;
    for (const char* p = pszFormat; *p != '\0'; ++p) {
        if (*p == '%') {
            found += *p++;
            while (*p != '\0' && std::string("diouxXcspf%").find(*p) == std::string::npos) {
                found += *p++;
            }
            found += *p;
            if (*p == '\0') {
                break;
            }
        }
    }
    return found;
}

} // namespace

TEST(Language, MessagesFollowTheChosenLanguageAndEnglishIsTheirOwnText) {
    HeadlessSetLanguage("en");
    EXPECT_EQ(OpenError("/nonexistent/map.bmp"), "Could not open /nonexistent/map.bmp.\n");
    EXPECT_STREQ(Tr("A text no catalog holds"), "A text no catalog holds");
    HeadlessSetLanguage("ja");
    EXPECT_EQ(OpenError("/nonexistent/map.bmp"), "/nonexistent/map.bmpをオープンできませんでした。\n");
    EXPECT_STREQ(Tr("A text no catalog holds"), "A text no catalog holds");
    // A language without a catalog is English.
    HeadlessSetLanguage("de");
    EXPECT_EQ(OpenError("/nonexistent/map.bmp"), "Could not open /nonexistent/map.bmp.\n");
    HeadlessSetLanguage(nullptr);
}

TEST(Language, TheLocaleVariablesChooseAsGettextReadsThem) {
    HeadlessSetLanguage(nullptr);
    ScopedVariable all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr), lang("LANG", nullptr);
    ScopedVariable list("LANGUAGE", nullptr);
    EXPECT_STREQ(PlatformLanguage(), "en");
    {
        ScopedVariable japanese("LANG", "ja_JP.UTF-8");
        EXPECT_STREQ(PlatformLanguage(), "ja");
        ScopedVariable english("LC_MESSAGES", "en_US.UTF-8");
        EXPECT_STREQ(PlatformLanguage(), "en");
        ScopedVariable both("LC_ALL", "ja_JP.eucJP");
        EXPECT_STREQ(PlatformLanguage(), "ja");
    }
    ScopedVariable c("LC_ALL", "C");
    EXPECT_STREQ(PlatformLanguage(), "en");
}

// lumivorra-render must speak the language lumivorra's gettext picks, LANGUAGE included.
TEST(Language, LanguageComesBeforeTheLocaleExceptInTheCLocale) {
    HeadlessSetLanguage(nullptr);
    ScopedVariable all("LC_ALL", nullptr), messages("LC_MESSAGES", nullptr), lang("LANG", "en_US.UTF-8");
    {
        ScopedVariable list("LANGUAGE", "ja");
        EXPECT_STREQ(PlatformLanguage(), "ja");
        EXPECT_EQ(OpenError("/nonexistent/map.bmp"), "/nonexistent/map.bmpをオープンできませんでした。\n");
    }
    {
        // Entries without a catalog are passed over; "C" ends the list.
        ScopedVariable list("LANGUAGE", "fr_FR:ja_JP:de");
        EXPECT_STREQ(PlatformLanguage(), "ja");
        ScopedVariable stop("LANGUAGE", "fr:C:ja");
        EXPECT_STREQ(PlatformLanguage(), "en");
        ScopedVariable none("LANGUAGE", "de:fr");
        EXPECT_STREQ(PlatformLanguage(), "en");
    }
    {
        ScopedVariable list("LANGUAGE", "en");
        ScopedVariable japanese("LANG", "ja_JP.UTF-8");
        EXPECT_STREQ(PlatformLanguage(), "en");
        ScopedVariable empty("LANGUAGE", "");
        EXPECT_STREQ(PlatformLanguage(), "ja");
    }
    {
        // The C locale reads no LANGUAGE.
        ScopedVariable list("LANGUAGE", "ja");
        ScopedVariable c("LC_ALL", "C");
        EXPECT_STREQ(PlatformLanguage(), "en");
        ScopedVariable posix("LC_ALL", "POSIX");
        EXPECT_STREQ(PlatformLanguage(), "en");
    }
}

// A translation that asked for other arguments than its English text would read past them.
TEST(Language, EveryTranslationTakesTheArgumentsOfItsEnglishText) {
    ASSERT_GT(g_nCatalogLanguages, 0);
    for (int32_t nLanguage = 0; nLanguage < g_nCatalogLanguages; ++nLanguage) {
        const CatalogLanguage& language = g_aCatalogLanguages[nLanguage];
        for (int32_t i = 0; i < g_nCatalogTexts; ++i) {
            const char* pszText = language.ppszTranslated[i];
            ASSERT_NE(pszText, nullptr) << language.pszCode << ": " << g_apszCatalogEnglish[i];
            EXPECT_EQ(Conversions(pszText), Conversions(g_apszCatalogEnglish[i]))
                << language.pszCode << ": " << g_apszCatalogEnglish[i];
            EXPECT_EQ(CatalogIndex(g_apszCatalogEnglish[i]), i);
        }
    }
    EXPECT_EQ(CatalogIndex("A text no catalog holds"), -1);
}
