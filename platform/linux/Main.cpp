// lumivorra: the screen saver on Linux.
//
//   lumivorra /s                full screen; any input closes it
//   lumivorra /c, or nothing    the settings dialog
//   lumivorra /p ID, /l ID      inside the X11 window ID (decimal), as a preview
//   lumivorra --window          in a plain 320x240 window that only Esc closes
//   lumivorra --window-id ID    inside the X11 window ID (decimal or 0x-hex), XScreenSaver's convention
//   lumivorra --root            inside $XSCREENSAVER_WINDOW, or the root window when it is not set
//
// The arguments are joined with blanks into the one command line that the switches are read from. With
// no argument at all under XScreenSaver ($XSCREENSAVER_WINDOW set) the picture goes into its window
// rather than opening a dialog on a locked screen. SIGINT and SIGTERM end a run as a close request
// does. Exit code 1 after a run, 0 after an error (its message on stderr). With $LUMIVORRA_TRACE set the
// trace lines go to stderr too (among them the frames shown and their rate when the window closes).
#include "framework/Debug.h"
#include "framework/EntryPoint.h"
#include "framework/Memory.h"
#include "platform/linux/DialogHost.h"
#include "platform/linux/SettingsStore.h"
#include "platform/linux/Window.h"
#include "resources/BuiltinResources.h"
#include "scene/SScene.h"

#include <X11/Xlib.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

struct Services {
    FileStore store;
    std::unique_ptr<QtDialogHost> pDialogHost;
};

SFrmWork* MakeScene(void* pContext) {
    Services* pServices = static_cast<Services*>(pContext);
    return NewObject<SScene>(pServices->store, pServices->pDialogHost.get());
}

void TraceToStderr(const char* pszLine) {
    std::fputs(pszLine, stderr);
}

void OnTerminate(int nSignal) {
    // Before any window exists (the settings dialog, or the very start) the default action ends the
    // process; a running picture ends through its close request instead.
    if (!SdlHostRequestCloseFromSignal()) {
        std::signal(nSignal, SIG_DFL);
        std::raise(nSignal);
    }
}

// An X11 window id in decimal or 0x-hex; 0 when the text is not one.
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

unsigned long HostOfRoot() {
    if (const char* pszWindow = std::getenv("XSCREENSAVER_WINDOW")) {
        return ParseWindowId(pszWindow);
    }
    Display* pDisplay = XOpenDisplay(nullptr);
    if (pDisplay == nullptr) {
        return 0;
    }
    const unsigned long ulRoot = DefaultRootWindow(pDisplay);
    XCloseDisplay(pDisplay);
    return ulRoot;
}

} // namespace

int main(int argc, char** argv) {
    std::string cmdLine;
    bool bWindowed = false;
    bool bEmbed = false;
    unsigned long ulHost = 0;
    for (int i = 1; i < argc; ++i) {
        const char* pszArg = argv[i];
        // XScreenSaver passes its options with one dash; both spellings are taken.
        const char* pszOption = std::strncmp(pszArg, "--", 2) == 0 ? pszArg + 1 : pszArg;
        if (std::strcmp(pszOption, "-window") == 0) {
            bWindowed = true;
        } else if (std::strcmp(pszOption, "-window-id") == 0) {
            bEmbed = true;
            ulHost = ParseWindowId(i + 1 < argc ? argv[++i] : nullptr);
        } else if (std::strcmp(pszOption, "-root") == 0) {
            bEmbed = true;
            ulHost = HostOfRoot();
        } else {
            cmdLine += cmdLine.empty() ? "" : " ";
            cmdLine += pszArg;
        }
    }
    if (!bEmbed && !bWindowed && argc == 1 && std::getenv("XSCREENSAVER_WINDOW") != nullptr) {
        bEmbed = true;
        ulHost = HostOfRoot();
    }
    if (bEmbed) {
        cmdLine = "/p " + std::to_string(ulHost); // a bad id reads as 0: no window can be made in it
    }

    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    if (std::getenv("LUMIVORRA_TRACE") != nullptr) {
        SetTraceSink(TraceToStderr);
    }
    RegisterBuiltinResources();
    Services services;
    // Qt starts only for a command line that opens the settings dialog.
    const bool bConfigure = !bWindowed && (cmdLine.empty() || (cmdLine.size() > 1 && cmdLine[1] == 'c'));
    if (bConfigure) {
        services.pDialogHost = std::make_unique<QtDialogHost>();
    }
    const int nExitCode = bWindowed ? WindowedMain(nullptr, 320, 240, MakeScene, &services)
                                    : ScreenSaverMain(nullptr, cmdLine.c_str(), MakeScene, &services);
    SdlHostShutdown();
    return nExitCode;
}
