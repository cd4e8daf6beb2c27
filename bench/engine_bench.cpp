// How fast the engine talks to the board, measured against a reference that makes the same
// system calls in the same order with the same pauses, in the same run, on the same open port
// (BenchReference.h). What the engine adds beyond the calls it has to make shows as a ratio
// above 1. One source for every system.
//
// Three figures:
//   1. the median time of each command, engine beside reference (goal: ratio at most 1.01);
//   2. GetStatus with the board silent, beside the longest it may block: 20 ms + the write +
//      30 ms + (Timeout + 4 ms) for the header that never comes;
//   3. the delay from the answer's last byte leaving the simulated board to the call returning
//      (goal: under 1 ms).
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "BenchReference.h"
#include "SimControl.h"
#include "untConst.h"
#include "untDriver.h"

namespace {

constexpr int kRuns = 41;       // a GetStatus exchange takes about 60 ms: 41 x 2 x 4 in ~25 s
constexpr int kSilentRuns = 15; // each of these waits out the time-outs, about 160 ms
constexpr double kByteMs = 10.0 * 1000.0 / 9600.0; // 8N1: ten bits a byte
constexpr uint8_t kPattern = 0x21;

// One timed call and, when asked, when its answer's last byte left the board.
struct Sample {
    double ms = 0;
    double afterLastByteMs = 0;
    double pingMs = 0;
    bool ok = false;
};

// The board writes each byte once its line time is over and stamps the last one as it writes
// it, so the difference between that stamp and our return, placed on the board's clock, is what
// comes after the line time: the host's and ours.
Sample timed(sim::SimControl& board, const std::function<bool()>& call, bool delay) {
    if (delay)
        board.clearRecords();
    Sample s;
    const long long start = NowNs();
    s.ok = call();
    const long long end = NowNs();
    s.ms = static_cast<double>(end - start) / 1e6;
    if (!delay)
        return s;
    const TBoardClock clock = ReadBoardClock(board);
    s.pingMs = 2 * clock.HalfRoundTripMs;
    auto answers = board.answers();
    if (answers.empty()) {
        s.ok = false;
        return s;
    }
    s.afterLastByteMs = static_cast<double>(end + clock.OffsetNs - answers.back().endNs) / 1e6;
    return s;
}

struct Series {
    std::vector<double> ms, afterLastByte, ping;
    int failures = 0;
    void add(const Sample& s) {
        if (!s.ok) {
            ++failures;
            return;
        }
        ms.push_back(s.ms);
        afterLastByte.push_back(s.afterLastByteMs);
        ping.push_back(s.pingMs);
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
        UseTheBoardsPort(driver);
        if (driver.Connect() != 0) {
            std::printf("%s: %s\n", PortName(driver).c_str(), driver.ResultDescription.c_str());
            return 1;
        }
        TReference ref(*driver.Comm);
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
                            [&] { return ref.Exchange(getStatus); },
                            {},
                            {}});
        commands.push_back({"SetStatus",
                            [&] {
                                driver.ReleStatus = kPattern;
                                return driver.SetStatus() == 0;
                            },
                            [&] { return ref.Exchange(setStatus); },
                            {},
                            {}});
        commands.push_back({"GetDeviceMetrics",
                            [&] { return driver.GetDeviceMetrics() == 0; },
                            [&] { return ref.Exchange(metrics); },
                            {},
                            {}});
        commands.push_back({"ToggleStatus",
                            [&] {
                                driver.ReleStatus = kPattern;
                                return driver.ToggleStatus() == 0;
                            },
                            [&] { return ref.Toggle(toggle, 0); },
                            {},
                            {}});

        // One untimed round first: the port's first exchange raises RTS for the first time.
        for (auto& c : commands) {
            c.engine();
            c.reference();
        }

        std::printf("engine benchmark: simulated board on %s, 9600 baud, %d runs each, "
                    "engine and reference alternating;\npauses on %s\n\n",
                    PortName(driver).c_str(), kRuns, ref.Timer());

        // Engine and reference take turns, and which goes first swaps every run, so a slow
        // drift of the host or of the board weighs on both alike.
        for (int run = 0; run < kRuns; ++run) {
            for (auto& c : commands) {
                bool engineFirst = run % 2 == 0;
                for (int turn = 0; turn < 2; ++turn) {
                    if ((turn == 0) == engineFirst)
                        c.e.add(timed(board, c.engine, true));
                    else
                        c.r.add(timed(board, c.reference, true));
                }
            }
        }

        board.fault("silent");
        Series silentE, silentR;
        for (int run = 0; run < kSilentRuns; ++run) {
            bool engineFirst = run % 2 == 0;
            for (int turn = 0; turn < 2; ++turn) {
                if ((turn == 0) == engineFirst) {
                    // The engine must report the silence as no link, and take no longer for it.
                    silentE.add(timed(
                        board, [&] { return driver.GetStatus() == RESULT_NO_LINK; }, false));
                } else {
                    // The reference's read comes back short: that is the expected outcome here.
                    silentR.add(timed(
                        board, [&] { return !ref.Exchange(getStatus); }, false));
                }
            }
        }
        // Untimed as a whole: where a silent exchange spends its time, call by call.
        Steps steps;
        for (int run = 0; run < kSilentRuns; ++run)
            ref.Exchange(getStatus, &steps);
        board.fault("none");

        bool allMet = true;
        std::printf("1. median time of a command (ms)\n");
        std::printf("   %-17s %9s %9s %9s  %-8s %s\n", "command", "engine", "reference", "ratio",
                    "<=1.010", "failed runs (engine/ref)");
        for (auto& c : commands) {
            double e = Median(c.e.ms), r = Median(c.r.ms);
            double ratio = r > 0 ? e / r : 0;
            bool met = r > 0 && ratio <= 1.01 && c.e.failures == 0;
            allMet = allMet && met;
            std::printf("   %-17s %9.3f %9.3f %9.4f  %-8s %d/%d\n", c.name, e, r, ratio,
                        verdict(met), c.e.failures, c.r.failures);
        }

        double timeout = driver.GetTimeout();
        double fixedMs = 20 + 30 + (timeout + 4);
        double writeMs = Median(steps[kWrite]);
        double frameLineMs = static_cast<double>(getStatus.size()) * kByteMs;
        double boundMs = fixedMs + writeMs;
        double silentEMs = Median(silentE.ms), silentRMs = Median(silentR.ms);
        bool silentMet = silentE.failures == 0 && silentEMs <= boundMs;
        allMet = allMet && silentMet;
        std::printf("\n2. GetStatus with the board silent (Timeout %.0f ms, %d runs each)\n",
                    timeout, kSilentRuns);
        std::printf("   bound 20 + 30 + (Timeout + 4) + write = %.0f + %.3f (%s, median)"
                    " = %.3f ms\n",
                    fixedMs, writeMs, kStepNames[kWrite], boundMs);
        std::printf("   (with the frame's full line time, %.3f ms, as the write: %.3f ms)\n",
                    frameLineMs, fixedMs + frameLineMs);
        std::printf("   %-17s %9s %9s %9s  %-8s %s\n", "", "median", "bound", "ratio", "<=1",
                    "failed runs");
        std::printf("   %-17s %9.3f %9.3f %9.4f  %-8s %d\n", "engine", silentEMs, boundMs,
                    silentEMs / boundMs, verdict(silentMet), silentE.failures);
        std::printf("   %-17s %9.3f %9.3f %9.4f  %-8s %d\n", "reference", silentRMs, boundMs,
                    silentRMs / boundMs, silentRMs <= boundMs ? "within" : "beyond",
                    silentR.failures);
        std::printf("   engine/reference %.4f\n", silentRMs > 0 ? silentEMs / silentRMs : 0);
        std::printf("   against the bound with the line time as the write: engine %s\n",
                    silentEMs <= fixedMs + frameLineMs ? "within" : "beyond");
        // What each call of the silent exchange takes, beside what the design allows for it.
        const double nominal[kSteps] = {0, 0, 20, writeMs, 30, 0, timeout + 4, 0};
        std::printf("   where the reference's silent exchange spends it (ms, median of %d):\n",
                    kSilentRuns);
        for (int i = 0; i < kReadRest; ++i)
            std::printf("     %-13s %8.3f  (allowed %7.3f, over by %6.3f)\n", kStepNames[i],
                        Median(steps[i]), nominal[i], Median(steps[i]) - nominal[i]);

        std::printf("\n3. from the answer's last byte leaving the board to the call returning "
                    "(ms, median)\n");
        std::printf("   %-17s %9s %9s %9s  %-8s %s\n", "command", "engine", "reference", "eng-ref",
                    "<1.000", "+/- (half round trip)");
        for (auto& c : commands) {
            double e = Median(c.e.afterLastByte), r = Median(c.r.afterLastByte);
            bool met = c.e.failures == 0 && e < 1.0;
            allMet = allMet && met;
            std::printf("   %-17s %9.3f %9.3f %9.3f  %-8s %.3f\n", c.name, e, r, e - r,
                        verdict(met), Median(c.e.ping) / 2);
        }
        std::printf("   The board's clock is read after each call; where it is not ours, the"
                    " quickest of a few\n   round trips places the return on it, to within half"
                    " that round trip.\n");

        std::printf("\n%s\n", allMet ? "all goals met" : "some goals MISSED (see above)");
        return 0;
    } catch (const std::exception& failure) {
        std::printf("benchmark stopped: %s\n", failure.what());
        return 1;
    }
}
