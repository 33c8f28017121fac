#include "config/SConfigDialog.h"

#include "config/DialogTemplates.h"
#include "platform/Language.h"

#include <algorithm>
#include <cstring>

namespace {

// Window and up-down styles by their Windows names.
constexpr uint32_t kWsChild = 0x40000000;
constexpr uint32_t kWsVisible = 0x10000000;
constexpr uint32_t kWsBorder = 0x00800000;
constexpr uint32_t kUdsSetBuddyInt = 0x0002; // the position is written into the buddy edit
constexpr uint32_t kUdsAlignRight = 0x0004;  // at the buddy's right edge
constexpr uint32_t kUpDownStyle = kWsChild | kWsVisible | kWsBorder | kUdsAlignRight | kUdsSetBuddyInt;

} // namespace

SConfigDialog::SConfigDialog(DialogHost& host, SettingsStore& store)
    : SDialog(host), m_hSwatch(nullptr), m_dwColor(0), m_store(store), m_dwOpenedMapMode(1),
      m_dwOpenedBGMMode(1) {
    std::memset(m_CustomColors, 0xFF, sizeof(m_CustomColors));
}

void SConfigDialog::OnInitDialog() {
    DialogHost& host = m_host;
    const DialogWindow hDlg = m_hDlg;
    m_dwColor = 0xFF6464;
    m_CustomColors[0] = SwapRedBlue(0xFF6464);

    Settings settings;
    ReadSettings(m_store, &settings, READER_DIALOG);
    m_dwColor = settings.Color;
    std::memcpy(m_CustomColors, settings.CustomColors, sizeof(m_CustomColors));
    m_dwOpenedMapMode = settings.HeightMapMode;
    m_dwOpenedBGMMode = settings.BGMMode;

    // The up-down control places itself at the edit's right edge; its own id is never used.
    host.CreateUpDown(kUpDownStyle, 0, 0, 1, 1, hDlg, -1, m_hInstance, host.GetItem(hDlg, IDC_NUMS), 255, 0,
                      static_cast<int32_t>(settings.Nums));
    host.CheckItem(hDlg, IDC_SHOW_FPS, settings.ShowFPS);
    host.SetItemText(hDlg, IDC_MAP_PATH, settings.HeightMapFile);
    if (settings.HeightMapMode == 0) {
        host.CheckItem(hDlg, IDC_MAP_FILE, DLG_CHECKED);
    } else if (settings.HeightMapMode == 1) {
        host.CheckItem(hDlg, IDC_MAP_DEFAULT, DLG_CHECKED);
    }
    if (settings.HeightMapMode != 0) {
        host.EnableItem(hDlg, IDC_MAP_PATH, false);
        host.EnableItem(hDlg, IDC_MAP_BROWSE, false);
    }
    host.SetTrackRange(hDlg, IDC_BUMP, true, 0, 8);
    host.SetTrackPos(hDlg, IDC_BUMP, true, static_cast<int32_t>(settings.BumpFactor));
    host.SetItemText(hDlg, IDC_MUSIC_PATH, settings.MusicFile);
    if (settings.BGMMode == 0) {
        host.CheckItem(hDlg, IDC_BGM_FILE, DLG_CHECKED);
    } else if (settings.BGMMode == 1) {
        host.CheckItem(hDlg, IDC_BGM_DEFAULT, DLG_CHECKED);
    } else if (settings.BGMMode == 2) {
        host.CheckItem(hDlg, IDC_BGM_NONE, DLG_CHECKED);
    }
    if (settings.BGMMode != 0) {
        host.EnableItem(hDlg, IDC_MUSIC_PATH, false);
        host.EnableItem(hDlg, IDC_MUSIC_BROWSE, false);
    }
    m_hSwatch = host.GetItem(hDlg, IDC_SWATCH);
}

void SConfigDialog::OnCommand(uintptr_t wParam, intptr_t /*lParam*/) {
    switch (static_cast<int32_t>(wParam & 0xFFFF)) {
    case IDC_BGM_FILE:
        m_host.EnableItem(m_hDlg, IDC_MUSIC_PATH, true);
        m_host.EnableItem(m_hDlg, IDC_MUSIC_BROWSE, true);
        break;
    case IDC_BGM_DEFAULT:
    case IDC_BGM_NONE:
        m_host.EnableItem(m_hDlg, IDC_MUSIC_PATH, false);
        m_host.EnableItem(m_hDlg, IDC_MUSIC_BROWSE, false);
        break;
    case IDC_MAP_FILE:
        m_host.EnableItem(m_hDlg, IDC_MAP_PATH, true);
        m_host.EnableItem(m_hDlg, IDC_MAP_BROWSE, true);
        break;
    case IDC_MAP_DEFAULT:
        m_host.EnableItem(m_hDlg, IDC_MAP_PATH, false);
        m_host.EnableItem(m_hDlg, IDC_MAP_BROWSE, false);
        break;
    case IDC_MUSIC_BROWSE:
        BrowseFile(IDC_MUSIC_PATH, Tr("MIDI Files (*.mid)"), "*.mid", Tr("Choose the Music File"), "mid");
        break;
    case IDC_MAP_BROWSE:
        BrowseFile(IDC_MAP_PATH, Tr("Bitmap Files (*.bmp)"), "*.bmp", Tr("Choose the Height Map File"),
                   "bmp");
        break;
    case IDC_PICK_COLOR:
        PickColor();
        break;
    default:
        break;
    }
}

// The picker starts with an empty name, not from the path already in the edit.
void SConfigDialog::BrowseFile(int32_t nEditId, const char* pszFilterText, const char* pszPattern,
                               const char* pszTitle, const char* pszDefExt) {
    // The filter is one list: display text and pattern, each zero-terminated, then an empty string.
    char szFilter[256] = {};
    const size_t nText = std::min(std::strlen(pszFilterText), sizeof(szFilter) / 2);
    std::memcpy(szFilter, pszFilterText, nText);
    std::memcpy(szFilter + nText + 1, pszPattern,
                std::min(std::strlen(pszPattern), sizeof(szFilter) / 2 - 3));
    char szFile[SETTINGS_PATH_READ] = {};
    char szTitle[256] = {};
    OpenFileRequest request{};
    request.hOwner = m_hDlg;
    request.pszFilter = szFilter;
    request.nFilterIndex = 1;
    request.pszFile = szFile;
    request.nMaxFile = SETTINGS_PATH_WRITTEN;
    request.pszFileTitle = szTitle;
    request.nMaxFileTitle = sizeof(szTitle);
    request.pszTitle = pszTitle;
    request.dwFlags = DLG_OPEN_FILEMUSTEXIST | DLG_OPEN_HIDEREADONLY;
    request.pszDefExt = pszDefExt;
    if (m_host.OpenFile(&request)) {
        m_host.SetItemText(m_hDlg, nEditId, szFile);
    }
}

void SConfigDialog::PickColor() {
    ColorRequest request{};
    request.hOwner = m_hDlg;
    request.rgbResult = SwapRedBlue(m_dwColor);
    request.pCustColors = m_CustomColors;
    request.dwFlags = DLG_COLOR_RGBINIT | DLG_COLOR_ANYCOLOR;
    if (!m_host.PickColor(&request)) {
        return;
    }
    m_dwColor = SwapRedBlue(request.rgbResult);
    m_host.Invalidate(m_hDlg, false);
}

void SConfigDialog::OnPaint() {
    m_host.PaintSolid(m_hSwatch, SwapRedBlue(m_dwColor));
}

void SConfigDialog::OnOK() {
    DialogHost& host = m_host;
    const DialogWindow hDlg = m_hDlg;
    Settings settings = DefaultSettings();
    settings.Nums = host.GetItemUnsigned(hDlg, IDC_NUMS, nullptr);
    settings.BumpFactor = static_cast<uint32_t>(host.GetTrackPos(hDlg, IDC_BUMP));
    // A set with no button checked (a stored mode out of range, left alone) keeps the stored mode.
    settings.HeightMapMode = m_dwOpenedMapMode;
    settings.BGMMode = m_dwOpenedBGMMode;
    if (host.IsItemChecked(hDlg, IDC_MAP_FILE) == DLG_CHECKED) {
        settings.HeightMapMode = 0;
    } else if (host.IsItemChecked(hDlg, IDC_MAP_DEFAULT) == DLG_CHECKED) {
        settings.HeightMapMode = 1;
    }
    host.GetItemText(hDlg, IDC_MAP_PATH, settings.HeightMapFile, SETTINGS_PATH_WRITTEN);
    if (host.IsItemChecked(hDlg, IDC_BGM_FILE) == DLG_CHECKED) {
        settings.BGMMode = 0;
    } else if (host.IsItemChecked(hDlg, IDC_BGM_DEFAULT) == DLG_CHECKED) {
        settings.BGMMode = 1;
    } else if (host.IsItemChecked(hDlg, IDC_BGM_NONE) == DLG_CHECKED) {
        settings.BGMMode = 2;
    }
    host.GetItemText(hDlg, IDC_MUSIC_PATH, settings.MusicFile, SETTINGS_PATH_WRITTEN);
    settings.ShowFPS = host.IsItemChecked(hDlg, IDC_SHOW_FPS) == DLG_CHECKED ? 1 : 0;
    settings.Color = m_dwColor;
    std::memcpy(settings.CustomColors, m_CustomColors, sizeof(m_CustomColors));
    WriteSettings(m_store, settings);
}
