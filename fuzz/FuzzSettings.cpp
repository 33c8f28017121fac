// The Linux settings file on any bytes: read by the file store as the program reads it, then by both
// readers of the settings. Whatever the file holds, every path read is zero-terminated inside its field.
// What the reader accepts must also come back unchanged when written out and read again.
#include "config/Settings.h"
#include "platform/linux/RegText.h"
#include "platform/linux/SettingsStore.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

const char* const kKeyPath = "HKEY_CURRENT_USER\\Software\\quillo\\Lumivorra";

// A folder of this process's own for the file, made once.
const std::string& ConfigHome() {
    static const std::string home = [] {
        // In memory where the system has such a folder: a file is written for every input.
        char szTemplate[] = "/dev/shm/lumivorra-fuzz-XXXXXX";
        char szFallback[] = "/tmp/lumivorra-fuzz-XXXXXX";
        const char* pszFolder = mkdtemp(szTemplate);
        if (pszFolder == nullptr && (pszFolder = mkdtemp(szFallback)) == nullptr) {
            std::abort();
        }
        std::filesystem::create_directories(std::string(pszFolder) + "/quillo");
        return std::string(pszFolder);
    }();
    return home;
}

void CheckPaths(const Settings& settings) {
    if (std::memchr(settings.HeightMapFile, 0, sizeof(settings.HeightMapFile)) == nullptr ||
        std::memchr(settings.MusicFile, 0, sizeof(settings.MusicFile)) == nullptr) {
        std::abort();
    }
}

bool SameValues(const StoreValues& a, const StoreValues& b) {
    if (a.All().size() != b.All().size()) {
        return false;
    }
    for (size_t i = 0; i < a.All().size(); ++i) {
        const StoreValue& x = a.All()[i];
        const StoreValue& y = b.All()[i];
        if (x.name != y.name || x.dwType != y.dwType || x.bytes != y.bytes) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    const std::string text(reinterpret_cast<const char*>(pData), nSize);

    StoreValues values;
    ParseRegText(text, kKeyPath, &values);
    StoreValues again;
    ParseRegText(FormatRegText(kKeyPath, values), kKeyPath, &again);
    if (!SameValues(values, again)) {
        std::abort();
    }

    const std::string path = ConfigHome() + "/quillo/Lumivorra.reg";
    FILE* pFile = std::fopen(path.c_str(), "wb");
    if (pFile == nullptr || std::fwrite(pData, 1, nSize, pFile) != nSize || std::fclose(pFile) != 0) {
        std::abort();
    }
    FileStore store(ConfigHome());
    Settings settings;
    ReadSettings(store, &settings, READER_SCENE);
    CheckPaths(settings);
    ReadSettings(store, &settings, READER_DIALOG);
    CheckPaths(settings);
    return 0;
}
