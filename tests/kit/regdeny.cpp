// Makes the control's class key read-only in both registry views, as HKEY_CLASSES_ROOT is for a
// user without administrator rights, or takes that key away again.
//   regdeny.exe deny|allow
#include <windows.h>

#include <sddl.h>

#include <cstring>
#include <initializer_list>

namespace {

const wchar_t kClassKey[] = L"CLSID\\{5641586A-5D36-4A53-A61C-B7CAD4BB3740}";

bool Deny(REGSAM view) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, kClassKey, 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    // Everyone may read; nobody may write, make subkeys or delete.
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    bool done = ConvertStringSecurityDescriptorToSecurityDescriptorW(
                    L"D:P(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly, nullptr) &&
                RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly) == ERROR_SUCCESS;
    LocalFree(readOnly);
    RegCloseKey(key);
    return done;
}

bool Allow(REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kClassKey, 0, WRITE_DAC | view, &key) != ERROR_SUCCESS)
        return true;
    PSECURITY_DESCRIPTOR all = nullptr;
    bool done = ConvertStringSecurityDescriptorToSecurityDescriptorW(
                    L"D:P(A;;KA;;;WD)", SDDL_REVISION_1, &all, nullptr) &&
                RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, all) == ERROR_SUCCESS;
    LocalFree(all);
    RegCloseKey(key);
    return done && RegDeleteKeyExW(HKEY_CLASSES_ROOT, kClassKey, view, 0) == ERROR_SUCCESS;
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
