#include "untSettingsFile.h"

#include <windows.h>

#include <shlobj.h>

namespace {

std::wstring FolderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

// The file name with its extension replaced by ".ini".
std::wstring IniNameOf(const std::wstring& programPath) {
    const size_t slash = programPath.find_last_of(L"\\/:");
    std::wstring name = slash == std::wstring::npos ? programPath : programPath.substr(slash + 1);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos)
        name.resize(dot);
    return name + L".ini";
}

} // namespace

std::wstring SettingsFilePath(const std::wstring& programPath, const std::wstring& appData) {
    const std::wstring beside = FolderOf(programPath) + L"\\" + IniNameOf(programPath);
    if (appData.empty() || FolderTakesNewFiles(FolderOf(programPath)))
        return beside;
    const std::wstring folder = appData + L"\\Korvex";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring own = folder + L"\\" + IniNameOf(programPath);
    // Seeded once: a user's own edits are never replaced by the shared file again.
    CopyFileW(beside.c_str(), own.c_str(), TRUE);
    return own;
}

std::wstring ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring UserAppDataFolder() {
    wchar_t folder[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                                SHGFP_TYPE_CURRENT, folder)))
        return L"";
    return folder;
}

bool FolderTakesNewFiles(const std::wstring& folder) {
    const std::wstring probe = folder + L"\\~quintor-" + std::to_wstring(GetCurrentProcessId()) +
                               L"-" + std::to_wstring(GetTickCount()) + L".tmp";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}
