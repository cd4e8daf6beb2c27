// The board tests' answers for Windows: ports by their COM numbers, the time-outs as the system
// reads them back from the open handle, Win32's error numbers and message table.
#include <windows.h>

#include "BoardTest.h"

namespace boardtest {

std::string BoardPort() {
    return std::to_string(sim::SimControl::comPort());
}

// No system has a COM0.
std::string MissingPort() {
    return "0";
}

void SetPort(TDriver& driver, const std::string& port) {
    driver.SetPortNumber(std::stoi(port));
}

std::string GetPort(const TDriver& driver) {
    return std::to_string(driver.GetPortNumber());
}

long long PortHandle(const TDriver& driver) {
    return reinterpret_cast<long long>(driver.Comm->Handle);
}

std::string PortTimeouts(const TDriver& driver) {
    COMMTIMEOUTS t{};
    if (!GetCommTimeouts(driver.Comm->Handle, &t))
        return "GetCommTimeouts failed: " + std::to_string(GetLastError());
    return std::to_string(t.ReadIntervalTimeout) + " " +
           std::to_string(t.ReadTotalTimeoutMultiplier) + " " +
           std::to_string(t.ReadTotalTimeoutConstant) + " " +
           std::to_string(t.WriteTotalTimeoutMultiplier) + " " +
           std::to_string(t.WriteTotalTimeoutConstant);
}

const unsigned long kBusyError = ERROR_ACCESS_DENIED;
const unsigned long kMissingError = ERROR_FILE_NOT_FOUND;

std::string SystemFailureText(unsigned long code) {
    char buffer[256];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.'))
        text.pop_back();
    return "Win32 Error.  Code: " + std::to_string(code) + ".\n" + text;
}

// Which call meets the dead handle first, and with which error, is the serial driver's: under
// Wine the RTS call, with error 21.
bool IsPulledAdapterError(unsigned long code) {
    return code != 0;
}

std::vector<TPauseWay> PauseWays() {
    return {{"HighResolution",
             [](TComm& comm) { comm.Clock = TPauseClock(TPauseTimer::HighResolution); }},
            {"RaisedResolution",
             [](TComm& comm) { comm.Clock = TPauseClock(TPauseTimer::RaisedResolution); }}};
}

} // namespace boardtest
