// The line: the pseudo-terminal a Windows program opens as the COM port, the COM port's link to it
// in the Wine prefix, and the datagram socket on which the line shim reports RTS, DTR, purges and
// opens. The board can be taken off the line ("unplug") and put back ("plug").
#pragma once

#include <functional>
#include <string>

#include "Frame.h"
#include "Records.h"

namespace boardsim {

class Line {
public:
    // link: the COM port's path in the prefix (none if empty); linesDir: where the line socket
    // goes, named after the terminal so the shim finds it.
    Line(std::string link, std::string linesDir);
    ~Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    // A new terminal, its line socket, and the COM port's link to it; the link comes last, so a
    // board that fails to start leaves no link to a terminal another program may get next.
    void plug();
    // The terminal is closed under any program that holds the port, and the COM port's link and the
    // line socket are gone.
    void unplug();
    bool plugged() const { return terminal_ >= 0; }

    // The COM port's link points at the terminal (again), while plugged.
    void link();
    void removeLink();

    // The terminal's path; after an unplug, the last one's.
    const std::string& terminalPath() const { return terminalPath_; }
    int terminalFd() const { return terminal_; }
    int eventsFd() const { return events_; }

    // Each line event the shim has reported and not yet read, in order.
    void readEvents(const std::function<void(const LineEvent&)>& take);
    // Each lot of bytes the program has written and not yet read, with the time it was read.
    void readBytes(const std::function<void(const Bytes&, long long)>& take);
    // One byte to the program; false if it is lost (no program holds the port).
    bool send(char byte);

private:
    std::string link_, linesDir_, terminalPath_, socketPath_;
    int terminal_ = -1, slaveKeep_ = -1, events_ = -1;

    void openTerminal();
    void openEventSocket();
};

} // namespace boardsim
