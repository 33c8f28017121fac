// FileStore: the settings store on Linux. The keys under "Software" map onto the user's configuration
// folder ($XDG_CONFIG_HOME, or ~/.config): the values of Software\quillo\Lumivorra live in
// quillo/Lumivorra.reg there, in the text form of RegText.h; a key exists when its file or its folder
// does.
//
// A key's file is read when the key is opened and written when its last handle is closed after a
// change. Writing replaces the file atomically: a temporary file in the same folder is written, flushed
// to disk and renamed over the old one, the folders made first; a failure or a crash at any point leaves
// the previous file whole. Reading never fails: what cannot be read is simply absent.
//
// One owner thread. Nothing throws; failures are silent, as the settings' callers expect.
#pragma once

#include "platform/SettingsStore.h"
#include "platform/shared/StoreValues.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

// The steps of replacing a file, for tests that make one of them fail.
enum FileStoreStep {
    STEP_MAKE_FOLDERS,
    STEP_OPEN_TEMP,
    STEP_WRITE, // a failure here comes after half of the text is written
    STEP_FLUSH,
    STEP_CLOSE,
    STEP_RENAME,
    STEP_COUNT,
};

class FileStore : public SettingsStore {
public:
    // configHome: the folder that "Software" maps to; empty for the user's own (see ConfigHome).
    // pfnFault: called before each step of a write; true makes that step fail.
    explicit FileStore(std::string configHome = std::string(),
                       std::function<bool(FileStoreStep)> pfnFault = nullptr);

    bool OpenKey(StoreKey hParent, const char* pszName, StoreKey* phKey) override;
    bool CreateKey(StoreKey hParent, const char* pszName, StoreKey* phKey) override;
    bool QueryValue(StoreKey hKey, const char* pszName, uint32_t* pdwType, void* pData,
                    uint32_t* pdwSize) override;
    bool SetValue(StoreKey hKey, const char* pszName, uint32_t dwType, const void* pData,
                  uint32_t dwSize) override;
    void CloseKey(StoreKey hKey) override;

    // $XDG_CONFIG_HOME when it is an absolute path, otherwise the home folder's .config; empty when
    // neither can be found.
    static std::string ConfigHome();

private:
    struct Handle {
        std::vector<std::string> levels; // from "Software" down
        bool bWritable;
    };
    struct KeyState {
        StoreValues values;
        int nOpen = 0;
        bool bChanged = false;
    };
    bool Open(StoreKey hParent, const char* pszName, bool bCreate, StoreKey* phKey);
    std::string PathOf(const std::vector<std::string>& levels) const; // the key's folder, without ".reg"
    static std::string IdOf(const std::vector<std::string>& levels);  // the key's name in the file
    // Replaces the file at path, or at the end of its chain of symbolic links, keeping its mode.
    bool WriteAtomically(const std::string& path, const std::string& text);

    std::string m_home;
    std::function<bool(FileStoreStep)> m_pfnFault;
    std::map<StoreKey, Handle> m_handles;
    std::map<std::string, KeyState> m_keys; // by lower-case key name
    StoreKey m_hNext = 2;
};
