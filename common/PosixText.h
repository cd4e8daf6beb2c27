// Texts between the programs' own code page and the system's wide strings, on a POSIX system.
// The programs' own texts are code page 1251 on every system: they cross here by a fixed table of
// that code page, never through the locale, so they read the same under any locale. The names
// are those of the Windows side (WinText.h).
#pragma once

#include <string>

// cp1251 text as wide text (UTF-32).
std::wstring Cp1251ToWide(const std::string& text);
// Wide text as cp1251 text; a character that code page 1251 lacks becomes '?'.
std::string WideToCp1251(const std::wstring& text);

// The system's text for an error number (strerror, in the language and character set of the
// locale), as wide text.
std::wstring SystemErrorText(int code);
