// The portable half of the program's entry: the processor check, the one application object, the
// screen-saver switch, and every error turned into one line of debug output. The platform's own main
// (WinMain, the Linux main) supplies the module, the command line and how the application is made.
//
//     SFrmWork* MakeScene(void* pContext) { return NewObject<SScene>(...); }
//     return ScreenSaverMain(hInstance, pszCmdLine, MakeScene, &services);
//
// Main thread. Returns the process exit code: 1 after a normal run (or a switch that does nothing), 0
// when the processor check fails (an x86 without MMX) or an SString ended the run (also one that ended the
// render thread). Only SString is caught.
#pragma once

#include "framework/Processor.h"
#include "framework/SFrmWork.h"

// Makes the application with NewObject; may throw SString.
using AppFactory = SFrmWork* (*)(void* pContext);
// Nonzero when the program can run on this processor; tests pass one that plays another processor.
using ProcessorCheck = int32_t (*)();

// Processor check, application made, Start with the command line, application deleted.
int ScreenSaverMain(ModuleHandle hInstance, const char* pszCmdLine, AppFactory pfnCreate, void* pContext,
                    ProcessorCheck pfnCheck = HasKernelUnit);
// The same run in the framework's windowed mode (a plain window with a nWidth x nHeight client area; only
// Esc closes it), for trying the program on a desktop. No single-instance test.
int WindowedMain(ModuleHandle hInstance, int32_t nWidth, int32_t nHeight, AppFactory pfnCreate,
                 void* pContext, ProcessorCheck pfnCheck = HasKernelUnit);
