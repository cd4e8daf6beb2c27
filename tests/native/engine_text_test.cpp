// The relay board link's texts on this system, without a board: code page 1251 both ways, the
// system's failure text, and the result bookkeeping of a fresh engine and of HandleError.
#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <string>

#include "ExpectedTexts.h"
#include "untConst.h"
#include "untDriver.h"
#include "untError.h"

namespace {

using namespace expected;

// Every byte reads as the C library's own table of the code page has it, and goes back to the
// same byte. 0x98, which the code page leaves unassigned (iconv refuses it), stands for U+0098.
TEST(Cp1251, EveryByteReadsAsIconvHasItAndGoesBack) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::wstring wide = b == 0x98 ? std::wstring(1, L'\x98') : Wide(byte);
        EXPECT_EQ(wide, Cp1251ToWide(byte)) << b;
        EXPECT_EQ(byte, WideToCp1251(wide)) << b;
    }
    // What the code page lacks: a letter it has not, and a character beyond 16 bits.
    EXPECT_EQ("a?b?", WideToCp1251(L"a\u00E9b\U0001F600"));
}

TEST(OSErrorText, NumberLineFeedAndTheSystemsText) {
    // The tests run in the C locale, whose texts are the C library's English ones.
    EOSError failure(ENOENT);
    EXPECT_EQ(ENOENT, failure.ErrorCode);
    EXPECT_EQ("System Error.  Code: 2.\nNo such file or directory", failure.Message);
    EXPECT_EQ(failure.Message, std::string(failure.what()));
    EXPECT_EQ(L"System Error.  Code: 2.\nNo such file or directory", failure.Text());
    EXPECT_EQ("A call to an OS function failed", EOSError(0).Message);
}

// Under a Russian locale the system's text is Russian in the locale's UTF-8: the wide text keeps
// it whole, the cp1251 message holds the same letters.
TEST(OSErrorText, TheLocalesTextIsKeptWhole) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, "ru_RU.UTF-8"))
        GTEST_SKIP() << "no ru_RU.UTF-8 locale here";
    const EOSError failure(ENOENT);
    std::setlocale(LC_ALL, before.c_str());
    // Нет такого файла или каталога
    const std::wstring russian = L"\u041D\u0435\u0442 \u0442\u0430\u043A\u043E\u0433\u043E "
                                 L"\u0444\u0430\u0439\u043B\u0430 \u0438\u043B\u0438 "
                                 L"\u043A\u0430\u0442\u0430\u043B\u043E\u0433\u0430";
    if (failure.Text() == L"System Error.  Code: 2.\nNo such file or directory")
        GTEST_SKIP() << "the C library has no Russian texts here";
    EXPECT_EQ(L"System Error.  Code: 2.\n" + russian, failure.Text());
    EXPECT_EQ("System Error.  Code: 2.\n" + Cp1251(russian), failure.Message);
}

TEST(FreshEngine, IsClosedOnTheFirstSerialPortWithNoResult) {
    TDriver driver;
    EXPECT_EQ(0, driver.ResultCode);
    EXPECT_EQ(kNoError, driver.ResultDescription);
    EXPECT_EQ(Wide(kNoError), driver.ResultDescriptionW);
    EXPECT_EQ(0u, driver.ResultSystemCode);
    EXPECT_EQ("", driver.Input);
    EXPECT_EQ("", driver.Output);
    EXPECT_FALSE(driver.Comm->IsOpen());
    EXPECT_EQ(-1, driver.Comm->Handle.Get());
    EXPECT_EQ("/dev/ttyS0", driver.GetDevicePath());
    EXPECT_EQ(100u, driver.GetTimeout());
    EXPECT_EQ(9600u, driver.Comm->BaudRate);
}

TEST(HandleError, StoresCodeTextAndSystemCodeOfEachFailureKind) {
    TDriver driver;
    auto check = [&](const EBaseError& failure, int code, const std::string& text,
                     unsigned long systemCode) {
        EXPECT_EQ(code, driver.HandleError(failure));
        EXPECT_EQ(code, driver.ResultCode);
        EXPECT_EQ(text, driver.ResultDescription);
        EXPECT_EQ(Wide(text), driver.ResultDescriptionW);
        EXPECT_EQ(systemCode, driver.ResultSystemCode);
    };
    {
        SCOPED_TRACE("a driver error with the reason behind it");
        check(EDriverError(-2, kPortUnavailable, EACCES), -2, kPortUnavailable, EACCES);
    }
    {
        SCOPED_TRACE("a system call's failure");
        check(EOSError(EIO), -199, "System Error.  Code: 5.\nInput/output error", EIO);
    }
    {
        SCOPED_TRACE("a range failure");
        check(ERangeError(), -199, "Range check error", 0);
    }
    EXPECT_EQ(0, driver.ClearResult());
    EXPECT_EQ(kNoError, driver.ResultDescription);
    EXPECT_EQ(0u, driver.ResultSystemCode);
}

TEST(DevicePath, SettingItClearsTheResult) {
    TDriver driver;
    driver.HandleError(EDriverError(-1, kNoLink));
    driver.SetDevicePath("/dev/ttyUSB3");
    EXPECT_EQ("/dev/ttyUSB3", driver.GetDevicePath());
    EXPECT_EQ("/dev/ttyUSB3", driver.Comm->DevicePath);
    EXPECT_EQ(0, driver.ResultCode);
    EXPECT_EQ(kNoError, driver.ResultDescription);
}

} // namespace
