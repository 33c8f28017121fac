#include "config/Settings.h"

#include <cstring>

namespace {

const char* const g_aszKeyPath[] = {"Software", "quillo", "Lumivorra"};

void PutLittleEndian(uint8_t* pBytes, uint32_t dwValue) {
    for (int i = 0; i < 4; ++i) {
        pBytes[i] = static_cast<uint8_t>(dwValue >> (8 * i));
    }
}

uint32_t GetLittleEndian(const uint8_t* pBytes) {
    return static_cast<uint32_t>(pBytes[0]) | static_cast<uint32_t>(pBytes[1]) << 8 |
           static_cast<uint32_t>(pBytes[2]) << 16 | static_cast<uint32_t>(pBytes[3]) << 24;
}

// The stored bytes land on the field's own bytes, whatever the stored type, so a shorter value replaces
// only the low bytes of the default, exactly as a registry query into the field does.
void QueryNumbers(SettingsStore& store, StoreKey hKey, const char* pszName, uint32_t* pdwValues, int nCount) {
    uint8_t abBytes[4 * SETTINGS_CUSTOM_COLORS];
    for (int i = 0; i < nCount; ++i) {
        PutLittleEndian(abBytes + 4 * i, pdwValues[i]);
    }
    uint32_t dwType = 0;
    uint32_t dwSize = 4u * static_cast<uint32_t>(nCount);
    if (!store.QueryValue(hKey, pszName, &dwType, abBytes, &dwSize)) {
        return;
    }
    for (int i = 0; i < nCount; ++i) {
        pdwValues[i] = GetLittleEndian(abBytes + 4 * i);
    }
}

void QueryPath(SettingsStore& store, StoreKey hKey, const char* pszName, char* pszPath) {
    uint32_t dwType = 0;
    uint32_t dwSize = SETTINGS_PATH_READ;
    store.QueryValue(hKey, pszName, &dwType, pszPath, &dwSize);
    // A stored string of 257 bytes without a zero would leave the field unterminated.
    pszPath[SETTINGS_PATH_READ - 1] = '\0';
}

void SetNumbers(SettingsStore& store, StoreKey hKey, const char* pszName, uint32_t dwType,
                const uint32_t* pdwValues, int nCount) {
    uint8_t abBytes[4 * SETTINGS_CUSTOM_COLORS];
    for (int i = 0; i < nCount; ++i) {
        PutLittleEndian(abBytes + 4 * i, pdwValues[i]);
    }
    store.SetValue(hKey, pszName, dwType, abBytes, 4u * static_cast<uint32_t>(nCount));
}

// The text, its zero, and zeros up to 256 bytes; a field that holds 256 characters loses the last one so
// that the stored string stays terminated.
void SetPath(SettingsStore& store, StoreKey hKey, const char* pszName, const char* pszPath) {
    char achBytes[SETTINGS_PATH_WRITTEN] = {};
    const void* pEnd = std::memchr(pszPath, 0, SETTINGS_PATH_WRITTEN - 1);
    const size_t nLength =
        pEnd ? static_cast<size_t>(static_cast<const char*>(pEnd) - pszPath) : SETTINGS_PATH_WRITTEN - 1;
    std::memcpy(achBytes, pszPath, nLength);
    store.SetValue(hKey, pszName, STORE_SZ, achBytes, SETTINGS_PATH_WRITTEN);
}

} // namespace

Settings DefaultSettings() {
    Settings settings;
    std::memset(&settings, 0, sizeof(settings));
    settings.Nums = 40;
    settings.Color = 0xFF6464;
    std::memset(settings.CustomColors, 0xFF, sizeof(settings.CustomColors));
    settings.CustomColors[0] = SwapRedBlue(0xFF6464);
    settings.ShowFPS = 0;
    settings.HeightMapMode = 1;
    settings.BumpFactor = 5;
    settings.BGMMode = 1;
    return settings;
}

void ReadSettings(SettingsStore& store, Settings* pSettings, SettingsReader reader) {
    *pSettings = DefaultSettings();

    // Each level opens under the one before; only the last result counts, since a failed level leaves
    // no key for the next one to open under.
    StoreKey ahKeys[3] = {STORE_NO_KEY, STORE_NO_KEY, STORE_NO_KEY};
    store.OpenKey(STORE_CURRENT_USER, g_aszKeyPath[0], &ahKeys[0]);
    store.OpenKey(ahKeys[0], g_aszKeyPath[1], &ahKeys[1]);
    if (store.OpenKey(ahKeys[1], g_aszKeyPath[2], &ahKeys[2])) {
        const StoreKey hKey = ahKeys[2];
        Settings& s = *pSettings;
        QueryNumbers(store, hKey, "Nums", &s.Nums, 1);
        QueryNumbers(store, hKey, "Color", &s.Color, 1);
        if (reader == READER_DIALOG) {
            QueryNumbers(store, hKey, "CustomColors", s.CustomColors, SETTINGS_CUSTOM_COLORS);
            QueryNumbers(store, hKey, "ShowFPS", &s.ShowFPS, 1);
        }
        QueryNumbers(store, hKey, "HeightMapMode", &s.HeightMapMode, 1);
        QueryPath(store, hKey, "HeightMapFile", s.HeightMapFile);
        QueryNumbers(store, hKey, "BumpFactor", &s.BumpFactor, 1);
        QueryNumbers(store, hKey, "BGMMode", &s.BGMMode, 1);
        QueryPath(store, hKey, "MusicFile", s.MusicFile);
        if (reader == READER_SCENE) {
            QueryNumbers(store, hKey, "ShowFPS", &s.ShowFPS, 1);
        }
    }
    for (int i = 2; i >= 0; --i) {
        store.CloseKey(ahKeys[i]);
    }
}

void WriteSettings(SettingsStore& store, const Settings& settings) {
    StoreKey ahKeys[3] = {STORE_NO_KEY, STORE_NO_KEY, STORE_NO_KEY};
    store.CreateKey(STORE_CURRENT_USER, g_aszKeyPath[0], &ahKeys[0]);
    store.CreateKey(ahKeys[0], g_aszKeyPath[1], &ahKeys[1]);
    if (store.CreateKey(ahKeys[1], g_aszKeyPath[2], &ahKeys[2])) {
        const StoreKey hKey = ahKeys[2];
        SetNumbers(store, hKey, "Nums", STORE_DWORD, &settings.Nums, 1);
        SetNumbers(store, hKey, "Color", STORE_DWORD, &settings.Color, 1);
        SetNumbers(store, hKey, "CustomColors", STORE_BINARY, settings.CustomColors, SETTINGS_CUSTOM_COLORS);
        SetNumbers(store, hKey, "HeightMapMode", STORE_DWORD, &settings.HeightMapMode, 1);
        SetPath(store, hKey, "HeightMapFile", settings.HeightMapFile);
        SetNumbers(store, hKey, "BumpFactor", STORE_DWORD, &settings.BumpFactor, 1);
        SetNumbers(store, hKey, "BGMMode", STORE_DWORD, &settings.BGMMode, 1);
        SetPath(store, hKey, "MusicFile", settings.MusicFile);
        SetNumbers(store, hKey, "ShowFPS", STORE_DWORD, &settings.ShowFPS, 1);
    }
    for (int i = 2; i >= 0; --i) {
        store.CloseKey(ahKeys[i]);
    }
}
