// Korvex from JScript: one session with the relay board, late-bound through "Addin.Korvex".
// Switches relay 1 on, reads the status, pulses relay 2 for 500 ms, reads the identification,
// and prints the result code, its text and the frames after each step.
//
//   cscript //nologo korvex-session.js [port]        (port: the COM number, 1 by default)

var port = WScript.Arguments.Count() > 0 ? parseInt(WScript.Arguments(0), 10) : 1;

var korvex = new ActiveXObject("Addin.Korvex");
korvex.PortNumber = port;
WScript.Echo("Korvex " + korvex.Version + ", COM" + korvex.PortNumber);

// A null string from the driver (nothing sent or received yet) prints as empty.
function text(value) {
    return value == null ? "" : value;
}

function report(stepName, code) {
    WScript.Echo(stepName + ": (" + code + ") " + text(korvex.ResultDescription));
    WScript.Echo("  sent     " + text(korvex.Output));
    WScript.Echo("  received " + text(korvex.Input));
}

function hex(value) {
    return value.toString(16).toUpperCase();
}

// Relay 1 on: read what the board shows, then set bit 0 beside it.
report("GetStatus", korvex.GetStatus());
korvex.ReleStatus = korvex.ReleStatus | 1;
report("SetStatus relay 1 on", korvex.SetStatus());
WScript.Echo("  relays   " + hex(korvex.ReleStatus));

report("GetStatus", korvex.GetStatus());
WScript.Echo("  relays   " + hex(korvex.ReleStatus));

// Relay 2 for 500 ms: the pattern shows for the toggle time, then the board goes back.
korvex.ReleStatus = korvex.ReleStatus | 2;
korvex.ToggleTime = 500;
report("ToggleStatus relay 2, 500 ms", korvex.ToggleStatus());
// ReleStatus now holds the pulsed pattern (relays 1 and 2) until the next method that reads
// the board: build the next pattern from what you set, or from a GetStatus once the pulse
// is over, or "ReleStatus | bit" would switch relay 2 on for good.

report("GetDeviceMetrics", korvex.GetDeviceMetrics());
WScript.Echo("  type " + korvex.DeviceType + ", subtype " + korvex.DeviceSubType +
             ", protocol " + korvex.ProtocolVersion + ", firmware " + korvex.SoftVersion +
             ", number " + korvex.DeviceNumber);

WScript.Echo("Disconnect: (" + korvex.Disconnect() + ") " + text(korvex.ResultDescription));
