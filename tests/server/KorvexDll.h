// The built Korvex.dll, by its path in the prefix's view of the file system.
#pragma once

#include <string>

// The module path as the system reports it: backslashes.
inline std::wstring WindowsPath(std::wstring path) {
    for (wchar_t& c : path)
        if (c == L'/')
            c = L'\\';
    return path;
}

inline const std::wstring kDll = WindowsPath(L"" KORVEX_DLL);
