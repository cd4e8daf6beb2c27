"""Korvex from Python: one session with the relay board, late-bound through "Addin.Korvex".

Switches relay 1 on, reads the status, pulses relay 2 for 500 ms, reads the identification,
and prints the result code, its text and the frames after each step.

    python korvex-session.py [port]        (port: the COM number, 1 by default)

Needs Windows, the pywin32 package (pip install pywin32) and a Python of the same
architecture as the registered Korvex.dll (32-bit Python for the x86 driver, 64-bit for x64).
The project's tests check this file's syntax only; they do not run it.
"""
import sys

import win32com.client


def main():
    port = int(sys.argv[1]) if len(sys.argv) > 1 else 1
    korvex = win32com.client.Dispatch("Addin.Korvex")
    korvex.PortNumber = port
    print(f"Korvex {korvex.Version}, COM{korvex.PortNumber}")

    def report(step_name, code):
        print(f"{step_name}: ({code}) {korvex.ResultDescription or ''}")
        print(f"  sent     {korvex.Output or ''}")
        print(f"  received {korvex.Input or ''}")

    # Relay 1 on: read what the board shows, then set bit 0 beside it.
    report("GetStatus", korvex.GetStatus())
    korvex.ReleStatus = korvex.ReleStatus | 1
    report("SetStatus relay 1 on", korvex.SetStatus())
    print(f"  relays   {korvex.ReleStatus:X}")

    report("GetStatus", korvex.GetStatus())
    print(f"  relays   {korvex.ReleStatus:X}")

    # Relay 2 for 500 ms: the pattern shows for the toggle time, then the board goes back.
    korvex.ReleStatus = korvex.ReleStatus | 2
    korvex.ToggleTime = 500
    report("ToggleStatus relay 2, 500 ms", korvex.ToggleStatus())
    # ReleStatus now holds the pulsed pattern (relays 1 and 2) until the next method that reads
    # the board: build the next pattern from what you set, or from a GetStatus once the pulse
    # is over, or "ReleStatus | bit" would switch relay 2 on for good.

    report("GetDeviceMetrics", korvex.GetDeviceMetrics())
    print(f"  type {korvex.DeviceType}, subtype {korvex.DeviceSubType}, "
          f"protocol {korvex.ProtocolVersion}, firmware {korvex.SoftVersion}, "
          f"number {korvex.DeviceNumber}")

    print(f"Disconnect: ({korvex.Disconnect()}) {korvex.ResultDescription or ''}")


if __name__ == "__main__":
    main()
