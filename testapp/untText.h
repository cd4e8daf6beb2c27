// The test program's failures for the operator. Its own texts, the contact names and the
// settings file are code page 1251 on every system; the window, the file names and the system's
// messages are UTF-16.
#pragma once

#include <stdexcept>
#include <string>

#include "WinText.h"

// A failure told to the operator. A file name or the system's own words may hold characters
// that code page 1251 lacks, so the text is kept in UTF-16; what() gives it in code page 1251.
class ETextError : public std::runtime_error {
public:
    explicit ETextError(const std::wstring& text)
        : std::runtime_error(WideToCp1251(text)), Text(text) {}
    std::wstring Text;
};

// The text of any failure for the operator: a program's own failure in full, any other one's
// message read as code page 1251.
inline std::wstring ErrorText(const std::exception& error) {
    if (auto text = dynamic_cast<const ETextError*>(&error))
        return text->Text;
    return Cp1251ToWide(error.what());
}
