// The serial ports the system knows, listed without opening any.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "KxUsb.h"

struct KxPort {
    long number = 0;       // n of COMn
    std::wstring name;     // "COM5"
    std::wstring friendly; // the system's name for the device, "USB Serial Port (COM5)"; or empty
    std::optional<KxUsbIdentity> usb; // for a USB adapter
};

// The port COMn, as the system lists it where it does, bare otherwise.
KxPort PortNumbered(const std::vector<KxPort>& listed, long n);

// The n of a port name "COMn" (in any case), or 0 when name is none.
long PortNumberOf(const std::wstring& name);

// Adds port to ports unless one of its number is there; the first one named keeps its details.
void AddPort(std::vector<KxPort>& ports, KxPort port);

// The ports ordered by number.
void SortPorts(std::vector<KxPort>& ports);

// Every serial port the system knows, each once, in port-number order: the Ports device class
// with each device's friendly name and USB identity, and the system's map of serial devices for
// the ports no device class names.
std::vector<KxPort> ListPorts();
