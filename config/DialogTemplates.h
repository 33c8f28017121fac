// The program's dialog templates as data, made from config/ConfigDialog.inc (from which the Windows
// resource script makes the module's dialog resource too): what the Linux and headless hosts build
// their dialogs from. Read-only, usable from any thread.
#pragma once

#include "platform/DialogHost.h"

// Controls of the settings page "DLG_CONFIG" that its code addresses.
enum ConfigControlId : int32_t {
    IDC_BGM_FILE = 1000,    // radio: music from MusicFile
    IDC_NUMS = 1001,        // edit: ball count, buddy of the up-down control
    IDC_BGM_DEFAULT = 1002, // radio: built-in song
    IDC_BGM_NONE = 1003,    // radio: no music
    IDC_BUMP = 1004,        // trackbar: bump strength
    IDC_MAP_FILE = 1005,    // radio: height map from HeightMapFile
    IDC_MAP_DEFAULT = 1006, // radio: built-in height map
    IDC_MUSIC_PATH = 1010,  // edit: MusicFile
    IDC_MUSIC_BROWSE = 1011,
    IDC_MAP_PATH = 1012, // edit: HeightMapFile
    IDC_SWATCH = 1013,   // the colour, painted by the dialog
    IDC_PICK_COLOR = 1014,
    IDC_SHOW_FPS = 1015,
    IDC_MAP_BROWSE = 1016,
};

// The template of that name (compared without regard to ASCII case, as resource names are), or null: in
// the user's language (PlatformLanguage), its texts translated and its places and font that language's.
// What it returns stays valid for the life of the process.
const DialogTemplate* FindDialogTemplate(const char* pszName);
