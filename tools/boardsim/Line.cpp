// The pseudo-terminal, the COM port's link and the line shim's socket, opened, read and closed.
#include "Line.h"

#include <cstdio>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include "Clock.h"
#include "Fatal.h"

namespace boardsim {

Line::Line(std::string link, std::string linesDir)
    : link_(std::move(link)), linesDir_(std::move(linesDir)) {}

Line::~Line() {
    removeLink();
    if (!socketPath_.empty())
        unlink(socketPath_.c_str());
}

void Line::plug() {
    if (plugged())
        return;
    openTerminal();
    openEventSocket();
    link();
}

void Line::unplug() {
    removeLink();
    close(slaveKeep_);
    close(terminal_);
    close(events_);
    unlink(socketPath_.c_str());
    terminal_ = slaveKeep_ = events_ = -1;
}

void Line::link() {
    if (link_.empty() || !plugged())
        return;
    unlink(link_.c_str());
    if (symlink(terminalPath_.c_str(), link_.c_str()) != 0)
        die("symlink " + link_);
}

void Line::removeLink() {
    if (!link_.empty())
        unlink(link_.c_str());
}

void Line::openTerminal() {
    terminal_ = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (terminal_ < 0 || grantpt(terminal_) != 0 || unlockpt(terminal_) != 0)
        die("posix_openpt");
    terminalPath_ = ptsname(terminal_);
    // Holding the slave open keeps the master readable while no program has the port, and lets us
    // put the line into raw mode before anyone opens it.
    slaveKeep_ = open(terminalPath_.c_str(), O_RDWR | O_NOCTTY);
    if (slaveKeep_ < 0)
        die("open " + terminalPath_);
    termios tio;
    tcgetattr(slaveKeep_, &tio);
    cfmakeraw(&tio);
    cfsetspeed(&tio, B9600);
    tcsetattr(slaveKeep_, TCSANOW, &tio);
}

void Line::openEventSocket() {
    events_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (events_ < 0)
        die("socket");
    std::string name = terminalPath_.substr(terminalPath_.rfind('/') + 1);
    socketPath_ = linesDir_ + "/pts-" + name + ".sock";
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath_.size() >= sizeof addr.sun_path) {
        errno = ENAMETOOLONG;
        die("line socket path " + socketPath_);
    }
    std::strcpy(addr.sun_path, socketPath_.c_str());
    unlink(socketPath_.c_str());
    if (bind(events_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
        die("bind " + socketPath_);
}

// A shim datagram reads "KIND NS RTS DTR"; any other is passed over.
void Line::readEvents(const std::function<void(const LineEvent&)>& take) {
    char buf[256];
    for (;;) {
        ssize_t n = recv(events_, buf, sizeof buf - 1, 0);
        if (n <= 0)
            return;
        buf[n] = 0;
        char kind[16];
        long long ns;
        int rts, dtr;
        if (std::sscanf(buf, "%15s %lld %d %d", kind, &ns, &rts, &dtr) == 4)
            take({kind, ns, rts, dtr});
    }
}

void Line::readBytes(const std::function<void(const Bytes&, long long)>& take) {
    char buf[512];
    for (;;) {
        ssize_t n = read(terminal_, buf, sizeof buf);
        if (n <= 0)
            return; // EAGAIN, or EIO while no program holds the port
        take(Bytes(buf, static_cast<size_t>(n)), nowNs());
    }
}

bool Line::send(char byte) {
    return write(terminal_, &byte, 1) == 1;
}

} // namespace boardsim
