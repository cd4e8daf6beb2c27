// How long find takes over many silent ports, beside one silent port's probe measured in the
// same run. The ports are asked at once, each by an engine and a thread of its own, so sixteen
// should take about as long as one (goal: ratio at most 1.5). A silent port is the slowest a
// probe can be: it waits out the read time-outs.
//
// The ports are COM<KORVEX_FIND_COM> and the fifteen after it, each a board told to be silent.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchStats.h"
#include "KxBoard.h"
#include "KxCommandLine.h"
#include "KxFind.h"

namespace {

constexpr int kRuns = 15;
constexpr int kPorts = 16;
constexpr double kGoal = 1.5;

} // namespace

int main() {
    const char* first = std::getenv("KORVEX_FIND_COM");
    const long firstCom = first ? std::atol(first) : 31;
    const std::vector<KxPort> ports =
        PortsNamed(std::to_wstring(firstCom) + L"-" + std::to_wstring(firstCom + kPorts - 1));

    std::vector<double> oneMs, allMs;
    int failures = 0;
    for (int run = 0; run < kRuns; ++run) {
        double start = Now();
        KxStep step = KxBoard(ports.front(), TComm::DefaultTimeout).GetDeviceMetrics();
        oneMs.push_back(MsSince(start));
        failures += StateOf(step) != KxState::Silent;

        start = Now();
        const std::vector<KxProbe> probes = ProbePorts(ports, TComm::DefaultTimeout);
        allMs.push_back(MsSince(start));
        for (const KxProbe& probe : probes)
            failures += probe.state != KxState::Silent;
    }
    const double one = Median(oneMs), all = Median(allMs), ratio = all / one;
    const bool met = failures == 0 && ratio <= kGoal;
    std::printf("find over %d silent ports beside one silent port's probe (ms, median of %d)\n",
                kPorts, kRuns);
    std::printf("   %-17s %9s %9s %9s  %-8s %s\n", "", "find", "one probe", "ratio", "<=1.5",
                "ports not silent");
    std::printf("   %-17s %9.3f %9.3f %9.4f  %-8s %d\n", "16 ports", all, one, ratio,
                met ? "met" : "MISSED", failures);
    std::printf("\n%s\n", met ? "all goals met" : "some goals MISSED (see above)");
    return 0;
}
