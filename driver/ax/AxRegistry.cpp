#include "AxRegistry.h"

#include "AxTypeInfo.h"
#include "WinHolders.h"

namespace {

// The registry view of the other architecture, for a key opened from this module.
REGSAM OtherView() {
#ifdef _WIN64
    return KEY_WOW64_32KEY;
#else
    BOOL wow64 = FALSE;
    // A 32-bit module has another view only on 64-bit Windows.
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64 ? KEY_WOW64_64KEY : 0;
#endif
}

template <class Function> Function OleAutFunction(const char* name) {
    return ProcAddress<Function>(GetModuleHandleA("OLEAUT32.DLL"), name);
}

// Registration under a classes root: HKEY_CLASSES_ROOT itself, or a key that stands for it.
class TClassesRegistry final : public TAxRegistry {
public:
    // root: null for HKEY_CLASSES_ROOT, else the path of the stand-in under HKEY_CURRENT_USER.
    explicit TClassesRegistry(const wchar_t* userRoot) : userRoot_(userRoot) {}

    bool SetString(const std::wstring& key, const std::wstring& name,
                   const std::wstring& data) override {
        TRegKey root = OpenRoot(KEY_READ | KEY_WRITE);
        TRegKey handle;
        if (!root ||
            RegCreateKeyExW(root.Get(), key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_READ | KEY_WRITE, nullptr, handle.Put(), nullptr) != ERROR_SUCCESS)
            return false;
        // The size counts the terminating zero, so an empty string is a value, not a gap.
        DWORD size = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
        return RegSetValueExW(handle.Get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(data.c_str()), size) == ERROR_SUCCESS;
    }

    TAxKeyRemoval DeleteKey(const std::wstring& key) override {
        TRegKey root = OpenRoot(KEY_READ | KEY_WRITE);
        if (!root)
            return TAxKeyRemoval::Failed;
        // The system refuses to delete a key with subkeys as it refuses one it may not touch
        // (access denied), so the subkeys are counted first.
        TRegKey handle;
        LONG status = RegOpenKeyExW(root.Get(), key.c_str(), 0, KEY_READ, handle.Put());
        if (status == ERROR_FILE_NOT_FOUND)
            return TAxKeyRemoval::Absent;
        DWORD subkeys = 0;
        if (status == ERROR_SUCCESS &&
            RegQueryInfoKeyW(handle.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
            subkeys > 0)
            return TAxKeyRemoval::KeptForSubkeys;
        handle.Reset();
        status = RegDeleteKeyW(root.Get(), key.c_str());
        return status == ERROR_SUCCESS          ? TAxKeyRemoval::Removed
               : status == ERROR_FILE_NOT_FOUND ? TAxKeyRemoval::Absent
                                                : TAxKeyRemoval::Failed;
    }

    std::wstring OtherViewString(const std::wstring& key) override {
        const REGSAM other = OtherView();
        TRegKey root = OpenRoot(KEY_READ);
        TRegKey handle;
        if (!other || !root ||
            RegOpenKeyExW(root.Get(), key.c_str(), 0, KEY_READ | other, handle.Put()) !=
                ERROR_SUCCESS)
            return L"";
        wchar_t data[MAX_PATH * 2] = L"";
        DWORD size = sizeof data - sizeof(wchar_t);
        if (RegGetValueW(handle.Get(), nullptr, nullptr, RRF_RT_REG_SZ, nullptr, data, &size) !=
            ERROR_SUCCESS)
            return L"";
        return data;
    }

    HRESULT RegisterTypeLib(ITypeLib* library, const std::wstring& path,
                            const std::wstring& helpDir) override {
        TRootOverride redirect(*this);
        if (!redirect.Ok())
            return E_FAIL;
        std::wstring fullPath = path, helpFolder = helpDir; // the call takes writable strings
        return ::RegisterTypeLib(library, &fullPath[0], &helpFolder[0]);
    }

    HRESULT UnRegisterTypeLib(ITypeLib* library) override {
        using UnRegisterFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
        auto unregister = OleAutFunction<UnRegisterFunction>("UnRegisterTypeLib");
        if (!unregister)
            return S_OK;
        TLIBATTR attr;
        if (!AxLibraryAttributes(library, attr))
            return E_FAIL;
        TRootOverride redirect(*this);
        HRESULT hr = redirect.Ok() ? unregister(attr.guid, attr.wMajorVerNum, attr.wMinorVerNum,
                                                attr.lcid, attr.syskind)
                                   : E_FAIL;
        // A library that is not registered is nothing to remove.
        return hr == TYPE_E_REGISTRYACCESS || hr == E_ACCESSDENIED || hr == E_FAIL ? E_ACCESSDENIED
                                                                                   : S_OK;
    }

private:
    TRegKey OpenRoot(REGSAM access) const {
        TRegKey root;
        if (!userRoot_)
            RegOpenKeyExW(HKEY_CLASSES_ROOT, nullptr, 0, access, root.Put());
        else
            RegCreateKeyExW(HKEY_CURRENT_USER, userRoot_, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            access, nullptr, root.Put(), nullptr);
        return root;
    }

    // For the user's registration, HKEY_CLASSES_ROOT stands for the user's classes while the
    // system's type library functions run in this process, so they write and delete there;
    // Windows then needs OaEnablePerUserTLibRegistration to honour it.
    class TRootOverride {
    public:
        explicit TRootOverride(const TClassesRegistry& registry) : needed_(registry.userRoot_) {
            if (!needed_)
                return;
            TRegKey root = registry.OpenRoot(KEY_ALL_ACCESS);
            overridden_ =
                root && RegOverridePredefKey(HKEY_CLASSES_ROOT, root.Get()) == ERROR_SUCCESS;
            if (auto enable = OleAutFunction<void(WINAPI*)()>("OaEnablePerUserTLibRegistration"))
                enable();
        }
        ~TRootOverride() {
            if (overridden_)
                RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        }
        TRootOverride(const TRootOverride&) = delete;
        TRootOverride& operator=(const TRootOverride&) = delete;
        // Whether the functions now reach the registry's own root.
        bool Ok() const { return !needed_ || overridden_; }

    private:
        bool needed_, overridden_ = false;
    };

    const wchar_t* userRoot_;
};

// Made with the module, as the server state is (TAxServer::Instance tells why).
TClassesRegistry systemRegistry(nullptr);
TClassesRegistry userRegistry(L"Software\\Classes");

} // namespace

TAxRegistry& SystemRegistry() {
    return systemRegistry;
}

TAxRegistry& UserRegistry() {
    return userRegistry;
}

TAxRegistry* RegistryNamed(const wchar_t* commandLine) {
    if (!commandLine || !*commandLine)
        return &SystemRegistry();
    return lstrcmpiW(commandLine, L"user") == 0 ? &UserRegistry() : nullptr;
}

std::wstring AxGuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, 40);
    return text;
}
