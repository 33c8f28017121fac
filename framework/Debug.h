// Trace lines and debug output.
//
// Trace is the hook for lines such as "SFrmWork: Start Thread.\n"; the program discards them. A test or
// a tool may install a sink to see them (the text is formatted only when a sink is installed). Trace is
// called from every thread, so the sink must be safe to call concurrently.
//
// DebugPrint formats a message (at most 513 bytes kept) and writes it to the debugger's output: on Linux
// one line on stderr, in the headless build a capture that tests read. The entry point writes an error
// with DebugPrint("%s", error.Text()), never with the message as the format.
#pragma once

#include "framework/SString.h"

using TraceSink = void (*)(const char* pszLine);

// Installs the sink that receives formatted trace lines; null discards them again.
void SetTraceSink(TraceSink pfnSink);
void Trace(const char* pszFormat, ...) LV_PRINTF_FORMAT(1, 2);
void DebugPrint(const char* pszFormat, ...) LV_PRINTF_FORMAT(1, 2);
