// Numbers of the settings file: how a value of the INI file reads as an integer.
#pragma once

#include <cstdint>
#include <string>

// Reads an INI value as an integer: optional blanks, an optional sign, then decimal digits
// (-2147483648 to 2147483647) or "0x"/"0X" and 1 to 8 hexadecimal digits (a 32-bit pattern,
// 0xFFFFFFFF is -1), then optional blanks; the whole value must be used. Returns false when
// the value is not such an integer.
bool ContactStrToInt(const std::string& text, int32_t& value);
