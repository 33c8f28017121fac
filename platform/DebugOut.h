// Debug output service: the sink of DebugPrint (framework/Debug.h).
#pragma once

// Called by DebugPrint on any thread with plain text (never a format). Linux: the text on stderr,
// ending with a newline; headless: appended to an in-memory capture.
void PlatformDebugOutput(const char* pszText);
