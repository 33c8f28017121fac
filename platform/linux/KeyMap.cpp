#include "platform/linux/KeyMap.h"

namespace {

struct KeyPair {
    SDL_Keycode key;
    uint32_t dwVirtualKey;
};

// Keys whose code is not simply their character.
constexpr KeyPair kKeys[] = {
    {SDLK_BACKSPACE, 0x08},   {SDLK_TAB, 0x09},          {SDLK_RETURN, 0x0D},       {SDLK_PAUSE, 0x13},
    {SDLK_CAPSLOCK, 0x14},    {SDLK_ESCAPE, 0x1B},       {SDLK_SPACE, 0x20},        {SDLK_PAGEUP, 0x21},
    {SDLK_PAGEDOWN, 0x22},    {SDLK_END, 0x23},          {SDLK_HOME, 0x24},         {SDLK_LEFT, 0x25},
    {SDLK_UP, 0x26},          {SDLK_RIGHT, 0x27},        {SDLK_DOWN, 0x28},         {SDLK_PRINTSCREEN, 0x2C},
    {SDLK_INSERT, 0x2D},      {SDLK_DELETE, 0x2E},       {SDLK_LGUI, 0x5B},         {SDLK_RGUI, 0x5C},
    {SDLK_APPLICATION, 0x5D}, {SDLK_KP_0, 0x60},         {SDLK_KP_1, 0x61},         {SDLK_KP_2, 0x62},
    {SDLK_KP_3, 0x63},        {SDLK_KP_4, 0x64},         {SDLK_KP_5, 0x65},         {SDLK_KP_6, 0x66},
    {SDLK_KP_7, 0x67},        {SDLK_KP_8, 0x68},         {SDLK_KP_9, 0x69},         {SDLK_KP_MULTIPLY, 0x6A},
    {SDLK_KP_PLUS, 0x6B},     {SDLK_KP_ENTER, 0x0D},     {SDLK_KP_MINUS, 0x6D},     {SDLK_KP_PERIOD, 0x6E},
    {SDLK_KP_DIVIDE, 0x6F},   {SDLK_NUMLOCKCLEAR, 0x90}, {SDLK_SCROLLLOCK, 0x91},   {SDLK_LSHIFT, 0x10},
    {SDLK_RSHIFT, 0x10},      {SDLK_LCTRL, 0x11},        {SDLK_RCTRL, 0x11},        {SDLK_LALT, 0x12},
    {SDLK_RALT, 0x12},        {SDLK_SEMICOLON, 0xBA},    {SDLK_EQUALS, 0xBB},       {SDLK_COMMA, 0xBC},
    {SDLK_MINUS, 0xBD},       {SDLK_PERIOD, 0xBE},       {SDLK_SLASH, 0xBF},        {SDLK_BACKQUOTE, 0xC0},
    {SDLK_LEFTBRACKET, 0xDB}, {SDLK_BACKSLASH, 0xDC},    {SDLK_RIGHTBRACKET, 0xDD}, {SDLK_QUOTE, 0xDE},
};

} // namespace

uint32_t VirtualKeyOf(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) {
        return 0x41 + static_cast<uint32_t>(key - SDLK_a);
    }
    if (key >= SDLK_0 && key <= SDLK_9) {
        return 0x30 + static_cast<uint32_t>(key - SDLK_0);
    }
    if (key >= SDLK_F1 && key <= SDLK_F12) {
        return 0x70 + static_cast<uint32_t>(key - SDLK_F1);
    }
    for (const KeyPair& pair : kKeys) {
        if (pair.key == key) {
            return pair.dwVirtualKey;
        }
    }
    return 0xFF;
}

uint32_t KeyMessageOf(SDL_Keycode key, uint16_t wModifiers) {
    if (key == SDLK_LALT || key == SDLK_RALT || key == SDLK_F10 || (wModifiers & KMOD_ALT) != 0) {
        return WMSG_SYSKEYDOWN;
    }
    return WMSG_KEYDOWN;
}

namespace {

intptr_t PointParam(int32_t nX, int32_t nY) {
    return static_cast<intptr_t>((static_cast<uint32_t>(nX) & 0xFFFF) |
                                 ((static_cast<uint32_t>(nY) & 0xFFFF) << 16));
}

// The MK_* flags that Windows puts in wParam of mouse messages.
uintptr_t MouseKeys(uint32_t dwButtons) {
    const SDL_Keymod mod = SDL_GetModState();
    uintptr_t wKeys = 0;
    wKeys |= (dwButtons & SDL_BUTTON_LMASK) != 0 ? 0x01 : 0;
    wKeys |= (dwButtons & SDL_BUTTON_RMASK) != 0 ? 0x02 : 0;
    wKeys |= (mod & KMOD_SHIFT) != 0 ? 0x04 : 0;
    wKeys |= (mod & KMOD_CTRL) != 0 ? 0x08 : 0;
    wKeys |= (dwButtons & SDL_BUTTON_MMASK) != 0 ? 0x10 : 0;
    return wKeys;
}

// Main thread: where the last mouse-move message put the pointer.
struct PointerSeen {
    uint32_t uWindowId = 0;
    int32_t nX = 0;
    int32_t nY = 0;
};
PointerSeen g_lastMove;

// SDL reports a pointer entering a window as a motion to where it entered. A compositor that hides an
// idle cursor (sway's hide_cursor) takes the pointer out of the window and puts it back where it was
// around each real move, and such a return would count as a move of its own: the screen saver would end
// on the user's third nudge instead of the fourth. A motion to where the window last saw the pointer is
// no move.
bool IsMove(const SDL_MouseMotionEvent& motion) {
    if (motion.windowID == g_lastMove.uWindowId && motion.x == g_lastMove.nX && motion.y == g_lastMove.nY) {
        return false;
    }
    g_lastMove = PointerSeen{motion.windowID, motion.x, motion.y};
    return true;
}

} // namespace

bool InputMessageOf(const SDL_Event& event, WindowMsg* pMsg) {
    switch (event.type) {
    case SDL_KEYDOWN:
        *pMsg = WindowMsg{event.key.windowID, KeyMessageOf(event.key.keysym.sym, event.key.keysym.mod),
                          VirtualKeyOf(event.key.keysym.sym), 0};
        return true;
    case SDL_MOUSEMOTION:
        if (!IsMove(event.motion)) {
            return false;
        }
        *pMsg = WindowMsg{event.motion.windowID, WMSG_MOUSEMOVE, MouseKeys(event.motion.state),
                          PointParam(event.motion.x, event.motion.y)};
        return true;
    case SDL_MOUSEBUTTONDOWN: {
        const uint32_t dwButtons = SDL_GetMouseState(nullptr, nullptr);
        const intptr_t lParam = PointParam(event.button.x, event.button.y);
        uint32_t uMsg = 0;
        if (event.button.button == SDL_BUTTON_LEFT) {
            uMsg = WMSG_LBUTTONDOWN;
        } else if (event.button.button == SDL_BUTTON_RIGHT) {
            uMsg = WMSG_RBUTTONDOWN;
        } else if (event.button.button == SDL_BUTTON_MIDDLE) {
            uMsg = WMSG_MBUTTONDOWN;
        } else {
            return false;
        }
        *pMsg = WindowMsg{event.button.windowID, uMsg, MouseKeys(dwButtons), lParam};
        return true;
    }
    default:
        return false;
    }
}
