// CommandLine: what lumivorra's arguments ask for on Linux: the screen-saver switch (or a host's
// window), the settings given as options, or the usage text or the version.
//
//     CommandLine line = ParseCommandLine(argc, argv, std::getenv("XSCREENSAVER_WINDOW") != nullptr);
//
// The words that are neither options nor XScreenSaver's window options are joined with blanks into the
// one command line that the switches are read from. Main thread; throws SString with a one-line message
// for a bad option value, an unknown "--" option, or settings options given to the settings dialog.
#pragma once

#include "config/SettingsOptions.h"

#include <string>

enum CommandAction {
    ACTION_SWITCH,   // ScreenSaverMain with switches
    ACTION_WINDOWED, // WindowedMain
    ACTION_HELP,     // print UsageText() and exit 0
    ACTION_VERSION,  // print the version and exit 0
};

struct CommandLine {
    CommandAction action = ACTION_SWITCH;
    std::string switches; // for ACTION_SWITCH; empty opens the settings dialog
    bool bRoot = false;   // draw into $XSCREENSAVER_WINDOW or the root window: switches is then
                          // completed by the caller with "/p " and that window's id
    SettingsOverride override{};
};

// bUnderXScreenSaver: $XSCREENSAVER_WINDOW is set, so that a start with no switch at all draws into it
// rather than opening a dialog on a locked screen.
CommandLine ParseCommandLine(int argc, const char* const* argv, bool bUnderXScreenSaver);
// An X11 window id in decimal or 0x-hex; 0 when the text is not one.
unsigned long ParseWindowId(const char* pszText);
// Every switch and option, for --help.
std::string UsageText();
