// WinDialogHost: the dialog host on Windows: the dialog manager, the up-down and trackbar common
// controls, and the open-file and colour common dialogs. A dialog runs with DialogBoxParamA from the
// module's dialog resource of the template's name (DLG_CONFIG), which the resource script compiles from
// the same description as the template data the other hosts read.
//
// Main thread only. An exception thrown by the dialog procedure ends the dialog and is thrown on from
// RunModal, never through the system's frames.
#pragma once

#include "platform/DialogHost.h"

#include <cstdint>

class WinDialogHost final : public DialogHost {
public:
    void InitControls() override;
    intptr_t RunModal(ModuleHandle hInstance, const DialogTemplate* pTemplate, DialogWindow hParent,
                      DialogProc pfnProc, intptr_t lParam) override;
    void End(DialogWindow hDlg, intptr_t nResult) override;
    void SetUserData(DialogWindow hWnd, intptr_t lData) override;
    intptr_t GetUserData(DialogWindow hWnd) override;
    DialogWindow GetItem(DialogWindow hDlg, int32_t nId) override;
    void CheckItem(DialogWindow hDlg, int32_t nId, uint32_t uCheck) override;
    uint32_t IsItemChecked(DialogWindow hDlg, int32_t nId) override;
    void SetItemText(DialogWindow hDlg, int32_t nId, const char* pszText) override;
    uint32_t GetItemText(DialogWindow hDlg, int32_t nId, char* pszText, int32_t nMax) override;
    uint32_t GetItemUnsigned(DialogWindow hDlg, int32_t nId, bool* pbTranslated) override;
    void EnableItem(DialogWindow hDlg, int32_t nId, bool bEnable) override;
    DialogWindow CreateUpDown(uint32_t dwStyle, int32_t x, int32_t y, int32_t cx, int32_t cy,
                              DialogWindow hParent, int32_t nId, ModuleHandle hInstance, DialogWindow hBuddy,
                              int32_t nUpper, int32_t nLower, int32_t nPos) override;
    void SetTrackRange(DialogWindow hDlg, int32_t nId, bool bRedraw, int32_t nMin, int32_t nMax) override;
    void SetTrackPos(DialogWindow hDlg, int32_t nId, bool bRedraw, int32_t nPos) override;
    int32_t GetTrackPos(DialogWindow hDlg, int32_t nId) override;
    void Invalidate(DialogWindow hWnd, bool bErase) override;
    void PaintSolid(DialogWindow hWnd, uint32_t dwColorRef) override;
    bool OpenFile(OpenFileRequest* pRequest) override;
    bool PickColor(ColorRequest* pRequest) override;
};
