// kxctl's command line: options and one command with its arguments, checked before anything
// talks to the driver.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

enum class KxCommand { None, On, Off, Pulse, AllOff, Status, Metrics, Set };

struct KxRequest {
    KxCommand command = KxCommand::None;
    std::wstring name; // the command as typed: "on", "status", ...
    long port = 1;     // COM number, the driver's default
    int relay = 0;     // 1..8 for on, off and pulse
    long pulseMs = 0;  // 1..65535 for pulse
    int pattern = 0;   // 0..255 for set
    bool json = false;
    bool verbose = false;
    bool help = false;
};

// A command line that cannot be run; what() is the message for the user.
class KxUsageError : public std::runtime_error {
public:
    explicit KxUsageError(const std::string& message) : std::runtime_error(message) {}
};

// Reads the arguments after the program name. Options may stand before or after the command.
// Throws KxUsageError for an unknown option or command, a missing or extra argument, or a
// number out of its range. "--help" wins over everything else that is well formed.
KxRequest ParseCommandLine(const std::vector<std::wstring>& args);

// The text of --help.
const wchar_t* UsageText();
