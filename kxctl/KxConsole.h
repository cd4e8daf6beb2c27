// kxctl's edge to the system: the program's entry point hands the arguments over as text, and
// the text it writes reaches the console, a pipe or a file in the system's own encoding. On
// Windows a console gets UTF-16 as it is, a pipe or a file the console's output code page (866
// on a Russian Windows) with CR LF line ends, as cmd and cscript write; elsewhere everything is
// UTF-8.
#pragma once

#include <string>
#include <vector>

enum class KxStream { Out, Err };
// Writes text to the standard output or the standard error, as the system takes it.
void WriteTo(KxStream stream, const std::wstring& text);

inline void WriteOut(const std::wstring& text) {
    WriteTo(KxStream::Out, text);
}
inline void WriteErr(const std::wstring& text) {
    WriteTo(KxStream::Err, text);
}

// The program, given its arguments after its name; returns the exit code.
int KxctlMain(const std::vector<std::wstring>& args);
