// The control channel's commands: each line a command name and its words, the reply the lines it
// asks for and "ok", or "error unknown command LINE" / "error unknown fault LINE".
#pragma once

#include <csignal>
#include <ostream>
#include <string>
#include <vector>

#include "Board.h"
#include "Exchange.h"
#include "Line.h"
#include "Records.h"

namespace boardsim {

class Commands {
public:
    // stop: set by "quit".
    Commands(Board& board, Exchange& exchange, Records& records, Line& line,
             volatile sig_atomic_t& stop)
        : board_(board), exchange_(exchange), records_(records), line_(line), stop_(stop) {}

    // The reply to one command line, every line of it ending in a line break.
    std::string run(const std::string& line);

private:
    // A command line taken apart: its name, the words after it, and each word as a number (0 where
    // it reads as none).
    struct Request {
        std::string name;
        std::vector<std::string> words;
        std::vector<long long> numbers;

        // Whether this is the command name with count words after it (any count if negative).
        bool is(const char* command, int count = -1) const {
            return name == command && (count < 0 || static_cast<size_t>(count) == words.size());
        }
        long long number(size_t i) const { return i < numbers.size() ? numbers[i] : 0; }
        int integer(size_t i) const { return static_cast<int>(number(i)); }
    };
    enum class Verdict { ok, unknownCommand, unknownFault };

    Board& board_;
    Exchange& exchange_;
    Records& records_;
    Line& line_;
    volatile sig_atomic_t& stop_;

    static Request requestOf(const std::string& line);
    // Each group answers unknownCommand for a command that is not its own.
    Verdict steerBoard(const Request& r);
    Verdict setFault(const Request& r);
    Verdict report(const Request& r, std::ostream& out);
    Verdict steerLine(const Request& r);
};

} // namespace boardsim
