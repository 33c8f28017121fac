// lumivorra-windowed: the scene in the framework's windowed mode (a plain window with a 320x240 client
// area, closed by Esc only), which the screen saver's switches never choose: the tests run it from here.
#include "framework/EntryPoint.h"
#include "framework/Memory.h"
#include "platform/win32/SettingsStore.h"
#include "scene/SScene.h"

#include <windows.h>

namespace {

SFrmWork* MakeScene(void* pContext) {
    return NewObject<SScene>(*static_cast<RegistryStore*>(pContext), nullptr);
}

} // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    RegistryStore store;
    return WindowedMain(hInstance, 320, 240, MakeScene, &store);
}
