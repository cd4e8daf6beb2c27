#include "untIniNumber.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool ContactStrToInt(const std::string& text, int32_t& value) {
    size_t i = 0, end = text.size();
    while (i < end && IsBlank(text[i]))
        ++i;
    while (end > i && IsBlank(text[end - 1]))
        --end;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    uint64_t magnitude = 0;
    uint64_t limit;
    if (end - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        // Hexadecimal digits give a 32-bit pattern.
        limit = 0xFFFFFFFFu;
        for (i += 2; i < end; ++i) {
            int digit = HexDigit(text[i]);
            if (digit < 0)
                return false;
            magnitude = magnitude * 16 + static_cast<uint64_t>(digit);
            if (magnitude > limit)
                return false;
        }
    } else {
        if (i == end)
            return false;
        limit = negative ? 0x80000000u : 0x7FFFFFFFu;
        for (; i < end; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            magnitude = magnitude * 10 + static_cast<uint64_t>(text[i] - '0');
            if (magnitude > limit)
                return false;
        }
    }
    uint32_t bits = static_cast<uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    value = static_cast<int32_t>(bits);
    return true;
}
