// Translation of SDL input events into the framework's messages: Windows virtual-key codes, the split
// between ordinary keys (WMSG_KEYDOWN) and system keys (WMSG_SYSKEYDOWN: Alt, anything pressed with Alt
// held, F10), as the Windows window manager makes it, and mouse messages with their MK_* flags and point.
#pragma once

#include "platform/Window.h"

#include <SDL.h>

#include <cstdint>

// The virtual-key code of an SDL key; 0xFF (no mapping) for keys that have none, which still count as
// a key for the close rules.
// Pure; any thread.
uint32_t VirtualKeyOf(SDL_Keycode key);
// WMSG_SYSKEYDOWN for Alt, Alt-combinations and F10, otherwise WMSG_KEYDOWN.
uint32_t KeyMessageOf(SDL_Keycode key, uint16_t wModifiers);
// Main thread (it reads SDL's modifier and button state): the message of a key press, mouse move or
// left, right or middle button press, for the event's window; false for any other event, and for a
// motion to where the last mouse-move message left the pointer in the same window (the pointer coming
// back without moving).
bool InputMessageOf(const SDL_Event& event, WindowMsg* pMsg);
