// How fast the native engine talks to the board, measured against a reference that makes the
// same system calls in the same order with the same pauses, in the same run, on the same open
// port. What the engine adds beyond the calls it has to make shows as a ratio above 1.
//
// Two figures:
//   1. the median time of each command, engine beside reference (goal: ratio at most 1.01);
//   2. the delay from the answer's last byte leaving the simulated board to the call returning
//      (goal: under 1 ms). The board stamps its bytes on this machine's monotonic clock, the
//      one read here, so the two compare directly.
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "SimControl.h"
#include "untConst.h"
#include "untDriver.h"

namespace {

constexpr int kRuns = 41; // a GetStatus exchange takes about 60 ms: 41 x 2 x 4 in ~25 s
constexpr uint8_t kPattern = 0x21;
constexpr long long kNsPerMs = 1000000;

long long nowNs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

timespec timespecOf(long long ns) {
    return {static_cast<time_t>(ns / 1000000000LL), static_cast<long>(ns % 1000000000LL)};
}

double median(std::vector<double> v) {
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The reference: the exchange written out as bare system calls, with the engine's pauses, read
// sizes and time-outs and nothing else (no framing objects, no dumps, no decoding, no
// exceptions). It runs on the engine's own descriptor: the port opens exclusively, and sharing
// it also gives both the very same line settings. Its pauses are timed by a clock of the
// engine's kind. Returns whether a whole answer came.
class Reference {
public:
    Reference(int fd, const TComm& comm) : fd_(fd), comm_(comm) {}

    bool exchange(const std::string& frame) {
        tcflush(fd_, TCIOFLUSH);
        int rts = TIOCM_RTS;
        ioctl(fd_, TIOCMBIC, &rts);
        clock_.Wait(20);
        if (!write(frame))
            return false;
        tcdrain(fd_);
        clock_.Wait(30);
        ioctl(fd_, TIOCMBIS, &rts);
        char header[4];
        if (read(header, 4) < 4)
            return false;
        const size_t rest = static_cast<unsigned char>(header[3]) + 1u;
        char body[256];
        return read(body, rest) == rest;
    }

private:
    // All bytes, waiting for room within the write time-out.
    bool write(const std::string& bytes) {
        const TCommTimeouts& t = comm_.Timeouts;
        const long long limit =
            t.WriteTotalConstant + static_cast<long long>(t.WriteTotalMultiplier) * bytes.size();
        const long long deadline = limit ? nowNs() + limit * kNsPerMs : -1;
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if ((n < 0 && errno != EAGAIN) || !wait(POLLOUT, deadline))
                return false;
        }
        return true;
    }

    // Up to n bytes within the total and interval time-outs; how many came.
    size_t read(char* buffer, size_t n) {
        const TCommTimeouts& t = comm_.Timeouts;
        const long long total =
            nowNs() +
            (t.ReadTotalConstant + static_cast<long long>(t.ReadTotalMultiplier) * n) * kNsPerMs;
        const long long interval = t.ReadInterval * kNsPerMs;
        long long last = 0;
        size_t got = 0;
        while (got < n) {
            const long long deadline = got && interval ? std::min(total, last + interval) : total;
            if (!wait(POLLIN, deadline))
                break;
            const ssize_t count = ::read(fd_, buffer + got, n - got);
            if (count > 0) {
                got += static_cast<size_t>(count);
                last = nowNs();
            } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
                break;
            }
        }
        return got;
    }

    bool wait(short events, long long deadline) {
        pollfd p{fd_, events, 0};
        timespec left{};
        if (deadline >= 0)
            left = timespecOf(std::max(0LL, deadline - nowNs()));
        return ppoll(&p, 1, deadline >= 0 ? &left : nullptr, nullptr) > 0;
    }

    int fd_;
    const TComm& comm_;
    TPauseClock clock_;
};

// One timed call and when its answer's last byte left the board.
struct Sample {
    double ms = 0;
    double afterLastByteMs = 0;
    bool ok = false;
};

Sample timed(sim::SimControl& board, const std::function<bool()>& call) {
    board.clearRecords();
    Sample s;
    const long long start = nowNs();
    s.ok = call();
    const long long end = nowNs();
    s.ms = static_cast<double>(end - start) / 1e6;
    const auto answers = board.answers();
    if (answers.empty()) {
        s.ok = false;
        return s;
    }
    s.afterLastByteMs = static_cast<double>(end - answers.back().endNs) / 1e6;
    return s;
}

struct Series {
    std::vector<double> ms, afterLastByte;
    int failures = 0;
    void add(const Sample& s) {
        if (!s.ok) {
            ++failures;
            return;
        }
        ms.push_back(s.ms);
        afterLastByte.push_back(s.afterLastByteMs);
    }
};

struct Command {
    const char* name;
    std::function<bool()> engine;
    std::function<bool()> reference;
    Series e, r;
};

const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

} // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    try {
        sim::SimControl board;
        board.reset();
        board.setStatus(kPattern);

        TDriver driver;
        driver.SetDevicePath(sim::SimControl::devicePath());
        if (driver.Connect() != 0) {
            std::printf("%s: %s\n", driver.GetDevicePath().c_str(),
                        driver.ResultDescription.c_str());
            return 1;
        }
        Reference ref(driver.Comm->Handle.Get(), *driver.Comm);
        driver.ReleStatus = kPattern;
        driver.ToggleTime = 0;

        const std::string getStatus = sim::frameOf("y");
        const std::string setStatus = sim::frameOf(std::string{'w', static_cast<char>(kPattern)});
        const std::string metrics = sim::frameOf("z");
        const std::string toggle =
            sim::frameOf(std::string{'x', static_cast<char>(kPattern), 0, 0});

        std::vector<Command> commands;
        commands.push_back({"GetStatus",
                            [&] { return driver.GetStatus() == 0; },
                            [&] { return ref.exchange(getStatus); },
                            {},
                            {}});
        commands.push_back({"SetStatus",
                            [&] {
                                driver.ReleStatus = kPattern;
                                return driver.SetStatus() == 0;
                            },
                            [&] { return ref.exchange(setStatus); },
                            {},
                            {}});
        commands.push_back({"GetDeviceMetrics",
                            [&] { return driver.GetDeviceMetrics() == 0; },
                            [&] { return ref.exchange(metrics); },
                            {},
                            {}});
        // Setting the time-outs makes no system call here, and with ToggleTime 0 the toggle
        // command reads with the port's own constant: its reference is the plain exchange.
        commands.push_back({"ToggleStatus",
                            [&] {
                                driver.ReleStatus = kPattern;
                                return driver.ToggleStatus() == 0;
                            },
                            [&] { return ref.exchange(toggle); },
                            {},
                            {}});

        // One untimed round first: the port's first exchange raises RTS for the first time.
        for (auto& c : commands) {
            c.engine();
            c.reference();
        }

        std::printf("native engine benchmark: simulated board on %s, 9600 baud, %d runs each, "
                    "engine and reference alternating\n\n",
                    driver.GetDevicePath().c_str(), kRuns);

        // Engine and reference take turns, and which goes first swaps every run, so a slow
        // drift of the host or of the board weighs on both alike.
        for (int run = 0; run < kRuns; ++run) {
            for (auto& c : commands) {
                const bool engineFirst = run % 2 == 0;
                for (int turn = 0; turn < 2; ++turn) {
                    if ((turn == 0) == engineFirst)
                        c.e.add(timed(board, c.engine));
                    else
                        c.r.add(timed(board, c.reference));
                }
            }
        }

        bool allMet = true;
        std::printf("1. median time of a command (ms)\n");
        std::printf("   %-17s %9s %9s %9s  %-8s %s\n", "command", "engine", "reference", "ratio",
                    "<=1.010", "failed runs (engine/ref)");
        for (auto& c : commands) {
            const double e = median(c.e.ms), r = median(c.r.ms);
            const double ratio = r > 0 ? e / r : 0;
            const bool met = r > 0 && ratio <= 1.01 && c.e.failures == 0;
            allMet = allMet && met;
            std::printf("   %-17s %9.3f %9.3f %9.4f  %-8s %d/%d\n", c.name, e, r, ratio,
                        verdict(met), c.e.failures, c.r.failures);
        }

        std::printf("\n2. from the answer's last byte leaving the board to the call returning "
                    "(ms, median)\n");
        std::printf("   %-17s %9s %9s %9s  %s\n", "command", "engine", "reference", "eng-ref",
                    "<1.000");
        for (auto& c : commands) {
            const double e = median(c.e.afterLastByte), r = median(c.r.afterLastByte);
            const bool met = c.e.failures == 0 && e < 1.0;
            allMet = allMet && met;
            std::printf("   %-17s %9.3f %9.3f %9.3f  %s\n", c.name, e, r, e - r, verdict(met));
        }

        std::printf("\n%s\n", allMet ? "all goals met" : "some goals MISSED (see above)");
        return 0;
    } catch (const std::exception& failure) {
        std::printf("benchmark stopped: %s\n", failure.what());
        return 1;
    }
}
