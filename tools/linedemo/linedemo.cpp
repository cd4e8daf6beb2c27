// Exchanges the relay board's four commands on a COM port with plain Win32 serial calls and
// prints the frames both ways. Usage: linedemo [COM number]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Frame.h"

namespace {

// The bytes in hexadecimal, a space after each, as the driver's hex dumps show them.
std::string dump(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char b : bytes)
        text += {digits[b >> 4], digits[b & 15], ' '};
    return text;
}

// 9600 baud, 8 data bits, no parity, one stop bit, binary; DTR and RTS off until the exchange
// switches RTS itself.
bool setUp(HANDLE port) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    COMMTIMEOUTS t{100, 1, 100, 100, 0};
    return GetCommState(port, &dcb) &&
           BuildCommDCBA("baud=9600 parity=N data=8 stop=1 dtr=off rts=off", &dcb) &&
           SetupComm(port, 1024, 1024) && SetCommState(port, &dcb) && SetCommTimeouts(port, &t);
}

// One half-duplex exchange: RTS down while the frame goes out, up while the answer comes.
std::string exchange(HANDLE port, const std::string& frame) {
    PurgeComm(port, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    EscapeCommFunction(port, CLRRTS);
    Sleep(20);
    DWORD n = 0;
    WriteFile(port, frame.data(), static_cast<DWORD>(frame.size()), &n, nullptr);
    Sleep(30);
    EscapeCommFunction(port, SETRTS);
    std::string header(4, '\0');
    ReadFile(port, &header[0], 4, &n, nullptr);
    header.resize(n);
    if (n < 4)
        return header;
    std::string rest(static_cast<unsigned char>(header[3]) + 1u, '\0');
    ReadFile(port, &rest[0], static_cast<DWORD>(rest.size()), &n, nullptr);
    rest.resize(n);
    return header + rest;
}

} // namespace

int main(int argc, char** argv) {
    int com = argc > 1 ? std::atoi(argv[1]) : 1;
    std::string name = "\\\\.\\COM" + std::to_string(com);
    HANDLE port = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (port == INVALID_HANDLE_VALUE || !setUp(port)) {
        std::printf("COM%d: cannot open or set up (error %lu)\n", com, GetLastError());
        return 1;
    }
    const struct {
        const char* what;
        std::string payload;
    } commands[] = {
        {"GetStatus", "y"},
        {"GetDeviceMetrics", "z"},
        {"SetStatus 0x01", std::string("w\x01", 2)},
        {"ToggleStatus 0x01 for 500 ms", std::string("x\x01\xF4\x01", 4)},
    };
    std::printf("Relay board on COM%d, 9600 8N1\n", com);
    for (const auto& c : commands) {
        std::string frame = boardsim::frameOf(c.payload);
        std::string answer = exchange(port, frame);
        std::printf("\n%s\n  -> %s\n  <- %s\n", c.what, dump(frame).c_str(),
                    answer.empty() ? "(no answer)" : dump(answer).c_str());
    }
    CloseHandle(port);
    return 0;
}
