// The rig itself: a Windows program talks to the simulated board with plain Win32 serial calls,
// and checks what the board answers, what each fault mode puts on the wire, the byte pacing
// and the RTS/DTR timeline that the line shim reported.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "SimControl.h"
#include "TestClock.h"

namespace {

using namespace std::string_literals;
using sim::frameOf;
using sim::fromHex;
using sim::toHex;

constexpr double kByteMs = 10.0 * 1000.0 / 9600.0; // 8N1: ten bits a byte

// A COM port opened and set up the way the driver does it: 9600 8N1, binary, no flow control,
// RTS and DTR not asserted.
class Port {
public:
    explicit Port(int number) {
        std::string name = "\\\\.\\COM" + std::to_string(number);
        handle_ = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE)
            return;
        SetupComm(handle_, 1024, 1024);
        DCB dcb{};
        dcb.DCBlength = sizeof dcb;
        GetCommState(handle_, &dcb);
        dcb.BaudRate = 9600;
        dcb.ByteSize = 8;
        dcb.Parity = NOPARITY;
        dcb.StopBits = ONESTOPBIT;
        *reinterpret_cast<DWORD*>(reinterpret_cast<char*>(&dcb) + 8) = 1; // fBinary only
        SetCommState(handle_, &dcb);
        setTimeouts(100, 100);
    }
    ~Port() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    bool open() const { return handle_ != INVALID_HANDLE_VALUE; }

    void setTimeouts(DWORD interval, DWORD constant) {
        COMMTIMEOUTS t{interval, 1, constant, 100, 0};
        SetCommTimeouts(handle_, &t);
    }

    bool escape(DWORD function) { return EscapeCommFunction(handle_, function) != 0; }

    // Purge, RTS down, 20 ms, frame out, 30 ms, RTS up: one request as the driver sends it.
    void send(const std::string& frame, bool raiseRts = true) {
        PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
        ASSERT_TRUE(escape(CLRRTS)) << GetLastError();
        Sleep(20);
        DWORD written = 0;
        ASSERT_TRUE(
            WriteFile(handle_, frame.data(), static_cast<DWORD>(frame.size()), &written, nullptr));
        ASSERT_EQ(frame.size(), written);
        Sleep(30);
        if (raiseRts) {
            ASSERT_TRUE(escape(SETRTS)) << GetLastError();
        }
    }

    std::string read(DWORD count) {
        std::string buf(count, '\0');
        DWORD got = 0;
        if (!ReadFile(handle_, &buf[0], count, &got, nullptr))
            return "<read failed>";
        buf.resize(got);
        return buf;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

const std::string kGetStatus = fromHex("02 00 55 01 79 2D");
const std::string kGetMetrics = fromHex("02 00 55 01 7A 2E");

class BoardTest : public ::testing::Test {
protected:
    void SetUp() override {
        board.reset();
        ASSERT_TRUE(port.open()) << "COM" << sim::SimControl::comPort() << ": " << GetLastError();
        board.clearRecords();
    }

    // Sends a request and reads everything the board puts back within the time-outs.
    std::string exchange(const std::string& frame, DWORD expect = 64) {
        port.send(frame);
        return port.read(expect);
    }

    sim::SimControl board;
    Port port{sim::SimControl::comPort()};
};

TEST_F(BoardTest, AnswersTheFourCommands) {
    board.setStatus(0x5A);
    board.setMetrics(7, 8, 9, 10, 0x1234);
    EXPECT_EQ(toHex(frameOf("y\x00\x5A"s)), toHex(exchange(kGetStatus)));
    EXPECT_EQ(toHex(frameOf(std::string("z\0\x07\x08\x09\x0A\x34\x12", 8))),
              toHex(exchange(kGetMetrics)));
    EXPECT_EQ(toHex(frameOf("w\x00\x21"s)), toHex(exchange(fromHex("02 00 55 02 77 21 01"))));
    EXPECT_EQ(0x21, board.status());
}

TEST_F(BoardTest, PulseShowsThePatternForTheToggleTimeThenReverts) {
    board.setStatus(0x01);
    // 'x', pattern 0x03, 300 ms
    EXPECT_EQ(toHex(frameOf("x\x00\x03"s)),
              toHex(exchange(frameOf(std::string("x\x03\x2C\x01", 4)))));
    EXPECT_EQ(0x03, board.status());
    Sleep(450);
    EXPECT_EQ(0x01, board.status());
}

TEST_F(BoardTest, RecordsTheFrameWithTheLineStateOfEachByte) {
    exchange(kGetStatus);
    auto frames = board.frames();
    ASSERT_EQ(1u, frames.size());
    EXPECT_EQ(toHex(kGetStatus), toHex(frames[0].bytes));
    EXPECT_EQ("000000", frames[0].rts);
    EXPECT_EQ("000000", frames[0].dtr);
}

// Purge, RTS cleared, 20 ms, frame, 30 ms, RTS set, answer; DTR never raised.
TEST_F(BoardTest, LineTimelineFollowsTheHalfDuplexDiscipline) {
    exchange(kGetStatus);
    auto events = board.events();
    auto frames = board.frames();
    auto answers = board.answers();
    ASSERT_EQ(1u, frames.size());
    ASSERT_EQ(1u, answers.size());

    long long purge = 0, cleared = 0, set = 0;
    for (const auto& e : events) {
        EXPECT_EQ(0, e.dtr) << e.kind << " at " << e.ns;
        if (e.kind == "purge" && !cleared)
            purge = e.ns;
        if (e.kind == "line" && e.rts == 0 && purge && !cleared)
            cleared = e.ns;
        if (e.kind == "line" && e.rts == 1 && cleared)
            set = e.ns;
    }
    ASSERT_NE(0, purge);
    ASSERT_NE(0, cleared);
    ASSERT_NE(0, set);
    const double ms = 1e6;
    EXPECT_GE((frames[0].startNs - cleared) / ms, 18.0);
    EXPECT_LT((frames[0].startNs - cleared) / ms, 250.0);
    EXPECT_GE((set - frames[0].endNs) / ms, 28.0);
    EXPECT_LT((set - frames[0].endNs) / ms, 250.0);
    // The board waits for RTS before it answers.
    EXPECT_GE(answers[0].startNs, set);
}

TEST_F(BoardTest, HoldsTheAnswerWhileRtsStaysCleared) {
    port.send(kGetStatus, false);
    EXPECT_EQ("", toHex(port.read(64)));
    ASSERT_TRUE(port.escape(SETRTS));
    EXPECT_EQ(toHex(frameOf("y\x00\x00"s)), toHex(port.read(64)));
}

struct FaultCase {
    const char* fault;
    const char* request;  // hex
    const char* expected; // hex of what the board must put on the wire
};

class FaultModeTest : public BoardTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultModeTest, PutsOnTheWireWhatItClaims) {
    board.setStatus(0x5A);
    board.fault(GetParam().fault);
    std::string wire = exchange(fromHex(GetParam().request));
    EXPECT_EQ(toHex(fromHex(GetParam().expected)), toHex(wire));
    auto answers = board.answers();
    if (wire.empty()) {
        EXPECT_TRUE(answers.empty());
    } else {
        ASSERT_EQ(1u, answers.size());
        EXPECT_EQ(toHex(wire), toHex(answers[0].bytes));
    }
}

// The checksums below are worked out by hand, so a board that frames wrongly is caught.
INSTANTIATE_TEST_SUITE_P(
    Faults, FaultModeTest,
    ::testing::Values(FaultCase{"none", "02 00 55 01 79 2D", "02 00 55 03 79 00 5A 75"},
                      FaultCase{"silent", "02 00 55 01 79 2D", ""},
                      FaultCase{"cut 2", "02 00 55 01 79 2D", "02 00"},
                      FaultCase{"cut 6", "02 00 55 01 79 2D", "02 00 55 03 79 00"},
                      FaultCase{"stx 3", "02 00 55 01 79 2D", "03 00 55 03 79 00 5A 75"},
                      FaultCase{"crc", "02 00 55 01 79 2D", "02 00 55 03 79 00 5A 74"},
                      FaultCase{"shortdata", "02 00 55 01 79 2D", "02 00 55 02 79 00 2E"},
                      FaultCase{"shortdata", "02 00 55 01 7A 2E",
                                "02 00 55 07 7A 00 01 02 03 04 34 18"},
                      FaultCase{"code 113", "02 00 55 01 79 2D", "02 00 55 03 71 00 5A 7D"},
                      FaultCase{"shortpayload", "02 00 55 01 79 2D", "02 00 55 01 79 2D"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) {
        std::string name;
        for (const char* p = info.param.fault; *p; ++p)
            name += isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name + "_" + std::to_string(info.index);
    });

TEST_F(BoardTest, NonzeroResultByteIsSentAndTheCommandNotCarriedOut) {
    board.setStatus(0x5A);
    board.setResult(7);
    EXPECT_EQ("02 00 55 03 77 07 5A 7C ", toHex(exchange(fromHex("02 00 55 02 77 21 01"))));
    EXPECT_EQ(0x5A, board.status());
}

TEST_F(BoardTest, GarbageIsRandomBytesThatNeverStartAFrame) {
    board.fault("garbage 16");
    std::string wire = exchange(kGetStatus);
    ASSERT_EQ(16u, wire.size());
    EXPECT_NE('\x02', wire[0]);
    ASSERT_EQ(1u, board.answers().size());
    EXPECT_EQ(toHex(wire), toHex(board.answers()[0].bytes));
}

TEST_F(BoardTest, DamagedRequestGetsNoAnswer) {
    EXPECT_EQ("", toHex(exchange(fromHex("02 00 55 01 79 2C"))));
    ASSERT_EQ(1u, board.frames().size());
}

TEST_F(BoardTest, SlowAnswerWaitsBeforeAndBetweenBytes) {
    board.setDelay(150);
    board.setGap(10);
    port.setTimeouts(400, 400);
    exchange(kGetStatus);
    auto events = board.events();
    auto answers = board.answers();
    ASSERT_EQ(1u, answers.size());
    long long set = 0;
    for (const auto& e : events)
        if (e.kind == "line" && e.rts == 1)
            set = e.ns;
    EXPECT_GE((answers[0].startNs - set) / 1e6, 150.0);
    EXPECT_GE((answers[0].endNs - answers[0].startNs) / 1e6, 7 * (10 + kByteMs) - 1);
}

TEST_F(BoardTest, PacesItsOutputAtNineSixHundredBaud) {
    board.fault("garbage 200");
    port.setTimeouts(100, 500);
    port.send(kGetStatus);
    const double start = Now();
    std::string wire = port.read(200);
    double readMs = MsSince(start);
    ASSERT_EQ(200u, wire.size());
    auto answers = board.answers();
    ASSERT_EQ(1u, answers.size());
    double perByte = (answers[0].endNs - answers[0].startNs) / 1e6 / 199.0;
    EXPECT_NEAR(kByteMs, perByte, 0.05) << "ms a byte";
    // The reader cannot have the bytes sooner than the line delivers them.
    EXPECT_GE(readMs, 199 * kByteMs - 5);
    RecordProperty("ms_per_byte", std::to_string(perByte));
    std::printf("simulated line: %.4f ms a byte (9600 8N1: %.4f)\n", perByte, kByteMs);
}

TEST(BoardLine, SecondOpenOfAnOpenPortIsRefusedWithAccessDenied) {
    Port first(sim::SimControl::comPort());
    ASSERT_TRUE(first.open());
    std::string name = "\\\\.\\COM" + std::to_string(sim::SimControl::comPort());
    HANDLE second = CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    DWORD error = GetLastError();
    EXPECT_EQ(INVALID_HANDLE_VALUE, second);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), error);
    if (second != INVALID_HANDLE_VALUE)
        CloseHandle(second);
}

TEST(BoardLine, PortWithoutADeviceIsNotFound) {
    HANDLE h = CreateFileA("\\\\.\\COM0", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, h);
    EXPECT_NE(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
}

} // namespace
