// The built Korvex.dll, by its path in the prefix's view of the file system (KORVEX_DLL, given
// by the test's build), and its registration through its own export.
#pragma once

#include <windows.h>

#include <string>

// The module path as the system reports it: backslashes.
inline std::wstring WindowsPath(std::wstring path) {
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

inline const std::wstring kDll = WindowsPath(L"" KORVEX_DLL);

// Runs Wine's regsvr32 silently with options ("" or "/u") on path and returns its exit code. It
// gets no handle of ours: Wine may leave helper processes behind that would hold them open.
inline DWORD RunRegsvr32(const std::wstring& options, const std::wstring& path = kDll) {
    std::wstring command = L"regsvr32.exe /s " + options + L" \"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return GetLastError() | 0x80000000u;
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

// Registers Korvex.dll as regsvr32 would, through its DllRegisterServer; returns its result.
inline HRESULT RegisterKorvexDll() {
    HMODULE module = LoadLibraryW(kDll.c_str());
    if (!module)
        return HRESULT_FROM_WIN32(GetLastError());
    auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
    HRESULT hr = registerServer ? registerServer() : E_NOINTERFACE;
    FreeLibrary(module);
    return hr;
}
