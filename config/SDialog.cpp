#include "config/SDialog.h"

#include "config/DialogTemplates.h"
#include "framework/Memory.h"

#include <cstring>

SDialog::SDialog(DialogHost& host)
    : m_hInstance(nullptr), m_pszTemplate(nullptr), m_hParent(nullptr), m_hDlg(nullptr), m_host(host) {
    m_host.InitControls();
}

SDialog::~SDialog() {
    MemFree(m_pszTemplate);
    m_pszTemplate = nullptr;
}

void SDialog::Create(ModuleHandle hInstance, const char* pszTemplate, DialogWindow hParent) {
    m_hInstance = hInstance;
    m_hParent = hParent;
    MemFree(m_pszTemplate);
    m_pszTemplate = nullptr;
    const size_t nSize = std::strlen(pszTemplate) + 1;
    m_pszTemplate = static_cast<char*>(MemAlloc(nSize));
    std::memcpy(m_pszTemplate, pszTemplate, nSize);
}

int SDialog::DoModal() {
    const DialogTemplate* pTemplate = FindDialogTemplate(m_pszTemplate);
    if (pTemplate == nullptr) {
        return -1;
    }
    return static_cast<int>(m_host.RunModal(m_hInstance, pTemplate, m_hParent, StaticDialogProc,
                                            reinterpret_cast<intptr_t>(this)));
}

intptr_t SDialog::StaticDialogProc(DialogHost* pHost, DialogWindow hWnd, uint32_t uMsg, uintptr_t wParam,
                                   intptr_t lParam) {
    if (uMsg == DLG_MSG_INITDIALOG) {
        pHost->SetUserData(hWnd, lParam);
        reinterpret_cast<SDialog*>(lParam)->m_hDlg = hWnd;
    }
    auto* pDialog = reinterpret_cast<SDialog*>(pHost->GetUserData(hWnd));
    if (pDialog == nullptr) {
        return 0;
    }
    return pDialog->OnMessage(hWnd, uMsg, wParam, lParam);
}

intptr_t SDialog::OnMessage(DialogWindow hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam) {
    switch (uMsg) {
    case DLG_MSG_PAINT:
        OnPaint();
        return 0; // the controls still paint themselves
    case DLG_MSG_INITDIALOG:
        OnInitDialog();
        return 1;
    case DLG_MSG_COMMAND:
        switch (static_cast<int32_t>(wParam & 0xFFFF)) {
        case DLG_ID_OK:
            OnOK();
            m_host.End(hWnd, 1);
            break;
        case DLG_ID_CANCEL:
            OnCancel();
            m_host.End(hWnd, 2);
            break;
        default:
            OnCommand(wParam, lParam);
            break;
        }
        return 1;
    default:
        return 0;
    }
}
