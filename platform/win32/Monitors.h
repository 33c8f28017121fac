// The monitors of a full-screen run. The main window covers the primary monitor; every other monitor gets
// a black top-most window of its own, owned by the main window, so that no desktop shows beside the
// picture, input there counts as input to the run, and the windows go with the main window.
#pragma once

#include <windows.h>

#include <vector>

// The rectangles, in screen coordinates, of the monitors other than the primary.
using MonitorSource = std::vector<RECT> (*)();
std::vector<RECT> SystemSecondaryMonitors();
// Replaces where the monitors come from (null: the system's again), so that a test can fake a layout.
void SetMonitorSource(MonitorSource pfnSource);

// Main thread: covers every monitor but the primary for hMain. Key, button and mouse-move messages of a
// cover go to hMain's procedure as if they were its own; after a display change (the primary switched to
// 320x240 moves the others) each cover moves to its monitor again.
void CoverSecondaryMonitors(HWND hMain);
// Main thread: destroys the covers of hMain (which go with hMain in any case).
void UncoverSecondaryMonitors(HWND hMain);
// The covers of hMain still open, in the order made. Any thread.
std::vector<HWND> CoverWindows(HWND hMain);
