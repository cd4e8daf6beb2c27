#include "AxRegistry.h"

namespace {

class TSystemRegistry final : public TAxRegistry {
public:
    bool SetString(const std::wstring& key, const std::wstring& name,
                   const std::wstring& data) override {
        HKEY handle = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ | KEY_WRITE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
            return false;
        // The size counts the terminating zero, so an empty string is a value, not a gap.
        DWORD size = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
        LONG status = RegSetValueExW(handle, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(data.c_str()), size);
        RegCloseKey(handle);
        return status == ERROR_SUCCESS;
    }

    void DeleteKey(const std::wstring& key) override {
        RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
    }

    HRESULT RegisterTypeLib(ITypeLib* library, const std::wstring& path,
                            const std::wstring& helpDir) override {
        std::wstring fullPath = path, helpFolder = helpDir; // the call takes writable strings
        return ::RegisterTypeLib(library, &fullPath[0], &helpFolder[0]);
    }

    HRESULT UnRegisterTypeLib(ITypeLib* library) override {
        using UnRegisterFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
        HMODULE oleaut = GetModuleHandleA("OLEAUT32.DLL");
        auto unregister = oleaut ? reinterpret_cast<UnRegisterFunction>(reinterpret_cast<void*>(
                                       GetProcAddress(oleaut, "UnRegisterTypeLib")))
                                 : nullptr;
        if (!unregister)
            return S_OK;
        TLIBATTR* attr = nullptr;
        if (FAILED(library->GetLibAttr(&attr)))
            return E_FAIL;
        unregister(attr->guid, attr->wMajorVerNum, attr->wMinorVerNum, attr->lcid, attr->syskind);
        library->ReleaseTLibAttr(attr);
        return S_OK;
    }
};

} // namespace

TAxRegistry& SystemRegistry() {
    static TSystemRegistry registry;
    return registry;
}
