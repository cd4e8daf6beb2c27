// kxctl's output. A console gets the text as it is; a pipe or a file gets it in the console's
// output code page (866 on a Russian Windows) with CR LF line ends, as cmd and cscript write.
#pragma once

#include <string>

void WriteOut(const std::wstring& text);
void WriteErr(const std::wstring& text);
