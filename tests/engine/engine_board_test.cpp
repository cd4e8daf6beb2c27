// The engine against the simulated board, through this system's serial port (Win32 under Wine,
// or a pseudo-terminal): good answers, every failure the board can be made to produce, the
// port's states and time-outs, a pulled adapter, and the half-duplex line discipline as the line
// shim recorded it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BoardTest.h"
#include "ExpectedTexts.h"
#include "SimControl.h"
#include "TestClock.h"
#include "untDriver.h"

namespace boardtest {
namespace {

using namespace expected;

// A port that notes every read-total constant it is given.
class TNotingComm : public TComm {
public:
    void SetTimeouts(uint32_t readTotalConstant) override {
        Constants.push_back(readTotalConstant);
        TComm::SetTimeouts(readTotalConstant);
    }
    std::vector<uint32_t> Constants;
};

// --- Good answers -------------------------------------------------------------------------

TEST_F(Board, GetStatusDecodesTheStatusAndDumpsBothFrames) {
    board.setStatus(0x5A);
    EXPECT_EQ(0, driver.GetStatus());
    EXPECT_EQ(0, driver.ResultCode);
    EXPECT_EQ(kNoError, driver.ResultDescription);
    EXPECT_EQ(0x5A, driver.ReleStatus);
    EXPECT_EQ("02 00 55 01 79 2D ", driver.Output);
    // Header and rest are separated by two spaces.
    EXPECT_EQ("02 00 55 03  79 00 5A 75 ", driver.Input);
    EXPECT_TRUE(driver.Comm->IsOpen());
}

TEST_F(Board, SetStatusSendsTheExampleFrameAndTakesTheBoardsStatus) {
    driver.ReleStatus = 0x01;
    EXPECT_EQ(0, driver.SetStatus());
    EXPECT_EQ("02 00 55 02 77 01 21 ", driver.Output);
    EXPECT_EQ("02 00 55 03  77 00 01 20 ", driver.Input);
    EXPECT_EQ(0x01, driver.ReleStatus);
    EXPECT_EQ(0x01, board.status());
    auto frames = board.frames();
    ASSERT_EQ(1u, frames.size());
    EXPECT_EQ("02 00 55 02 77 01 21 ", sim::toHex(frames[0].bytes));
}

TEST_F(Board, DeviceMetricsDecodeAllFiveFieldsLowByteFirst) {
    board.setMetrics(7, 8, 9, 10, 0x1234);
    EXPECT_EQ(0, driver.GetDeviceMetrics());
    EXPECT_EQ("02 00 55 01 7A 2E ", driver.Output);
    EXPECT_EQ("02 00 55 08  7A 00 07 08 09 0A 34 12 0D ", driver.Input);
    EXPECT_EQ(7, driver.DeviceType);
    EXPECT_EQ(8, driver.DeviceSubType);
    EXPECT_EQ(9, driver.ProtocolVersion);
    EXPECT_EQ(10, driver.SoftVersion);
    EXPECT_EQ(4660, driver.DeviceNumber);
}

TEST_F(Board, ToggleStatusSendsPatternAndTimeAndTheBoardReverts) {
    board.setStatus(0x10);
    driver.ReleStatus = 0x01;
    driver.ToggleTime = 500;
    EXPECT_EQ(0, driver.ToggleStatus());
    EXPECT_EQ("02 00 55 04 78 01 F4 01 DD ", driver.Output);
    EXPECT_EQ(0x01, driver.ReleStatus);
    EXPECT_EQ(0x01, board.status());
    EXPECT_TRUE(WaitUntil([&] { return board.status() == 0x10; }));
}

TEST_F(Board, AnswerIsDecodedByItsOwnCodeNotByTheRequest) {
    board.setStatus(0x33);
    board.fault("code 119"); // 'w'
    EXPECT_EQ(0, driver.GetStatus());
    EXPECT_EQ("02 00 55 01 79 2D ", driver.Output);
    EXPECT_EQ("02 00 55 03  77 00 33 12 ", driver.Input);
    EXPECT_EQ(0x33, driver.ReleStatus);
}

// --- Failures the board produces ------------------------------------------------------------

struct FailureCase {
    const char* name;
    const char* fault; // a board control command
    char command;      // 'y' or 'z'
    int code;
    std::string text;
    const char* input;
};

class BoardFailure : public Board, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(BoardFailure, GivesCodeTextAndInputAndChangesNoField) {
    const FailureCase& c = GetParam();
    board.setStatus(0x5A);
    board.command(c.fault);
    MarkFields();
    const int code = c.command == 'y' ? driver.GetStatus() : driver.GetDeviceMetrics();
    EXPECT_EQ(c.code, code);
    EXPECT_EQ(c.code, driver.ResultCode);
    EXPECT_EQ(c.text, driver.ResultDescription);
    EXPECT_EQ(Wide(c.text), driver.ResultDescriptionW);
    EXPECT_EQ(0u, driver.ResultSystemCode);
    EXPECT_EQ(c.input, driver.Input);
    EXPECT_EQ(c.command == 'y' ? "02 00 55 01 79 2D " : "02 00 55 01 7A 2E ", driver.Output);
    ExpectFieldsMarked();
    // The port stays open, and once the board has sent what the fault left unread (the next
    // exchange purges it), the next good answer goes through.
    EXPECT_TRUE(driver.Comm->IsOpen());
    board.command("fault none");
    board.command("result 0");
    ASSERT_TRUE(WaitUntil([&] { return BoardIdle(); }));
    EXPECT_EQ(0, driver.GetStatus());
    EXPECT_EQ(0x5A, driver.ReleStatus);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, BoardFailure,
    ::testing::Values(
        FailureCase{"NoAnswer", "fault silent", 'y', -1, kNoLink, ""},
        FailureCase{"HalfAHeader", "fault cut 2", 'y', -1, kNoLink, "02 00 "},
        FailureCase{"HeaderButShortRest", "fault cut 6", 'y', -1, kNoLink, "02 00 55 03  79 00 "},
        FailureCase{"WrongFirstByte", "fault stx 3", 'y', -199, kNotStx, "03 00 55 03 "},
        FailureCase{"ChecksumOffByOneBit", "fault crc", 'y', -4, kBadCrc,
                    "02 00 55 03  79 00 5A 74 "},
        FailureCase{"PayloadOfOneByte", "fault shortpayload", 'y', -199, kRangeCheck,
                    "02 00 55 01  79 2D "},
        FailureCase{"UnknownCommandCode", "fault code 113", 'y', -199, kUnknownQ,
                    "02 00 55 03  71 00 5A 7D "},
        FailureCase{"StatusWithoutData", "fault shortdata", 'y', -5, kBadLength,
                    "02 00 55 02  79 00 2E "},
        FailureCase{"MetricsWithFiveDataBytes", "fault shortdata", 'z', -5, kBadLength,
                    "02 00 55 07  7A 00 01 02 03 04 34 18 "},
        FailureCase{"BoardReportsItsOwnFailure", "result 7", 'y', 7, kDeviceError7,
                    "02 00 55 03  79 07 5A 72 "},
        FailureCase{"BoardFailureBeforeMetricsDecoded", "result 7", 'z', 7, kDeviceError7,
                    "02 00 55 08  7A 07 01 02 03 04 34 12 02 "}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

TEST_F(Board, GarbageAnswerFailsOnItsFirstByte) {
    board.fault("garbage 16");
    MarkFields();
    EXPECT_EQ(-199, driver.GetStatus());
    EXPECT_EQ(kNotStx, driver.ResultDescription);
    // The board records the answer once its last byte has gone.
    ASSERT_TRUE(WaitUntil([&] { return board.answers().size() == 1; }));
    EXPECT_EQ(sim::toHex(board.answers()[0].bytes.substr(0, 4)), driver.Input);
    ExpectFieldsMarked();
}

TEST_F(Board, BoardFailureOnSetStatusLeavesTheRelaysAndTheField) {
    board.setStatus(0x5A);
    board.setResult(7);
    driver.ReleStatus = 0x21;
    EXPECT_EQ(7, driver.SetStatus());
    EXPECT_EQ(kDeviceError7, driver.ResultDescription);
    EXPECT_EQ(0x21, driver.ReleStatus);
    EXPECT_EQ(0x5A, board.status());
}

// --- Time-outs ----------------------------------------------------------------------------------

TEST_F(Board, OpenSetsTheTimeoutsFromTimeout) {
    ASSERT_EQ(0, driver.Connect());
    EXPECT_EQ("100 1 100 100 0", PortTimeouts(driver));
}

// Each exchange pauses 20 + 30 ms; then the header's read gives up as its time-outs say, and
// the port has its own time-outs again.
TEST_F(Board, SilenceEndsTheExchangeWhenTheReadTimeoutsSay) {
    struct Case {
        const char* name;
        const char* fault;
        uint32_t timeout;
        uint16_t toggleTime; // ToggleStatus when not 0, else GetStatus
        const char* input;
        double atLeastMs, belowMs;
        const char* timeouts;
    };
    const Case cases[] = {
        // Two bytes come about 2 ms after RTS; then a gap of Timeout ends the read.
        {"half a header, then a gap of Timeout", "fault cut 2", 100, 0, "02 00 ", 50 + 100, 600,
         "100 1 100 100 0"},
        {"Timeout 0: a millisecond a byte", "fault silent", 0, 0, "", 50 + 4, 400, "0 1 0 0 0"},
        {"the toggle command: ToggleTime + 100 + 4 x 1 ms", "fault silent", 150, 300, "", 50 + 404,
         1500, "150 1 150 150 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        board.command(c.fault);
        driver.SetTimeout(c.timeout);
        driver.Disconnect();
        ASSERT_EQ(0, driver.Connect());
        driver.ToggleTime = c.toggleTime;
        const double start = Now();
        const int code = c.toggleTime ? driver.ToggleStatus() : driver.GetStatus();
        const double ms = MsSince(start);
        EXPECT_EQ(-1, code);
        EXPECT_EQ(kNoLink, driver.ResultDescription);
        EXPECT_EQ(c.input, driver.Input);
        EXPECT_GE(ms, c.atLeastMs - 0.05);
        EXPECT_LT(ms, c.belowMs);
        EXPECT_EQ(c.timeouts, PortTimeouts(driver));
    }
}

// ToggleStatus reads its answer with the read-total constant ToggleTime + 100 and gives the port
// its own Timeout back, whatever the exchange gave.
TEST_F(Board, ToggleStatusBracketsItsExchangeWithToggleTimePlus100) {
    struct Case {
        const char* name;
        const char* fault;
        uint16_t toggleTime;
        int code;
        uint32_t during;
    };
    const Case cases[] = {
        {"a good answer", "fault none", 10, 0, 110},
        {"the longest toggle time", "fault none", 65535, 0, 65635},
        {"no answer", "fault silent", 20, -1, 120},
    };
    auto comm = std::make_unique<TNotingComm>();
    TNotingComm& noting = *comm;
    driver.Comm = std::move(comm);
    SetPort(driver, BoardPort());
    ASSERT_EQ(0, driver.Connect());
    driver.ReleStatus = 0x04;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        board.command(c.fault);
        noting.Constants.clear();
        driver.ToggleTime = c.toggleTime;
        EXPECT_EQ(c.code, driver.ToggleStatus());
        const char toggle[] = {'x', 0x04, static_cast<char>(c.toggleTime & 0xFF),
                               static_cast<char>(c.toggleTime >> 8)};
        EXPECT_EQ(sim::toHex(sim::frameOf(std::string(toggle, 4))), driver.Output);
        EXPECT_EQ((std::vector<uint32_t>{c.during, 100}), noting.Constants);
        EXPECT_EQ("100 1 100 100 0", PortTimeouts(driver));
    }
}

// The board answers 250 ms after RTS: too late for the port's own 100 ms, in time for the toggle
// command's 300 + 100 ms.
TEST_F(Board, ToggleStatusWaitsToggleTimePlus100ForTheAnswer) {
    board.setDelay(250);
    EXPECT_EQ(-1, driver.GetStatus());
    ASSERT_TRUE(WaitUntil([&] { return BoardIdle(); }));
    driver.ToggleTime = 300;
    driver.ReleStatus = 0x02;
    EXPECT_EQ(0, driver.ToggleStatus());
    EXPECT_EQ(0x02, driver.ReleStatus);
    EXPECT_EQ("100 1 100 100 0", PortTimeouts(driver));
}

TEST_F(Board, NewTimeoutReachesAnOpenPortOnlyAtToggleStatusOrTheNextOpen) {
    ASSERT_EQ(0, driver.Connect());
    driver.SetTimeout(500);
    EXPECT_EQ("100 1 100 100 0", PortTimeouts(driver));
    EXPECT_EQ(0, driver.GetStatus());
    EXPECT_EQ("100 1 100 100 0", PortTimeouts(driver));
    driver.ToggleTime = 10;
    EXPECT_EQ(0, driver.ToggleStatus());
    EXPECT_EQ("500 1 500 500 0", PortTimeouts(driver));
    driver.SetTimeout(250);
    EXPECT_EQ("500 1 500 500 0", PortTimeouts(driver));
    driver.Disconnect();
    ASSERT_EQ(0, driver.Connect());
    EXPECT_EQ("250 1 250 250 0", PortTimeouts(driver));
}

// --- A pulled adapter ------------------------------------------------------------------------

// The board's terminal is closed under the open port, as when a USB adapter is pulled, either
// before the operation or while it waits for the answer. The operation reports the loss as it
// meets it: the system's failure of the first call on the dead port, or silence (-1) when the
// port hangs up under the read. Either way the port is given back, so once the adapter is back
// the next operation opens it anew and succeeds, with no Disconnect.
TEST_F(Board, APulledAdapterLeavesThePortClosedAndTheNextOperationAfterTheReplugSucceeds) {
    struct Case {
        const char* name;
        bool duringTheRead;
        bool toggle;
        int code;
    };
    const Case cases[] = {{"pulled before GetStatus", false, false, -199},
                          {"pulled before ToggleStatus", false, true, -199},
                          {"pulled while GetStatus waits for the answer", true, false, -1}};
    // Whatever happens, the board is plugged back for the tests after this one.
    struct Replug {
        sim::SimControl& board;
        ~Replug() { board.command("plug"); }
    } replug{board};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        board.reset();
        board.setStatus(0x5A);
        driver.SetTimeout(c.duringTheRead ? 1500 : 100);
        ASSERT_EQ(0, driver.Disconnect());
        ASSERT_EQ(0, driver.Connect());
        board.clearRecords();
        int code = 1000;
        if (c.duringTheRead) {
            // The answer comes late; the adapter goes once the driver has raised RTS to wait
            // for it.
            board.setDelay(1000);
            std::thread operation([&] { code = driver.GetStatus(); });
            const bool waiting = WaitUntil([&] {
                for (const sim::LineEvent& e : board.events())
                    if (e.kind == "line" && e.rts == 1)
                        return true;
                return false;
            });
            board.command("unplug");
            operation.join();
            EXPECT_TRUE(waiting) << "the driver never waited for the answer";
        } else {
            board.command("unplug");
            code = c.toggle ? driver.ToggleStatus() : driver.GetStatus();
        }
        // Seen from the board, the driver waits once RTS is up, but its read may start only
        // after the adapter went: then the read itself is the first call on the dead port.
        const int expected = c.duringTheRead && code == -199 ? -199 : c.code;
        EXPECT_EQ(expected, code);
        EXPECT_EQ(expected, driver.ResultCode);
        if (expected == -199) {
            EXPECT_TRUE(IsPulledAdapterError(driver.ResultSystemCode)) << driver.ResultSystemCode;
            EXPECT_EQ(SystemFailureText(driver.ResultSystemCode), driver.ResultDescription);
        } else {
            EXPECT_EQ(kNoLink, driver.ResultDescription);
            EXPECT_EQ(0u, driver.ResultSystemCode);
        }
        EXPECT_FALSE(driver.Comm->IsOpen());

        board.command("plug");
        board.setDelay(0);
        EXPECT_EQ(0, c.toggle ? driver.ToggleStatus() : driver.GetStatus());
        EXPECT_EQ(0x5A, driver.ReleStatus);
        EXPECT_TRUE(driver.Comm->IsOpen());
    }
}

// --- The port ---------------------------------------------------------------------------------

TEST_F(Board, PortHeldByAnotherEngineIsBusyAndStaysClosed) {
    ASSERT_EQ(0, driver.Connect());
    TDriver other;
    SetPort(other, BoardPort());
    EXPECT_EQ(-3, other.Connect());
    EXPECT_EQ(kPortBusy, other.ResultDescription);
    EXPECT_EQ(kBusyError, other.ResultSystemCode);
    EXPECT_FALSE(other.Comm->IsOpen());
    EXPECT_EQ(-3, other.GetStatus());
    EXPECT_EQ(kPortBusy, other.ResultDescription);
    EXPECT_EQ("02 00 55 01 79 2D ", other.Output);
    EXPECT_EQ("", other.Input);
    EXPECT_FALSE(other.Comm->IsOpen());
    EXPECT_THROW(other.ToggleStatus(), EDriverError);

    EXPECT_EQ(0, driver.Disconnect());
    EXPECT_FALSE(driver.Comm->IsOpen());
    EXPECT_EQ(0, other.GetStatus());
    EXPECT_TRUE(other.Comm->IsOpen());
}

TEST_F(Board, ConnectOnAnOpenPortOnlyClearsTheResult) {
    ASSERT_EQ(0, driver.GetStatus());
    const long long handle = PortHandle(driver);
    const std::string input = driver.Input, output = driver.Output;
    driver.HandleError(ERangeError());
    SetPort(driver, MissingPort());
    EXPECT_EQ(0, driver.Connect());
    EXPECT_EQ(kNoError, driver.ResultDescription);
    EXPECT_EQ(handle, PortHandle(driver));
    EXPECT_EQ(input, driver.Input);
    EXPECT_EQ(output, driver.Output);
}

TEST_F(Board, NewPortIsUsedOnlyAfterDisconnect) {
    ASSERT_EQ(0, driver.Connect());
    SetPort(driver, MissingPort());
    EXPECT_EQ(MissingPort(), GetPort(driver));
    EXPECT_EQ(0, driver.GetStatus()); // still the board's port
    EXPECT_EQ(1u, board.frames().size());
    EXPECT_EQ(0, driver.Disconnect());
    EXPECT_EQ(-2, driver.GetStatus());
    EXPECT_EQ(kPortUnavailable, driver.ResultDescription);
    EXPECT_EQ(kMissingError, driver.ResultSystemCode);
    EXPECT_FALSE(driver.Comm->IsOpen());
    SetPort(driver, BoardPort());
    EXPECT_EQ(0, driver.GetStatus());
}

TEST_F(Board, DisconnectClosesAndTheNextCommandOpensAgain) {
    ASSERT_EQ(0, driver.GetStatus());
    driver.HandleError(ERangeError());
    EXPECT_EQ(0, driver.Disconnect());
    EXPECT_EQ(kNoError, driver.ResultDescription);
    EXPECT_FALSE(driver.Comm->IsOpen());
    EXPECT_EQ(0, driver.Disconnect());
    EXPECT_EQ(0, driver.GetStatus());
    EXPECT_TRUE(driver.Comm->IsOpen());
}

// --- The line ------------------------------------------------------------------------------------

// DTR and RTS go down as the port opens; then purge, RTS cleared, 20 ms, frame, 30 ms, RTS set,
// answer, and RTS stays set until the next exchange; DTR never raised. Each way this system has
// of timing the pauses keeps them.
class HalfDuplex : public Board, public ::testing::WithParamInterface<TPauseWay> {};

TEST_P(HalfDuplex, ExchangeFollowsTheHalfDuplexDiscipline) {
    GetParam().use(*driver.Comm);
    ASSERT_EQ(0, driver.GetStatus());
    ASSERT_EQ(0, driver.GetStatus());
    auto events = board.events();
    auto frames = board.frames();
    auto answers = board.answers();
    ASSERT_EQ(2u, frames.size());
    ASSERT_EQ(2u, answers.size());

    for (const auto& e : events)
        EXPECT_EQ(0, e.dtr) << e.kind << " at " << e.ns;
    for (const auto& f : frames) {
        EXPECT_EQ("000000", f.rts);
        EXPECT_EQ("000000", f.dtr);
    }

    size_t i = 0;
    while (i < events.size() && events[i].kind != "open")
        ++i;
    ASSERT_LT(i + 1, events.size()) << "no open reported";
    // The open's set-up takes both lines down before anything else happens on the line.
    EXPECT_EQ("line", events[i + 1].kind);
    EXPECT_EQ(0, events[i + 1].rts);
    for (size_t exchange = 0; exchange < 2; ++exchange) {
        long long purge = 0, cleared = 0, set = 0;
        for (; i < events.size() && !set; ++i) {
            const auto& e = events[i];
            if (e.kind == "purge" && !purge)
                purge = e.ns;
            else if (e.kind == "line" && e.rts == 0 && purge)
                cleared = e.ns;
            else if (e.kind == "line" && e.rts == 1) {
                EXPECT_NE(0, cleared) << "RTS set before it was cleared for the frame";
                set = e.ns;
            }
        }
        ASSERT_NE(0, set) << "exchange " << exchange;
        const auto& frame = frames[exchange];
        const double ms = 1e6;
        EXPECT_LE(purge, cleared);
        // The board stamps a byte when it reads it, which a loaded machine may delay by a few
        // milliseconds: the bounds tell the pauses (20 and 30 ms) from none and from each other.
        EXPECT_GE((frame.startNs - cleared) / ms, 15.0);
        EXPECT_LT((frame.startNs - cleared) / ms, 200.0);
        EXPECT_GE((set - frame.endNs) / ms, 25.0);
        EXPECT_LT((set - frame.endNs) / ms, 200.0);
        EXPECT_GE(answers[exchange].startNs, set);
        // RTS stays set until the next exchange purges the port.
        for (size_t j = i; j < events.size() && events[j].kind != "purge"; ++j)
            EXPECT_FALSE(events[j].kind == "line" && events[j].rts == 0) << "RTS dropped early";
    }
}

INSTANTIATE_TEST_SUITE_P(Pauses, HalfDuplex, ::testing::ValuesIn(PauseWays()),
                         [](const auto& info) { return info.param.name; });

} // namespace
} // namespace boardtest
