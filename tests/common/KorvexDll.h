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
