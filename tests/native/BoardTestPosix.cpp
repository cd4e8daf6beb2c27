// The board tests' answers for POSIX systems: ports by their device paths, the time-outs as the
// port keeps them (a terminal has none of its own), errno and the C library's texts.
#include <cerrno>
#include <cstring>

#include "BoardTest.h"
#include "NativeRig.h"

namespace boardtest {

std::string BoardPort() {
    return sim::SimControl::devicePath();
}

std::string MissingPort() {
    return "/dev/korvex-no-such-port";
}

void SetPort(TDriver& driver, const std::string& port) {
    driver.SetDevicePath(port);
}

std::string GetPort(const TDriver& driver) {
    return driver.GetDevicePath();
}

long long PortHandle(const TDriver& driver) {
    return driver.Comm->Handle.Get();
}

std::string PortTimeouts(const TDriver& driver) {
    return native::Describe(driver.Comm->Timeouts);
}

// The port is locked with flock and TIOCEXCL; the lock is refused first.
const unsigned long kBusyError = EWOULDBLOCK;
const unsigned long kMissingError = ENOENT;

std::string SystemFailureText(unsigned long code) {
    return "System Error.  Code: " + std::to_string(code) + ".\n" +
           std::strerror(static_cast<int>(code));
}

// A terminal whose far end has gone answers every call with EIO.
bool IsPulledAdapterError(unsigned long code) {
    return code == EIO;
}

// The monotonic clock is the only way.
std::vector<TPauseWay> PauseWays() {
    return {{"MonotonicClock", [](TComm&) {}}};
}

} // namespace boardtest
