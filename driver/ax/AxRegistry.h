// What registration needs of the system: string values under a classes root, single-key
// deletion, a look at the other architecture's registry view, and type library registration.
// Registration is written against this, so its order and its failure rules can be followed step
// by step.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <string>

// What became of a key that was asked to go.
enum class TAxKeyRemoval {
    Removed,
    Absent,         // there was no such key: nothing to do
    KeptForSubkeys, // another party gave it subkeys, so it stays
    Failed,         // it could not be deleted (access denied, for example)
};

class TAxRegistry {
public:
    virtual ~TAxRegistry() = default;
    // Creates or opens root\key (any missing keys on the path too) and sets the string value
    // name ("" for the default value) to data; returns whether that worked.
    virtual bool SetString(const std::wstring& key, const std::wstring& name,
                           const std::wstring& data) = 0;
    // Deletes root\key with its values, unless it has subkeys.
    virtual TAxKeyRemoval DeleteKey(const std::wstring& key) = 0;
    // The default string value of root\key in the registry view of the other architecture (the
    // 32-bit view for a 64-bit module, and the reverse); empty when there is none, and where
    // the system has one view only. A system that has no such key in the other view may answer
    // with this view's.
    virtual std::wstring OtherViewString(const std::wstring& key) = 0;
    // RegisterTypeLib with the library's path and help folder, under the same root.
    virtual HRESULT RegisterTypeLib(ITypeLib* library, const std::wstring& path,
                                    const std::wstring& helpDir) = 0;
    // Unregisters the library through OLEAUT32.DLL's UnRegisterTypeLib, looked up by name now:
    // S_OK when the function is missing or the library was not registered, E_FAIL when the
    // library's attributes cannot be read, E_ACCESSDENIED when its entries could not be deleted.
    virtual HRESULT UnRegisterTypeLib(ITypeLib* library) = 0;
};

// The machine's registration: HKEY_CLASSES_ROOT.
TAxRegistry& SystemRegistry();
// The current user's registration: HKEY_CURRENT_USER\Software\Classes, which Windows merges
// into HKEY_CLASSES_ROOT for that user only, so it needs no administrator rights.
TAxRegistry& UserRegistry();
// The registration DllInstall's command line names: "user" (any case) the current user's, an
// empty or missing one the machine's; null for anything else.
TAxRegistry* RegistryNamed(const wchar_t* commandLine);

// A GUID in registry form: braces, hyphens, upper-case hexadecimal.
std::wstring AxGuidText(REFGUID guid);
