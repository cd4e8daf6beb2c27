// What registration needs of the system: string values under HKEY_CLASSES_ROOT, single-key
// deletion, and type library registration. Registration is written against this, so its order
// and its failure rules can be followed step by step.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

class TAxRegistry {
public:
    virtual ~TAxRegistry() = default;
    // Creates or opens HKEY_CLASSES_ROOT\key (any missing keys on the path too) and sets the
    // string value name ("" for the default value) to data; returns whether that worked.
    virtual bool SetString(const std::wstring& key, const std::wstring& name,
                           const std::wstring& data) = 0;
    // Deletes HKEY_CLASSES_ROOT\key with its values; a key with subkeys stays.
    virtual void DeleteKey(const std::wstring& key) = 0;
    // RegisterTypeLib with the library's path and help folder.
    virtual HRESULT RegisterTypeLib(ITypeLib* library, const std::wstring& path,
                                    const std::wstring& helpDir) = 0;
    // Unregisters the library through OLEAUT32.DLL's UnRegisterTypeLib, looked up by name now:
    // S_OK when the function is missing or whatever it answers, E_FAIL when the library's
    // attributes cannot be read.
    virtual HRESULT UnRegisterTypeLib(ITypeLib* library) = 0;
};

// The system's registry and type library registration.
TAxRegistry& SystemRegistry();
