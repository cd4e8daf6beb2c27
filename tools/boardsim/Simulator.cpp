// The board's one loop: everything happens on this thread, between waits on the line, the control
// port and the next deadline.
#include "Simulator.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "Clock.h"
#include "Fatal.h"

namespace boardsim {

namespace {

// A byte takes 10 bits on the line: start, 8 data, stop.
long long byteTime(int baud) {
    return 10LL * kSecond / baud;
}

void writeReadyFile(const std::string& path, const std::string& terminalPath) {
    if (path.empty())
        return;
    FILE* f = std::fopen(path.c_str(), "w");
    if (f) {
        std::fprintf(f, "%s\n", terminalPath.c_str());
        std::fclose(f);
    }
}

} // namespace

// The control port opens first and the line after it, so that the COM port's link comes last.
Simulator::Simulator(const Options& opt)
    : control_(opt.control), line_(opt.link, opt.linesDir), board_(opt.number),
      exchange_(board_, records_, byteTime(opt.baud)),
      commands_(board_, exchange_, records_, line_, stop_) {
    line_.plug();
    writeReadyFile(opt.ready, line_.terminalPath());
}

void Simulator::holdStopSignals() {
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
}

void Simulator::run() {
    holdStopSignals();
    sigprocmask(SIG_BLOCK, nullptr, &waitMask_);
    sigdelset(&waitMask_, SIGTERM);
    sigdelset(&waitMask_, SIGINT);
    while (!stop_) {
        std::vector<pollfd> fds = {{line_.terminalFd(), POLLIN, 0}, {line_.eventsFd(), POLLIN, 0}};
        control_.addPollFds(fds);
        waitForWork(fds);
        // Line events first: a modem call is reported before the bytes that follow it.
        if (fds[1].revents & POLLIN)
            line_.readEvents([this](const LineEvent& e) { exchange_.lineEvent(e); });
        if (fds[0].revents & POLLIN)
            line_.readBytes([this](const Bytes& b, long long t) { exchange_.received(b, t); });
        control_.serve(fds.data() + 2, fds.size() - 2,
                       [this](const std::string& line) { return commands_.run(line); });
        exchange_.keepTime(line_);
    }
}

// Until something is ready on fds or the exchange's next deadline, or a signal comes.
void Simulator::waitForWork(std::vector<pollfd>& fds) {
    long long deadline = exchange_.nextDeadline();
    timespec ts{0, 0};
    timespec* timeout = nullptr;
    if (deadline != kNever) {
        long long wait = std::max(0LL, deadline - nowNs());
        ts = {static_cast<time_t>(wait / kSecond), static_cast<long>(wait % kSecond)};
        timeout = &ts;
    }
    if (ppoll(fds.data(), fds.size(), timeout, &waitMask_) < 0 && errno != EINTR)
        die("ppoll");
}

} // namespace boardsim
