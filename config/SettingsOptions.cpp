#include "config/SettingsOptions.h"

#include "framework/SString.h"

#include <cstring>

namespace {

enum OptionKind {
    KIND_COUNT,
    KIND_COLOR,
    KIND_BUMP,
    KIND_FPS,
    KIND_NO_FPS,
    KIND_HEIGHTMAP,
    KIND_BUILTIN_HEIGHTMAP,
    KIND_FLAT,
    KIND_MUSIC,
    KIND_BUILTIN_MUSIC,
    KIND_NO_MUSIC,
};

struct OptionName {
    const char* pszName; // without its dashes
    OptionKind kind;
    bool bValue; // takes a value
};

const OptionName g_aOptions[] = {
    {"count", KIND_COUNT, true},
    {"color", KIND_COLOR, true},
    {"bump", KIND_BUMP, true},
    {"fps", KIND_FPS, false},
    {"no-fps", KIND_NO_FPS, false},
    {"heightmap", KIND_HEIGHTMAP, true},
    {"builtin-heightmap", KIND_BUILTIN_HEIGHTMAP, false},
    {"flat", KIND_FLAT, false},
    {"music", KIND_MUSIC, true},
    {"builtin-music", KIND_BUILTIN_MUSIC, false},
    {"no-music", KIND_NO_MUSIC, false},
};

int HexDigit(char ch) {
    if (ch >= '0' && ch <= '9') {
        return ch - '0';
    }
    if (ch >= 'a' && ch <= 'f') {
        return ch - 'a' + 10;
    }
    if (ch >= 'A' && ch <= 'F') {
        return ch - 'A' + 10;
    }
    return -1;
}

// Decimal digits only, at most dwMax: no sign, no blank, no other base.
bool ParseDecimal(const char* pszText, uint32_t dwMax, uint32_t* pdwValue) {
    if (*pszText == '\0') {
        return false;
    }
    uint64_t qwValue = 0;
    for (const char* p = pszText; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') {
            return false;
        }
        qwValue = qwValue * 10 + static_cast<uint64_t>(*p - '0');
        if (qwValue > dwMax) {
            return false;
        }
    }
    *pdwValue = static_cast<uint32_t>(qwValue);
    return true;
}

// #RRGGBB with exactly six digits, as colour pickers write it, or 0xRRGGBB with one to six.
bool ParseColor(const char* pszText, uint32_t* pdwColor) {
    const char* pszDigits = nullptr;
    size_t nMin = 6;
    if (pszText[0] == '#') {
        pszDigits = pszText + 1;
    } else if (pszText[0] == '0' && (pszText[1] == 'x' || pszText[1] == 'X')) {
        pszDigits = pszText + 2;
        nMin = 1;
    } else {
        return false;
    }
    const size_t nLength = std::strlen(pszDigits);
    if (nLength < nMin || nLength > 6) {
        return false;
    }
    uint32_t dwColor = 0;
    for (size_t i = 0; i < nLength; ++i) {
        const int nDigit = HexDigit(pszDigits[i]);
        if (nDigit < 0) {
            return false;
        }
        dwColor = dwColor << 4 | static_cast<uint32_t>(nDigit);
    }
    *pdwColor = dwColor;
    return true;
}

[[noreturn]] void ThrowBadValue(const char* pszName, const char* pszValue, const char* pszWanted) {
    throw SString(Tr("--%s: the value \"%s\" is invalid. %s\n"), pszName, pszValue, pszWanted);
}

// A path the settings field can hold whole, so that the run loads exactly the file that was named.
void CopyPath(const char* pszName, const char* pszValue, char* pszField) {
    const size_t nLength = std::strlen(pszValue);
    if (nLength == 0) {
        throw SString(Tr("--%s: the file name is empty.\n"), pszName);
    }
    if (nLength >= SETTINGS_PATH_WRITTEN) {
        throw SString(Tr("--%s: the file name is too long (%u bytes at most).\n"), pszName,
                      SETTINGS_PATH_WRITTEN - 1);
    }
    std::memcpy(pszField, pszValue, nLength + 1);
}

} // namespace

const char* SettingsOptionsHelp() {
    return Tr("  --count N              number of balls (0 to 4294967295)\n"
              "  --color #RRGGBB        color of the balls (0xRRGGBB works too)\n"
              "  --bump F               bump strength (0 to 8)\n"
              "  --fps, --no-fps        show the frame rate, or not\n"
              "  --heightmap FILE       read the height map from a 24-bit BMP file\n"
              "  --builtin-heightmap    the built-in height map\n"
              "  --flat                 no height map (a flat surface)\n"
              "  --music FILE           play a MIDI file as the music\n"
              "  --builtin-music        the built-in song\n"
              "  --no-music             no music\n");
}

bool ReadSettingsOption(int argc, const char* const* argv, int* pnIndex, SettingsOverride* pOverride) {
    const char* pszWord = argv[*pnIndex];
    if (pszWord[0] != '-') {
        return false;
    }
    const char* pszName = pszWord[1] == '-' ? pszWord + 2 : pszWord + 1;
    const char* pszEquals = std::strchr(pszName, '=');
    const size_t nNameLength = pszEquals ? static_cast<size_t>(pszEquals - pszName) : std::strlen(pszName);
    const OptionName* pOption = nullptr;
    for (const OptionName& option : g_aOptions) {
        if (std::strlen(option.pszName) == nNameLength &&
            std::strncmp(option.pszName, pszName, nNameLength) == 0) {
            pOption = &option;
        }
    }
    if (pOption == nullptr) {
        return false;
    }

    const char* pszValue = nullptr;
    int nUsed = 1;
    if (pOption->bValue) {
        if (pszEquals != nullptr) {
            pszValue = pszEquals + 1;
        } else if (*pnIndex + 1 < argc) {
            pszValue = argv[*pnIndex + 1];
            nUsed = 2;
        } else {
            throw SString(Tr("--%s: the value is missing.\n"), pOption->pszName);
        }
    } else if (pszEquals != nullptr) {
        throw SString(Tr("--%s takes no value. %s\n"), pOption->pszName, pszWord);
    }

    Settings& values = pOverride->values;
    uint32_t dwField = 0;
    switch (pOption->kind) {
    case KIND_COUNT:
        if (!ParseDecimal(pszValue, 0xFFFFFFFFu, &values.Nums)) {
            ThrowBadValue(pOption->pszName, pszValue, Tr("Give a whole number from 0 to 4294967295."));
        }
        dwField = OVERRIDE_NUMS;
        break;
    case KIND_COLOR:
        if (!ParseColor(pszValue, &values.Color)) {
            ThrowBadValue(pOption->pszName, pszValue, Tr("Give it as #RRGGBB or 0xRRGGBB."));
        }
        dwField = OVERRIDE_COLOR;
        break;
    case KIND_BUMP:
        if (!ParseDecimal(pszValue, 8, &values.BumpFactor)) {
            ThrowBadValue(pOption->pszName, pszValue, Tr("Give a whole number from 0 to 8."));
        }
        dwField = OVERRIDE_BUMP;
        break;
    case KIND_FPS:
    case KIND_NO_FPS:
        values.ShowFPS = pOption->kind == KIND_FPS ? 1 : 0;
        dwField = OVERRIDE_SHOWFPS;
        break;
    case KIND_HEIGHTMAP:
        CopyPath(pOption->pszName, pszValue, values.HeightMapFile);
        values.HeightMapMode = 0;
        dwField = OVERRIDE_HEIGHTMAP;
        break;
    case KIND_BUILTIN_HEIGHTMAP:
    case KIND_FLAT:
        values.HeightMapMode = pOption->kind == KIND_FLAT ? HEIGHTMAP_FLAT : 1;
        values.HeightMapFile[0] = '\0';
        dwField = OVERRIDE_HEIGHTMAP;
        break;
    case KIND_MUSIC:
        CopyPath(pOption->pszName, pszValue, values.MusicFile);
        values.BGMMode = 0;
        dwField = OVERRIDE_BGM;
        break;
    case KIND_BUILTIN_MUSIC:
    case KIND_NO_MUSIC:
        values.BGMMode = pOption->kind == KIND_NO_MUSIC ? BGM_NONE : 1;
        values.MusicFile[0] = '\0';
        dwField = OVERRIDE_BGM;
        break;
    }
    pOverride->dwFields |= dwField;
    *pnIndex += nUsed;
    return true;
}

void ApplySettingsOverride(const SettingsOverride& override, Settings* pSettings) {
    const Settings& values = override.values;
    if (override.dwFields & OVERRIDE_NUMS) {
        pSettings->Nums = values.Nums;
    }
    if (override.dwFields & OVERRIDE_COLOR) {
        pSettings->Color = values.Color;
    }
    if (override.dwFields & OVERRIDE_BUMP) {
        pSettings->BumpFactor = values.BumpFactor;
    }
    if (override.dwFields & OVERRIDE_SHOWFPS) {
        pSettings->ShowFPS = values.ShowFPS;
    }
    if (override.dwFields & OVERRIDE_HEIGHTMAP) {
        pSettings->HeightMapMode = values.HeightMapMode;
        std::memcpy(pSettings->HeightMapFile, values.HeightMapFile, sizeof(values.HeightMapFile));
    }
    if (override.dwFields & OVERRIDE_BGM) {
        pSettings->BGMMode = values.BGMMode;
        std::memcpy(pSettings->MusicFile, values.MusicFile, sizeof(values.MusicFile));
    }
}
