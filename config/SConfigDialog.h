// SConfigDialog: the settings page "DLG_CONFIG". It opens with the stored settings, keeps the edits in
// its controls (and the colour in m_dwColor), and stores all nine settings on OK; Cancel stores nothing.
//
// Run by the scene's configure hook on the main thread, with no owner window:
//
//     SConfigDialog dialog(host, store);
//     dialog.Create(hModule, "DLG_CONFIG", nullptr);
//     dialog.DoModal();
#pragma once

#include "config/SDialog.h"
#include "config/Settings.h"

class SConfigDialog : public SDialog {
public:
    SConfigDialog(DialogHost& host, SettingsStore& store);

    void OnOK() override;
    void OnCommand(uintptr_t wParam, intptr_t lParam) override;
    void OnInitDialog() override;
    void OnPaint() override;

    DialogWindow m_hSwatch; // control 1013, painted with the colour; set when the dialog initialises
    uint32_t m_dwColor;     // the Color being edited, 0x00RRGGBB
    uint32_t m_CustomColors[SETTINGS_CUSTOM_COLORS]; // colour references the picker edits in place
    SettingsStore& m_store;

private:
    void BrowseFile(int32_t nEditId, const char* pszFilterText, const char* pszPattern, const char* pszTitle,
                    const char* pszDefExt);
    void PickColor();

    // The modes as stored when the dialog opened: OK keeps them for a set with no button checked.
    uint32_t m_dwOpenedMapMode;
    uint32_t m_dwOpenedBGMMode;
};
