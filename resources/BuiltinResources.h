// The program's built-in items: the height map "ID_BUMPMAP", the song "ID_MIDI" and the counter's
// digit pictures "0_BMP" to "9_BMP", compiled into the program from the files listed in items.txt.
//
// RegisterBuiltinResources hands them to the built-in item service, after which the loaders find them
// by name with LOAD_RESOURCE. It is an explicit call, not a static initialiser, because the linker drops
// unreferenced objects of a static library. Called on the main thread before the first load; calling it
// again does nothing. It throws nothing.
#pragma once

void RegisterBuiltinResources();
