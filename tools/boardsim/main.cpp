// Simulated relay board on a pseudo-terminal.
//
// It opens a pseudo-terminal, links it as a COM port of the Wine prefix, and answers the board's
// four commands at 9600-baud 8N1 pacing (10 bits, about 1.04 ms a byte). It answers a complete
// frame only once RTS is set (the PC listening), as on a half-duplex line. Tests steer it on a
// loopback TCP control channel (one command a line, answered by lines and "ok" or "error ...") and
// read back what it recorded: every frame received with the RTS/DTR state while each byte came in,
// every answer sent, and every line event the line shim reported. Tests can also make noise on the
// line ("burst"), take the board away and bring it back ("unplug", "plug"), and remove and restore
// the COM port's link ("unlink", "link").
//
// This file starts it and stops it on SIGTERM or SIGINT, which leave the loop so that the board
// removes its COM port's link and line socket on the way out.
#include <csignal>

#include "Options.h"
#include "Simulator.h"

namespace {

boardsim::Simulator* g_sim = nullptr;

void onSignal(int) {
    if (g_sim)
        g_sim->requestStop();
}

} // namespace

int main(int argc, char** argv) {
    boardsim::Options opt = boardsim::parseOptions(argc, argv);
    // Held from here, a stop signal reaches the handler only in the loop's wait, by when the
    // board it stops is made.
    boardsim::Simulator::holdStopSignals();
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);
    boardsim::Simulator sim(opt);
    g_sim = &sim;
    sim.run();
    return 0;
}
