// The simulated board put together: its line, its control port, the board and its records, and the
// loop that waits for the next thing to do: a line event, a byte, a command, a deadline.
#pragma once

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

    void run();
    void requestStop() { stop_ = true; }

private:
    bool stop_ = false;
    ControlPort control_;
    Line line_;
    Board board_;
    Records records_;
    Exchange exchange_;
    Commands commands_;

    void waitForWork(std::vector<pollfd>& fds);
};

} // namespace boardsim
