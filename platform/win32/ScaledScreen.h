// The full screen without a mode change: the 320x240 5-6-5 flip chain kept in memory, and each flip shown
// scaled by nearest neighbour into the largest 4:3 rectangle of every window of the run (the main window
// on the primary monitor, the covers on the others), with black bars beside it, through GDI. For displays
// that list no 320x240 mode or refuse exclusive access (remote desktops, some virtual machines), and for
// users who would rather not have the display switched.
#pragma once

#include "platform/DisplayDevice.h"

#include <windows.h>

#include <ddraw.h>

// The chain's primary surface, its back buffer attached; pDD serves the vertical-blank wait that paces the
// flips. Null when memory runs out.
DisplaySurface* NewScaledChain(IDirectDraw* pDD, HWND hWnd);
