// What the automation object adds to the engine: GetStatus on the simulated board through the
// engine, through the IKorvex vtable and late-bound through IDispatch::Invoke, interleaved in one
// run on one object's own engine and port, so the three see the same line. Also one property
// get through each path, where the exchange does not hide the call's own cost.
//
// Goals: vtable/engine at most 1.005, dispatch/vtable at most 1.01.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

#include "BenchStats.h"
#include "SimControl.h"
#include "oleMain.h"

namespace {

constexpr int kRuns = 41;     // about 60 ms an exchange: 41 x 3 in under 10 s
constexpr int kGets = 200000; // property gets per path and round
constexpr int kGetRounds = 5; // the quickest round counts

struct Path {
    Path(const char* n, std::function<bool()> status, std::function<LONG()> resultCode)
        : name(n), getStatus(std::move(status)), getResultCode(std::move(resultCode)) {}

    const char* name;
    std::function<bool()> getStatus;
    std::function<LONG()> getResultCode;
    std::vector<double> exchangeUs;
    double getUs = 1e30;
};

// Invokes dispid with no arguments; returns the VT_I4 result.
LONG InvokeLong(IDispatch* object, DISPID id, WORD flags) {
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &none, &result, nullptr, nullptr);
    return V_I4(&result);
}

} // namespace

int main() {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    StartKorvexServer(GetModuleHandleW(nullptr));
    sim::SimControl board;
    board.reset();

    TComPtr<IKorvex> object;
    if (FAILED(AxCreateControl<TSavolin>(nullptr, IID_IKorvex, object.PutVoid()))) {
        std::printf("the control object cannot be created\n");
        return 1;
    }
    TDriver& engine = *static_cast<TSavolin*>(object.Get())->Driver;
    object->put_PortNumber(sim::SimControl::comPort());
    LONG value = 0;
    if (object->Connect(&value) != S_OK || value != 0) {
        std::printf("COM%d: %s\n", sim::SimControl::comPort(), engine.ResultDescription.c_str());
        return 1;
    }

    IKorvex* vtable = object.Get();
    constexpr DISPID kGetStatusId = 4, kResultCodeId = 16;
    std::vector<Path> paths = {
        {"engine", [&] { return engine.GetStatus() == 0; }, [&] { return engine.ResultCode; }},
        {"vtable", [&] { return vtable->GetStatus(&value) == S_OK && value == 0; },
         [&] {
             vtable->get_ResultCode(&value);
             return value;
         }},
        {"dispatch", [&] { return InvokeLong(vtable, kGetStatusId, DISPATCH_METHOD) == 0; },
         [&] { return InvokeLong(vtable, kResultCodeId, DISPATCH_PROPERTYGET); }},
    };

    // One untimed round first: the first exchange raises RTS for the first time.
    for (Path& p : paths)
        p.getStatus();
    std::printf("automation benchmark: simulated board on COM%d, %d GetStatus runs per path, "
                "paths alternating\n\n",
                sim::SimControl::comPort(), kRuns);
    int failures = 0;
    for (int run = 0; run < kRuns; ++run)
        for (Path& p : paths) {
            double start = NowUs();
            failures += p.getStatus() ? 0 : 1;
            p.exchangeUs.push_back(NowUs() - start);
        }
    volatile LONG sink = 0;
    for (int round = 0; round < kGetRounds; ++round)
        for (Path& p : paths) {
            double start = NowUs();
            for (int i = 0; i < kGets; ++i)
                sink = sink + p.getResultCode();
            p.getUs = std::min(p.getUs, (NowUs() - start) / kGets);
        }

    std::printf("%-10s %18s %22s\n", "path", "GetStatus median", "ResultCode get");
    for (Path& p : paths)
        std::printf("%-10s %15.3f ms %19.4f us\n", p.name, Median(p.exchangeUs) / 1000, p.getUs);
    double engineMs = Median(paths[0].exchangeUs), vtableMs = Median(paths[1].exchangeUs),
           dispatchMs = Median(paths[2].exchangeUs);
    std::printf("\nvtable/engine   %.4f  (goal <= 1.005)\n", vtableMs / engineMs);
    std::printf("dispatch/vtable %.4f  (goal <= 1.01)\n", dispatchMs / vtableMs);
    if (failures)
        std::printf("\n%d exchanges failed\n", failures);
    CoUninitialize();
    return failures ? 1 : 0;
}
