// The test program's texts. Its own texts, the contact names and the settings file are code
// page 1251 on every system; the window, the file names and the system's messages are UTF-16.
// Texts cross between the two here, by code page 1251 named as such, never through the system's
// ANSI code page, so the program reads the same on a Windows of any language.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

// The code page of the program's texts and of its settings file.
constexpr UINT kTextCodePage = 1251;

// cp1251 text as UTF-16.
inline std::wstring FromCp1251(const std::string& text) {
    if (text.empty())
        return std::wstring();
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(kTextCodePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(kTextCodePage, 0, text.data(), size, &wide[0], length);
    return wide;
}

// UTF-16 as cp1251 text; a character that code page 1251 lacks becomes '?'.
inline std::string ToCp1251(const std::wstring& text) {
    if (text.empty())
        return std::string();
    const int length = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(kTextCodePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(kTextCodePage, 0, text.data(), length, &bytes[0], size, nullptr, nullptr);
    return bytes;
}

// The system's text for an error number or a result, without its trailing line end and full
// stop; empty when the system has none.
inline std::wstring SystemText(DWORD code) {
    wchar_t text[512] = L"";
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             code, 0, text, static_cast<DWORD>(std::size(text)), nullptr);
    while (n > 0 && (text[n - 1] == L'\r' || text[n - 1] == L'\n' || text[n - 1] == L' ' ||
                     text[n - 1] == L'.'))
        --n;
    return std::wstring(text, n);
}

// A failure told to the operator. A file name or the system's own words may hold characters
// that code page 1251 lacks, so the text is kept in UTF-16; what() gives it in code page 1251.
class ETextError : public std::runtime_error {
public:
    explicit ETextError(const std::wstring& text)
        : std::runtime_error(ToCp1251(text)), Text(text) {}
    std::wstring Text;
};

// The text of any failure for the operator: a program's own failure in full, any other one's
// message read as code page 1251.
inline std::wstring ErrorText(const std::exception& error) {
    if (auto text = dynamic_cast<const ETextError*>(&error))
        return text->Text;
    return FromCp1251(error.what());
}
