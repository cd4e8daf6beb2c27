// Makes the control's class key read-only in both registry views, as HKEY_CLASSES_ROOT is for a
// user without administrator rights, or takes that key away again.
//   regdeny.exe deny|allow
#include <windows.h>

#include <sddl.h>

#include <cstring>
#include <initializer_list>

#include "WinHolders.h"

namespace {

const wchar_t kClassKey[] = L"CLSID\\{5641586A-5D36-4A53-A61C-B7CAD4BB3740}";

// Gives the key the access the descriptor names: "KR" read only, "KA" everything.
bool SetAccess(HKEY key, const wchar_t* descriptor) {
    PSECURITY_DESCRIPTOR security = nullptr;
    const bool done = ConvertStringSecurityDescriptorToSecurityDescriptorW(
                          descriptor, SDDL_REVISION_1, &security, nullptr) &&
                      RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, security) == ERROR_SUCCESS;
    LocalFree(security);
    return done;
}

// Everyone may read; nobody may write, make subkeys or delete.
bool Deny(REGSAM view) {
    TRegKey key;
    return RegCreateKeyExW(HKEY_CLASSES_ROOT, kClassKey, 0, nullptr, 0, KEY_ALL_ACCESS | view,
                           nullptr, key.Put(), nullptr) == ERROR_SUCCESS &&
           SetAccess(key.Get(), L"D:P(A;;KR;;;WD)");
}

bool Allow(REGSAM view) {
    TRegKey key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kClassKey, 0, WRITE_DAC | view, key.Put()) !=
        ERROR_SUCCESS)
        return true;
    const bool allowed = SetAccess(key.Get(), L"D:P(A;;KA;;;WD)");
    key.Reset();
    return allowed && RegDeleteKeyExW(HKEY_CLASSES_ROOT, kClassKey, view, 0) == ERROR_SUCCESS;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    const bool deny = std::strcmp(argv[1], "deny") == 0;
    bool done = true;
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
        done &= deny ? Deny(view) : Allow(view);
    return done ? 0 : 1;
}
