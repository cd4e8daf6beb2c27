#include "KxctlRun.h"

#include "KorvexDll.h"

namespace {

const std::wstring kKxctl = WindowsPath(L"" KXCTL_EXE);

// A pipe whose read end stays with the test and whose write end the child inherits.
struct Pipe {
    HANDLE read = nullptr, write = nullptr;
    Pipe() {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        CreatePipe(&read, &write, &inherit, 1 << 16);
        SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    }
    ~Pipe() {
        CloseHandle(read);
        if (write)
            CloseHandle(write);
    }
    void CloseWrite() {
        CloseHandle(write);
        write = nullptr;
    }
    std::string ReadAll() {
        std::string text;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0)
            text.append(buffer, got);
        return text;
    }
};

} // namespace

Outcome Execute(std::wstring commandLine) {
    Pipe out, err;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out.write;
    startup.hStdError = err.write;
    PROCESS_INFORMATION process{};
    Outcome run;
    // Wine now and then fails to start a process on a busy machine; a failure to start is the
    // rig's, not kxctl's, so it is tried again a few times and said if it stays.
    bool started = false;
    for (int attempt = 0; attempt < 5 && !started; ++attempt)
        started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &startup, &process);
    if (!started) {
        run.exit = 0xFFFFFFFF;
        run.err = "CreateProcess failed: " + std::to_string(GetLastError());
        return run;
    }
    out.CloseWrite();
    err.CloseWrite();
    // Each pipe holds far more than kxctl writes, so reading one after the other cannot block.
    run.out = out.ReadAll();
    run.err = err.ReadAll();
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &run.exit);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return run;
}

Outcome Kxctl(const std::wstring& args) {
    return KxctlAt(kKxctl, args);
}

Outcome KxctlAt(const std::wstring& program, const std::wstring& args) {
    return Execute(L"\"" + program + L"\" " + args);
}

std::string Console(const std::string& cp1251) {
    wchar_t wide[256];
    int length =
        MultiByteToWideChar(1251, 0, cp1251.data(), static_cast<int>(cp1251.size()), wide, 256);
    UINT codePage = GetConsoleOutputCP() ? GetConsoleOutputCP() : GetOEMCP();
    char bytes[256];
    int size = WideCharToMultiByte(codePage, 0, wide, length, bytes, 256, nullptr, nullptr);
    return std::string(bytes, static_cast<size_t>(size));
}
