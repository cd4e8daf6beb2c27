// The driver's result texts as cp1251 bytes, spelt out here a second time on purpose: a test
// that took them from the driver's own tables would prove nothing.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <stdexcept>
#endif

#include <string>

namespace expected {

inline const std::string kNoError = "\xCE\xF8\xE8\xE1\xEE\xEA \xED\xE5\xF2"; // Ошибок нет
inline const std::string kNoLink = "\xCD\xE5\xF2 \xF1\xE2\xFF\xE7\xE8";      // Нет связи
// Порт недоступен
inline const std::string kPortUnavailable =
    "\xCF\xEE\xF0\xF2 \xED\xE5\xE4\xEE\xF1\xF2\xF3\xEF\xE5\xED";
// Порт занят другим приложением
inline const std::string kPortBusy =
    "\xCF\xEE\xF0\xF2 \xE7\xE0\xED\xFF\xF2 \xE4\xF0\xF3\xE3\xE8\xEC "
    "\xEF\xF0\xE8\xEB\xEE\xE6\xE5\xED\xE8\xE5\xEC";
// Неверный CRC кадра
inline const std::string kBadCrc = "\xCD\xE5\xE2\xE5\xF0\xED\xFB\xE9 CRC \xEA\xE0\xE4\xF0\xE0";
// Неверная длина кадра
inline const std::string kBadLength = "\xCD\xE5\xE2\xE5\xF0\xED\xE0\xFF \xE4\xEB\xE8\xED\xE0 "
                                      "\xEA\xE0\xE4\xF0\xE0";
// Перый байт не STX
inline const std::string kNotStx = "\xCF\xE5\xF0\xFB\xE9 \xE1\xE0\xE9\xF2 \xED\xE5 STX";
// В порт записаны не все данные
inline const std::string kNotAllWritten = "\xC2 \xEF\xEE\xF0\xF2 \xE7\xE0\xEF\xE8\xF1\xE0\xED\xFB "
                                          "\xED\xE5 \xE2\xF1\xE5 \xE4\xE0\xED\xED\xFB\xE5";
// Неизвестный код команды: <code>
inline std::string UnknownCommand(int code) {
    return "\xCD\xE5\xE8\xE7\xE2\xE5\xF1\xF2\xED\xFB\xE9 \xEA\xEE\xE4 "
           "\xEA\xEE\xEC\xE0\xED\xE4\xFB: " +
           std::to_string(code);
}
inline const std::string kUnknownQ = UnknownCommand(113);
// Устройство вернуло код ошибки: <code>
inline std::string DeviceError(int code) {
    return "\xD3\xF1\xF2\xF0\xEE\xE9\xF1\xF2\xE2\xEE \xE2\xE5\xF0\xED\xF3"
           "\xEB\xEE \xEA\xEE\xE4 \xEE\xF8\xE8\xE1\xEA\xE8: " +
           std::to_string(code);
}
inline const std::string kDeviceError7 = DeviceError(7);
inline const std::string kRangeCheck = "Range check error";
// Файл не найден
inline const std::string kFileNotFound = "\xD4\xE0\xE9\xEB \xED\xE5 \xED\xE0\xE9\xE4\xE5\xED";

// Ларгос: Драйвер платы реле (the library's, the interface's and the class's help string)
inline const std::string kKorvexDescription =
    "\xCB\xE0\xF0\xE3\xEE\xF1: \xC4\xF0\xE0\xE9\xE2\xE5\xF0 \xEF\xEB\xE0\xF2\xFB \xF0\xE5\xEB\xE5";

// The tests convert texts on their own, by code page 1251 named as such (not the system's code
// page), so that what they expect never rests on the conversions under test: with the system's
// conversions on Windows, with the C library's iconv elsewhere.

#ifdef _WIN32
// A cp1251 text in UTF-16.
inline std::wstring Wide(const std::string& text) {
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(1251, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(1251, 0, text.data(), size, wide.data(), length);
    return wide;
}

// A UTF-16 text in code page 1251.
inline std::string Cp1251(const std::wstring& text) {
    const int length = static_cast<int>(text.size());
    const int size =
        WideCharToMultiByte(1251, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(1251, 0, text.data(), length, bytes.data(), size, nullptr, nullptr);
    return bytes;
}
#else
// text converted by iconv from one character set to another; throws on what does not convert.
template <class To, class From> To Iconv(const From& text, const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error(std::string("iconv_open ") + from + " to " + to);
    To out(text.size() * 4, typename To::value_type{});
    char* in = const_cast<char*>(reinterpret_cast<const char*>(text.data()));
    size_t inLeft = text.size() * sizeof(typename From::value_type);
    char* outAt = reinterpret_cast<char*>(&out[0]);
    size_t outLeft = out.size() * sizeof(typename To::value_type);
    const size_t done = iconv(cd, &in, &inLeft, &outAt, &outLeft);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1))
        throw std::runtime_error(std::string("iconv from ") + from + " to " + to);
    out.resize(out.size() - outLeft / sizeof(typename To::value_type));
    return out;
}

// A cp1251 text as wide text (UTF-32).
inline std::wstring Wide(const std::string& text) {
    return Iconv<std::wstring>(text, "WCHAR_T", "CP1251");
}

// A wide text in code page 1251.
inline std::string Cp1251(const std::wstring& text) {
    return Iconv<std::string>(text, "CP1251", "WCHAR_T");
}

// A cp1251 text in UTF-8, as a POSIX program writes it.
inline std::string Utf8(const std::string& text) {
    return Iconv<std::string>(text, "UTF-8", "CP1251");
}
#endif

} // namespace expected
