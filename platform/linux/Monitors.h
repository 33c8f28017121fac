// The monitors a full-screen run covers, as the X server describes them to desktops (RandR monitors, else
// Xinerama's screens): one window spans them all, and each gets the whole picture letterboxed at its own
// size, so that input anywhere is the run's and the whole run ends at once. Where there is a single
// monitor (or the server names none) the window is the screen's, as SDL makes it.
#pragma once

#include "display/NearestScale.h"

#include <cstdint>
#include <vector>

// A full-screen window's span over two or more monitors.
struct MonitorSpan {
    ScaleRect bounds;                // the smallest rectangle holding every monitor, in root coordinates
    std::vector<ScaleRect> monitors; // relative to bounds, in the server's order, each rectangle once
    // For the window manager (_NET_WM_FULLSCREEN_MONITORS): the server's indices of the monitors at the
    // top, bottom, left and right edges of bounds.
    long edges[4];
};

// The span over the monitors listed (root coordinates, the server's order); false when fewer than two
// distinct monitors of a positive size remain (mirrored monitors count once).
bool SpanMonitors(const std::vector<ScaleRect>& monitors, MonitorSpan* pSpan);

// One monitor's picture: where it goes in the window and which of the distinct sizes it is.
struct MonitorPicture {
    ScaleRect dst;
    uint32_t nImage; // monitors letterboxed to the same size share one scaled image
};
// The full-screen picture nSourceWidth x nSourceHeight letterboxed into each monitor (window
// coordinates); monitors of the same picture size get the same nImage, numbered from 0 as first met.
// Returns how many distinct images there are; monitors with no room for a picture get none.
uint32_t PlanMonitorPictures(const std::vector<ScaleRect>& monitors, int32_t nSourceWidth,
                             int32_t nSourceHeight, std::vector<MonitorPicture>* pPictures);

// Main thread: the monitors the X server describes (pDisplay a Display*): RandR 1.5's active monitors,
// else Xinerama's screens, else none. *ppszSource names where they came from ("RandR", "Xinerama").
std::vector<ScaleRect> X11ReadMonitors(void* pDisplay, const char** ppszSource);
// Main thread, for a window not yet mapped: asks a window manager to make it full screen over the span's
// monitors (bMapped false: the window's own properties; true, once mapped: the request to the manager).
// Without a window manager nothing changes: the window stays where it was made, over the span.
void X11AskFullScreenSpan(void* pDisplay, unsigned long xWindow, const MonitorSpan& span, bool bMapped);
// Main thread: who manages the windows of the server's default screen: nobody, a window manager that can
// make a window full screen over several monitors (_NET_WM_FULLSCREEN_MONITORS), or one that cannot.
enum X11Manager {
    X11_MANAGER_NONE,
    X11_MANAGER_SPANS,
    X11_MANAGER_ONE_MONITOR,
};
X11Manager X11WindowManager(void* pDisplay);
// Main thread: whether xWindow is the root window of the default screen (whose monitors are read).
bool X11IsDefaultRoot(void* pDisplay, unsigned long xWindow);
