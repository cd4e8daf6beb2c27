#include "PosixText.h"

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <iterator>

namespace {

// Code page 1251 from 0x80 to 0xBF; below is ASCII, and 0xC0 to 0xFF are А to я in order. 0x98,
// which the code page leaves unassigned, stands for U+0098 as on Windows, so every byte makes a
// round trip.
constexpr wchar_t kUpperHalf[] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};
constexpr unsigned char kFirstLetter = 0xC0; // А, U+0410
constexpr wchar_t kFirstLetterWide = 0x0410;

wchar_t WideOf(unsigned char byte) {
    if (byte < 0x80)
        return byte;
    if (byte >= kFirstLetter)
        return static_cast<wchar_t>(kFirstLetterWide + (byte - kFirstLetter));
    return kUpperHalf[byte - 0x80];
}

char ByteOf(wchar_t c) {
    // wchar_t is signed on some systems and unsigned on others.
    const auto code = static_cast<uint32_t>(c);
    if (code < 0x80)
        return static_cast<char>(code);
    if (code >= kFirstLetterWide && code < kFirstLetterWide + 64u)
        return static_cast<char>(kFirstLetter + (code - kFirstLetterWide));
    for (size_t i = 0; i < std::size(kUpperHalf); ++i)
        if (static_cast<uint32_t>(kUpperHalf[i]) == code)
            return static_cast<char>(0x80 + i);
    return '?';
}

// Text in the locale's character set as wide text; a byte that does not decode becomes '?'.
std::wstring LocaleToWide(const char* text) {
    std::wstring wide;
    std::mbstate_t state{};
    const char* end = text + std::strlen(text);
    while (text < end) {
        wchar_t c = 0;
        const size_t length = std::mbrtowc(&c, text, static_cast<size_t>(end - text), &state);
        if (length == static_cast<size_t>(-1) || length == static_cast<size_t>(-2) || length == 0) {
            wide += L'?';
            ++text;
            state = std::mbstate_t{};
            continue;
        }
        wide += c;
        text += length;
    }
    return wide;
}

} // namespace

std::wstring Cp1251ToWide(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (char c : text)
        wide += WideOf(static_cast<unsigned char>(c));
    return wide;
}

std::string WideToCp1251(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (wchar_t c : text)
        bytes += ByteOf(c);
    return bytes;
}

std::wstring SystemErrorText(int code) {
    char buffer[256];
    // The GNU strerror_r: it returns the text, in buffer or in the library's own tables.
    return LocaleToWide(strerror_r(code, buffer, sizeof buffer));
}
