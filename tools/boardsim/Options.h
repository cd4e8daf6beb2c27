// The board's command line: boardsim --control PORT --lines-dir DIR [--link PATH] [--ready FILE]
// [--baud 9600] [--number 4660].
#pragma once

#include <string>

#include "Board.h"

namespace boardsim {

struct Options {
    std::string link;     // the COM port's path in the Wine prefix
    std::string linesDir; // where the line shim finds the board's line socket
    std::string ready;    // written with the terminal's path once the board is up
    int control = 0;      // the control port on the loopback interface
    int baud = 9600;
    int number = kDefaultNumber; // the device number the board reports
};

// The options from the command line; exits with the usage when a required one is missing.
Options parseOptions(int argc, char** argv);

} // namespace boardsim
