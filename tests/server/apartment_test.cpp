// IKorvex from other apartments, as services, .NET programs and worker threads reach it: the
// registered Korvex.dll is created by a thread of the multithreaded apartment and called through
// the proxies of IKorvex and IDispatch; and one object of a single-threaded owner is called by
// worker threads of both kinds through the global interface table while the owner pumps its
// messages. Every result, text and frame is what the board answered.
//
// A program of its own: Wine's apartment that hosts an object for a multithreaded creator keeps
// one reference to the class factory it got from DllGetClassObject, so Korvex.dll can never be
// unloaded from this process afterwards, which the server tests' unload checks would take for a
// fault of the driver.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>
#include <vector>

#include "ExpectedTexts.h"
#include "KorvexDll.h"
#include "SimControl.h"
#include "Savolin_TLB.h"
#include "WinHolders.h"

namespace {

using namespace expected;

constexpr LONG kStatus = 0x42;
const std::string kGetStatusFrame = sim::frameOf("y");
const std::string kMetricsFrame = sim::frameOf("z");
const std::string kStatusAnswer = sim::frameOf(std::string("y\x00", 2) + char(kStatus));
const std::string kMetricsAnswer = sim::frameOf(std::string("z\x00\x01\x02\x03\x04\x34\x12", 8));

// Input as the driver dumps an answer: the header, one more space, the rest.
std::string InputOf(const std::string& answer) {
    return sim::toHex(answer.substr(0, 4)) + " " + sim::toHex(answer.substr(4));
}

std::string Ansi(BSTR text) {
    if (!text)
        return "";
    int length = static_cast<int>(SysStringLen(text));
    int size = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, &bytes[0], size, nullptr, nullptr);
    return bytes;
}

// What one thread saw, checked by the test's own thread (GoogleTest's assertions are not made
// for other threads here).
struct Log {
    std::vector<std::string> problems;

    void Expect(bool ok, const std::string& what) {
        if (!ok)
            problems.push_back(what);
    }
    void Check(HRESULT hr, const std::string& what) { Expect(hr == S_OK, what + " failed"); }
};

LONG Number(IKorvex* korvex, HRESULT (STDMETHODCALLTYPE IKorvex::*get)(LONG*), Log& log,
            const char* what) {
    LONG value = -12345;
    log.Check((korvex->*get)(&value), what);
    return value;
}

std::string Text(IKorvex* korvex, HRESULT (STDMETHODCALLTYPE IKorvex::*get)(BSTR*), Log& log,
                 const char* what) {
    TBstr text;
    log.Check((korvex->*get)(text.Put()), what);
    return Ansi(text.Get());
}

// GetStatus and GetDeviceMetrics through one IKorvex, each result checked against the board's
// answer. Calls of other threads may come between two of these, so the frames of either command
// are accepted where another thread's exchange may have left them.
void ReadBoard(IKorvex* korvex, Log& log) {
    LONG value = -1;
    log.Check(korvex->GetStatus(&value), "GetStatus");
    log.Expect(value == 0, "GetStatus gave " + std::to_string(value));
    log.Expect(Number(korvex, &IKorvex::get_ReleStatus, log, "ReleStatus") == kStatus,
               "ReleStatus");
    log.Check(korvex->GetDeviceMetrics(&value), "GetDeviceMetrics");
    log.Expect(value == 0, "GetDeviceMetrics gave " + std::to_string(value));
    log.Expect(Number(korvex, &IKorvex::get_DeviceNumber, log, "DeviceNumber") == 4660,
               "DeviceNumber");
    log.Expect(Text(korvex, &IKorvex::get_ResultDescription, log, "ResultDescription") == kNoError,
               "ResultDescription");
    std::string output = Text(korvex, &IKorvex::get_Output, log, "Output");
    log.Expect(output == sim::toHex(kGetStatusFrame) || output == sim::toHex(kMetricsFrame),
               "Output " + output);
    std::string input = Text(korvex, &IKorvex::get_Input, log, "Input");
    log.Expect(input == InputOf(kStatusAnswer) || input == InputOf(kMetricsAnswer),
               "Input " + input);
}

void ExpectClean(const Log& log, const std::string& who) {
    for (const std::string& problem : log.problems)
        ADD_FAILURE() << who << ": " << problem;
}

// One late-bound call without arguments, by name, through an IDispatch.
HRESULT InvokeByName(IDispatch* dispatch, const wchar_t* name, WORD flags, VARIANT* result) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    DISPPARAMS none{};
    EXCEPINFO exception{};
    return dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &none, result, &exception,
                            nullptr);
}

class Apartments : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(S_OK, RegisterKorvexDll()); }

    void SetUp() override {
        board.reset();
        board.setStatus(kStatus);
        board.setMetrics(1, 2, 3, 4, 4660);
    }

    sim::SimControl board;
};

TEST_F(Apartments, AMultithreadedClientCallsTheControlThroughTheProxiesOfIKorvexAndIDispatch) {
    Log log;
    std::thread client([&] {
        log.Check(CoInitializeEx(nullptr, COINIT_MULTITHREADED), "CoInitializeEx");
        {
            TComPtr<IKorvex> korvex;
            log.Check(CoCreateInstance(CLSID_Korvex, nullptr, CLSCTX_INPROC_SERVER, IID_IKorvex,
                                       korvex.PutVoid()),
                      "CoCreateInstance for IKorvex");
            if (korvex) {
                // Only a proxy answers IClientSecurity: the object lives in another apartment.
                TComPtr<IUnknown> security;
                log.Check(korvex->QueryInterface(IID_IClientSecurity, security.PutVoid()),
                          "IClientSecurity of the proxy");
                log.Check(korvex->put_PortNumber(sim::SimControl::comPort()), "PortNumber put");
                log.Check(korvex->put_ReleStatus(1), "ReleStatus put");
                LONG value = -1;
                log.Check(korvex->SetStatus(&value), "SetStatus");
                log.Expect(value == 0, "SetStatus gave " + std::to_string(value));
                std::string sent = sim::toHex(sim::frameOf(std::string("w\x01", 2)));
                log.Expect(Text(korvex.Get(), &IKorvex::get_Output, log, "Output") == sent,
                           "SetStatus frame");
                std::string answer = sim::frameOf(std::string("w\x00\x01", 3));
                log.Expect(Text(korvex.Get(), &IKorvex::get_Input, log, "Input") == InputOf(answer),
                           "SetStatus answer");

                TComPtr<IDispatch> dispatch;
                log.Check(korvex->QueryInterface(IID_IDispatch, dispatch.PutVoid()), "IDispatch");
                VARIANT result;
                VariantInit(&result);
                if (dispatch) {
                    log.Check(
                        InvokeByName(dispatch.Get(), L"GetDeviceMetrics", DISPATCH_METHOD, &result),
                        "GetDeviceMetrics late-bound");
                    log.Expect(V_VT(&result) == VT_I4 && V_I4(&result) == 0,
                               "GetDeviceMetrics late-bound result");
                    VariantClear(&result);
                    log.Check(InvokeByName(dispatch.Get(), L"DeviceNumber", DISPATCH_PROPERTYGET,
                                           &result),
                              "DeviceNumber late-bound");
                    log.Expect(V_VT(&result) == VT_I4 && V_I4(&result) == 4660,
                               "DeviceNumber late-bound value");
                    VariantClear(&result);
                    log.Check(InvokeByName(dispatch.Get(), L"ResultDescription",
                                           DISPATCH_PROPERTYGET, &result),
                              "ResultDescription late-bound");
                    log.Expect(V_VT(&result) == VT_BSTR && Ansi(V_BSTR(&result)) == kNoError,
                               "ResultDescription late-bound text");
                    VariantClear(&result);
                    log.Check(InvokeByName(dispatch.Get(), L"Input", DISPATCH_PROPERTYGET, &result),
                              "Input late-bound");
                    log.Expect(V_VT(&result) == VT_BSTR &&
                                   Ansi(V_BSTR(&result)) == InputOf(kMetricsAnswer),
                               "Input late-bound text");
                    VariantClear(&result);
                }
                log.Check(korvex->Disconnect(&value), "Disconnect");
            }
        }
        CoUninitialize();
    });
    client.join();
    ExpectClean(log, "the multithreaded client");
    std::vector<sim::Frame> frames = board.frames();
    ASSERT_EQ(2u, frames.size());
    EXPECT_EQ(sim::frameOf(std::string("w\x01", 2)), frames[0].bytes);
    EXPECT_EQ(kMetricsFrame, frames[1].bytes);
}

TEST_F(Apartments, WorkersOfBothKindsCallOneOwnersObjectThroughTheGlobalInterfaceTable) {
    constexpr int kRounds = 4;
    ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    {
        TComPtr<IKorvex> korvex;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Korvex, nullptr, CLSCTX_INPROC_SERVER, IID_IKorvex,
                                         korvex.PutVoid()));
        ASSERT_EQ(S_OK, korvex->put_PortNumber(sim::SimControl::comPort()));
        TComPtr<IGlobalInterfaceTable> table;
        ASSERT_EQ(S_OK,
                  CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IGlobalInterfaceTable, table.PutVoid()));
        DWORD cookie = 0;
        ASSERT_EQ(S_OK, table->RegisterInterfaceInGlobal(korvex.Get(), IID_IKorvex, &cookie));

        const DWORD kinds[] = {COINIT_MULTITHREADED, COINIT_APARTMENTTHREADED,
                               COINIT_MULTITHREADED};
        Log logs[3];
        HANDLE done[3];
        std::vector<std::thread> workers;
        for (int w = 0; w < 3; ++w) {
            done[w] = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            workers.emplace_back([&, w] {
                logs[w].Check(CoInitializeEx(nullptr, kinds[w]), "CoInitializeEx");
                {
                    TComPtr<IGlobalInterfaceTable> git;
                    TComPtr<IKorvex> proxy;
                    logs[w].Check(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr,
                                                   CLSCTX_INPROC_SERVER, IID_IGlobalInterfaceTable,
                                                   git.PutVoid()),
                                  "the table");
                    if (git)
                        logs[w].Check(
                            git->GetInterfaceFromGlobal(cookie, IID_IKorvex, proxy.PutVoid()),
                            "IKorvex from the table");
                    for (int round = 0; proxy && round < kRounds; ++round)
                        ReadBoard(proxy.Get(), logs[w]);
                }
                CoUninitialize();
                SetEvent(done[w]);
            });
        }
        // The owner's apartment serves the calls through its messages until every worker ends.
        auto finished = [&] { return WaitForMultipleObjects(3, done, TRUE, 0) == WAIT_OBJECT_0; };
        for (DWORD start = GetTickCount(); !finished() && GetTickCount() - start < 120000;) {
            MsgWaitForMultipleObjects(3, done, FALSE, 1000, QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        EXPECT_TRUE(finished()) << "the workers did not end";
        for (std::thread& worker : workers)
            worker.join();
        for (HANDLE event : done)
            CloseHandle(event);
        EXPECT_EQ(S_OK, table->RevokeInterfaceFromGlobal(cookie));
        const char* names[] = {"multithreaded worker 1", "single-threaded worker",
                               "multithreaded worker 2"};
        for (int w = 0; w < 3; ++w)
            ExpectClean(logs[w], names[w]);

        // Each call waited for the one before: the board got whole frames, one per exchange.
        std::vector<sim::Frame> frames = board.frames();
        EXPECT_EQ(3u * kRounds * 2, frames.size());
        for (const sim::Frame& frame : frames)
            EXPECT_TRUE(frame.bytes == kGetStatusFrame || frame.bytes == kMetricsFrame)
                << sim::toHex(frame.bytes);
        LONG value = -1;
        korvex->Disconnect(&value);
    }
    CoUninitialize();
}

} // namespace
