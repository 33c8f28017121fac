// lumivorra-dialog-driver: works the settings dialog of lumivorra.scr /c from a second process, as a
// user would, and reports what its controls show. The commands run in order; each line of output is
// one fact ("check 1000 1"), in code page 932. Exit code 0 when every command worked, 1 otherwise
// (with an "error ..." line).
//
//   open                 wait until the dialog is shown (found by its caption)
//   report               the count, path edits, radio and check boxes, enabled edits, slider, swatch colour
//   text ID TEXT         replace an edit's text          type ID CHARS   type characters into an edit
//   click ID             click a button                  track N         move the slider to N by keys
//   spin up|down         click an arrow of the count's up-down control
//   color RRGGBB         pick a colour with the colour picker and add it to the custom colours
//   file ID PATH         choose PATH with the open-file picker of the browse button ID
//   picker ID            click the button ID and wait until its picker is shown and painted (left open)
//   folder PATH          show the folder PATH in the open-file picker
//   dismiss              cancel the open picker
//   ok | cancel | close  leave the dialog with OK, Cancel or the close box, and wait until it is gone
//   values               the stored settings: name, type, size and bytes of each value
//   clear                remove the settings key (and the maker's key above it)
//   set NAME TYPE HEX    store a settings value of any type and bytes, as another program might
//   rect                 the screen rectangle of the open picker, or else of the dialog: x y width height
//   caption              the dialog's caption                label ID        the text of the control ID
#include "config/DialogTemplates.h"

#include <windows.h>

#include <colordlg.h>
#include <commctrl.h>
#include <dlgs.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr DWORD kWaitMs = 30000;

HWND g_hDlg = nullptr;

[[noreturn]] void Fail(const std::string& message) {
    std::printf("error %s\n", message.c_str());
    std::fflush(stdout);
    std::exit(1);
}

// Polls until the predicate holds or the wait is over.
template <typename Predicate>
bool WaitFor(Predicate predicate) {
    const DWORD dwStart = GetTickCount();
    while (!predicate()) {
        if (GetTickCount() - dwStart > kWaitMs) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

HWND Item(int nId) {
    HWND hItem = GetDlgItem(g_hDlg, nId);
    if (hItem == nullptr) {
        Fail("no control " + std::to_string(nId));
    }
    return hItem;
}

std::string WindowText(HWND hWnd) {
    char szText[1024] = {};
    SendMessageA(hWnd, WM_GETTEXT, sizeof(szText), reinterpret_cast<LPARAM>(szText));
    return szText;
}

struct PickerSearch {
    HWND hOwner;
    HWND hFound;
};

BOOL CALLBACK FindOwnedDialog(HWND hWnd, LPARAM lParam) {
    PickerSearch* pSearch = reinterpret_cast<PickerSearch*>(lParam);
    char szClass[16] = {};
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (GetWindow(hWnd, GW_OWNER) == pSearch->hOwner && IsWindowVisible(hWnd) &&
        std::strcmp(szClass, "#32770") == 0) {
        pSearch->hFound = hWnd;
        return FALSE;
    }
    return TRUE;
}

HWND OpenPicker() {
    PickerSearch search{g_hDlg, nullptr};
    EnumWindows(FindOwnedDialog, reinterpret_cast<LPARAM>(&search));
    return search.hFound;
}

// The picker runs its own modal loop inside the dialog's click handler, so the click is posted.
HWND ShowPicker(int nButton) {
    PostMessageA(Item(nButton), BM_CLICK, 0, 0);
    HWND hPicker = nullptr;
    if (!WaitFor([&] { return (hPicker = OpenPicker()) != nullptr; })) {
        Fail("no picker opened by " + std::to_string(nButton));
    }
    return hPicker;
}

void ClosePicker(HWND hPicker, int nButton) {
    PostMessageA(hPicker, WM_COMMAND, MAKEWPARAM(nButton, BN_CLICKED), 0);
    if (!WaitFor([&] { return !IsWindow(hPicker); })) {
        Fail("the picker stayed open");
    }
}

void TypeInto(HWND hEdit, const std::string& chars) {
    for (unsigned char c : chars) {
        SendMessageA(hEdit, WM_CHAR, c, 1);
    }
}

void PickColor(const char* pszHex) {
    const unsigned long rgb = std::strtoul(pszHex, nullptr, 16);
    HWND hPicker = ShowPicker(IDC_PICK_COLOR);
    // The red, green and blue edits are read as they are typed into.
    const int anEdits[3] = {COLOR_RED, COLOR_GREEN, COLOR_BLUE};
    for (int i = 0; i < 3; ++i) {
        HWND hEdit = GetDlgItem(hPicker, anEdits[i]);
        if (hEdit == nullptr) {
            Fail("the colour picker has no edit " + std::to_string(anEdits[i]));
        }
        SendMessageA(hEdit, EM_SETSEL, 0, -1);
        TypeInto(hEdit, std::to_string((rgb >> (16 - 8 * i)) & 0xFF));
    }
    SendMessageA(GetDlgItem(hPicker, COLOR_ADD), BM_CLICK, 0, 0);
    ClosePicker(hPicker, IDOK);
}

HWND NameField(HWND hPicker) {
    HWND hName = GetDlgItem(hPicker, edt1);
    if (hName == nullptr) {
        hName = GetDlgItem(hPicker, cmb13);
    }
    if (hName == nullptr) {
        Fail("the open-file picker has no name field");
    }
    return hName;
}

void PickFile(int nButton, const char* pszPath) {
    HWND hPicker = ShowPicker(nButton);
    SendMessageA(NameField(hPicker), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pszPath));
    ClosePicker(hPicker, IDOK);
}

// A folder's path confirmed in the name field opens the folder, as typed by a user.
void ShowFolder(const char* pszPath) {
    HWND hPicker = OpenPicker();
    if (hPicker == nullptr) {
        Fail("no picker open");
    }
    HWND hName = NameField(hPicker);
    SendMessageA(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pszPath));
    SendMessageA(hPicker, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    SendMessageA(hName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
}

// A user's keys: Home to the low end, then one step right per unit.
void MoveTrack(int nPos) {
    HWND hTrack = Item(IDC_BUMP);
    const WPARAM awKeys[2] = {VK_HOME, VK_RIGHT};
    for (int i = 0; i <= nPos; ++i) {
        const WPARAM wKey = awKeys[i == 0 ? 0 : 1];
        SendMessageA(hTrack, WM_KEYDOWN, wKey, 1);
        SendMessageA(hTrack, WM_KEYUP, wKey, 0xC0000001);
    }
}

BOOL CALLBACK FindUpDown(HWND hWnd, LPARAM lParam) {
    char szClass[32] = {};
    GetClassNameA(hWnd, szClass, sizeof(szClass));
    if (std::strcmp(szClass, UPDOWN_CLASSA) == 0) {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

void Spin(const std::string& direction) {
    HWND hUpDown = nullptr;
    EnumChildWindows(g_hDlg, FindUpDown, reinterpret_cast<LPARAM>(&hUpDown));
    if (hUpDown == nullptr) {
        Fail("no up-down control");
    }
    RECT rect{};
    GetClientRect(hUpDown, &rect);
    const int y = direction == "up" ? rect.bottom / 4 : rect.bottom * 3 / 4;
    const LPARAM lPoint = MAKELPARAM(rect.right / 2, y);
    SendMessageA(hUpDown, WM_LBUTTONDOWN, MK_LBUTTON, lPoint);
    SendMessageA(hUpDown, WM_LBUTTONUP, 0, lPoint);
}

// The swatch's colour on the screen as RRGGBB when its whole inside shows that one colour, else "mixed"
// and the first other colour; a repaint the dialog still owes is done first.
std::string SwatchColor() {
    UpdateWindow(g_hDlg);
    HWND hSwatch = Item(IDC_SWATCH);
    RECT rect{};
    GetClientRect(hSwatch, &rect);
    POINT origin{0, 0};
    ClientToScreen(hSwatch, &origin);
    HDC hDC = GetDC(nullptr);
    const auto rgb = [hDC, origin](int x, int y) {
        const COLORREF ref = GetPixel(hDC, origin.x + x, origin.y + y);
        return static_cast<unsigned long>((GetRValue(ref) << 16) | (GetGValue(ref) << 8) | GetBValue(ref));
    };
    const unsigned long dwCentre = rgb(rect.right / 2, rect.bottom / 2);
    char szText[32];
    std::snprintf(szText, sizeof(szText), "%06lX", dwCentre);
    for (int y = 0; y < rect.bottom; ++y) {
        for (int x = 0; x < rect.right; ++x) {
            if (rgb(x, y) != dwCentre) {
                std::snprintf(szText, sizeof(szText), "mixed %06lX %06lX", dwCentre, rgb(x, y));
                y = rect.bottom;
                break;
            }
        }
    }
    ReleaseDC(nullptr, hDC);
    return szText;
}

void Report() {
    for (int nId : {IDC_NUMS, IDC_MAP_PATH, IDC_MUSIC_PATH}) {
        std::printf("text %d %s\n", nId, WindowText(Item(nId)).c_str());
    }
    for (int nId :
         {IDC_BGM_FILE, IDC_BGM_DEFAULT, IDC_BGM_NONE, IDC_MAP_FILE, IDC_MAP_DEFAULT, IDC_SHOW_FPS}) {
        std::printf("check %d %d\n", nId, static_cast<int>(SendMessageA(Item(nId), BM_GETCHECK, 0, 0)));
    }
    for (int nId : {IDC_MUSIC_PATH, IDC_MUSIC_BROWSE, IDC_MAP_PATH, IDC_MAP_BROWSE}) {
        std::printf("enabled %d %d\n", nId, IsWindowEnabled(Item(nId)) ? 1 : 0);
    }
    HWND hTrack = Item(IDC_BUMP);
    std::printf("track %d %d %d\n", static_cast<int>(SendMessageA(hTrack, TBM_GETPOS, 0, 0)),
                static_cast<int>(SendMessageA(hTrack, TBM_GETRANGEMIN, 0, 0)),
                static_cast<int>(SendMessageA(hTrack, TBM_GETRANGEMAX, 0, 0)));
    std::printf("swatch %s\n", SwatchColor().c_str());
}

void Values() {
    HKEY hKey = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\quillo\\Lumivorra", 0, KEY_QUERY_VALUE, &hKey) !=
        ERROR_SUCCESS) {
        std::printf("no key\n");
        return;
    }
    for (DWORD i = 0;; ++i) {
        char szName[256] = {};
        DWORD dwNameSize = sizeof(szName);
        DWORD dwType = 0;
        BYTE abData[1024] = {};
        DWORD dwSize = sizeof(abData);
        if (RegEnumValueA(hKey, i, szName, &dwNameSize, nullptr, &dwType, abData, &dwSize) != ERROR_SUCCESS) {
            break;
        }
        std::printf("value %s %lu %lu ", szName, dwType, dwSize);
        for (DWORD b = 0; b < dwSize; ++b) {
            std::printf("%02X", abData[b]);
        }
        std::printf("\n");
    }
    RegCloseKey(hKey);
}

void SetValue(const char* pszName, DWORD dwType, const std::string& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    HKEY hKey = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\quillo\\Lumivorra", 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &hKey, nullptr) != ERROR_SUCCESS ||
        RegSetValueExA(hKey, pszName, 0, dwType, reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size())) != ERROR_SUCCESS) {
        Fail(std::string("cannot set ") + pszName);
    }
    RegCloseKey(hKey);
}

void Leave(int nButton) {
    HWND hDlg = g_hDlg;
    if (nButton == 0) {
        PostMessageA(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else {
        PostMessageA(Item(nButton), BM_CLICK, 0, 0);
    }
    if (!WaitFor([&] { return !IsWindow(hDlg); })) {
        Fail("the dialog stayed open");
    }
}

void Open() {
    const bool bFound = WaitFor([] {
        // The page in the user's language: Japanese or English.
        g_hDlg = FindWindowA("#32770", "Lumivorra 設定");
        if (g_hDlg == nullptr) {
            g_hDlg = FindWindowA("#32770", "Lumivorra Settings");
        }
        return g_hDlg != nullptr && IsWindowVisible(g_hDlg);
    });
    if (!bFound) {
        Fail("the settings dialog did not open");
    }
}

} // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string command = argv[i];
        // Every command but open and values needs the dialog; the arguments follow the command.
        auto argument = [&]() -> const char* {
            if (i + 1 >= argc) {
                Fail(command + " needs an argument");
            }
            return argv[++i];
        };
        if (command != "open" && command != "values" && command != "clear" && command != "set" &&
            g_hDlg == nullptr) {
            Fail(command + " before open");
        }
        if (command == "open") {
            Open();
        } else if (command == "report") {
            Report();
        } else if (command == "text" || command == "type") {
            HWND hEdit = Item(std::atoi(argument()));
            const char* pszText = argument();
            if (command == "text") {
                SendMessageA(hEdit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pszText));
            } else {
                TypeInto(hEdit, pszText);
            }
        } else if (command == "click") {
            SendMessageA(Item(std::atoi(argument())), BM_CLICK, 0, 0);
        } else if (command == "track") {
            MoveTrack(std::atoi(argument()));
        } else if (command == "spin") {
            Spin(argument());
        } else if (command == "color") {
            PickColor(argument());
        } else if (command == "file") {
            const int nButton = std::atoi(argument());
            PickFile(nButton, argument());
        } else if (command == "picker") {
            RedrawWindow(ShowPicker(std::atoi(argument())), nullptr, nullptr,
                         RDW_UPDATENOW | RDW_ALLCHILDREN);
        } else if (command == "folder") {
            ShowFolder(argument());
        } else if (command == "dismiss") {
            HWND hPicker = OpenPicker();
            if (hPicker == nullptr) {
                Fail("no picker open");
            }
            ClosePicker(hPicker, IDCANCEL);
        } else if (command == "ok" || command == "cancel" || command == "close") {
            Leave(command == "ok" ? IDOK : command == "cancel" ? IDCANCEL : 0);
            g_hDlg = nullptr;
        } else if (command == "values") {
            Values();
        } else if (command == "clear") {
            RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\quillo");
        } else if (command == "set") {
            const char* pszName = argument();
            const DWORD dwType = std::strtoul(argument(), nullptr, 10);
            SetValue(pszName, dwType, argument());
        } else if (command == "caption") {
            char szText[256] = {};
            GetWindowTextA(g_hDlg, szText, sizeof(szText));
            std::printf("caption %s\n", szText);
        } else if (command == "label") {
            const int nId = std::atoi(argument());
            char szText[256] = {};
            GetDlgItemTextA(g_hDlg, nId, szText, sizeof(szText));
            std::printf("label %d %s\n", nId, szText);
        } else if (command == "rect") {
            HWND hPicker = OpenPicker();
            RECT rect{};
            GetWindowRect(hPicker != nullptr ? hPicker : g_hDlg, &rect);
            std::printf("rect %ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top);
        } else {
            Fail("unknown command " + command);
        }
        std::fflush(stdout);
    }
    return 0;
}
