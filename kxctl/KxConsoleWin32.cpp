#include "KxConsole.h"

#include <windows.h>

#include "WinText.h"

void WriteTo(KxStream stream, const std::wstring& text) {
    HANDLE handle = GetStdHandle(stream == KxStream::Out ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || text.empty())
        return;
    DWORD mode = 0, written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    std::wstring lines;
    for (wchar_t c : text) {
        if (c == L'\n')
            lines += L'\r';
        lines += c;
    }
    UINT codePage = GetConsoleOutputCP();
    if (codePage == 0)
        codePage = GetOEMCP();
    const std::string bytes = WideToCodePage(lines, codePage);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

int wmain(int argc, wchar_t** argv) {
    return KxctlMain(std::vector<std::wstring>(argv + 1, argv + argc));
}
