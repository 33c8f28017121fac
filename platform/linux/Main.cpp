// lumivorra: the screen saver on Linux.
//
//   lumivorra /s                full screen; any input closes it
//   lumivorra /c, or nothing    the settings dialog
//   lumivorra /p ID, /l ID      inside the X11 window ID (decimal), as a preview
//   lumivorra --window          in a plain 320x240 window that only Esc closes
//   lumivorra --window-id ID    inside the X11 window ID (decimal or 0x-hex), XScreenSaver's convention
//   lumivorra --root            inside $XSCREENSAVER_WINDOW, or the root window when it is not set
//   lumivorra --help, --version
//
// Settings options (--count N, --color #RRGGBB, ...; see CommandLine.h and --help) replace the stored
// settings for the run and are never stored.
//
// The other arguments are joined with blanks into the one command line that the switches are read from.
// With no switch at all under XScreenSaver ($XSCREENSAVER_WINDOW set) the picture goes into its window
// rather than opening a dialog on a locked screen. SIGINT and SIGTERM end a run as a close request
// does. Exit code 1 after a run, 0 after an error (its message on stderr). With $LUMIVORRA_TRACE set the
// trace lines go to stderr too (among them the frames shown and their rate when the window closes).
#include "framework/Debug.h"
#include "framework/EntryPoint.h"
#include "framework/Memory.h"
#include "framework/SString.h"
#include "platform/Language.h"
#include "platform/linux/CommandLine.h"
#include "platform/linux/DialogModule.h"
#include "platform/linux/InstanceLock.h"
#include "platform/linux/Language.h"
#include "platform/linux/SettingsStore.h"
#include "platform/linux/Window.h"
#include "resources/BuiltinResources.h"
#include "scene/SScene.h"

#include <X11/Xlib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <strings.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

struct Services {
    FileStore store;
    std::unique_ptr<DialogModule> pDialogModule;
    SettingsOverride override;
};

SFrmWork* MakeScene(void* pContext) {
    Services* pServices = static_cast<Services*>(pContext);
    DialogHost* pHost = pServices->pDialogModule != nullptr ? pServices->pDialogModule->Host() : nullptr;
    SScene* pScene = NewObject<SScene>(pServices->store, pHost);
    pScene->OverrideSettings(pServices->override);
    return pScene;
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

// The Wayland compositor's socket accepts a connection.
bool WaylandReachable() {
    const char* pszName = std::getenv("WAYLAND_DISPLAY");
    std::string path = pszName != nullptr && *pszName ? pszName : "wayland-0";
    if (path[0] != '/') {
        const char* pszRuntime = std::getenv("XDG_RUNTIME_DIR");
        if (pszRuntime == nullptr || *pszRuntime == '\0') {
            return false;
        }
        path = std::string(pszRuntime) + "/" + path;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool bConnected =
        fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    if (fd >= 0) {
        close(fd);
    }
    return bConnected;
}

// Previews and --root draw into another program's X11 window, which only SDL's X11 driver can: not where
// SDL is told to take another driver ($SDL_VIDEODRIVER, its first choice), nor without an X server (a
// Wayland session without XWayland).
bool X11HostsReachable() {
    if (const char* pszDriver = std::getenv("SDL_VIDEODRIVER"); pszDriver != nullptr && *pszDriver) {
        const std::string first = std::string(pszDriver).substr(0, std::strcspn(pszDriver, ","));
        if (strcasecmp(first.c_str(), "x11") != 0) {
            return false;
        }
    }
    Display* pDisplay = XOpenDisplay(nullptr);
    if (pDisplay == nullptr) {
        return false;
    }
    XCloseDisplay(pDisplay);
    return true;
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

// Whether the settings dialog's toolkit can reach a display server, found out before it is loaded: without
// one it ends the process with an abort and a core file. Qt tries the platforms of $QT_QPA_PLATFORM, or
// X11 (first Wayland in a Wayland session); those that need no server (offscreen, ...) always start.
bool DialogDisplayReachable() {
    std::string platforms;
    if (const char* pszPlatform = std::getenv("QT_QPA_PLATFORM"); pszPlatform != nullptr && *pszPlatform) {
        platforms = pszPlatform;
    } else {
        const char* pszSession = std::getenv("XDG_SESSION_TYPE");
        platforms = pszSession != nullptr && std::strcmp(pszSession, "wayland") == 0 ? "wayland;xcb" : "xcb";
    }
    size_t nStart = 0;
    for (;;) {
        const size_t nEnd = platforms.find(';', nStart);
        const std::string platform = platforms.substr(nStart, nEnd - nStart);
        const std::string name = platform.substr(0, platform.find(':')); // "xcb:option=..."
        if (name == "xcb") {
            if (Display* pDisplay = XOpenDisplay(nullptr)) {
                XCloseDisplay(pDisplay);
                return true;
            }
        } else if (name.rfind("wayland", 0) == 0) {
            if (WaylandReachable()) {
                return true;
            }
        } else if (!name.empty()) {
            return true;
        }
        if (nEnd == std::string::npos) {
            return false;
        }
        nStart = nEnd + 1;
    }
}

} // namespace

int main(int argc, char** argv) {
    // The language service looks at the locale once, here, before any other thread could read it.
    PlatformLanguage();
    CommandLine line;
    try {
        line = ParseCommandLine(argc, argv, std::getenv("XSCREENSAVER_WINDOW") != nullptr);
    } catch (const SString& error) {
        DebugPrint("%s", error.Text());
        return 0;
    }
    if (line.action == ACTION_HELP) {
        std::fputs(TerminalText(UsageText().c_str()).c_str(), stdout);
        return 0;
    }
    if (line.action == ACTION_VERSION) {
        std::printf("lumivorra %s\n", LV_VERSION);
        return 0;
    }
    if (std::getenv("LUMIVORRA_TRACE") != nullptr) {
        SetTraceSink(TraceToStderr);
    }
    const std::string& given = line.switches;
    const bool bPreview =
        line.action == ACTION_SWITCH && given.size() > 1 && std::strchr("pPlL", given[1]) != nullptr;
    if ((bPreview || line.bRoot) && !X11HostsReachable()) {
        Trace(
            "SdlHost: previews and --root are not available: they need SDL's X11 driver and an X server.\n");
        DebugPrint("%s",
                   Tr("Previews (/p, --window-id, --root) draw into an X11 window, and no X11 display can "
                      "be reached.\n"));
        return 0;
    }
    if (line.bRoot) {
        line.switches =
            "/p " + std::to_string(HostOfRoot()); // a bad id reads as 0: no window can be made in it
    }
    const bool bWindowed = line.action == ACTION_WINDOWED;
    const std::string& cmdLine = line.switches;

    struct sigaction action {};
    action.sa_handler = OnTerminate;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);

    RegisterBuiltinResources();
    Services services;
    services.override = line.override;
    // Qt is loaded only for a command line that opens the settings dialog.
    const bool bConfigure = !bWindowed && (cmdLine.empty() || (cmdLine.size() > 1 && cmdLine[1] == 'c'));
    if (bConfigure) {
        // Without a module the dialog's start ends the run with its one line, after the instance test.
        if (DialogDisplayReachable()) {
            services.pDialogModule = DialogModule::Open();
        } else {
            Trace("DialogModule: no display server can be reached.\n");
        }
    }
    if (!bWindowed && cmdLine.size() > 1 && (cmdLine[1] == 's' || cmdLine[1] == 'S')) {
        ClaimInstanceLockAtTest();
    }
    const int nExitCode = bWindowed ? WindowedMain(nullptr, 320, 240, MakeScene, &services)
                                    : ScreenSaverMain(nullptr, cmdLine.c_str(), MakeScene, &services);
    SdlHostShutdown();
    return nExitCode;
}
