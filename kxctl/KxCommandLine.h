// kxctl's command line: options and one command with its arguments, checked before anything
// talks to the driver.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include <cstdint>

enum class KxCommand { None, On, Off, Pulse, AllOff, Status, Metrics, Set, Ports, Find };

// The driver's read time-out, as the control's.
constexpr uint32_t kDefaultTimeoutMs = 100;
// The most ports one --ports list may name.
constexpr size_t kMaxListedPorts = 1024;

struct KxRequest {
    KxCommand command = KxCommand::None;
    std::wstring name; // the command as typed: "on", "status", ...
    long port = 1;     // COM number, the driver's default
    bool portGiven = false;
    long board = -1;         // --board: the device number of the board to switch; -1 for none
    std::vector<long> ports; // --ports: the COM numbers to ask, in order; empty for the system's
    uint32_t timeoutMs = kDefaultTimeoutMs;
    int relay = 0;    // 1..8 for on, off and pulse
    long pulseMs = 0; // 1..65535 for pulse
    int pattern = 0;  // 0..255 for set
    bool json = false;
    bool verbose = false;
    bool help = false;

    // Whether the command talks to one board (not ports or find).
    bool OnOneBoard() const { return command != KxCommand::Ports && command != KxCommand::Find; }
};

// A command line that cannot be run; what() is the message for the user.
class KxUsageError : public std::runtime_error {
public:
    explicit KxUsageError(const std::string& message) : std::runtime_error(message) {}
};

// Reads the arguments after the program name. Options may stand before or after the command.
// Throws KxUsageError for an unknown option or command, a missing or extra argument, a number
// out of its range, or options that do not go together. "--help" wins over everything else that
// is well formed.
KxRequest ParseCommandLine(const std::vector<std::wstring>& args);

// The text of --help.
const wchar_t* UsageText();
