// kxctl.exe run as a batch file runs it: a separate process, judged by its exit code and what it
// wrote to its standard output and error.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "SimControl.h"
#include "WinHolders.h"

struct Outcome {
    DWORD exit = 0;
    std::string out, err;
};

// Runs a program with the command line given; waits at most a minute.
Outcome Execute(std::wstring commandLine);

// Runs the kxctl.exe of the build, or the one at program, with args.
Outcome Kxctl(const std::wstring& args);
Outcome KxctlAt(const std::wstring& program, const std::wstring& args);

// cp1251 text as kxctl writes it to a pipe: in the console's output code page.
std::string Console(const std::string& cp1251);

// A port held open, as another program holds it; empty when it cannot be opened.
inline TKernelObject HoldPort(int com) {
    const HANDLE port =
        CreateFileW((L"\\\\.\\COM" + std::to_wstring(com)).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    return TKernelObject(port == INVALID_HANDLE_VALUE ? nullptr : port);
}
