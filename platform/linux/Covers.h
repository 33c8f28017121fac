// Full screen where SDL's video driver makes each output a display of its own and a window cannot span
// them (Wayland: a window is full screen on one output). The main window is full screen on the first
// display and a cover window on each other one: every cover shows the same frame letterboxed at its own
// size (the present module draws the main window's pictures into its covers), its input and close
// requests are the main window's (MessageQueue.cpp), and the covers end with the main window.
#pragma once

#include "platform/linux/WindowList.h"

#include <vector>

// Main thread: whether a full-screen window needs covers: SDL's driver is Wayland's and it names more than
// one display.
bool OutputsNeedCovers();
// Main thread, for a full-screen window registered on the first display: a cover on each other display.
// A cover that cannot be made is traced and left out.
void MakeCovers(sdlhost::HostWindow* pMain, const char* pszTitle);
// Main thread: ends covers already taken from their main window (under g_mutex, so that no picture goes
// to them any more).
void FreeCovers(const std::vector<sdlhost::HostWindow*>& covers);
