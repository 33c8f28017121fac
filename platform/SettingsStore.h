// Settings store service: the per-user key-value store behind ReadSettings and WriteSettings
// (config/Settings.h), shaped like the registry calls those use: open a key path one level at a time,
// query a value into a field of a given size, create a key path, set a value with its type and size,
// close. Windows: the current user's registry; Linux: one text file per key; headless: memory.
//
// Called on the thread that owns the store object (the main thread, in the scene's creation hook and in
// the settings dialog); an object is not shared between threads. No operation throws.
#pragma once

#include <cstdint>

// A key as the store hands it out; STORE_NO_KEY is no key at all, STORE_CURRENT_USER the user's root.
using StoreKey = uintptr_t;
constexpr StoreKey STORE_NO_KEY = 0;
constexpr StoreKey STORE_CURRENT_USER = 1;

// Value types, numbered as the registry numbers them.
enum StoreValueType : uint32_t {
    STORE_SZ = 1,     // a zero-terminated byte string
    STORE_BINARY = 3, // bytes
    STORE_DWORD = 4,  // a 32-bit number, little-endian
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // Opens the existing subkey pszName of hParent for queries. False, with *phKey = STORE_NO_KEY, when
    // hParent is no key or the subkey does not exist.
    virtual bool OpenKey(StoreKey hParent, const char* pszName, StoreKey* phKey) = 0;
    // Opens the subkey pszName of hParent for writing, creating it when missing. False, with
    // *phKey = STORE_NO_KEY, when hParent is no key or the subkey cannot be made.
    virtual bool CreateKey(StoreKey hParent, const char* pszName, StoreKey* phKey) = 0;
    // Copies the value's bytes into pData and its type into *pdwType when its size is at most *pdwSize;
    // *pdwSize becomes the value's size. False when the value is missing or larger (pData untouched then).
    virtual bool QueryValue(StoreKey hKey, const char* pszName, uint32_t* pdwType, void* pData,
                            uint32_t* pdwSize) = 0;
    // Stores dwSize bytes as the value pszName of a key from CreateKey. False when it cannot.
    virtual bool SetValue(StoreKey hKey, const char* pszName, uint32_t dwType, const void* pData,
                          uint32_t dwSize) = 0;
    // Closes a key from OpenKey or CreateKey; STORE_NO_KEY and STORE_CURRENT_USER are ignored. The values
    // set through a key are kept for good once the last handle to it is closed.
    virtual void CloseKey(StoreKey hKey) = 0;
};
