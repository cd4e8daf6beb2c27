#include "KxFind.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include "untConst.h"

namespace {

KxProbe Probe(const KxPort& port, uint32_t timeoutMs) {
    KxProbe probe;
    probe.port = port;
    try {
        KxBoard board(port, timeoutMs);
        probe.step = board.GetDeviceMetrics();
        probe.metrics = board.Metrics();
    } catch (const std::exception& failure) {
        // The memory ran out, or the like: the port is not known to hold a board.
        probe.step.name = L"GetDeviceMetrics";
        probe.step.code = RESULT_FAILURE;
        const std::string what = failure.what(); // the library's own words: ASCII
        probe.step.description.assign(what.begin(), what.end());
    }
    probe.state = StateOf(probe.step);
    return probe;
}

// Threads that are all joined before their holder goes, also when starting one more failed.
class TJoinedThreads {
public:
    TJoinedThreads() = default;
    TJoinedThreads(const TJoinedThreads&) = delete;
    TJoinedThreads& operator=(const TJoinedThreads&) = delete;
    ~TJoinedThreads() {
        for (std::thread& thread : threads_)
            thread.join();
    }
    template <class F> void Start(F work) { threads_.emplace_back(work); }

private:
    std::vector<std::thread> threads_;
};

} // namespace

const wchar_t* StateName(KxState state) {
    switch (state) {
    case KxState::Board:
        return L"board";
    case KxState::Silent:
        return L"silent";
    case KxState::Busy:
        return L"busy";
    case KxState::Absent:
        return L"absent";
    case KxState::Other:
        return L"other";
    case KxState::Failed:
        break;
    }
    return L"failed";
}

KxState StateOf(const KxStep& step) {
    switch (step.code) {
    case RESULT_OK:
        return KxState::Board;
    case RESULT_NO_LINK:
        return KxState::Silent;
    case RESULT_PORT_BUSY:
        return KxState::Busy;
    case RESULT_PORT_UNAVAILABLE:
        return KxState::Absent;
    case RESULT_FAILURE:
        // A system call's failure, or a failure of the answer itself: a wrong first byte, an
        // unknown command code, a payload too short.
        return step.systemCode != 0 || step.received.empty() ? KxState::Failed : KxState::Other;
    default:
        // A bad checksum or length, or a result byte of the device's own.
        return KxState::Other;
    }
}

std::vector<KxProbe> ProbePorts(const std::vector<KxPort>& ports, uint32_t timeoutMs) {
    std::vector<KxProbe> probes(ports.size());
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i = next++; i < ports.size(); i = next++)
            probes[i] = Probe(ports[i], timeoutMs);
    };
    {
        TJoinedThreads threads;
        for (size_t i = 0; i < std::min(ports.size(), kMaxProbesAtOnce); ++i)
            threads.Start(work);
    }
    return probes;
}
