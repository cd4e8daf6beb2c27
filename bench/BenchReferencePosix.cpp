// The engine benchmark's reference on POSIX systems: the exchange as bare system calls on the
// engine's descriptor, with the read and write time-outs counted as the port counts them. The
// board stamps its bytes on this machine's monotonic clock, the one read here.
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "BenchReference.h"

namespace {

constexpr long long kNsPerMs = 1000000;

bool WaitFor(int fd, short events, long long deadline) {
    pollfd p{fd, events, 0};
    timespec left{};
    if (deadline >= 0) {
        const long long ns = std::max(0LL, deadline - NowNs());
        left = {static_cast<time_t>(ns / 1000000000LL), static_cast<long>(ns % 1000000000LL)};
    }
    return ppoll(&p, 1, deadline >= 0 ? &left : nullptr, nullptr) > 0;
}

// All bytes, waiting for room within the write time-out.
bool WriteAll(int fd, const TCommTimeouts& t, const std::string& bytes) {
    const long long limit =
        t.WriteTotalConstant + static_cast<long long>(t.WriteTotalMultiplier) * bytes.size();
    const long long deadline = limit ? NowNs() + limit * kNsPerMs : -1;
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if ((n < 0 && errno != EAGAIN) || !WaitFor(fd, POLLOUT, deadline))
            return false;
    }
    return true;
}

// Up to n bytes within the total (readTotalConstant) and interval time-outs; how many came.
size_t ReadUpTo(int fd, const TCommTimeouts& t, uint32_t readTotalConstant, char* buffer,
                size_t n) {
    const long long total =
        NowNs() +
        (readTotalConstant + static_cast<long long>(t.ReadTotalMultiplier) * n) * kNsPerMs;
    const long long interval = t.ReadInterval * kNsPerMs;
    long long last = 0;
    size_t got = 0;
    while (got < n) {
        const long long deadline = got && interval ? std::min(total, last + interval) : total;
        if (!WaitFor(fd, POLLIN, deadline))
            break;
        const ssize_t count = ::read(fd, buffer + got, n - got);
        if (count > 0) {
            got += static_cast<size_t>(count);
            last = NowNs();
        } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
            break;
        }
    }
    return got;
}

// One exchange, its answer read with readTotalConstant.
bool ExchangeOn(const TComm& port, TPauseClock& clock, const std::string& frame,
                uint32_t readTotalConstant, Steps* steps) {
    const int fd = port.Handle.Get();
    Stamp stamp(steps);
    tcflush(fd, TCIOFLUSH);
    stamp.next();
    int rts = TIOCM_RTS;
    ioctl(fd, TIOCMBIC, &rts);
    stamp.next();
    clock.Wait(20);
    stamp.next();
    if (!WriteAll(fd, port.Timeouts, frame))
        return false;
    tcdrain(fd);
    stamp.next();
    clock.Wait(30);
    stamp.next();
    ioctl(fd, TIOCMBIS, &rts);
    stamp.next();
    char header[4];
    const bool whole = ReadUpTo(fd, port.Timeouts, readTotalConstant, header, 4) == 4;
    stamp.next();
    if (!whole)
        return false;
    const size_t rest = static_cast<unsigned char>(header[3]) + 1u;
    char body[256];
    const bool ok = ReadUpTo(fd, port.Timeouts, readTotalConstant, body, rest) == rest;
    stamp.next();
    return ok;
}

} // namespace

const char* const kStepNames[kSteps] = {"tcflush",  "TIOCMBIC", "pause 20", "write+tcdrain",
                                        "pause 30", "TIOCMBIS", "read 4",   "read L+1"};

const char* TReference::Timer() const {
    return "the monotonic clock";
}

bool TReference::Exchange(const std::string& frame, Steps* steps) {
    return ExchangeOn(port_, clock_, frame, port_.Timeouts.ReadTotalConstant, steps);
}

// Setting the time-outs makes no system call here: the toggle command only reads with another
// total constant.
bool TReference::Toggle(const std::string& frame, uint32_t toggleTime) {
    return ExchangeOn(port_, clock_, frame, toggleTime + 100, nullptr);
}

// One clock for both.
TBoardClock ReadBoardClock(sim::SimControl&) {
    return {};
}

void UseTheBoardsPort(TDriver& driver) {
    driver.SetDevicePath(sim::SimControl::devicePath());
}

std::string PortName(const TDriver& driver) {
    return driver.GetDevicePath();
}
