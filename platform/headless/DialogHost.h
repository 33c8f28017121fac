// FakeDialogHost: the dialog host of the headless platform. It builds the controls of a template as
// plain state (text, check, enabled, trackbar range and position), runs the dialog's procedure exactly
// as a real host would, and lets a test act as the user inside RunModal: click, type, paint, and answer
// the pickers. Main thread only.
//
//     FakeDialogHost host;
//     host.m_pfnUser = [](FakeDialogHost& h) { h.Type(1001, "300"); h.Click(DLG_ID_OK); };
//     dialog.DoModal();   // 1
#pragma once

#include "platform/DialogHost.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

class FakeDialogHost : public DialogHost {
public:
    struct Control {
        const DialogItemTemplate* pItem;
        int32_t nIndex; // in the template
        std::string text;
        uint32_t uCheck = DLG_UNCHECKED;
        bool bEnabled = true;
        int32_t nMin = 0, nMax = 100, nPos = 0; // trackbar
    };
    struct UpDown {
        DialogWindow hBuddy = nullptr;
        uint32_t dwStyle = 0;
        int32_t nLower = 0, nUpper = 0, nPos = 0;
    };

    void InitControls() override { ++m_nInitControls; }
    intptr_t RunModal(ModuleHandle hInstance, const DialogTemplate* pTemplate, DialogWindow hParent,
                      DialogProc pfnProc, intptr_t lParam) override;
    void End(DialogWindow hDlg, intptr_t nResult) override;
    void SetUserData(DialogWindow hWnd, intptr_t lData) override;
    intptr_t GetUserData(DialogWindow hWnd) override { return hWnd == &m_dialog ? m_lUserData : 0; }
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
    void Invalidate(DialogWindow, bool) override { ++m_nInvalidations; }
    void PaintSolid(DialogWindow hWnd, uint32_t dwColorRef) override;
    bool OpenFile(OpenFileRequest* pRequest) override;
    bool PickColor(ColorRequest* pRequest) override;

    // The user's actions, run inside RunModal after initialisation. When they leave the dialog open, the
    // close box ends it.
    std::function<void(FakeDialogHost&)> m_pfnUser;
    // Clicks a control as the user would: false for a disabled or missing one. Auto check boxes toggle and
    // auto radio buttons check themselves and uncheck their group before the command is sent.
    bool Click(int32_t nId);
    // Replaces an edit's text as typing would: false when disabled, or for non-digits in a digits-only edit.
    bool Type(int32_t nId, const std::string& text);
    // Sends the paint message; m_dwPaintedColor shows what was painted into which window.
    void Paint();
    Control& Item(int32_t nId);
    bool IsOpen() const { return m_pfnProc != nullptr; }

    // The pickers' answers; unset means the user cancels. Each is used once.
    std::optional<std::string> m_nextFile;
    std::optional<uint32_t> m_nextColorRef;
    // What the pickers were asked, the last time.
    std::string m_openTitle, m_openFilter, m_openDefExt;
    OpenFileRequest m_openRequest{};
    ColorRequest m_colorRequest{};

    std::vector<Control> m_controls;
    UpDown m_upDown;
    DialogWindow m_hPainted = nullptr;
    uint32_t m_dwPaintedColor = 0;
    int m_nInvalidations = 0;
    int m_nInitControls = 0;
    const DialogTemplate* m_pTemplate = nullptr;

private:
    intptr_t Send(uint32_t uMsg, uintptr_t wParam, intptr_t lParam);

    char m_dialog = 0; // its address is the dialog's window
    DialogProc m_pfnProc = nullptr;
    intptr_t m_lUserData = 0;
    bool m_bEnded = false;
    intptr_t m_nResult = 0;
};
