#include "framework/EntryPoint.h"

#include "framework/Debug.h"
#include "framework/Memory.h"
#include "framework/Processor.h"
#include "framework/SString.h"
#include "framework/Timer.h"

namespace {

template <class Body>
int GuardedMain(ProcessorCheck pfnCheck, AppFactory pfnCreate, void* pContext, Body body) {
    TimerStartup();
    if (pfnCheck() == 0) {
        return 0;
    }
    SFrmWork* pApp = nullptr;
    try {
        pApp = pfnCreate(pContext);
        body(*pApp);
        // An error that ended the render thread was written out there; the run still ended in it. A window
        // destroyed without a close request leaves the thread running until the stop sequence joins it,
        // so that runs first.
        pApp->Shutdown();
        const bool bFailed = pApp->RenderFailed();
        DeleteObject(pApp);
        return bFailed ? 0 : 1;
    } catch (const SString& error) {
        // The message can hold user text such as a file name: never a format.
        DebugPrint("%s", error.Text());
        DeleteObject(pApp);
        return 0;
    }
}

} // namespace

int ScreenSaverMain(ModuleHandle hInstance, const char* pszCmdLine, AppFactory pfnCreate, void* pContext,
                    ProcessorCheck pfnCheck) {
    return GuardedMain(pfnCheck, pfnCreate, pContext,
                       [&](SFrmWork& app) { app.Start(hInstance, pszCmdLine); });
}

int WindowedMain(ModuleHandle hInstance, int32_t nWidth, int32_t nHeight, AppFactory pfnCreate,
                 void* pContext, ProcessorCheck pfnCheck) {
    return GuardedMain(pfnCheck, pfnCreate, pContext, [&](SFrmWork& app) {
        app.CreateMainWindow(hInstance, 2, nWidth, nHeight);
        app.Run();
    });
}
