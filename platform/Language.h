// Language service: the texts the user reads, in the user's language. The program's texts are written in
// English at their point of use, through Tr; the other languages come from catalogs (po/<lang>.po).
// Linux: gettext, from the locale (LC_ALL, LC_MESSAGES, LANG, as gettext reads them), catalogs under
// share/locale/<lang>/LC_MESSAGES/lumivorra.mo; Windows: the module's language-tagged string table, as
// the resource loader picks it for the user's UI language; headless: the catalogs compiled in, the
// language from the same variables as on Linux unless a test chooses one.
//
//     throw SString(Tr("Cannot open %s.\n"), pszName);
//
// Any thread. The texts returned live as long as the process; in the Windows build they are in the ANSI
// code page, elsewhere UTF-8.
#pragma once

#if defined(__GNUC__)
#define LV_FORMAT_ARG(n) __attribute__((format_arg(n)))
#else
#define LV_FORMAT_ARG(n)
#endif

// The translation of pszEnglish into the user's language, or pszEnglish itself when there is none.
const char* PlatformTranslate(const char* pszEnglish) LV_FORMAT_ARG(1);
// The language that PlatformTranslate translates into: "ja", "en", ... (ISO 639-1).
const char* PlatformLanguage();

// The short form used wherever a text is shown (and the keyword that xgettext collects).
inline const char* Tr(const char* pszEnglish) LV_FORMAT_ARG(1);
inline const char* Tr(const char* pszEnglish) {
    return PlatformTranslate(pszEnglish);
}
