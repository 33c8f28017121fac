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
            throw SString("%sは不明なオプションです。--help で一覧を表示します。\n", pszArg);
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
        throw SString("設定のオプションは画面を表示するときだけ使えます（設定ダイアログは保存された設定を"
                      "編集します）。\n");
    }
    return line;
}

std::string UsageText() {
    std::string text = "使い方: lumivorra [スイッチ] [オプション...]\n"
                       "\n"
                       "スイッチ:\n"
                       "  /s                     全画面で表示する（キー、ボタン、マウスの移動で終わります）\n"
                       "  /c、または何も指定しない  設定ダイアログを開く\n"
                       "  /p ID、/l ID           X11 ウィンドウ ID（10 進）の中にプレビューを表示する\n"
                       "  --window               320x240 のウィンドウで表示する（Esc で終わります）\n"
                       "  --window-id ID         X11 ウィンドウ ID（10 進か 0x 付き 16 進）の中に表示する\n"
                       "  --root                 $XSCREENSAVER_WINDOW（なければルートウィンドウ）に表示する\n"
                       "  --help                 この説明を表示する\n"
                       "  --version              バージョンを表示する\n"
                       "\n"
                       "オプション（保存された設定をこの実行に限って置き換えます。保存はしません）:\n";
    text += g_szSettingsOptionsHelp;
    text += "\n"
            "オプションは -count のように一つのダッシュでも、--count=N のようにも書けます。同じ設定を\n"
            "二度指定すると後のものが使われます。設定ファイル: ~/.config/quillo/Lumivorra.reg\n";
    return text;
}
