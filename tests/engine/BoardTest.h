// What the engine's tests against the simulated board share on every system: the fixture, and
// what each system answers for itself (BoardTestWin32.cpp, BoardTestPosix.cpp): how a port is
// named, what the open port's time-outs are, and the system's error numbers and texts.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "DecodedFields.h"
#include "SimControl.h"
#include "untDriver.h"

namespace boardtest {

// The simulated board's port, and one that does not exist, as this system names ports (a COM
// number, or a device path).
std::string BoardPort();
std::string MissingPort();
void SetPort(TDriver& driver, const std::string& port);
std::string GetPort(const TDriver& driver);

// The open port's handle or descriptor, to tell one open from another.
long long PortHandle(const TDriver& driver);

// The time-outs the open port has, as one line: read interval, per byte, read constant, write
// per byte, write constant.
std::string PortTimeouts(const TDriver& driver);

// The system's error numbers behind an open that another holder refuses, and behind a port that
// does not exist.
extern const unsigned long kBusyError;
extern const unsigned long kMissingError;

// The engine's text for a system call that failed with code, from the system's own messages.
std::string SystemFailureText(unsigned long code);

// Whether code is what the first call on the port of a pulled adapter may fail with here.
bool IsPulledAdapterError(unsigned long code);

// The ways this system can time the half-duplex pauses; the name is a test name's part.
struct TPauseWay {
    std::string name;
    std::function<void(TComm&)> use;
};
std::vector<TPauseWay> PauseWays();

class Board : public ::testing::Test {
protected:
    void SetUp() override {
        board.reset();
        SetPort(driver, BoardPort());
    }

    // Marks every decoded field, so a failure that touches one shows.
    static constexpr Decoded kMarked{0xA5, 0xD1, 0xD2, 0xD3, 0xD4, 0xBEEF};
    void MarkFields() { SetFields(driver, kMarked); }
    void ExpectFieldsMarked() { EXPECT_EQ(kMarked, FieldsOf(driver)); }
    // Nothing half received, waiting to be answered or left to send on the board's side.
    bool BoardIdle() { return board.command("idle") == std::vector<std::string>{"idle 1"}; }

    sim::SimControl board;
    TDriver driver;
};

} // namespace boardtest
