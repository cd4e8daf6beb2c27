// kxctl's ports, find and --board as separate processes, against the boards that
// find_boards.sh puts on ports of the system's list: COM11 numbered 4660, COM12 and COM16
// numbered 7, COM13 silent, COM14 answering garbage, COM15 listed with no device behind it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ExpectedTexts.h"
#include "KxctlRun.h"
#include "SimControl.h"

namespace {

int Control(int offset) {
    return std::atoi(std::getenv("KORVEX_SIM_CONTROL")) + offset;
}

const std::vector<std::string> kIdentified = {"7A "};
const std::vector<std::string> kNothing = {};

class KxctlFindTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (sim::SimControl* board : {&a4660, &b7, &silent, &garbage, &c7})
            board->reset();
        silent.fault("silent");
        garbage.fault("garbage 8");
    }
    // The payloads each board received, COM11, 12, 13, 14 and 16 in that order.
    std::vector<std::vector<std::string>> Received() {
        return {a4660.payloads(), b7.payloads(), silent.payloads(), garbage.payloads(),
                c7.payloads()};
    }

    sim::SimControl a4660{Control(1)}, b7{Control(2)}, silent{Control(3)}, garbage{Control(4)},
        c7{Control(5)};
};

TEST_F(KxctlFindTest, PortsListsThePortsOfTheSystemsListAndNoBareLink) {
    Outcome text = Kxctl(L"ports");
    EXPECT_EQ(text.exit, 0u);
    EXPECT_EQ(text.out, "COM11\r\nCOM12\r\nCOM13\r\nCOM14\r\nCOM15\r\nCOM16\r\n")
        << "the suite's own board, a bare link, is not listed";
    std::string ports;
    for (int com = 11; com <= 16; ++com)
        ports += std::string(com > 11 ? "," : "") + "{\"port\":" + std::to_string(com) +
                 ",\"name\":\"COM" + std::to_string(com) + "\"}";
    EXPECT_EQ(Kxctl(L"--json ports").out,
              "{\"command\":\"ports\",\"ok\":true,\"exit\":0,\"ports\":[" + ports + "]}\r\n");
    EXPECT_EQ(Received(), std::vector<std::vector<std::string>>(5, kNothing)) << "ports opens none";
}

TEST_F(KxctlFindTest, FindTellsWhatAnswersOnEachPort) {
    const TKernelObject held = HoldPort(16);
    ASSERT_TRUE(held);
    Outcome run = Kxctl(L"--ports 11-17 find");
    EXPECT_EQ(run.exit, 0u);
    // Which call fails on a port with no device, and with which error, is the system's affair
    // (Wine's 32-bit and 64-bit sides differ); the line has its number and its text.
    const std::string failed = "COM15   failed   (-199) Win32 Error.  Code: ";
    const size_t at = run.out.find(failed);
    ASSERT_NE(at, std::string::npos) << run.out;
    const size_t end = run.out.find("\r\n", at);
    EXPECT_GT(end, at + failed.size() + 3) << "the system's text follows";
    EXPECT_EQ(run.out.substr(0, at) + run.out.substr(end + 2),
              "COM11   board    type 1, subtype 2, protocol 3, firmware 4, number 4660\r\n"
              "COM12   board    type 1, subtype 2, protocol 3, firmware 4, number 7\r\n"
              "COM13   silent   (-1) " +
                  Console(expected::kNoLink) +
                  "\r\n"
                  "COM14   other    (-199) " +
                  Console(expected::kNotStx) +
                  "\r\n"
                  "COM16   busy     (-3) " +
                  Console(expected::kPortBusy) +
                  "\r\n"
                  "COM17   absent   (-2) " +
                  Console(expected::kPortUnavailable) + "\r\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(Received(), (std::vector<std::vector<std::string>>{
                              kIdentified, kIdentified, kIdentified, kIdentified, kNothing}))
        << "one identification request to each free port, nothing to the busy one";
}

TEST_F(KxctlFindTest, FindWithoutAListAsksThePortsOfTheSystemsListAsJson) {
    const std::string ok = "\"code\":0,\"description\":\"\\u041e\\u0448\\u0438\\u0431\\u043e"
                           "\\u043a \\u043d\\u0435\\u0442\"";
    const std::string id = ",\"metrics\":{\"type\":1,\"subtype\":2,\"protocol\":3,\"firmware\":4,"
                           "\"number\":";
    Outcome run = Kxctl(L"--json find");
    EXPECT_EQ(run.exit, 0u);
    const std::string head =
        "{\"command\":\"find\",\"ok\":true,\"exit\":0,\"ports\":["
        "{\"port\":11,\"name\":\"COM11\",\"state\":\"board\"," +
        ok + id + "4660}},{\"port\":12,\"name\":\"COM12\",\"state\":\"board\"," + ok + id +
        "7}},{\"port\":13,\"name\":\"COM13\",\"state\":\"silent\",\"code\":-1,";
    EXPECT_EQ(run.out.substr(0, head.size()), head);
    EXPECT_NE(run.out.find("{\"port\":16,\"name\":\"COM16\",\"state\":\"board\"," + ok + id +
                           "7}}]}\r\n"),
              std::string::npos)
        << run.out;
    EXPECT_EQ(Kxctl(L"--ports 13,15,17 find").exit, 1u) << "no board answered";
}

TEST_F(KxctlFindTest, BoardSwitchesTheOneBoardOfThatNumberAndNoOther) {
    {
        const TKernelObject held = HoldPort(16);
        ASSERT_TRUE(held);
        Outcome run = Kxctl(L"--board 7 on 1");
        EXPECT_EQ(run.exit, 0u);
        EXPECT_EQ(run.out, "relays 0x01 (on: 1)\r\n");
        EXPECT_EQ(run.err, "");
    }
    EXPECT_EQ(b7.status(), 0x01);
    EXPECT_EQ(Received(),
              (std::vector<std::vector<std::string>>{
                  kIdentified, {"7A ", "79 ", "77 01 "}, kIdentified, kIdentified, kNothing}));
    a4660.clearRecords();
    b7.clearRecords();
    Outcome json = Kxctl(L"--board 4660 --ports 11,12 --json status");
    const std::string head =
        "{\"command\":\"status\",\"port\":11,\"board\":4660,\"ok\":true,\"exit\":0,\"code\":0,";
    EXPECT_EQ(json.out.substr(0, head.size()), head);
    EXPECT_EQ(a4660.payloads(), (std::vector<std::string>{"7A ", "79 "}));
    EXPECT_EQ(b7.payloads(), kIdentified) << "only the ports of --ports are asked";
}

TEST_F(KxctlFindTest, BoardThatNoneOrTwoAnswerSwitchesNothing) {
    Outcome none = Kxctl(L"--board 99 on 1");
    EXPECT_EQ(none.exit, 5u);
    EXPECT_EQ(none.out, "");
    EXPECT_EQ(none.err, "kxctl: no board numbered 99 answered (asked: COM11, COM12, COM13, COM14, "
                        "COM15, COM16)\r\n");
    Outcome two = Kxctl(L"--board 7 --json on 1");
    EXPECT_EQ(two.exit, 6u);
    EXPECT_EQ(two.out, "{\"command\":\"on\",\"board\":7,\"ok\":false,\"exit\":6,\"error\":"
                       "\"boards numbered 7 answered on COM12, COM16; nothing was switched\","
                       "\"boards\":[12,16]}\r\n");
    const std::vector<std::string> twice = {"7A ", "7A "};
    EXPECT_EQ(Received(), std::vector<std::vector<std::string>>(5, twice))
        << "nothing but the identification requests";
}

} // namespace
