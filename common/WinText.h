// Texts between the programs' own code page and the system's UTF-16. The programs' own texts
// are code page 1251 on every system: they cross here by that code page named as such, never
// through the system's ANSI code page, so they read the same on a Windows of any language.
#pragma once

#include <windows.h>

#include <string>

// The code page of the programs' own texts and files, on every system.
constexpr UINT kTextCodePage = 1251;

// Text in codePage as UTF-16.
std::wstring CodePageToWide(const std::string& text, UINT codePage);
// UTF-16 as text in codePage; a character that the code page lacks becomes its default one.
std::string WideToCodePage(const std::wstring& text, UINT codePage);

// cp1251 text as UTF-16.
inline std::wstring Cp1251ToWide(const std::string& text) {
    return CodePageToWide(text, kTextCodePage);
}
// UTF-16 as cp1251 text; a character that code page 1251 lacks becomes '?'.
inline std::string WideToCp1251(const std::wstring& text) {
    return WideToCodePage(text, kTextCodePage);
}

// The system's text for an error number or a result without its closing line break; empty
// when the system has none.
std::wstring SystemMessage(DWORD code);
// The same without the sentence's closing full stop, for callers that add their own.
std::wstring SystemErrorText(DWORD code);
