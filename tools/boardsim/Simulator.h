// The simulated board put together: its line, its control port, the board and its records, and the
// loop that waits for the next thing to do: a line event, a byte, a command, a deadline.
#pragma once

#include <csignal>
#include <vector>

#include <poll.h>

#include "Board.h"
#include "Commands.h"
#include "ControlPort.h"
#include "Exchange.h"
#include "Line.h"
#include "Options.h"
#include "Records.h"

namespace boardsim {

class Simulator {
public:
    // Up and on the line: the ready file, if asked for, names the terminal.
    explicit Simulator(const Options& opt);

    // Holds SIGTERM and SIGINT back from now on; they come through only while run() waits. Called
    // before the board is made, so a stop that comes while it sets up waits for the first wait
    // instead of ending the program with its COM port's link and line socket left behind.
    static void holdStopSignals();

    // Serves until a stop is asked for. The stop signals being held outside the wait, one that
    // comes between the test of the stop flag and the wait ends the wait at once instead of
    // waiting for the next deadline.
    void run();
    // Safe from a signal handler.
    void requestStop() { stop_ = 1; }

private:
    volatile sig_atomic_t stop_ = 0;
    sigset_t waitMask_; // the signal mask while waiting: the stop signals let through
    ControlPort control_;
    Line line_;
    Board board_;
    Records records_;
    Exchange exchange_;
    Commands commands_;

    void waitForWork(std::vector<pollfd>& fds);
};

} // namespace boardsim
