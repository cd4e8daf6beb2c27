#include "KxArguments.h"

#include <cwchar>
#include <cwctype>

long ParseNumber(const std::wstring& text, long low, long high, bool hex, const wchar_t* what) {
    std::wstring digits = text;
    int base = 10;
    if (hex && digits.size() > 2 && digits[0] == L'0' && (digits[1] == L'x' || digits[1] == L'X')) {
        digits = digits.substr(2);
        base = 16;
    }
    bool valid = !digits.empty() && digits.size() <= 10;
    for (wchar_t c : digits)
        valid = valid && c < 0x80 && (base == 16 ? std::iswxdigit(c) : std::iswdigit(c));
    long long value = valid ? std::wcstoll(digits.c_str(), nullptr, base) : -1;
    if (!valid || value < low || value > high)
        throw KxUsageError(std::wstring(what) + L" must be " + std::to_wstring(low) + L" to " +
                           std::to_wstring(high) + L", not '" + text + L"'");
    return static_cast<long>(value);
}
