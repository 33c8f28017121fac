#include "platform/win32/DialogHost.h"

#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>

#include <cstring>
#include <exception>

namespace {

// The program's narrow strings are code page 932 whatever the system's ANSI code page is.
constexpr UINT kTextCodePage = 932;

class TemplateWriter {
public:
    void Word(uint16_t w) { m_bytes.insert(m_bytes.end(), {uint8_t(w & 0xFF), uint8_t(w >> 8)}); }
    void Dword(uint32_t d) {
        Word(static_cast<uint16_t>(d & 0xFFFF));
        Word(static_cast<uint16_t>(d >> 16));
    }
    void Byte(uint8_t b) { m_bytes.push_back(b); }
    void AlignDword() {
        while (m_bytes.size() % 4 != 0) {
            m_bytes.push_back(0);
        }
    }
    // A zero-terminated UTF-16 string; a null text is the empty one.
    bool Text(const char* pszText) {
        if (pszText == nullptr || *pszText == '\0') {
            Word(0);
            return true;
        }
        const int nChars = MultiByteToWideChar(kTextCodePage, MB_ERR_INVALID_CHARS, pszText, -1, nullptr, 0);
        if (nChars <= 0) {
            return false;
        }
        std::vector<wchar_t> wide(static_cast<size_t>(nChars));
        MultiByteToWideChar(kTextCodePage, MB_ERR_INVALID_CHARS, pszText, -1, wide.data(), nChars);
        for (wchar_t c : wide) {
            Word(static_cast<uint16_t>(c));
        }
        return true;
    }
    std::vector<uint32_t> Result() {
        AlignDword();
        std::vector<uint32_t> out(m_bytes.size() / 4);
        std::memcpy(out.data(), m_bytes.data(), m_bytes.size());
        return out;
    }

private:
    std::vector<uint8_t> m_bytes;
};

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
        if (uMsg == WM_PAINT) {
            // The procedure paints through PaintSolid; the update region is validated here.
            PAINTSTRUCT ps;
            BeginPaint(hDlg, &ps);
            const intptr_t nResult = pRun->pfnProc(pRun->pHost, hDlg, uMsg, wParam, lParam);
            EndPaint(hDlg, &ps);
            return nResult != 0;
        }
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

std::vector<uint32_t> BuildDialogTemplate(const DialogTemplate& dlg) {
    TemplateWriter out;
    out.Word(1);      // extended template, version 1
    out.Word(0xFFFF); // its signature
    out.Dword(0);     // help id
    out.Dword(dlg.dwExStyle);
    out.Dword(dlg.dwStyle);
    out.Word(static_cast<uint16_t>(dlg.nItems));
    for (int16_t v : {dlg.x, dlg.y, dlg.cx, dlg.cy}) {
        out.Word(static_cast<uint16_t>(v));
    }
    out.Word(0); // no menu
    out.Word(0); // the dialog class
    bool bOk = out.Text(dlg.pszCaption);
    if (dlg.dwStyle & DS_SETFONT) {
        out.Word(dlg.wPointSize);
        out.Word(dlg.wWeight);
        out.Byte(dlg.bItalic ? 1 : 0);
        out.Byte(dlg.bCharSet);
        bOk = bOk && out.Text(dlg.pszFace);
    }
    for (int32_t i = 0; i < dlg.nItems; ++i) {
        const DialogItemTemplate& item = dlg.pItems[i];
        out.AlignDword();
        out.Dword(0); // help id
        out.Dword(item.dwExStyle);
        out.Dword(item.dwStyle);
        for (int16_t v : {item.x, item.y, item.cx, item.cy}) {
            out.Word(static_cast<uint16_t>(v));
        }
        out.Dword(static_cast<uint32_t>(item.nId));
        bOk = bOk && out.Text(item.pszClass) && out.Text(item.pszText);
        out.Word(0); // no creation data
    }
    return bOk ? out.Result() : std::vector<uint32_t>();
}

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
    const std::vector<uint32_t> bytes = BuildDialogTemplate(*pTemplate);
    if (bytes.empty()) {
        return -1;
    }
    ModalRun run{this, pfnProc, lParam, nullptr};
    ModalRun* pOuter = t_pRun;
    t_pRun = &run;
    const INT_PTR nResult = DialogBoxIndirectParamA(static_cast<HINSTANCE>(const_cast<void*>(hInstance)),
                                                    reinterpret_cast<const DLGTEMPLATE*>(bytes.data()),
                                                    Native(hParent), DialogMain, lParam);
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
    RECT rect{};
    GetClientRect(Native(hWnd), &rect);
    HDC hDC = GetDC(Native(hWnd));
    if (hDC == nullptr) {
        return;
    }
    HBRUSH hBrush = CreateSolidBrush(dwColorRef);
    FillRect(hDC, &rect, hBrush);
    DeleteObject(hBrush);
    ReleaseDC(Native(hWnd), hDC);
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
