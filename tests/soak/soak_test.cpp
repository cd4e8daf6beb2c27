// Fault soak: operations through IKorvex, created by class id as clients create it, against the
// simulated board with a seeded mix of every fault it can make: broken answers, board error
// codes, noise bursts, answers just before and just after the time-out, the board taken away
// and brought back, the COM port's link removed and restored, the port held by another client.
// Nobody calls Disconnect on the client's behalf: once a board that was taken away is back,
// the next operation must go through. After every operation:
//   - the result is a defined code with its exact text (the predicted one where the fault
//     decides it);
//   - the decoded fields changed only when the result is 0, and then to what the board's own
//     record says it sent;
//   - the operation took no longer than the protocol's bound plus a margin.
// At the end the process holds about the handles and private bytes it held at the start.
// KORVEX_SOAK_OPS and KORVEX_SOAK_SEED choose the run; the default is the short one.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "ExpectedTexts.h"
#include "EnvNumber.h"
#include "KorvexDll.h"
#include "ProcessUsage.h"
#include "Savolin_TLB.h"
#include "SimControl.h"
#include "WinHolders.h"

namespace {

using namespace expected;
using Clock = std::chrono::steady_clock;

constexpr LONG kTimeout = 150;     // the port's base time-out, ms
constexpr double kMarginMs = 500;  // what Wine and a busy machine may add to an operation
constexpr LONG kAny = 0x7FFFFFFF;  // any defined result
constexpr LONG kGone = 0x7FFFFFFE; // the port vanished under the driver: any defined failure

std::string Narrow(BSTR text) {
    if (!text)
        return "";
    int size = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(SysStringLen(text)), nullptr,
                                   0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(SysStringLen(text)), &bytes[0], size,
                        nullptr, nullptr);
    return bytes;
}

// The system's text of a Win32 error as the driver words it.
std::string Win32Text(DWORD code) {
    char buffer[256];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, code, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) <= ' ' || text.back() == '.' ||
                             text.back() == 0x7F))
        text.pop_back();
    return "Win32 Error.  Code: " + std::to_string(code) + ".\n" + text;
}

// Whether text is the exact text of code, for any defined code.
bool IsTextOfCode(LONG code, const std::string& text) {
    switch (code) {
    case 0:
        return text == kNoError;
    case -1:
        return text == kNoLink;
    case -2:
        return text == kPortUnavailable;
    case -3:
        return text == kPortBusy;
    case -4:
        return text == kBadCrc;
    case -5:
        return text == kBadLength;
    case -199: {
        if (text == kNotStx || text == kRangeCheck)
            return true;
        for (int c = 0; c < 256; ++c)
            if (text == UnknownCommand(c))
                return true;
        unsigned long win32 = 0;
        if (std::sscanf(text.c_str(), "Win32 Error.  Code: %lu.", &win32) == 1)
            return text == Win32Text(win32);
        return false;
    }
    default:
        return code >= 1 && code <= 255 && text == DeviceError(code);
    }
}

struct Fields {
    LONG releStatus, type, subType, protocol, soft, number;
    bool operator==(const Fields& o) const {
        return releStatus == o.releStatus && type == o.type && subType == o.subType &&
               protocol == o.protocol && soft == o.soft && number == o.number;
    }
};

enum class Op { SetStatus, ToggleStatus, GetStatus, GetDeviceMetrics };
const char* const kOpNames[] = {"SetStatus", "ToggleStatus", "GetStatus", "GetDeviceMetrics"};

// What a fault should lead to: a result code and, where it is one text, that text.
struct Prediction {
    LONG code;
    std::string text;
};

class Soak : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(S_OK, CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        ASSERT_EQ(S_OK, RegisterKorvexDll());
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Korvex, nullptr, CLSCTX_INPROC_SERVER, IID_IKorvex,
                                         korvex.PutVoid()));
        board.reset();
        board.command("plug");
        board.command("link");
        korvex->put_Timeout(kTimeout);
        korvex->put_PortNumber(sim::SimControl::comPort());
    }
    void TearDown() override {
        board.command("plug");
        board.command("link");
        korvex.Reset();
        CoUninitialize();
    }

    LONG Number(HRESULT (STDMETHODCALLTYPE IKorvex::*get)(LONG*)) {
        LONG value = -12345;
        EXPECT_EQ(S_OK, (korvex.Get()->*get)(&value));
        return value;
    }
    Fields FieldsNow() {
        return {Number(&IKorvex::get_ReleStatus),    Number(&IKorvex::get_DeviceType),
                Number(&IKorvex::get_DeviceSubType), Number(&IKorvex::get_ProtocolVersion),
                Number(&IKorvex::get_SoftVersion),   Number(&IKorvex::get_DeviceNumber)};
    }
    std::string Description() {
        TBstr text;
        EXPECT_EQ(S_OK, korvex->get_ResultDescription(text.Put()));
        return Narrow(text.Get());
    }

    // Waits until the board has nothing half received or left to send, so one operation's
    // late answer never lands in the next one.
    void WaitForQuietBoard() {
        for (auto start = Clock::now(); Clock::now() - start < std::chrono::seconds(10);)
            if (board.command("idle").at(0) == "idle 1")
                return;
        ADD_FAILURE() << "the board stayed busy";
    }

    LONG Run(Op op) {
        LONG value = -12345;
        switch (op) {
        case Op::SetStatus:
            EXPECT_EQ(S_OK, korvex->SetStatus(&value));
            break;
        case Op::ToggleStatus:
            EXPECT_EQ(S_OK, korvex->ToggleStatus(&value));
            break;
        case Op::GetStatus:
            EXPECT_EQ(S_OK, korvex->GetStatus(&value));
            break;
        case Op::GetDeviceMetrics:
            EXPECT_EQ(S_OK, korvex->GetDeviceMetrics(&value));
            break;
        }
        return value;
    }

    // The fields a good answer the board recorded gives, from what they were before.
    static Fields Decoded(const std::string& answer, Fields before) {
        std::string data = answer.substr(6, answer.size() - 7);
        auto at = [&](size_t i) { return static_cast<LONG>(static_cast<unsigned char>(data[i])); };
        if (answer[4] == 'z')
            return {before.releStatus, at(0), at(1), at(2), at(3), at(4) + 256 * at(5)};
        before.releStatus = at(0);
        return before;
    }

    TComPtr<IKorvex> korvex;
    sim::SimControl board;
};

// One fault: how to set it up on the board, what it should lead to, and how to undo it.
struct Scenario {
    const char* name;
    int weight;
    std::function<Prediction(sim::SimControl&, std::mt19937&, LONG readConstant)> arm;
    // The port is closed first, so the operation has to open it.
    bool fromClosedPort = false;
};

int Pick(std::mt19937& random, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
}

std::vector<Scenario> Scenarios() {
    return {
        {"clean", 30,
         [](sim::SimControl&, std::mt19937&, LONG) {
             return Prediction{0, kNoError};
         }},
        {"silent", 4,
         [](sim::SimControl& b, std::mt19937&, LONG) {
             b.fault("silent");
             return Prediction{-1, kNoLink};
         }},
        {"cut", 4,
         [](sim::SimControl& b, std::mt19937& r, LONG) {
             b.fault("cut " + std::to_string(Pick(r, 1, 7)));
             return Prediction{-1, kNoLink};
         }},
        {"wrong first byte", 4,
         [](sim::SimControl& b, std::mt19937& r, LONG) {
             int stx = Pick(r, 3, 255);
             b.fault("stx " + std::to_string(stx));
             return Prediction{-199, kNotStx};
         }},
        {"bad checksum", 4,
         [](sim::SimControl& b, std::mt19937&, LONG) {
             b.fault("crc");
             return Prediction{-4, kBadCrc};
         }},
        {"short data", 4,
         [](sim::SimControl& b, std::mt19937&, LONG) {
             b.fault("shortdata");
             return Prediction{-5, kBadLength};
         }},
        {"unknown command code", 4,
         [](sim::SimControl& b, std::mt19937& r, LONG) {
             int code;
             do
                 code = Pick(r, 0, 255);
             while (code >= 'w' && code <= 'z');
             b.fault("code " + std::to_string(code));
             return Prediction{-199, UnknownCommand(code)};
         }},
        {"one-byte payload", 3,
         [](sim::SimControl& b, std::mt19937&, LONG) {
             b.fault("shortpayload");
             return Prediction{-199, kRangeCheck};
         }},
        {"garbage answer", 4,
         [](sim::SimControl& b, std::mt19937& r, LONG) {
             int n = Pick(r, 1, 12);
             b.fault("garbage " + std::to_string(n));
             return n < 4 ? Prediction{-1, kNoLink} : Prediction{-199, kNotStx};
         }},
        {"board error", 4,
         [](sim::SimControl& b, std::mt19937& r, LONG) {
             int result = Pick(r, 1, 255);
             b.setResult(result);
             return Prediction{result, DeviceError(result)};
         }},
        {"answer just before the time-out", 4,
         [](sim::SimControl& b, std::mt19937&, LONG readConstant) {
             b.setDelay(readConstant - 60);
             return Prediction{0, kNoError};
         }},
        {"answer just after the time-out", 4,
         [](sim::SimControl& b, std::mt19937&, LONG readConstant) {
             b.setDelay(readConstant + 60);
             return Prediction{-1, kNoLink};
         }},
        {"slow bytes", 3,
         [](sim::SimControl& b, std::mt19937& r, LONG) {
             b.setGap(Pick(r, 5, 40));
             return Prediction{kAny, ""};
         }},
        {"noise burst", 4,
         [](sim::SimControl& b, std::mt19937& r, LONG) {
             b.setDelay(Pick(r, 0, 40));
             b.command("burst " + std::to_string(Pick(r, 1, 64)));
             return Prediction{kAny, ""};
         }},
        {"board gone", 3,
         [](sim::SimControl& b, std::mt19937&, LONG) {
             b.command("unplug");
             return Prediction{kGone, ""};
         }},
        {"port link gone", 3,
         [](sim::SimControl& b, std::mt19937&, LONG) {
             b.command("unlink");
             return Prediction{-2, kPortUnavailable};
         },
         true},
    };
}

TEST_F(Soak, EveryOperationEndsInADefinedResultWithinItsBound) {
    const unsigned long operations = EnvNumber("KORVEX_SOAK_OPS", 300);
    const unsigned seed = static_cast<unsigned>(EnvNumber("KORVEX_SOAK_SEED", 20261208));
    std::mt19937 random(seed);
    std::vector<Scenario> scenarios = Scenarios();
    std::vector<int> weights;
    for (const Scenario& s : scenarios)
        weights.push_back(s.weight);
    std::discrete_distribution<size_t> pickScenario(weights.begin(), weights.end());
    std::map<std::string, unsigned long> faults;
    std::map<LONG, unsigned long> results;
    double worstMs = 0, worstBoundMs = 0, worstRatio = 0;
    std::string worstWhat;
    usage::Usage start;
    unsigned long failures = 0, replugs = 0, recovered = 0;
    auto began = Clock::now();

    for (unsigned long i = 0; i < operations && failures < 10; ++i) {
        if (i == 20)
            start = usage::Now(); // after the first opens, what stays is counted in
        WaitForQuietBoard();
        board.reset();
        Op op = static_cast<Op>(Pick(random, 0, 3));
        LONG toggleTime = Pick(random, 0, 40);
        korvex->put_ReleStatus(Pick(random, 0, 255));
        korvex->put_ToggleTime(toggleTime);
        LONG readConstant = op == Op::ToggleStatus ? toggleTime + 100 : kTimeout;
        const Scenario& scenario = scenarios[pickScenario(random)];
        if (scenario.fromClosedPort) {
            LONG closed = -1;
            korvex->Disconnect(&closed);
        }
        Prediction expected = scenario.arm(board, random, readConstant);
        ++faults[scenario.name];
        Fields before = FieldsNow();

        auto t0 = Clock::now();
        LONG code = Run(op);
        double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        LONG recorded = Number(&IKorvex::get_ResultCode);
        ++results[code];
        std::string text = Description();
        Fields after = FieldsNow();

        // The protocol's bound: the two pauses, the frame, and two reads of at most the read
        // constant plus a millisecond a byte, the second of at most 256 bytes.
        double boundMs = 50 + 15 + 2.0 * readConstant + 4 + 256;
        std::string what = std::string(kOpNames[static_cast<int>(op)]) + " with " + scenario.name;
        if (ms / boundMs > worstRatio) {
            worstRatio = ms / boundMs;
            worstMs = ms;
            worstBoundMs = boundMs;
            worstWhat = what;
        }
        bool ok = code == recorded && IsTextOfCode(code, text) && ms <= boundMs + kMarginMs;
        if (expected.code == kGone)
            ok = ok && code != 0;
        else if (expected.code != kAny)
            ok = ok && code == expected.code && text == expected.text;
        if (code == 0) {
            std::vector<sim::Answer> answers = board.answers();
            ok = ok && !answers.empty() && after == Decoded(answers.back().bytes, before);
        } else {
            ok = ok && after == before;
        }
        if (!ok) {
            ++failures;
            ADD_FAILURE() << "operation " << i << ": " << what << ": code " << code << " ("
                          << recorded << ") expected " << expected.code << ", " << ms << " ms of "
                          << boundMs << ", fields " << (after == before ? "unchanged" : "changed");
        }
        // The board and the link come back. Nobody disconnects: a client whose adapter was
        // pulled and plugged back expects its next operation to go through.
        board.command("plug");
        board.command("link");
        if (expected.code == kGone) {
            board.reset();
            LONG again = Run(Op::GetStatus);
            ++replugs;
            if (again == 0) {
                ++recovered;
            } else {
                ++failures;
                ADD_FAILURE() << "operation " << i << ": GetStatus after the board came back gave "
                              << again << " (" << Description() << ")";
            }
        }
    }
    LONG closed = -1;
    korvex->Disconnect(&closed);
    usage::Usage end = usage::Now();
    double seconds = std::chrono::duration<double>(Clock::now() - began).count();

    std::printf("soak: %lu operations in %.1f s, %.1f a second, seed %u\n", operations, seconds,
                operations / seconds, seed);
    for (const auto& [name, count] : faults)
        std::printf("  %-34s %lu\n", name.c_str(), count);
    unsigned long boardCodes = 0;
    std::printf("  results:");
    for (const auto& [code, count] : results)
        if (code >= 1)
            boardCodes += count;
        else
            std::printf(" %ld x%lu,", static_cast<long>(code), count);
    std::printf(" board's own codes 1-255 x%lu\n  worst: %.0f ms of a %.0f ms bound (%s)\n",
                boardCodes, worstMs, worstBoundMs, worstWhat.c_str());
    std::printf("  board back after it was gone: the next operation went through %lu of %lu\n",
                recovered, replugs);
    std::printf("  growth: %ld handles, %ld private bytes\n",
                static_cast<long>(end.handles) - static_cast<long>(start.handles),
                static_cast<long>(end.privateBytes) - static_cast<long>(start.privateBytes));
    EXPECT_LE(end.handles, start.handles + 4);
    EXPECT_LE(end.privateBytes, start.privateBytes + (512u << 10));
}

} // namespace
