// kxctl.exe as a batch file runs it: a separate process against the simulated board, judged by
// its exit code, its output and the frames the board received.
#include <gtest/gtest.h>
#include <windows.h>

#include <objbase.h>

#include <string>
#include <vector>

#include "ExpectedTexts.h"
#include "KorvexDll.h"
#include "KxctlRun.h"
#include "SimControl.h"

namespace {

std::wstring Port() {
    return L"--port " + std::to_wstring(sim::SimControl::comPort()) + L" ";
}

std::string PortText() {
    return std::to_string(sim::SimControl::comPort());
}

// Whether a client of this architecture can create the control.
bool KorvexCreatable() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    CLSID clsid;
    IUnknown* unknown = nullptr;
    const bool created =
        SUCCEEDED(CLSIDFromProgID(L"Addin.Korvex", &clsid)) &&
        SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                   reinterpret_cast<void**>(&unknown)));
    if (unknown)
        unknown->Release();
    CoUninitialize();
    return created;
}

class KxctlTest : public ::testing::Test {
protected:
    void SetUp() override { board.reset(); }
    sim::SimControl board;
};

// One command against a board showing `before`: the frames it sends and what it prints.
struct CommandCase {
    const char* name;
    int before;
    const wchar_t* args;
    std::vector<std::string> payloads;
    const char* out;
};

const CommandCase kCommands[] = {
    {"status", 0x21, L"status", {"79 "}, "relays 0x21 (on: 1, 6)\r\n"},
    {"status_all_off", 0x00, L"status", {"79 "}, "relays 0x00 (all off)\r\n"},
    {"on_keeps_others", 0x21, L"on 3", {"79 ", "77 25 "}, "relays 0x25 (on: 1, 3, 6)\r\n"},
    {"on_when_on", 0x21, L"on 1", {"79 ", "77 21 "}, "relays 0x21 (on: 1, 6)\r\n"},
    {"on_relay_8", 0x00, L"on 8", {"79 ", "77 80 "}, "relays 0x80 (on: 8)\r\n"},
    {"off_keeps_others", 0x21, L"off 6", {"79 ", "77 01 "}, "relays 0x01 (on: 1)\r\n"},
    {"off_when_off", 0x21, L"off 2", {"79 ", "77 21 "}, "relays 0x21 (on: 1, 6)\r\n"},
    {"pulse", 0x21, L"pulse 2 300", {"79 ", "78 23 2C 01 "}, "relays 0x23 (on: 1, 2, 6)\r\n"},
    {"alloff_reads_nothing", 0xFF, L"alloff", {"77 00 "}, "relays 0x00 (all off)\r\n"},
    {"set_hex", 0x00, L"set 0x21", {"77 21 "}, "relays 0x21 (on: 1, 6)\r\n"},
    {"set_decimal", 0x00, L"set 255", {"77 FF "}, "relays 0xFF (on: 1, 2, 3, 4, 5, 6, 7, 8)\r\n"},
    {"metrics",
     0x00,
     L"metrics",
     {"7A "},
     "type 1, subtype 2, protocol 3, firmware 4, number 4660\r\n"},
};

TEST_F(KxctlTest, EachCommandSendsItsFramesAndPrintsTheBoardsAnswer) {
    for (const auto& c : kCommands) {
        SCOPED_TRACE(c.name);
        board.reset();
        board.setStatus(c.before);
        Outcome run = Kxctl(Port() + c.args);
        EXPECT_EQ(run.exit, 0u);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(board.payloads(), c.payloads);
    }
}

TEST_F(KxctlTest, SwitchingChangesTheBoardsRelays) {
    board.setStatus(0x21);
    ASSERT_EQ(Kxctl(Port() + L"on 2").exit, 0u);
    EXPECT_EQ(board.status(), 0x23);
    ASSERT_EQ(Kxctl(Port() + L"off 1").exit, 0u);
    EXPECT_EQ(board.status(), 0x22);
}

TEST_F(KxctlTest, JsonIsOneAsciiObjectWithTheResultAndTheBoardsFields) {
    const std::string ok = ",\"code\":0,\"description\":\"\\u041e\\u0448\\u0438\\u0431\\u043e"
                           "\\u043a \\u043d\\u0435\\u0442\"";
    board.setStatus(0x21);
    EXPECT_EQ(Kxctl(Port() + L"--json status").out,
              "{\"command\":\"status\",\"port\":" + PortText() + ",\"ok\":true,\"exit\":0" + ok +
                  ",\"relays\":33,\"on\":[1,6]}\r\n");
    EXPECT_EQ(Kxctl(L"metrics --json " + Port()).out,
              "{\"command\":\"metrics\",\"port\":" + PortText() + ",\"ok\":true,\"exit\":0" + ok +
                  ",\"metrics\":{\"type\":1,\"subtype\":2,\"protocol\":3,\"firmware\":4,"
                  "\"number\":4660}}\r\n");
    board.setStatus(0);
    EXPECT_EQ(Kxctl(Port() + L"--json --verbose on 1").out,
              "{\"command\":\"on\",\"port\":" + PortText() + ",\"ok\":true,\"exit\":0" + ok +
                  ",\"relays\":1,\"on\":[1],\"steps\":["
                  "{\"step\":\"GetStatus\"" +
                  ok +
                  ",\"sent\":\"02 00 55 01 79 2D \",\"received\":\"02 00 55 03  79 00 00 2F \"},"
                  "{\"step\":\"SetStatus\"" +
                  ok +
                  ",\"sent\":\"02 00 55 02 77 01 21 \",\"received\":\"02 00 55 03  77 00 01 20 \"}"
                  "]}\r\n");
}

TEST_F(KxctlTest, VerbosePrintsEveryCallWithItsFrames) {
    const std::string ok = Console(expected::kNoError);
    Outcome run = Kxctl(Port() + L"--verbose on 1");
    EXPECT_EQ(run.exit, 0u);
    EXPECT_EQ(run.out, "GetStatus: (0) " + ok +
                           "\r\n  sent     02 00 55 01 79 2D\r\n"
                           "  received 02 00 55 03  79 00 00 2F\r\n"
                           "SetStatus: (0) " +
                           ok +
                           "\r\n  sent     02 00 55 02 77 01 21\r\n"
                           "  received 02 00 55 03  77 00 01 20\r\n"
                           "relays 0x01 (on: 1)\r\n");
}

// A failure ends the command at the call that failed; the exit code tells its class.
struct FailureCase {
    const char* name;
    const char* fault; // board fault mode, or nullptr
    int result;        // board result byte
    const wchar_t* args;
    DWORD exit;
    std::vector<std::string> payloads;
    std::string err;
};

TEST_F(KxctlTest, FailuresStopTheCommandAndGiveTheirExitCode) {
    const std::string com = " on COM" + PortText() + " failed: ";
    const FailureCase cases[] = {
        {"no_answer",
         "silent",
         0,
         L"on 1",
         1,
         {"79 "},
         "kxctl: GetStatus" + com + "(-1) " + Console(expected::kNoLink) + "\r\n"},
        {"bad_checksum",
         "crc",
         0,
         L"status",
         1,
         {"79 "},
         "kxctl: GetStatus" + com + "(-4) " + Console(expected::kBadCrc) + "\r\n"},
        {"board_error",
         nullptr,
         7,
         L"set 1",
         1,
         {"77 01 "},
         "kxctl: SetStatus" + com + "(7) " + Console(expected::kDeviceError7) + "\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        board.reset();
        if (c.fault)
            board.fault(c.fault);
        board.setResult(c.result);
        Outcome run = Kxctl(Port() + c.args);
        EXPECT_EQ(run.exit, c.exit);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(board.payloads(), c.payloads);
    }
}

// The read time-out is the driver's: a board slower than the default 100 ms answers within a
// longer one.
TEST_F(KxctlTest, TheTimeoutIsTheDriversReadTimeout) {
    board.setDelay(250);
    EXPECT_EQ(Kxctl(Port() + L"status").exit, 1u);
    Outcome slow = Kxctl(Port() + L"--timeout 400 status");
    EXPECT_EQ(slow.exit, 0u);
    EXPECT_EQ(slow.out, "relays 0x00 (all off)\r\n");
}

TEST_F(KxctlTest, APortThatCannotBeOpenedGivesTwo) {
    Outcome missing = Kxctl(L"--port 49 --json status");
    EXPECT_EQ(missing.exit, 2u);
    EXPECT_EQ(missing.out, "{\"command\":\"status\",\"port\":49,\"ok\":false,\"exit\":2,"
                           "\"step\":\"GetStatus\",\"code\":-2,\"description\":\"\\u041f\\u043e"
                           "\\u0440\\u0442 \\u043d\\u0435\\u0434\\u043e\\u0441\\u0442\\u0443"
                           "\\u043f\\u0435\\u043d\"}\r\n");

    Outcome busy;
    {
        const TKernelObject held = HoldPort(sim::SimControl::comPort());
        ASSERT_TRUE(held);
        busy = Kxctl(Port() + L"on 1");
    }
    EXPECT_EQ(busy.exit, 2u);
    EXPECT_EQ(busy.err, "kxctl: GetStatus on COM" + PortText() + " failed: (-3) " +
                            Console(expected::kPortBusy) + "\r\n");
}

// kxctl copied alone into a folder, where no Korvex is registered: it drives the board all the
// same, with the driver's own texts.
TEST_F(KxctlTest, RunsAloneWhereNoDriverIsRegistered) {
    wchar_t temp[MAX_PATH];
    ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
    const std::wstring folder = std::wstring(temp) + L"kxctl-alone";
    const std::wstring alone = folder + L"\\kxctl.exe";
    CreateDirectoryW(folder.c_str(), nullptr);
    ASSERT_TRUE(CopyFileW(WindowsPath(L"" KXCTL_EXE).c_str(), alone.c_str(), FALSE));
    ASSERT_EQ(0u, RunRegsvr32(L"/u"));
    const bool registered = KorvexCreatable();
    board.setStatus(0x21);
    Outcome run = KxctlAt(alone, Port() + L"--verbose status");
    // The suites after this one find the driver registered, as before it.
    EXPECT_EQ(0u, RunRegsvr32(L""));
    DeleteFileW(alone.c_str());
    RemoveDirectoryW(folder.c_str());
    EXPECT_FALSE(registered) << "Korvex could still be created";
    EXPECT_EQ(run.exit, 0u);
    EXPECT_EQ(run.out, "GetStatus: (0) " + Console(expected::kNoError) +
                           "\r\n  sent     02 00 55 01 79 2D\r\n"
                           "  received 02 00 55 03  79 00 21 0E\r\n"
                           "relays 0x21 (on: 1, 6)\r\n");
    EXPECT_EQ(run.err, "");
}

struct UsageCase {
    const wchar_t* args;
    const char* message;
};

const UsageCase kBadArguments[] = {
    {L"", "no command given"},
    {L"bogus", "unknown command 'bogus'"},
    {L"on", "'on' needs 1 argument"},
    {L"on 0", "the relay must be 1 to 8, not '0'"},
    {L"off 9", "the relay must be 1 to 8, not '9'"},
    {L"on x", "the relay must be 1 to 8, not 'x'"},
    {L"on 1 2", "unexpected argument '2'"},
    {L"status now", "unexpected argument 'now'"},
    {L"pulse 1", "'pulse' needs 2 arguments"},
    {L"pulse 1 0", "the pulse time in ms must be 1 to 65535, not '0'"},
    {L"pulse 1 65536", "the pulse time in ms must be 1 to 65535, not '65536'"},
    {L"set 0x100", "the pattern must be 0 to 255, not '0x100'"},
    {L"set 256", "the pattern must be 0 to 255, not '256'"},
    {L"set 0x", "the pattern must be 0 to 255, not '0x'"},
    {L"set -1", "unknown option '-1'"},
    {L"--port 0 status", "the port must be 1 to 2147483647, not '0'"},
    {L"--port=x status", "the port must be 1 to 2147483647, not 'x'"},
    {L"status --port", "--port needs a COM port number"},
    {L"find --ports", "--ports needs a list of COM port numbers"},
    {L"--frobnicate status", "unknown option '--frobnicate'"},
    {L"--board 7 --port 3 status", "--board and --port cannot be used together"},
    {L"--port 3 find", "'find' takes --ports, not --port"},
    {L"--board 7 find", "--board goes with a command for one board, not 'find'"},
    {L"--ports 3 status", "--ports goes with find or --board"},
    {L"--ports 3 ports", "'ports' lists every port; --ports goes with find or --board"},
    {L"--ports 5-3 find", "the end of a port range must be 5 to 2147483647, not '3'"},
    {L"--ports 3,,5 find", "a port must be 1 to 2147483647, not ''"},
    {L"--ports 1-1025 find", "the port list may name at most 1024 ports"},
    {L"--board 70000 status", "the board's device number must be 0 to 65535, not '70000'"},
    {L"--timeout 60001 status", "the time-out in ms must be 0 to 60000, not '60001'"},
    {L"find now", "unexpected argument 'now'"},
};

TEST_F(KxctlTest, BadArgumentsGiveThreeAndSendNothing) {
    for (const auto& c : kBadArguments) {
        SCOPED_TRACE(c.message);
        Outcome run = Kxctl(c.args);
        EXPECT_EQ(run.exit, 3u);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err, std::string("kxctl: ") + c.message + "\r\nTry 'kxctl --help'.\r\n");
    }
    Outcome json = Kxctl(L"--json on");
    EXPECT_EQ(json.exit, 3u);
    EXPECT_EQ(json.out, "{\"ok\":false,\"exit\":3,\"error\":\"'on' needs 1 argument\"}\r\n");
    EXPECT_TRUE(board.frames().empty());
}

TEST_F(KxctlTest, HelpListsTheCommandsAndGivesZero) {
    Outcome run = Kxctl(L"--help");
    EXPECT_EQ(run.exit, 0u);
    for (const char* word :
         {"on R", "off R", "pulse R MS", "alloff", "status", "metrics", "set P", "ports", "find",
          "--port N", "--board N", "--ports LIST", "--timeout MS", "--json", "--verbose",
          "Exit codes", "no driver needs to be installed or registered", "02 00 55 01 7A 2E"})
        EXPECT_NE(run.out.find(word), std::string::npos) << word;
    EXPECT_EQ(Kxctl(L"on --help").out, run.out) << "--help wins over a missing argument";
}

} // namespace
