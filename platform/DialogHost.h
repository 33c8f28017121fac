// Dialog host service: modal dialogs built from a dialog template, with the operations a dialog's code
// performs on its controls by control id. Windows: the dialog manager and the common controls and
// dialogs; Linux: Qt 6 Widgets; headless: a fake host that tests drive.
//
// Everything runs on the main thread, inside RunModal. The host calls the dialog procedure for the
// messages below, with the arguments the Windows dialog manager gives; the procedure may call the host
// back. A C++ exception thrown by the procedure ends the dialog and leaves RunModal.
#pragma once

#include "platform/PlatformTypes.h"

#include <cstdint>

// A dialog or one of its controls; null is none.
using DialogWindow = void*;

// The messages a dialog procedure receives, numbered as on Windows.
enum DialogMessage : uint32_t {
    DLG_MSG_PAINT = 0x000F,      // the dialog must be painted; wParam, lParam 0
    DLG_MSG_INITDIALOG = 0x0110, // the dialog exists, before it is shown; lParam is RunModal's
    DLG_MSG_COMMAND = 0x0111,    // low word of wParam the control id, high word the notification (0: click)
};

// The ids of the buttons that end a dialog (also sent for Enter, Escape and the close box).
enum DialogButtonId : int32_t {
    DLG_ID_OK = 1,
    DLG_ID_CANCEL = 2,
};

enum DialogCheck : uint32_t {
    DLG_UNCHECKED = 0,
    DLG_CHECKED = 1,
};

// The template's style bits that a host interprets, with their Windows values.
enum DialogStyle : uint32_t {
    DLG_STYLE_TABSTOP = 0x00010000,
    DLG_STYLE_GROUP = 0x00020000, // this item starts a new group (radio buttons, mnemonics)
    DLG_BUTTON_TYPE_MASK = 0x0F,
    DLG_BUTTON_PUSH = 0x00,
    DLG_BUTTON_DEFAULT = 0x01,
    DLG_BUTTON_AUTOCHECK = 0x03,
    DLG_BUTTON_GROUPBOX = 0x07,
    DLG_BUTTON_AUTORADIO = 0x09,
    DLG_EDIT_NUMBER = 0x2000, // digits only
    DLG_STATIC_TYPE_MASK = 0x1F,
    DLG_STATIC_LEFT = 0x00,
    DLG_STATIC_BLACKFRAME = 0x07,
    DLG_STATIC_NOWRAP = 0x0C,
    DLG_TRACK_TOP = 0x04,           // trackbar ticks above the channel
    DLG_EXSTYLE_CLIENTEDGE = 0x200, // sunken edge
    DLG_UPDOWN_SETBUDDYINT = 0x02,  // the buddy shows the position in decimal
    DLG_UPDOWN_ALIGNRIGHT = 0x04,   // placed at the buddy's right edge, the buddy narrowed
};

// One control of a template; positions and sizes in dialog units of the template's font.
struct DialogItemTemplate {
    int32_t nId; // -1 for controls the code never addresses
    const char* pszClass;
    const char* pszText; // null: no text
    uint32_t dwStyle;
    uint32_t dwExStyle;
    int16_t x, y, cx, cy;
};

// A dialog template; items in creation order, which is also the tab order.
struct DialogTemplate {
    const char* pszName;
    uint32_t dwStyle;
    uint32_t dwExStyle;
    int16_t x, y, cx, cy;
    const char* pszCaption;
    uint16_t wPointSize;
    uint16_t wWeight;
    bool bItalic;
    uint8_t bCharSet;
    const char* pszFace;
    const DialogItemTemplate* pItems;
    int32_t nItems;
};

// The open-file picker's request; members and flags as in the Windows open-file structure.
enum OpenFileFlags : uint32_t {
    DLG_OPEN_HIDEREADONLY = 0x0004,
    DLG_OPEN_FILEMUSTEXIST = 0x1000,
};
struct OpenFileRequest {
    DialogWindow hOwner;
    const char* pszFilter; // pairs of display text and pattern, each zero-terminated, then an empty string
    uint32_t nFilterIndex; // 1-based
    char* pszFile;         // in: the starting name; out: the chosen full path
    uint32_t nMaxFile;     // pszFile's size, terminator included
    char* pszFileTitle;    // out: the chosen name without its folder; may be null
    uint32_t nMaxFileTitle;
    const char* pszInitialDir; // may be null
    const char* pszTitle;
    uint32_t dwFlags;
    const char* pszDefExt; // may be null
};

// The colour picker's request; colours are colour references 0x00BBGGRR.
enum ColorFlags : uint32_t {
    DLG_COLOR_RGBINIT = 0x001, // start at rgbResult
    DLG_COLOR_ANYCOLOR = 0x100,
};
struct ColorRequest {
    DialogWindow hOwner;
    uint32_t rgbResult;    // in: the starting colour; out: the chosen one
    uint32_t* pCustColors; // 16 custom colour slots, edited in place
    uint32_t dwFlags;
};

class DialogHost;
// The dialog procedure; returns nonzero when it handled the message (for DLG_MSG_INITDIALOG: nonzero
// puts the focus on the first tab stop).
using DialogProc = intptr_t (*)(DialogHost* pHost, DialogWindow hWnd, uint32_t uMsg, uintptr_t wParam,
                                intptr_t lParam);

class DialogHost {
public:
    virtual ~DialogHost() = default;

    // Called once by each dialog object before its first RunModal: makes the extra control classes usable.
    virtual void InitControls() = 0;
    // Builds the dialog from pTemplate, sends DLG_MSG_INITDIALOG with lParam, and runs it modally until
    // End. Returns End's result, or -1 when the dialog cannot be made (nothing is sent then).
    virtual intptr_t RunModal(ModuleHandle hInstance, const DialogTemplate* pTemplate, DialogWindow hParent,
                              DialogProc pfnProc, intptr_t lParam) = 0;
    // Ends the modal dialog hDlg once the current message is handled; RunModal returns nResult.
    virtual void End(DialogWindow hDlg, intptr_t nResult) = 0;
    // A value kept with the dialog window for its procedure; 0 until set.
    virtual void SetUserData(DialogWindow hWnd, intptr_t lData) = 0;
    virtual intptr_t GetUserData(DialogWindow hWnd) = 0;

    // The control nId of hDlg, or null.
    virtual DialogWindow GetItem(DialogWindow hDlg, int32_t nId) = 0;
    // Checks or unchecks a check box or radio button (only that one).
    virtual void CheckItem(DialogWindow hDlg, int32_t nId, uint32_t uCheck) = 0;
    virtual uint32_t IsItemChecked(DialogWindow hDlg, int32_t nId) = 0;
    virtual void SetItemText(DialogWindow hDlg, int32_t nId, const char* pszText) = 0;
    // Copies at most nMax - 1 bytes of the control's text (whole characters) and a zero; returns the
    // count copied.
    virtual uint32_t GetItemText(DialogWindow hDlg, int32_t nId, char* pszText, int32_t nMax) = 0;
    // The control's text as an unsigned decimal number; 0 and *pbTranslated false when it is not one or
    // does not fit in 32 bits. pbTranslated may be null.
    virtual uint32_t GetItemUnsigned(DialogWindow hDlg, int32_t nId, bool* pbTranslated) = 0;
    virtual void EnableItem(DialogWindow hDlg, int32_t nId, bool bEnable) = 0;

    // Creates an up-down control beside the buddy edit hBuddy, stepping from nLower to nUpper, at nPos.
    virtual DialogWindow CreateUpDown(uint32_t dwStyle, int32_t x, int32_t y, int32_t cx, int32_t cy,
                                      DialogWindow hParent, int32_t nId, ModuleHandle hInstance,
                                      DialogWindow hBuddy, int32_t nUpper, int32_t nLower, int32_t nPos) = 0;
    // The trackbar nId's range and position (a position outside the range is moved into it).
    virtual void SetTrackRange(DialogWindow hDlg, int32_t nId, bool bRedraw, int32_t nMin, int32_t nMax) = 0;
    virtual void SetTrackPos(DialogWindow hDlg, int32_t nId, bool bRedraw, int32_t nPos) = 0;
    virtual int32_t GetTrackPos(DialogWindow hDlg, int32_t nId) = 0;

    // Asks for hWnd and its controls to be painted again (a DLG_MSG_PAINT follows).
    virtual void Invalidate(DialogWindow hWnd, bool bErase) = 0;
    // Called while handling DLG_MSG_PAINT: fills the whole client area of the control hWnd with the
    // colour reference dwColorRef.
    virtual void PaintSolid(DialogWindow hWnd, uint32_t dwColorRef) = 0;

    // The modal pickers. True when the user confirmed (the request then holds the choice).
    virtual bool OpenFile(OpenFileRequest* pRequest) = 0;
    virtual bool PickColor(ColorRequest* pRequest) = 0;
};
