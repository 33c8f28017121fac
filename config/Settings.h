// Settings: the nine per-user values of HKEY_CURRENT_USER\Software\quillo\Lumivorra, and how they are read
// with their defaults and written back.
//
// The scene reads them each time it is built (READER_SCENE); the settings dialog reads them when it opens
// (READER_DIALOG) and writes all nine on OK. Both run on the main thread with the store the program
// made. Neither throws nor reports anything: a missing key or value leaves the default, a value that
// cannot be stored is skipped. Ranges are not checked; the users of each field decide.
//
//     Settings settings;
//     ReadSettings(store, &settings, READER_SCENE);
#pragma once

#include "platform/SettingsStore.h"

#include <cstdint>

// A path field holds up to 256 bytes and always a terminating zero; the dialog's edits give 255 at most.
constexpr uint32_t SETTINGS_PATH_READ = 257;
constexpr uint32_t SETTINGS_PATH_WRITTEN = 256;
constexpr int SETTINGS_CUSTOM_COLORS = 16;

struct Settings {
    uint32_t Nums;                                 // ball count; default 40
    uint32_t Color;                                // glow colour 0x00RRGGBB; default 0xFF6464
    uint32_t CustomColors[SETTINGS_CUSTOM_COLORS]; // colour picker slots as 0x00BBGGRR references
    uint32_t ShowFPS;                              // 1 draws the frame-rate counter; default 0
    uint32_t HeightMapMode;                        // 0 HeightMapFile, 1 built-in; default 1
    char HeightMapFile[SETTINGS_PATH_READ];        // 24-bit BMP path; default empty
    uint32_t BumpFactor;                           // bump strength, 0-8 in the dialog; default 5
    uint32_t BGMMode;                              // 0 MusicFile, 1 built-in, 2 none; default 1
    char MusicFile[SETTINGS_PATH_READ];            // Standard MIDI File path; default empty
};

// Which of the program's two readers asks: they query different values in different orders.
enum SettingsReader {
    READER_SCENE,  // every value but CustomColors
    READER_DIALOG, // all nine
};

// The record with every field at its default.
Settings DefaultSettings();
// Fills *pSettings with the defaults, then with each value the key holds.
void ReadSettings(SettingsStore& store, Settings* pSettings, SettingsReader reader);
// Creates the key path when missing and stores all nine values.
void WriteSettings(SettingsStore& store, const Settings& settings);

// Turns 0x00RRGGBB into the platform's colour reference 0x00BBGGRR and back: the same swap both ways.
constexpr uint32_t SwapRedBlue(uint32_t dwColor) {
    return ((dwColor & 0xFFu) << 16) | (dwColor & 0xFF00u) | ((dwColor >> 16) & 0xFFu);
}
