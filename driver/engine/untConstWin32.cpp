#include "untConst.h"

#include <windows.h>

#include <iterator>

HMODULE CodeModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&CodeModule), &module);
    return module;
}

// The string table holds UTF-16; the ANSI call would hand it out in the machine's code page,
// which is not the driver's on most of the world's Windows.
std::wstring LoadResStringW(unsigned id) {
    wchar_t buffer[1024];
    int length = LoadStringW(CodeModule(), id, buffer, static_cast<int>(std::size(buffer)));
    return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

std::string LoadResString(unsigned id) {
    return WideToCp1251(LoadResStringW(id));
}
