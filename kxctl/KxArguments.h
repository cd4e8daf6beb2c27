// What kxctl's arguments are checked with: the failure of a command line that cannot be run, and
// numbers read whole within their range.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

// A command line that cannot be run; Message is the text for the user.
class KxUsageError : public std::runtime_error {
public:
    explicit KxUsageError(std::wstring message)
        : std::runtime_error("bad arguments"), Message(std::move(message)) {}
    std::wstring Message;
};

// The most ports one --ports list may name.
constexpr size_t kMaxListedPorts = 1024;

// The whole of text as a number in [low, high]: decimal, or hexadecimal after "0x" when hex is
// allowed. Anything else, signs and blanks included, is refused with KxUsageError, the message
// naming the value as what.
long ParseNumber(const std::wstring& text, long low, long high, bool hex, const wchar_t* what);

// "a, b" split at each separator; an empty text gives one empty item.
template <class F> void ForEachItem(const std::wstring& text, wchar_t separator, F take) {
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        take(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos)
            return;
        start = end + 1;
    }
}
