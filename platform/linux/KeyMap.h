// Translation of SDL keyboard events into the framework's key messages: Windows virtual-key codes, and
// the split between ordinary keys (WMSG_KEYDOWN) and system keys (WMSG_SYSKEYDOWN: Alt, anything pressed
// with Alt held, F10), as the Windows window manager makes it. Pure functions; any thread.
#pragma once

#include <SDL.h>

#include <cstdint>

// The virtual-key code of an SDL key; 0xFF (no mapping) for keys that have none, which still count as
// a key for the close rules.
uint32_t VirtualKeyOf(SDL_Keycode key);
// WMSG_SYSKEYDOWN for Alt, Alt-combinations and F10, otherwise WMSG_KEYDOWN.
uint32_t KeyMessageOf(SDL_Keycode key, uint16_t wModifiers);
