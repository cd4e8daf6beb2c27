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

std::wstring Cp1251ToWide(const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(TEXT_CODE_PAGE, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(TEXT_CODE_PAGE, 0, text.data(), size, &wide[0], length);
    return wide;
}

std::string WideToCp1251(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int length = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(TEXT_CODE_PAGE, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(TEXT_CODE_PAGE, 0, text.data(), length, &bytes[0], size, nullptr, nullptr);
    return bytes;
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

std::wstring ResultTextW(int code) {
    return LoadResStringW(IDS_NO_ERROR - code);
}

std::string ResultText(int code) {
    return LoadResString(IDS_NO_ERROR - code);
}
