// UTF-8, the text of a Linux console, of its command lines and of its file names, and wide text.
#pragma once

#include <string>

// UTF-8 as wide text; a byte that starts no character reads as U+FFFD.
std::wstring FromUtf8(const std::string& text);
// Wide text as UTF-8.
std::string ToUtf8(const std::wstring& text);
