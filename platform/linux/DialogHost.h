// QtDialogHost: the dialog host on Linux, with Qt 6 Widgets. A dialog is built from its template: each
// item becomes the matching widget at the template's position, dialog units converted with the metrics
// of the template's font as the Windows dialog manager converts them. Auto radio buttons form one
// exclusive group per template group; digits-only edits take digits only and do not clamp (an up-down
// control steps them within its range); a static frame is painted by the dialog's paint message; the
// pickers are QFileDialog and QColorDialog.
//
// Main thread only. Makes the QApplication when the program has none (it then lives as long as the
// host). An exception thrown by the dialog procedure ends the dialog and is thrown on from RunModal.
#pragma once

#include "platform/DialogHost.h"

#include <QTranslator>

#include <memory>

class QApplication;
class QWidget;

class QtDialogHost : public DialogHost {
public:
    QtDialogHost();
    ~QtDialogHost() override;
    QtDialogHost(const QtDialogHost&) = delete;
    QtDialogHost& operator=(const QtDialogHost&) = delete;

    void InitControls() override {}
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

    // The control widget itself (its object name is its id in decimal), or null.
    static QWidget* Widget(DialogWindow hWnd);

private:
    std::unique_ptr<QApplication> m_pApp;
    // Qt's own texts (the pickers' buttons and labels) in the locale's language, where Qt has them.
    std::unique_ptr<QTranslator> m_pQtTexts;
};
