// kxctl on this system: as a separate process against the simulated board, named by its device
// path, with the outputs, JSON and exit codes of Windows in UTF-8; and the port list read from
// a sysfs tree the test makes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "ExpectedTexts.h"
#include "KxPorts.h"
#include "KxReport.h"
#include "NativeRig.h"
#include "PosixHolders.h"
#include "SimControl.h"
#include "TestClock.h"

extern char** environ;

namespace {

struct Outcome {
    int exit = -1;
    std::string out, err;
};

// Runs kxctl with args; its output goes to files, so the two streams cannot block each other.
Outcome Kxctl(const std::vector<std::string>& args) {
    char outPath[] = "/tmp/kxctl-out-XXXXXX", errPath[] = "/tmp/kxctl-err-XXXXXX";
    TDescriptor out(mkstemp(outPath)), err(mkstemp(errPath));
    unlink(outPath);
    unlink(errPath);
    std::vector<char*> argv{const_cast<char*>(KXCTL)};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out.Get(), STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err.Get(), STDERR_FILENO);
    pid_t child = 0;
    Outcome run;
    if (posix_spawn(&child, KXCTL, &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(child, &status, 0);
        run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    lseek(out.Get(), 0, SEEK_SET);
    lseek(err.Get(), 0, SEEK_SET);
    run.out = native::ReadAll(out.Get());
    run.err = native::ReadAll(err.Get());
    return run;
}

const std::string kDevice = sim::SimControl::devicePath();
const std::string kAbsent = "/dev/no-such-korvex-port";
// The result texts as kxctl writes them here: in UTF-8.
const std::string kOk = expected::Utf8(expected::kNoError);
const std::string kPortBusy = expected::Utf8(expected::kPortBusy);
const std::string kPortUnavailable = expected::Utf8(expected::kPortUnavailable);

class KxctlNative : public ::testing::Test {
protected:
    void SetUp() override { board.reset(); }
    sim::SimControl board;
};

struct CommandCase {
    int before;
    std::vector<std::string> args;
    std::vector<std::string> payloads;
    std::string out;
};

TEST_F(KxctlNative, EachCommandSendsItsFramesAndPrintsTheBoardsAnswer) {
    const CommandCase cases[] = {
        {0x21, {"status"}, {"79 "}, "relays 0x21 (on: 1, 6)\n"},
        {0x21, {"on", "3"}, {"79 ", "77 25 "}, "relays 0x25 (on: 1, 3, 6)\n"},
        {0x21, {"off", "6"}, {"79 ", "77 01 "}, "relays 0x01 (on: 1)\n"},
        {0x21, {"pulse", "2", "300"}, {"79 ", "78 23 2C 01 "}, "relays 0x23 (on: 1, 2, 6)\n"},
        {0xFF, {"alloff"}, {"77 00 "}, "relays 0x00 (all off)\n"},
        {0x00, {"set", "0x21"}, {"77 21 "}, "relays 0x21 (on: 1, 6)\n"},
        {0x00, {"metrics"}, {"7A "}, "type 1, subtype 2, protocol 3, firmware 4, number 4660\n"},
    };
    for (const CommandCase& c : cases) {
        SCOPED_TRACE(c.args[0]);
        board.reset();
        board.setStatus(c.before);
        std::vector<std::string> args{"--port", kDevice};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Outcome run = Kxctl(args);
        EXPECT_EQ(run.exit, 0);
        EXPECT_EQ(run.out, c.out);
        EXPECT_EQ(run.err, "");
        EXPECT_EQ(board.payloads(), c.payloads);
    }
}

TEST_F(KxctlNative, VerboseAndJsonAreWindowsOwnInUtf8) {
    Outcome verbose = Kxctl({"--port", kDevice, "--verbose", "on", "1"});
    EXPECT_EQ(verbose.out, "GetStatus: (0) " + kOk +
                               "\n  sent     02 00 55 01 79 2D\n"
                               "  received 02 00 55 03  79 00 00 2F\n"
                               "SetStatus: (0) " +
                               kOk +
                               "\n  sent     02 00 55 02 77 01 21\n"
                               "  received 02 00 55 03  77 00 01 20\n"
                               "relays 0x01 (on: 1)\n");
    EXPECT_EQ(Kxctl({"--port", kDevice, "--json", "status"}).out,
              "{\"command\":\"status\",\"port\":\"" + kDevice +
                  "\",\"ok\":true,\"exit\":0,\"code\":0,\"description\":\"\\u041e\\u0448\\u0438"
                  "\\u0431\\u043e\\u043a \\u043d\\u0435\\u0442\",\"relays\":1,\"on\":[1]}\n");
}

TEST_F(KxctlNative, APortHeldOrMissingGivesTwoWithTheSystemsReason) {
    Outcome first, second;
    board.setDelay(300); // the first holds the port while the second tries it
    std::thread holder([&] { first = Kxctl({"--port", kDevice, "--timeout", "500", "status"}); });
    ASSERT_TRUE(WaitUntil([&] { return !board.frames().empty(); }));
    second = Kxctl({"--port", kDevice, "status"});
    holder.join();
    EXPECT_EQ(first.exit, 0);
    EXPECT_EQ(second.exit, 2);
    EXPECT_EQ(second.err, "kxctl: GetStatus on " + kDevice + " failed: (-3) " + kPortBusy + "\n");

    Outcome missing = Kxctl({"--port", kAbsent, "status"});
    EXPECT_EQ(missing.exit, 2);
    EXPECT_EQ(missing.err, "kxctl: GetStatus on " + kAbsent + " failed: (-2) " + kPortUnavailable +
                               " (" + std::strerror(ENOENT) + ")\n");
}

TEST_F(KxctlNative, APortIsADevicePathNotANumber) {
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--port", "3", "status"},
         "the port is a device path such as /dev/ttyUSB0 or a name under /dev/serial/by-id, not "
         "'3'; 'kxctl ports' lists this system's ports"},
        {{"status", "--port"}, "--port needs a device path"},
        {{"find", "--ports"}, "--ports needs a list of device paths"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        Outcome run = Kxctl(c.args);
        EXPECT_EQ(run.exit, 3);
        EXPECT_EQ(run.err, "kxctl: " + c.message + "\nTry 'kxctl --help'.\n");
    }
    EXPECT_TRUE(board.frames().empty());
}

TEST_F(KxctlNative, FindAndBoardAskTheDevicesOfTheList) {
    const std::string list = kDevice + "," + kAbsent;
    Outcome find = Kxctl({"--ports", list, "find"});
    EXPECT_EQ(find.exit, 0);
    const size_t width = std::max(kDevice.size(), kAbsent.size());
    EXPECT_EQ(find.out, kDevice + std::string(width - kDevice.size(), ' ') +
                            "   board    type 1, subtype 2, protocol 3, firmware 4, number 4660\n" +
                            kAbsent + std::string(width - kAbsent.size(), ' ') +
                            "   absent   (-2) " + kPortUnavailable + "\n");
    Outcome on = Kxctl({"--board", "4660", "--ports", list, "on", "2"});
    EXPECT_EQ(on.exit, 0);
    EXPECT_EQ(on.out, "relays 0x02 (on: 2)\n");
    Outcome none = Kxctl({"--board", "7", "--ports", list, "on", "2"});
    EXPECT_EQ(none.exit, 5);
    EXPECT_EQ(none.err,
              "kxctl: no board numbered 7 answered (asked: " + kDevice + ", " + kAbsent + ")\n");
    EXPECT_EQ(board.payloads(), (std::vector<std::string>{"7A ", "7A ", "79 ", "77 02 ", "7A "}));
}

// A sysfs and /dev of the test's own, as the kernel and udev lay them out.
class SysTree {
public:
    SysTree() {
        char path[] = "/tmp/kxctl-sys-XXXXXX";
        root_ = mkdtemp(path);
    }
    ~SysTree() { std::system(("rm -rf '" + root_ + "'").c_str()); }

    const std::string& Root() const { return root_; }
    void Folder(const std::string& path) {
        std::system(("mkdir -p '" + root_ + "/" + path + "'").c_str());
    }
    void File(const std::string& path, const std::string& text) {
        Folder(path.substr(0, path.rfind('/')));
        std::ofstream(root_ + "/" + path) << text << "\n";
    }
    void Link(const std::string& path, const std::string& target) {
        Folder(path.substr(0, path.rfind('/')));
        ASSERT_EQ(symlink(target.c_str(), (root_ + "/" + path).c_str()), 0) << path;
    }
    // A tty whose device is the sysfs folder device, of subsystem.
    void Tty(const std::string& name, const std::string& device, const std::string& subsystem) {
        Folder("sys/devices/" + device + "/tty/" + name);
        Link("sys/class/tty/" + name, "../../devices/" + device + "/tty/" + name);
        Link("sys/devices/" + device + "/tty/" + name + "/device", "../../../" + Last(device));
        Link("sys/devices/" + device + "/subsystem", Up(device) + "bus/" + subsystem);
    }

private:
    std::string root_;
    static std::string Last(const std::string& path) { return path.substr(path.rfind('/') + 1); }
    // "../" for each level of sys/devices/<path>, to reach sys/.
    static std::string Up(const std::string& path) {
        std::string up = "../../";
        for (char c : path)
            if (c == '/')
                up += "../";
        return up;
    }
};

TEST(KxctlPorts, TheListComesFromSysfsWithUsbIdentitiesAndStableNames) {
    SysTree sys;
    const std::string ftdi = "pci0000:00/0000:00:14.0/usb1/1-2";
    sys.Tty("ttyUSB0", ftdi + "/1-2:1.0/ttyUSB0", "usb-serial");
    sys.File("sys/devices/" + ftdi + "/idVendor", "0403");
    sys.File("sys/devices/" + ftdi + "/idProduct", "6001");
    sys.File("sys/devices/" + ftdi + "/serial", "A50285BI");
    sys.File("sys/devices/" + ftdi + "/product", "FT232R USB UART");
    const std::string uno = "pci0000:00/0000:00:14.0/usb1/1-3";
    sys.Tty("ttyACM0", uno + "/1-3:1.0", "usb");
    sys.File("sys/devices/" + uno + "/idVendor", "2341");
    sys.File("sys/devices/" + uno + "/idProduct", "0043");
    sys.Tty("ttyS0", "pnp0/00:04", "pnp");
    sys.Tty("ttyS1", "platform/serial8250", "platform"); // a placeholder, no port
    sys.Folder("sys/devices/virtual/tty/tty0");
    sys.Link("sys/class/tty/tty0", "../../devices/virtual/tty/tty0"); // no device behind it
    sys.Link("dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");

    const std::vector<KxPort> ports = ListPortsUnder(sys.Root());
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(PortsText(ports),
              L"/dev/ttyACM0                     USB 2341:0043\n"
              L"/dev/ttyS0\n"
              L"/dev/ttyUSB0   FT232R USB UART   USB 0403:6001 serial A50285BI\n");
    EXPECT_EQ(PortsJson(ports),
              L"{\"command\":\"ports\",\"ok\":true,\"exit\":0,\"ports\":["
              L"{\"port\":\"/dev/ttyACM0\",\"name\":\"/dev/ttyACM0\",\"usb\":{\"vid\":\"2341\","
              L"\"pid\":\"0043\"}},{\"port\":\"/dev/ttyS0\",\"name\":\"/dev/ttyS0\"},"
              L"{\"port\":\"/dev/ttyUSB0\",\"name\":\"/dev/ttyUSB0\",\"by_id\":\"/dev/serial/by-id/"
              L"usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\",\"friendly\":\"FT232R USB UART\","
              L"\"usb\":{\"vid\":\"0403\",\"pid\":\"6001\",\"serial\":\"A50285BI\"}}]}\n");
}

} // namespace
