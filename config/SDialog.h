// SDialog: a small modal-dialog class. It names a dialog template, runs it through the dialog host and
// routes the dialog's messages to virtual hooks that a subclass fills (SConfigDialog).
//
// Main thread only. Create throws SString when the name cannot be copied (out of memory); DoModal
// returns 1 after OK, 2 after Cancel, -1 when the template is unknown or the dialog cannot be made.
// An SString thrown by a hook leaves DoModal once the host has ended the dialog.
//
//     SConfigDialog dialog(host, store);
//     dialog.Create(hModule, "DLG_CONFIG", nullptr);
//     dialog.DoModal();
#pragma once

#include "platform/DialogHost.h"
#include "platform/PlatformTypes.h"

class SDialog {
public:
    explicit SDialog(DialogHost& host);
    SDialog(const SDialog&) = delete;
    SDialog& operator=(const SDialog&) = delete;

    void Create(ModuleHandle hInstance, const char* pszTemplate, DialogWindow hParent);
    int DoModal();
    // The procedure of every SDialog dialog: finds the object in the window's user data.
    static intptr_t StaticDialogProc(DialogHost* pHost, DialogWindow hWnd, uint32_t uMsg, uintptr_t wParam,
                                     intptr_t lParam);

    // The dispatcher: paint, initialisation, OK, Cancel and the other commands to their hooks.
    virtual intptr_t OnMessage(DialogWindow hWnd, uint32_t uMsg, uintptr_t wParam, intptr_t lParam);
    virtual void OnOK() {}
    virtual void OnCancel() {}
    virtual void OnCommand(uintptr_t /*wParam*/, intptr_t /*lParam*/) {}
    virtual void OnInitDialog() {}
    virtual void OnPaint() {}
    virtual ~SDialog();

    ModuleHandle m_hInstance;
    char* m_pszTemplate; // owned copy of the template's name
    DialogWindow m_hParent;
    DialogWindow m_hDlg; // the open dialog; set on initialisation
    DialogHost& m_host;
};
