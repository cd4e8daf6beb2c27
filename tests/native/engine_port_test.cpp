// The serial port on this system, on pseudo-terminals of the tests' own: the line settings and
// time-outs an open sets, the opens that are refused and the reason kept, the read time-outs as
// Windows counts them, and a write that the port does not take.
#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "ExpectedTexts.h"
#include "NativeRig.h"
#include "TestClock.h"
#include "untDriver.h"

namespace {

using namespace expected;
using native::Describe;
using native::TTestTerminal;

class Port : public ::testing::Test {
protected:
    void SetUp() override { driver.SetDevicePath(terminal.Path()); }

    TTestTerminal terminal;
    TDriver driver;
};

TEST_F(Port, OpenSetsRaw8N1At9600WithoutFlowControlAndTheTimeouts) {
    ASSERT_EQ(0, driver.Connect());
    const int fd = driver.Comm->Handle.Get();
    termios t{};
    ASSERT_EQ(0, tcgetattr(fd, &t)) << errno;
    EXPECT_EQ(static_cast<speed_t>(B9600), cfgetospeed(&t));
    EXPECT_EQ(static_cast<speed_t>(B9600), cfgetispeed(&t));
    EXPECT_EQ(static_cast<tcflag_t>(CS8), t.c_cflag & CSIZE);
    EXPECT_EQ(0u, t.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_EQ(static_cast<tcflag_t>(CREAD | CLOCAL), t.c_cflag & (CREAD | CLOCAL));
    EXPECT_EQ(0u, t.c_iflag & (IXON | IXOFF | IXANY | INPCK | ISTRIP | INLCR | IGNCR | ICRNL |
                               BRKINT | PARMRK));
    EXPECT_EQ(0u, t.c_oflag & OPOST);
    EXPECT_EQ(0u, t.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN));
    EXPECT_EQ(1, t.c_cc[VMIN]);
    EXPECT_EQ(0, t.c_cc[VTIME]);
    int lines = -1;
    ASSERT_EQ(0, ioctl(fd, TIOCMGET, &lines)) << errno;
    EXPECT_EQ(0, lines & (TIOCM_RTS | TIOCM_DTR));
    EXPECT_EQ("100 1 100 100 0", Describe(driver.Comm->Timeouts));
}

// An open that is refused gives its code and text, keeps the system's reason, and leaves the
// port closed; a command then fails the same way after building its frame, and ToggleStatus
// raises the failure to its caller.
TEST_F(Port, RefusedOpenGivesCodeTextAndReasonAndLeavesThePortClosed) {
    ASSERT_EQ(0, driver.Connect());
    struct Case {
        const char* name;
        std::string path;
        int code;
        std::string text;
        unsigned long systemCode;
    };
    const Case cases[] = {
        {"no such device", "/dev/korvex-no-such-port", -2, kPortUnavailable, ENOENT},
        {"a folder", "/", -2, kPortUnavailable, EISDIR},
        {"no terminal", "/dev/null", -199,
         "System Error.  Code: 25.\nInappropriate ioctl for device", ENOTTY},
        {"held by another engine", terminal.Path(), -3, kPortBusy, EWOULDBLOCK},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TDriver refused;
        refused.SetDevicePath(c.path);
        EXPECT_EQ(c.code, refused.Connect());
        EXPECT_EQ(c.text, refused.ResultDescription);
        EXPECT_EQ(c.systemCode, refused.ResultSystemCode);
        EXPECT_FALSE(refused.Comm->IsOpen());

        EXPECT_EQ(c.code, refused.GetStatus());
        EXPECT_EQ(c.text, refused.ResultDescription);
        EXPECT_EQ("02 00 55 01 79 2D ", refused.Output);
        EXPECT_EQ("", refused.Input);
        EXPECT_FALSE(refused.Comm->IsOpen());
        EXPECT_THROW(refused.ToggleStatus(), EBaseError);
        EXPECT_FALSE(refused.Comm->IsOpen());
    }
    // The engine that holds the port never noticed.
    EXPECT_TRUE(driver.Comm->IsOpen());
}

// Root passes file modes and the terminal's exclusive mode; another user meets both. The test
// becomes nobody in a child process, which opens the port as an engine of its own.
TEST_F(Port, AnotherUserMeetsTheFileModeAndTheExclusiveMode) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to become another user";
    struct Case {
        const char* name;
        mode_t mode;
        bool held; // the test's engine keeps the port while the other user tries
        int code;
        unsigned long systemCode;
    };
    const Case cases[] = {
        {"a terminal only root may open", 0600, false, -2, EACCES},
        {"open to all, held by the test's engine", 0666, true, -3, EBUSY},
        {"open to all, given back by the test's engine", 0666, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(0, chmod(terminal.Path().c_str(), c.mode)) << errno;
        ASSERT_EQ(0, driver.Connect());
        if (!c.held)
            driver.Disconnect();
        std::string said;
        try {
            said = native::RunAs(native::kNobody, [&] {
                TDriver other;
                other.SetDevicePath(terminal.Path());
                const int code = other.Connect();
                return std::to_string(code) + " " + std::to_string(other.ResultSystemCode);
            });
        } catch (const std::runtime_error& e) {
            GTEST_SKIP() << e.what();
        }
        EXPECT_EQ(std::to_string(c.code) + " " + std::to_string(c.systemCode), said);
        driver.Disconnect();
    }
}

// A read of n bytes ends once they came, or when the read-total constant plus a millisecond a
// byte has passed since it began, or when Timeout passed after a byte with no further one (not
// at all for Timeout 0). The far end sends its bytes before the read.
TEST(PortReads, EndAsWindowsReadTimeoutsEndThem) {
    struct Case {
        const char* name;
        uint32_t timeout;
        uint32_t constant;
        const char* sent;
        double atLeastMs, belowMs;
    };
    const Case cases[] = {
        {"all four bytes end the read at once", 100, 1000, "ABCD", 0, 50},
        {"no byte: the total, 300 + 4 x 1 ms", 100, 300, "", 304, 800},
        {"two bytes, then a gap of Timeout", 100, 1000, "AB", 100, 800},
        {"Timeout 0: no interval, 0 + 4 x 1 ms", 0, 0, "AB", 4, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTestTerminal terminal;
        TComm comm;
        comm.DevicePath = terminal.Path();
        comm.Timeout = c.timeout;
        comm.Open();
        comm.SetTimeouts(c.constant);
        terminal.Send(c.sent);
        // The bytes are in the terminal's queue before the read begins.
        ASSERT_TRUE(WaitUntil([&] {
            int queued = -1;
            return ioctl(comm.Handle.Get(), FIONREAD, &queued) == 0 &&
                   queued == static_cast<int>(std::string(c.sent).size());
        }));
        const auto start = Now();
        EXPECT_EQ(c.sent, comm.Read(4));
        const double ms = MsSince(start);
        // The clock ticks to the nanosecond, so a deadline is never met early.
        EXPECT_GE(ms, c.atLeastMs - 0.05);
        EXPECT_LT(ms, c.belowMs);
        EXPECT_TRUE(comm.IsOpen());
    }
}

// The port takes no byte while its queue is full; the write gives up after Timeout ms a byte
// and reports it, and the port stays open.
TEST_F(Port, WriteThatThePortDoesNotTakeInTimeFails) {
    driver.SetTimeout(5);
    ASSERT_EQ(0, driver.Connect());
    terminal.FillQueue();
    const auto start = Now();
    try {
        driver.Comm->Write(driver.BuildFrame("y"));
        FAIL() << "nothing raised";
    } catch (const EDriverError& failure) {
        EXPECT_EQ(-199, failure.Code);
        EXPECT_EQ(kNotAllWritten, failure.Message);
    }
    const double ms = MsSince(start);
    EXPECT_GE(ms, 6 * 5 - 0.05);
    EXPECT_LT(ms, 1000.0);
    EXPECT_TRUE(driver.Comm->IsOpen());
}

} // namespace
