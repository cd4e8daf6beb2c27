// The relay board link without a board: failure texts, frames and dumps, the
// result bookkeeping of HandleError, and a port that does not exist.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "ExpectedTexts.h"
#include "TestClock.h"
#include "untConst.h"
#include "untDriver.h"
#include "untError.h"

namespace {

using namespace expected;

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values)
        bytes += static_cast<char>(v);
    return bytes;
}

TEST(Win32ErrorText, RealOsFailureGivesNumberLineFeedAndTrimmedSystemText) {
    // The rig's prefix runs with code page 1251, where error 2 reads "Файл не найден." CR LF.
    ASSERT_EQ(1251u, GetACP());
    EWin32Error failure(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(2u, failure.ErrorCode);
    EXPECT_EQ("Win32 Error.  Code: 2.\n" + kFileNotFound, failure.Message);
    EXPECT_EQ(failure.Message, std::string(failure.what()));
    // The system's text as the system gave it, in UTF-16.
    EXPECT_EQ(Wide("Win32 Error.  Code: 2.\n" + kFileNotFound), failure.Text());
}

TEST(Win32ErrorText, ErrorNumberZeroGivesTheGenericText) {
    EXPECT_EQ("A Win32 API function failed", EWin32Error(0).Message);
}

TEST(Win32ErrorText, TheLastErrorOfAFailedCallIsDescribed) {
    HANDLE h = CreateFileA("\\\\.\\KorvexNoSuchDevice", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    ASSERT_EQ(INVALID_HANDLE_VALUE, h);
    DWORD error = GetLastError();
    {
        const EWin32Error failure(error);
        EXPECT_EQ(error, failure.ErrorCode);
        EXPECT_EQ(0u, failure.Message.find("Win32 Error.  Code: " + std::to_string(error) + ".\n"));
        // Nothing trailing that the trim should have taken.
        char last = failure.Message.back();
        EXPECT_TRUE(last != '.' && last != ' ' && last != '\n' && last != '\r') << failure.Message;
    }
}

TEST(Win32ErrorText, SignedDecimalForLargeErrorNumbers) {
    EXPECT_EQ(0u, EWin32Error(0x80070005).Message.find("Win32 Error.  Code: -2147024891.\n"));
}

TEST(HandleError, StoresCodeAndTextOfEachFailureKindAndClearResultRestores) {
    TDriver driver;
    // Both forms of the text, always together.
    auto description = [&] {
        EXPECT_EQ(Wide(driver.ResultDescription), driver.ResultDescriptionW);
        return driver.ResultDescription;
    };
    EXPECT_EQ(-3, driver.HandleError(EDriverError(-3, kPortBusy)));
    EXPECT_EQ(-3, driver.ResultCode);
    EXPECT_EQ(kPortBusy, description());

    EXPECT_EQ(-199, driver.HandleError(EWin32Error(ERROR_FILE_NOT_FOUND)));
    EXPECT_EQ(-199, driver.ResultCode);
    EXPECT_EQ("Win32 Error.  Code: 2.\n" + kFileNotFound, description());

    EXPECT_EQ(-199, driver.HandleError(ERangeError()));
    EXPECT_EQ("Range check error", description());

    EXPECT_EQ(-199, driver.HandleError(EBaseError("something else")));
    EXPECT_EQ("something else", description());

    EXPECT_EQ(0, driver.Disconnect());
    EXPECT_EQ(0, driver.ResultCode);
    EXPECT_EQ(kNoError, description());
}

TEST(FreshEngine, IsClosedWithDefaultsAndNoResult) {
    TDriver driver;
    EXPECT_EQ(0, driver.ResultCode);
    EXPECT_EQ(kNoError, driver.ResultDescription);
    EXPECT_EQ("", driver.Input);
    EXPECT_EQ("", driver.Output);
    EXPECT_EQ(0, driver.Address);
    EXPECT_EQ(0, driver.AnswerAddress);
    EXPECT_EQ(0, driver.ToggleTime);
    EXPECT_EQ(0, driver.ReleStatus);
    EXPECT_EQ(0, driver.DeviceType);
    EXPECT_EQ(0, driver.DeviceSubType);
    EXPECT_EQ(0, driver.ProtocolVersion);
    EXPECT_EQ(0, driver.SoftVersion);
    EXPECT_EQ(0, driver.DeviceNumber);
    ASSERT_NE(nullptr, driver.Comm);
    EXPECT_FALSE(driver.Comm->IsOpen());
    EXPECT_EQ(INVALID_HANDLE_VALUE, driver.Comm->Handle);
    EXPECT_EQ(1, driver.GetPortNumber());
    EXPECT_EQ(100u, driver.GetTimeout());
    EXPECT_EQ(9600u, driver.Comm->BaudRate);
}

TEST(Frames, TheFourCommandFramesAndTheirDumps) {
    TDriver driver;
    EXPECT_EQ("02 00 55 01 79 2D ", HexDump(driver.BuildFrame("y")));
    EXPECT_EQ("02 00 55 01 7A 2E ", HexDump(driver.BuildFrame("z")));
    EXPECT_EQ("02 00 55 02 77 01 21 ", HexDump(driver.BuildFrame(Bytes({'w', 1}))));
    EXPECT_EQ("02 00 55 04 78 01 F4 01 DD ",
              HexDump(driver.BuildFrame(Bytes({'x', 1}) + WordToBytes(500))));
    EXPECT_EQ(18u, HexDump(driver.BuildFrame("y")).size());
}

TEST(Frames, AddressGoesIntoFrameAndChecksum) {
    TDriver driver;
    driver.Address = 0x0F;
    EXPECT_EQ("02 0F 55 01 79 22 ", HexDump(driver.BuildFrame("y")));
}

TEST(ByteUtilities, DumpChecksumWordsAndLengths) {
    EXPECT_EQ("", HexDump(""));
    EXPECT_EQ("00 7F 80 AB FF ", HexDump(Bytes({0, 0x7F, 0x80, 0xAB, 0xFF})));
    EXPECT_EQ(0, XorChecksum(""));
    EXPECT_EQ(0x2D, XorChecksum(Bytes({0, 0x55, 1, 0x79})));
    EXPECT_EQ(0x1234, WordAt(Bytes({0, 0x34, 0x12}), 1));
    EXPECT_EQ(0xFFFF, WordAt(Bytes({0xFF, 0xFF}), 0));
    EXPECT_THROW(WordAt(Bytes({0x34}), 0), ERangeError);
    EXPECT_THROW(WordAt(Bytes({0x34, 0x12}), 1), ERangeError);
    EXPECT_THROW(WordAt(Bytes({0x34, 0x12}), 5), ERangeError);
    EXPECT_EQ(Bytes({0xF4, 0x01}), WordToBytes(500));
    EXPECT_EQ(Bytes({0xFF, 0xFF}), WordToBytes(65535));
    EXPECT_NO_THROW(CheckMinLength("abc", 3));
    try {
        CheckMinLength("abcde", 6);
        FAIL() << "nothing raised";
    } catch (const EDriverError& failure) {
        EXPECT_EQ(-5, failure.Code);
        EXPECT_EQ(kBadLength, failure.Message);
    }
}

// Port 0 has no device on any machine: opening it fails with "not found".
class AbsentPort : public ::testing::Test {
protected:
    void SetUp() override {
        driver.SetPortNumber(0);
        driver.ReleStatus = 1;
        driver.DeviceNumber = 0x4321;
    }
    void ExpectPortUnavailableAndClosed() {
        EXPECT_EQ(-2, driver.ResultCode);
        EXPECT_EQ(kPortUnavailable, driver.ResultDescription);
        EXPECT_FALSE(driver.Comm->IsOpen());
        EXPECT_EQ(1, driver.ReleStatus);
        EXPECT_EQ(0x4321, driver.DeviceNumber);
    }
    TDriver driver;
};

TEST_F(AbsentPort, ConnectGivesMinusTwoAndLeavesTheDumpsAlone) {
    driver.Input = "kept";
    driver.Output = "kept too";
    EXPECT_EQ(-2, driver.Connect());
    ExpectPortUnavailableAndClosed();
    EXPECT_EQ("kept", driver.Input);
    EXPECT_EQ("kept too", driver.Output);
}

TEST_F(AbsentPort, CommandsBuildTheirFrameThenFailToOpen) {
    driver.Input = "stale";
    EXPECT_EQ(-2, driver.SetStatus());
    ExpectPortUnavailableAndClosed();
    EXPECT_EQ("02 00 55 02 77 01 21 ", driver.Output);
    EXPECT_EQ("", driver.Input);

    EXPECT_EQ(-2, driver.GetStatus());
    ExpectPortUnavailableAndClosed();
    EXPECT_EQ("02 00 55 01 79 2D ", driver.Output);

    EXPECT_EQ(-2, driver.GetDeviceMetrics());
    ExpectPortUnavailableAndClosed();
    EXPECT_EQ("02 00 55 01 7A 2E ", driver.Output);
}

TEST_F(AbsentPort, ToggleStatusRaisesTheOpenFailureToItsCaller) {
    driver.Output = "before";
    driver.ClearResult();
    try {
        driver.ToggleStatus();
        FAIL() << "nothing raised";
    } catch (const EDriverError& failure) {
        EXPECT_EQ(-2, failure.Code);
        EXPECT_EQ(kPortUnavailable, failure.Message);
    }
    // Nothing was sent and nothing recorded: the caller records it.
    EXPECT_EQ("before", driver.Output);
    EXPECT_EQ(0, driver.ResultCode);
    EXPECT_FALSE(driver.Comm->IsOpen());
}

TEST(PortNumber, NegativeIsRefusedAndChangesNothing) {
    TDriver driver;
    driver.HandleError(EDriverError(-1, kNoLink));
    EXPECT_THROW(driver.SetPortNumber(-1), ERangeError);
    EXPECT_EQ(1, driver.GetPortNumber());
    EXPECT_EQ(-1, driver.ResultCode);

    driver.SetPortNumber(12);
    EXPECT_EQ(12, driver.GetPortNumber());
    EXPECT_EQ(0, driver.ResultCode);
    EXPECT_EQ(kNoError, driver.ResultDescription);
}

TEST(Disconnect, ClosedPortStillGivesZero) {
    TDriver driver;
    driver.HandleError(ERangeError());
    EXPECT_EQ(0, driver.Disconnect());
    EXPECT_EQ(kNoError, driver.ResultDescription);
    EXPECT_FALSE(driver.Comm->IsOpen());
}

// The pauses' clock: the high-resolution waitable timer wherever the system has one (Windows 10
// 1803 and later), the raised timer resolution elsewhere or when asked for; either way a pause
// lasts its milliseconds. The test's output names the timer this system gave.
TEST(PauseClock, HighResolutionWhereTheSystemHasItAndEitherWaitsThePause) {
    HANDLE probe = CreateWaitableTimerExW(nullptr, nullptr, 0x00000002, TIMER_ALL_ACCESS);
    const TPauseTimer offered = probe ? TPauseTimer::HighResolution : TPauseTimer::RaisedResolution;
    if (probe)
        CloseHandle(probe);
    ::testing::Test::RecordProperty("pause_timer", offered == TPauseTimer::HighResolution
                                                       ? "high-resolution waitable timer"
                                                       : "raised timer resolution");
    EXPECT_EQ(offered, TComm().Clock.Timer());
    EXPECT_EQ(TPauseTimer::RaisedResolution, TPauseClock(TPauseTimer::RaisedResolution).Timer());
    for (TPauseTimer timer : {TPauseTimer::HighResolution, TPauseTimer::RaisedResolution}) {
        TPauseClock clock(timer);
        const TPauseClock::TExchange exchange(clock);
        for (uint32_t ms : {20u, 30u}) {
            const double start = Now();
            clock.Wait(ms);
            const double elapsed = MsSince(start);
            EXPECT_GE(elapsed, ms - 0.5) << ms;
            EXPECT_LT(elapsed, ms + 200.0) << ms;
        }
    }
}

} // namespace
