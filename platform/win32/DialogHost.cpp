#include "platform/win32/DialogHost.h"

#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

#include <cstring>
#include <exception>

namespace {

// The dialog that runs: its procedure, host and an exception that ended it.
struct ModalRun {
    WinDialogHost* pHost;
    DialogProc pfnProc;
    intptr_t lParam;
    std::exception_ptr error;
};
thread_local ModalRun* t_pRun = nullptr;

INT_PTR CALLBACK DialogMain(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    ModalRun* pRun = t_pRun;
    if (pRun == nullptr || (uMsg != WM_INITDIALOG && uMsg != WM_COMMAND && uMsg != WM_PAINT)) {
        return FALSE;
    }
    if (pRun->error) {
        return TRUE; // ending already: nothing more reaches the procedure
    }
    try {
        if (uMsg == WM_INITDIALOG) {
            return pRun->pfnProc(pRun->pHost, hDlg, uMsg, wParam, pRun->lParam) != 0;
        }
        // WM_PAINT too: the procedure paints the swatch in that window's own paint cycle (PaintSolid) and
        // answers FALSE, so that the dialog manager paints the dialog itself.
        return pRun->pfnProc(pRun->pHost, hDlg, uMsg, wParam, lParam) != 0;
    } catch (...) {
        pRun->error = std::current_exception();
        EndDialog(hDlg, -1);
        return TRUE;
    }
}

HWND Native(DialogWindow hWnd) {
    return static_cast<HWND>(hWnd);
}

} // namespace

void WinDialogHost::InitControls() {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_UPDOWN_CLASS | ICC_BAR_CLASSES;
    InitCommonControlsEx(&icc);
}

intptr_t WinDialogHost::RunModal(ModuleHandle hInstance, const DialogTemplate* pTemplate,
                                 DialogWindow hParent, DialogProc pfnProc, intptr_t lParam) {
    if (pTemplate == nullptr) {
        return -1;
    }
    // The module's own DIALOGEX resource of that name, compiled from the same description as the
    // template data; -1 when the module has none.
    ModalRun run{this, pfnProc, lParam, nullptr};
    ModalRun* pOuter = t_pRun;
    t_pRun = &run;
    const INT_PTR nResult = DialogBoxParamA(static_cast<HINSTANCE>(const_cast<void*>(hInstance)),
                                            pTemplate->pszName, Native(hParent), DialogMain, lParam);
    t_pRun = pOuter;
    if (run.error) {
        std::rethrow_exception(run.error);
    }
    return nResult;
}

void WinDialogHost::End(DialogWindow hDlg, intptr_t nResult) {
    EndDialog(Native(hDlg), nResult);
}

void WinDialogHost::SetUserData(DialogWindow hWnd, intptr_t lData) {
    SetWindowLongPtrA(Native(hWnd), DWLP_USER, lData);
}

intptr_t WinDialogHost::GetUserData(DialogWindow hWnd) {
    return GetWindowLongPtrA(Native(hWnd), DWLP_USER);
}

DialogWindow WinDialogHost::GetItem(DialogWindow hDlg, int32_t nId) {
    return GetDlgItem(Native(hDlg), nId);
}

void WinDialogHost::CheckItem(DialogWindow hDlg, int32_t nId, uint32_t uCheck) {
    CheckDlgButton(Native(hDlg), nId, uCheck);
}

uint32_t WinDialogHost::IsItemChecked(DialogWindow hDlg, int32_t nId) {
    return IsDlgButtonChecked(Native(hDlg), nId);
}

void WinDialogHost::SetItemText(DialogWindow hDlg, int32_t nId, const char* pszText) {
    SetDlgItemTextA(Native(hDlg), nId, pszText);
}

uint32_t WinDialogHost::GetItemText(DialogWindow hDlg, int32_t nId, char* pszText, int32_t nMax) {
    return GetDlgItemTextA(Native(hDlg), nId, pszText, nMax);
}

uint32_t WinDialogHost::GetItemUnsigned(DialogWindow hDlg, int32_t nId, bool* pbTranslated) {
    BOOL bTranslated = FALSE;
    const UINT uValue = GetDlgItemInt(Native(hDlg), nId, &bTranslated, FALSE);
    if (pbTranslated != nullptr) {
        *pbTranslated = bTranslated != FALSE;
    }
    return bTranslated ? uValue : 0;
}

void WinDialogHost::EnableItem(DialogWindow hDlg, int32_t nId, bool bEnable) {
    EnableWindow(GetDlgItem(Native(hDlg), nId), bEnable ? TRUE : FALSE);
}

DialogWindow WinDialogHost::CreateUpDown(uint32_t dwStyle, int32_t x, int32_t y, int32_t cx, int32_t cy,
                                         DialogWindow hParent, int32_t nId, ModuleHandle hInstance,
                                         DialogWindow hBuddy, int32_t nUpper, int32_t nLower, int32_t nPos) {
    return CreateUpDownControl(dwStyle, x, y, cx, cy, Native(hParent), nId,
                               static_cast<HINSTANCE>(const_cast<void*>(hInstance)), Native(hBuddy), nUpper,
                               nLower, nPos);
}

void WinDialogHost::SetTrackRange(DialogWindow hDlg, int32_t nId, bool bRedraw, int32_t nMin, int32_t nMax) {
    SendDlgItemMessageA(Native(hDlg), nId, TBM_SETRANGE, bRedraw ? TRUE : FALSE, MAKELONG(nMin, nMax));
}

void WinDialogHost::SetTrackPos(DialogWindow hDlg, int32_t nId, bool bRedraw, int32_t nPos) {
    SendDlgItemMessageA(Native(hDlg), nId, TBM_SETPOS, bRedraw ? TRUE : FALSE, nPos);
}

int32_t WinDialogHost::GetTrackPos(DialogWindow hDlg, int32_t nId) {
    return static_cast<int32_t>(SendDlgItemMessageA(Native(hDlg), nId, TBM_GETPOS, 0, 0));
}

void WinDialogHost::Invalidate(DialogWindow hWnd, bool bErase) {
    InvalidateRect(Native(hWnd), nullptr, bErase ? TRUE : FALSE);
}

void WinDialogHost::PaintSolid(DialogWindow hWnd, uint32_t dwColorRef) {
    // Painting the control in its own paint cycle validates its update region, so that the static
    // control does not then draw its black frame over the colour.
    PAINTSTRUCT ps;
    HDC hDC = BeginPaint(Native(hWnd), &ps);
    if (hDC == nullptr) {
        return;
    }
    HBRUSH hBrush = CreateSolidBrush(dwColorRef);
    HGDIOBJ hOldBrush = SelectObject(hDC, hBrush);
    RECT rect{};
    GetClientRect(Native(hWnd), &rect);
    FillRect(hDC, &rect, hBrush);
    SelectObject(hDC, hOldBrush);
    DeleteObject(hBrush);
    EndPaint(Native(hWnd), &ps);
}

bool WinDialogHost::OpenFile(OpenFileRequest* pRequest) {
    OPENFILENAMEA ofn{};
    // The structure as it was before the places bar: 76 bytes in 32-bit, 136 in 64-bit.
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    ofn.hwndOwner = Native(pRequest->hOwner);
    ofn.lpstrFilter = pRequest->pszFilter;
    ofn.nFilterIndex = pRequest->nFilterIndex;
    ofn.lpstrFile = pRequest->pszFile;
    ofn.nMaxFile = pRequest->nMaxFile;
    ofn.lpstrFileTitle = pRequest->pszFileTitle;
    ofn.nMaxFileTitle = pRequest->nMaxFileTitle;
    ofn.lpstrInitialDir = pRequest->pszInitialDir;
    ofn.lpstrTitle = pRequest->pszTitle;
    ofn.Flags = pRequest->dwFlags;
    ofn.lpstrDefExt = pRequest->pszDefExt;
    if (!GetOpenFileNameA(&ofn)) {
        return false;
    }
    pRequest->nFilterIndex = ofn.nFilterIndex;
    return true;
}

bool WinDialogHost::PickColor(ColorRequest* pRequest) {
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof(cc); // 36 bytes in 32-bit, 72 in 64-bit
    cc.hwndOwner = Native(pRequest->hOwner);
    cc.rgbResult = pRequest->rgbResult;
    cc.lpCustColors = reinterpret_cast<COLORREF*>(pRequest->pCustColors);
    cc.Flags = pRequest->dwFlags;
    if (!ChooseColorA(&cc)) {
        return false;
    }
    pRequest->rgbResult = cc.rgbResult;
    return true;
}
