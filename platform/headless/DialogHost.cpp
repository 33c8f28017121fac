#include "platform/headless/DialogHost.h"

#include "platform/shared/DialogRules.h"

#include <stdexcept>

intptr_t FakeDialogHost::RunModal(ModuleHandle, const DialogTemplate* pTemplate, DialogWindow,
                                  DialogProc pfnProc, intptr_t lParam) {
    if (pTemplate == nullptr) {
        return -1;
    }
    m_pTemplate = pTemplate;
    m_controls.clear();
    for (int32_t i = 0; i < pTemplate->nItems; ++i) {
        Control control{&pTemplate->pItems[i], i,
                        pTemplate->pItems[i].pszText ? pTemplate->pItems[i].pszText : ""};
        m_controls.push_back(control);
    }
    m_upDown = UpDown{};
    m_lUserData = 0;
    m_bEnded = false;
    m_nResult = 0;
    m_pfnProc = pfnProc;
    struct Closer {
        FakeDialogHost* pHost;
        ~Closer() { pHost->m_pfnProc = nullptr; }
    } closer{this};
    Send(DLG_MSG_INITDIALOG, 0, lParam);
    if (!m_bEnded && m_pfnUser) {
        m_pfnUser(*this);
    }
    if (!m_bEnded) {
        Send(DLG_MSG_COMMAND, DLG_ID_CANCEL, 0);
    }
    return m_nResult;
}

intptr_t FakeDialogHost::Send(uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    return m_pfnProc(this, &m_dialog, uMsg, wParam, lParam);
}

void FakeDialogHost::End(DialogWindow hDlg, intptr_t nResult) {
    if (hDlg == &m_dialog && !m_bEnded) {
        m_bEnded = true;
        m_nResult = nResult;
    }
}

void FakeDialogHost::SetUserData(DialogWindow hWnd, intptr_t lData) {
    if (hWnd == &m_dialog) {
        m_lUserData = lData;
    }
}

FakeDialogHost::Control& FakeDialogHost::Item(int32_t nId) {
    for (Control& control : m_controls) {
        if (control.pItem->nId == nId) {
            return control;
        }
    }
    throw std::out_of_range("no control " + std::to_string(nId));
}

DialogWindow FakeDialogHost::GetItem(DialogWindow hDlg, int32_t nId) {
    if (hDlg != &m_dialog) {
        return nullptr;
    }
    for (Control& control : m_controls) {
        if (control.pItem->nId == nId) {
            return &control;
        }
    }
    return nullptr;
}

void FakeDialogHost::CheckItem(DialogWindow hDlg, int32_t nId, uint32_t uCheck) {
    if (GetItem(hDlg, nId) != nullptr) {
        // The template's buttons have two states: Windows shows any value but unchecked as checked and
        // reads it back as checked, so a stored ShowFPS of 2 is on and OK stores 1.
        Item(nId).uCheck = uCheck != DLG_UNCHECKED ? DLG_CHECKED : DLG_UNCHECKED;
    }
}

uint32_t FakeDialogHost::IsItemChecked(DialogWindow hDlg, int32_t nId) {
    return GetItem(hDlg, nId) != nullptr ? Item(nId).uCheck : DLG_UNCHECKED;
}

void FakeDialogHost::SetItemText(DialogWindow hDlg, int32_t nId, const char* pszText) {
    if (GetItem(hDlg, nId) != nullptr) {
        Item(nId).text = pszText;
    }
}

uint32_t FakeDialogHost::GetItemText(DialogWindow hDlg, int32_t nId, char* pszText, int32_t nMax) {
    return CopyItemText(GetItem(hDlg, nId) != nullptr ? Item(nId).text : std::string(), pszText, nMax);
}

uint32_t FakeDialogHost::GetItemUnsigned(DialogWindow hDlg, int32_t nId, bool* pbTranslated) {
    return ParseUnsignedText(GetItem(hDlg, nId) != nullptr ? Item(nId).text : std::string(), pbTranslated);
}

void FakeDialogHost::EnableItem(DialogWindow hDlg, int32_t nId, bool bEnable) {
    if (GetItem(hDlg, nId) != nullptr) {
        Item(nId).bEnabled = bEnable;
    }
}

DialogWindow FakeDialogHost::CreateUpDown(uint32_t dwStyle, int32_t, int32_t, int32_t, int32_t, DialogWindow,
                                          int32_t, ModuleHandle, DialogWindow hBuddy, int32_t nUpper,
                                          int32_t nLower, int32_t nPos) {
    m_upDown = UpDown{hBuddy, dwStyle, nLower, nUpper, ClampToRange(nPos, nLower, nUpper)};
    if ((dwStyle & DLG_UPDOWN_SETBUDDYINT) != 0 && hBuddy != nullptr) {
        static_cast<Control*>(hBuddy)->text = std::to_string(m_upDown.nPos);
    }
    return &m_upDown;
}

void FakeDialogHost::SetTrackRange(DialogWindow hDlg, int32_t nId, bool, int32_t nMin, int32_t nMax) {
    if (GetItem(hDlg, nId) != nullptr) {
        Control& control = Item(nId);
        control.nMin = nMin;
        control.nMax = nMax;
        control.nPos = ClampToRange(control.nPos, nMin, nMax);
    }
}

void FakeDialogHost::SetTrackPos(DialogWindow hDlg, int32_t nId, bool, int32_t nPos) {
    if (GetItem(hDlg, nId) != nullptr) {
        Control& control = Item(nId);
        control.nPos = ClampToRange(nPos, control.nMin, control.nMax);
    }
}

int32_t FakeDialogHost::GetTrackPos(DialogWindow hDlg, int32_t nId) {
    return GetItem(hDlg, nId) != nullptr ? Item(nId).nPos : 0;
}

void FakeDialogHost::PaintSolid(DialogWindow hWnd, uint32_t dwColorRef) {
    m_hPainted = hWnd;
    m_dwPaintedColor = dwColorRef;
}

bool FakeDialogHost::OpenFile(OpenFileRequest* pRequest) {
    m_openRequest = *pRequest;
    m_openTitle = pRequest->pszTitle ? pRequest->pszTitle : "";
    m_openDefExt = pRequest->pszDefExt ? pRequest->pszDefExt : "";
    m_openFilter.clear();
    for (const char* p = pRequest->pszFilter; *p != '\0'; p += std::char_traits<char>::length(p) + 1) {
        m_openFilter += std::string(p) + '|';
    }
    std::optional<std::string> answer;
    answer.swap(m_nextFile);
    // A path that does not fit the caller's buffer fails the picker, as on Windows.
    if (!answer || answer->size() >= pRequest->nMaxFile) {
        return false;
    }
    CopyItemText(*answer, pRequest->pszFile, static_cast<int32_t>(pRequest->nMaxFile));
    if (pRequest->pszFileTitle != nullptr) {
        const size_t nSlash = answer->rfind('/');
        CopyItemText(answer->substr(nSlash == std::string::npos ? 0 : nSlash + 1), pRequest->pszFileTitle,
                     static_cast<int32_t>(pRequest->nMaxFileTitle));
    }
    return true;
}

bool FakeDialogHost::PickColor(ColorRequest* pRequest) {
    m_colorRequest = *pRequest;
    std::optional<uint32_t> answer;
    answer.swap(m_nextColorRef);
    if (!answer) {
        return false;
    }
    pRequest->rgbResult = *answer;
    return true;
}

bool FakeDialogHost::Click(int32_t nId) {
    DialogWindow hItem = GetItem(&m_dialog, nId);
    if (hItem == nullptr || !Item(nId).bEnabled) {
        return false;
    }
    Control& control = Item(nId);
    switch (KindOf(*control.pItem)) {
    case ITEM_CHECK_BOX:
        control.uCheck = control.uCheck == DLG_CHECKED ? DLG_UNCHECKED : DLG_CHECKED;
        break;
    case ITEM_RADIO_BUTTON:
        for (int32_t nIndex : RadioGroupOf(*m_pTemplate, control.nIndex)) {
            m_controls[static_cast<size_t>(nIndex)].uCheck = DLG_UNCHECKED;
        }
        control.uCheck = DLG_CHECKED;
        break;
    default:
        break;
    }
    Send(DLG_MSG_COMMAND, static_cast<uint32_t>(nId) & 0xFFFF, reinterpret_cast<intptr_t>(hItem));
    return true;
}

bool FakeDialogHost::Type(int32_t nId, const std::string& text) {
    if (GetItem(&m_dialog, nId) == nullptr || !Item(nId).bEnabled) {
        return false;
    }
    Control& control = Item(nId);
    if ((control.pItem->dwStyle & DLG_EDIT_NUMBER) != 0 &&
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    control.text = text;
    return true;
}

void FakeDialogHost::Paint() {
    Send(DLG_MSG_PAINT, 0, 0);
}
