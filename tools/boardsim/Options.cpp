// Reading the board's command line.
#include "Options.h"

#include <cstdio>
#include <cstdlib>

namespace boardsim {

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string k = argv[i], v = argv[i + 1];
        if (k == "--link")
            o.link = v;
        else if (k == "--control")
            o.control = std::atoi(v.c_str());
        else if (k == "--lines-dir")
            o.linesDir = v;
        else if (k == "--ready")
            o.ready = v;
        else if (k == "--baud")
            o.baud = std::atoi(v.c_str());
        else if (k == "--number")
            o.number = std::atoi(v.c_str());
    }
    if (o.control <= 0 || o.linesDir.empty() || o.baud <= 0 || o.number < 0 || o.number > 0xFFFF) {
        std::fprintf(stderr, "usage: boardsim --control PORT --lines-dir DIR [--link PATH] "
                             "[--ready FILE] [--baud 9600] [--number 0..65535]\n");
        std::exit(2);
    }
    return o;
}

} // namespace boardsim
