// The end of the program on a failed system call: the board cannot run without its terminal, line
// socket or control port, so it says which call failed and why, and exits.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace boardsim {

[[noreturn]] inline void die(const std::string& what) {
    std::fprintf(stderr, "boardsim: %s: %s\n", what.c_str(), std::strerror(errno));
    std::exit(1);
}

} // namespace boardsim
