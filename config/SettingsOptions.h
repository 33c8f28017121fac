// SettingsOptions: the settings given on a command line, for hosts that pass options (XScreenSaver's
// settings program writes them into the hack's command). They override the stored values for one run
// of the picture and are never stored: the settings dialog keeps editing what the store holds.
//
//     SettingsOverride override = {};
//     for (int i = 1; i < argc;) {
//         if (!ReadSettingsOption(argc, argv, &i, &override)) { ...another word...; ++i; }
//     }
//     ReadSettings(store, &settings, READER_SCENE);
//     ApplySettingsOverride(override, &settings);
//
// An option is written with two dashes or one (XScreenSaver's habit), its value as the next word or
// after "=". Later options win over earlier ones for the same setting. Any thread; ReadSettingsOption
// throws SString with a one-line message for a missing or bad value.
#pragma once

#include "config/Settings.h"

#include <cstdint>

// Which fields of SettingsOverride::values replace the stored ones.
enum SettingsOverrideField : uint32_t {
    OVERRIDE_NUMS = 1u << 0,
    OVERRIDE_COLOR = 1u << 1,
    OVERRIDE_BUMP = 1u << 2,
    OVERRIDE_SHOWFPS = 1u << 3,
    OVERRIDE_HEIGHTMAP = 1u << 4, // HeightMapMode and HeightMapFile
    OVERRIDE_BGM = 1u << 5,       // BGMMode and MusicFile
};

struct SettingsOverride {
    uint32_t dwFields; // SettingsOverrideField bits; 0 changes nothing
    Settings values;   // only the fields named in dwFields are read
};

// The height map mode of --flat: neither the file nor the built-in map, so the scene keeps a flat map.
constexpr uint32_t HEIGHTMAP_FLAT = 2;
// The music mode of --no-music.
constexpr uint32_t BGM_NONE = 2;

// Reads the option at argv[*pnIndex] and moves *pnIndex past the words it used. False, with *pnIndex
// unchanged, when the word is none of the settings options.
bool ReadSettingsOption(int argc, const char* const* argv, int* pnIndex, SettingsOverride* pOverride);
// Replaces the fields that the override names.
void ApplySettingsOverride(const SettingsOverride& override, Settings* pSettings);

// The options' lines for a usage text, each ending in a newline, in the user's language.
const char* SettingsOptionsHelp();
