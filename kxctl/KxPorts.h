// The serial ports the system knows, listed without opening any, and ports as the command line
// names them. One contract, one implementation per system: COM numbers on Windows, device paths
// elsewhere.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "KxUsb.h"

struct KxPort {
    std::wstring name;     // what the user names it by: "COM5", "/dev/ttyUSB0"
    long number = 0;       // n of COMn on Windows; 0 elsewhere
    std::wstring friendly; // the system's name for the device, "USB Serial Port (COM5)"; or empty
    std::optional<KxUsbIdentity> usb; // for a USB adapter
    std::wstring byId;                // the device's stable name, /dev/serial/by-id/...; or empty
};

// What a port is called in the usage errors: --port needs "a COM port number", --ports "a list
// of COM port numbers".
extern const wchar_t kPortNoun[];
// The words of --help on them: what --port takes ("N"), its line (with the driver's default
// port) and that of --ports, and a port for the examples.
extern const wchar_t kPortValue[];
std::wstring PortHelp();
extern const wchar_t kPortListHelp[];
extern const wchar_t kPortExample[];

// What a failure to open a port adds for the user: the system's reason and a hint where one
// helps; empty where there is nothing to add.
std::wstring PortFailureNote(long code, unsigned long systemCode);

// The port a command uses when none is named: the driver's default (TComm's).
KxPort DefaultPort();

// The port that an argument of --port names; raises KxUsageError for one that names none.
KxPort PortNamed(const std::wstring& argument);

// The ports that a --ports list names, each once, in the order first named; raises
// KxUsageError.
std::vector<KxPort> PortsNamed(const std::wstring& list);

// port as the system lists it where it does (with its friendly name and USB identity), as it
// was given otherwise.
KxPort AsListed(const std::vector<KxPort>& listed, const KxPort& port);

// Adds port to ports unless one of its name is there; the first one named keeps its details.
void AddPort(std::vector<KxPort>& ports, KxPort port);

// The ports ordered by number, then by name with its digits read as numbers (ttyS2 before
// ttyS10).
void SortPorts(std::vector<KxPort>& ports);

// Every serial port the system knows, each once, in order.
std::vector<KxPort> ListPorts();

#ifndef _WIN32
// The same from the system whose /sys and /dev stand under root ("" for this one's).
std::vector<KxPort> ListPortsUnder(const std::string& root);
#endif
