#include "platform/linux/CommandLine.h"

#include "framework/SString.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

unsigned long ParseWindowId(const char* pszText) {
    if (pszText == nullptr || *pszText == '\0') {
        return 0;
    }
    errno = 0;
    char* pszEnd = nullptr;
    const unsigned long ulId = std::strtoul(pszText, &pszEnd, 0);
    if (errno != 0 || *pszEnd != '\0' || pszText[0] == '-' || ulId > 0x7FFFFFFFul) {
        return 0;
    }
    return ulId;
}

CommandLine ParseCommandLine(int argc, const char* const* argv, bool bUnderXScreenSaver) {
    CommandLine line;
    bool bEmbed = false;
    unsigned long ulHost = 0;
    for (int i = 1; i < argc;) {
        if (ReadSettingsOption(argc, argv, &i, &line.override)) {
            continue;
        }
        const char* pszArg = argv[i++];
        // XScreenSaver passes its options with one dash; both spellings are taken.
        const bool bLong = std::strncmp(pszArg, "--", 2) == 0;
        const char* pszOption = bLong ? pszArg + 1 : pszArg;
        if (std::strcmp(pszOption, "-help") == 0) {
            line.action = ACTION_HELP;
            return line;
        } else if (std::strcmp(pszOption, "-version") == 0) {
            line.action = ACTION_VERSION;
            return line;
        } else if (std::strcmp(pszOption, "-window") == 0) {
            line.action = ACTION_WINDOWED;
        } else if (std::strcmp(pszOption, "-window-id") == 0) {
            bEmbed = true;
            line.bRoot = false;
            ulHost = ParseWindowId(i < argc ? argv[i++] : nullptr);
        } else if (std::strcmp(pszOption, "-root") == 0) {
            bEmbed = true;
            line.bRoot = true;
        } else if (bLong && pszArg[2] != '\0') {
            // A one-dash word is a switch (its second letter counts); a two-dash one can only be a
            // mistyped option, which would otherwise do nothing without a word.
            throw SString(Tr("%s is not a known option; --help lists them.\n"), pszArg);
        } else {
            line.switches += line.switches.empty() ? "" : " ";
            line.switches += pszArg;
        }
    }
    if (line.action == ACTION_WINDOWED) {
        return line;
    }
    if (!bEmbed && line.switches.empty() && bUnderXScreenSaver) {
        bEmbed = true;
        line.bRoot = true;
    }
    if (bEmbed) {
        line.switches = line.bRoot ? "" : "/p " + std::to_string(ulHost); // a bad id reads as 0: no window
    } else if (line.override.dwFields != 0 && (line.switches.empty() || line.switches[1] == 'c')) {
        throw SString("%s", Tr("Settings options are only taken when the picture is shown (the settings "
                               "dialog edits the stored settings).\n"));
    }
    return line;
}

std::string UsageText() {
    std::string text =
        Tr("Usage: lumivorra [switch] [options...]\n"
           "\n"
           "Switches:\n"
           "  /s                     full screen (a key, a button or moving the mouse ends it)\n"
           "  /c, or nothing         the settings dialog\n"
           "  /p ID, /l ID           a preview inside the X11 window ID (decimal)\n"
           "  --window               in a 320x240 window (Esc ends it)\n"
           "  --window-id ID         inside the X11 window ID (decimal, or hexadecimal with 0x)\n"
           "  --root                 inside $XSCREENSAVER_WINDOW (or the root window without it)\n"
           "  --help                 this text\n"
           "  --version              the version\n"
           "\n"
           "Options (they replace the stored settings for this run only and are never stored):\n");
    text += SettingsOptionsHelp();
    text +=
        Tr("\n"
           "Options can be written with one dash, as -count, and with their value after =, as --count=N.\n"
           "Of two options for the same setting the later one counts. Settings file:\n"
           "~/.config/quillo/Lumivorra.reg\n");
    return text;
}
