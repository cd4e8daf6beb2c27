// kxctl's command line: options and one command with its arguments, checked before anything
// talks to the driver.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "KxArguments.h"
#include "KxPorts.h"
#include "untComm.h"

enum class KxCommand { None, On, Off, Pulse, AllOff, Status, Metrics, Set, Ports, Find };

struct KxRequest {
    KxCommand command = KxCommand::None;
    std::wstring name;           // the command as typed: "on", "status", ...
    KxPort port = DefaultPort(); // --port, or the driver's default
    bool portGiven = false;
    long board = -1;           // --board: the device number of the board to switch; -1 for none
    std::vector<KxPort> ports; // --ports: the ports to ask, in order; empty for the system's
    uint32_t timeoutMs = TComm::DefaultTimeout; // the driver's read time-out, as the control's
    int relay = 0;                              // 1..8 for on, off and pulse
    long pulseMs = 0;                           // 1..65535 for pulse
    int pattern = 0;                            // 0..255 for set
    bool json = false;
    bool verbose = false;
    bool help = false;

    // Whether the command talks to one board (not ports or find).
    bool OnOneBoard() const { return command != KxCommand::Ports && command != KxCommand::Find; }
};

// Reads the arguments after the program name. Options may stand before or after the command.
// Throws KxUsageError for an unknown option or command, a missing or extra argument, a number
// out of its range, or options that do not go together. "--help" wins over everything else that
// is well formed.
KxRequest ParseCommandLine(const std::vector<std::wstring>& args);

// The text of --help.
std::wstring UsageText();
