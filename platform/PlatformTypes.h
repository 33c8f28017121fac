// Values that cross the line between the core and a platform layer as opaque handles.
#pragma once

// The program module whose built-in items are searched (the module instance on Windows; ignored where
// the items are compiled into the program).
using ModuleHandle = const void*;
