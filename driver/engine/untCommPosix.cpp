// The serial port on a POSIX system: a terminal device through termios, the modem-control
// ioctls and poll. The descriptor does not block; every wait is a poll with the port's own
// time-outs, counted as Windows counts them, so the engine sees the same port on both systems.
#include "untComm.h"

#include <algorithm>
#include <cerrno>
#include <ctime>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "untConst.h"
#include "untError.h"

namespace {

constexpr long long NS_PER_MS = 1000000;
constexpr long long NS_PER_SECOND = 1000000000;
constexpr long long NO_DEADLINE = -1;

long long NowNs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * NS_PER_SECOND + now.tv_nsec;
}

timespec TimespecOf(long long ns) {
    return {static_cast<time_t>(ns / NS_PER_SECOND), static_cast<long>(ns % NS_PER_SECOND)};
}

// The terminal interface's name for a line speed in baud; B0 for one it does not name.
speed_t SpeedOf(uint32_t baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    }
    return B0;
}

} // namespace

void TPauseClock::Wait(uint32_t ms) {
    const timespec due = TimespecOf(NowNs() + static_cast<long long>(ms) * NS_PER_MS);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
    }
}

bool TComm::IsOpen() const {
    return static_cast<bool>(Handle);
}

const std::string& TComm::Port() const {
    return DevicePath;
}

void TComm::OpenHandle(const std::string& path) {
    // Not blocking: the open waits for no carrier, and reads and writes keep their own time-outs.
    TDescriptor port(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!port) {
        const int error = errno;
        // Another holder's exclusive mode refuses every open but root's with EBUSY.
        const int code = error == EBUSY ? RESULT_PORT_BUSY : RESULT_PORT_UNAVAILABLE;
        RaiseDriverError(code, ResultText(code), error);
    }
    // The port is held under an advisory lock, as other serial tools hold theirs; it stops root
    // too, whom the exclusive mode lets through.
    if (flock(port.Get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EWOULDBLOCK)
            RaiseDriverError(RESULT_PORT_BUSY, ResultText(RESULT_PORT_BUSY), error);
        throw EOSError(error);
    }
    // The terminal's exclusive mode refuses any further open; a device that is no terminal
    // refuses the mode itself.
    if (ioctl(port.Get(), TIOCEXCL) != 0)
        throw EOSError(errno);
    Handle = std::move(port);
}

// A terminal's queues are the kernel's own, and no call sizes them.
void TComm::SetupBuffers() {}

void TComm::SetLineSettings(uint32_t baud) {
    termios settings{};
    // What we do not set keeps the port's values; if it cannot tell them, they stay zero.
    tcgetattr(Handle.Get(), &settings);
    // Raw: every byte as it is, no echo, no line editing, no signals. 8N1, the receiver on, the
    // modem's status lines ignored, and no flow control of either kind.
    cfmakeraw(&settings);
    settings.c_iflag &= ~static_cast<tcflag_t>(IXOFF | IXANY | INPCK);
    settings.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | CRTSCTS);
    settings.c_cflag |= CREAD | CLOCAL;
    // A byte makes the terminal readable at once: the time-outs are counted here, not by it.
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    const speed_t speed = SpeedOf(baud);
    errno = EINVAL;
    Check(speed != B0 && cfsetispeed(&settings, speed) == 0 && cfsetospeed(&settings, speed) == 0);
    Check(tcsetattr(Handle.Get(), TCSANOW, &settings) == 0);
    // A port raises DTR and RTS as it opens; both go down at once, RTS to be driven by hand and
    // DTR never to rise.
    int lines = TIOCM_DTR | TIOCM_RTS;
    Check(ioctl(Handle.Get(), TIOCMBIC, &lines) == 0);
}

void TComm::SetTimeouts(uint32_t readTotalConstant) {
    RequireOpen();
    Timeouts = {Timeout, 1, readTotalConstant, Timeout, 0};
}

void TComm::SetRts() {
    EnsureOpen();
    int line = TIOCM_RTS;
    Check(ioctl(Handle.Get(), TIOCMBIS, &line) == 0);
}

void TComm::ClearRts() {
    EnsureOpen();
    int line = TIOCM_RTS;
    Check(ioctl(Handle.Get(), TIOCMBIC, &line) == 0);
}

void TComm::Purge() {
    EnsureOpen();
    // Nothing stale is worth a failure: the answer is checked on its own.
    tcflush(Handle.Get(), TCIOFLUSH);
}

void TComm::Write(const std::string& bytes) {
    EnsureOpen();
    const long long limitMs = Timeouts.WriteTotalConstant +
                              static_cast<long long>(Timeouts.WriteTotalMultiplier) * bytes.size();
    const long long deadline = limitMs ? NowNs() + limitMs * NS_PER_MS : NO_DEADLINE;
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = write(Handle.Get(), bytes.data() + written, bytes.size() - written);
        if (count > 0) {
            written += static_cast<size_t>(count);
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        Check(count == 0 || errno == EAGAIN);
        // The port's queue is full: wait until it takes more, or the write time-out runs out.
        if (WaitFor(POLLOUT, deadline) == 0)
            break;
    }
    if (written < bytes.size())
        RaiseDriverError(RESULT_FAILURE, S_NOT_ALL_WRITTEN);
    // The frame has left the port before the turn-around pause begins, so RTS cannot rise under
    // its last bytes, however the adapter buffers them.
    while (tcdrain(Handle.Get()) != 0)
        Check(errno == EINTR);
}

std::string TComm::Read(uint32_t n) {
    RequireOpen();
    std::string bytes(n, '\0');
    size_t got = 0;
    const long long total = NowNs() + (Timeouts.ReadTotalConstant +
                                       static_cast<long long>(Timeouts.ReadTotalMultiplier) * n) *
                                          NS_PER_MS;
    const long long interval = Timeouts.ReadInterval * NS_PER_MS;
    long long lastByte = 0;
    bool hungUp = false;
    while (got < n && !hungUp) {
        // The interval runs from the last byte, once one came.
        const long long deadline = got && interval ? std::min(total, lastByte + interval) : total;
        const short ready = WaitFor(POLLIN, deadline);
        if (ready == 0)
            break;
        const ssize_t count = read(Handle.Get(), &bytes[got], n - got);
        if (count > 0) {
            got += static_cast<size_t>(count);
            lastByte = NowNs();
        } else if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
            hungUp = (ready & (POLLHUP | POLLERR)) != 0;
        } else {
            Check(count == 0);
            hungUp = true; // the end of the file: the terminal hung up
        }
    }
    bytes.resize(got);
    // A terminal that hung up (a pulled adapter) reads as silence. The port is given back, so the
    // next operation opens it anew instead of talking to the dead descriptor.
    if (hungUp)
        Close();
    return bytes;
}

void TComm::Close() {
    if (!IsOpen())
        return;
    // The exclusive mode belongs to the terminal, not to the descriptor: it goes with the port,
    // so another program can open it even where something else keeps the terminal open.
    ioctl(Handle.Get(), TIOCNXCL);
    Handle.Reset();
}

void TComm::Check(bool ok) {
    if (ok)
        return;
    // The failure is taken (with its text) before the descriptor goes, so it reports the call's
    // own error.
    EOSError failure(errno);
    Close();
    throw failure;
}

void TComm::RequireOpen() {
    if (!IsOpen())
        throw EOSError(EBADF);
}

short TComm::WaitFor(short events, long long deadline) {
    for (;;) {
        pollfd port{Handle.Get(), events, 0};
        timespec left{};
        if (deadline != NO_DEADLINE)
            left = TimespecOf(std::max(0LL, deadline - NowNs()));
        const int ready = ppoll(&port, 1, deadline != NO_DEADLINE ? &left : nullptr, nullptr);
        if (ready > 0)
            return port.revents;
        if (ready == 0)
            return 0;
        Check(errno == EINTR);
    }
}
