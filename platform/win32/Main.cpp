// lumivorra.scr: the screen saver on Windows. The system's screen-saver host starts it with its switch:
//   /s full screen, /c or nothing the settings dialog, /p HWND a preview inside the host's window.
// Exit code 1 after a run, 0 after an error, whose message goes to the debugger's output.
#include "framework/Debug.h"
#include "framework/EntryPoint.h"
#include "framework/Memory.h"
#include "platform/win32/DialogHost.h"
#include "platform/win32/SettingsStore.h"
#include "scene/SScene.h"

#include <windows.h>

namespace {

struct Services {
    RegistryStore store;
    WinDialogHost dialogHost;
};

SFrmWork* MakeScene(void* pContext) {
    Services* pServices = static_cast<Services*>(pContext);
    return NewObject<SScene>(pServices->store, &pServices->dialogHost);
}

// LUMIVORRA_TRACE set: the trace lines go to the debugger's output too (the display says there which way
// the full screen took).
void TraceToDebugger(const char* pszLine) {
    OutputDebugStringA(pszLine);
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR lpCmdLine, int) {
    if (GetEnvironmentVariableA("LUMIVORRA_TRACE", nullptr, 0) != 0) {
        SetTraceSink(TraceToDebugger);
    }
    Services services;
    return ScreenSaverMain(hInstance, lpCmdLine, MakeScene, &services);
}
