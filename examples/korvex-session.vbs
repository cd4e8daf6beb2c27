' Korvex from VBScript: one session with the relay board, late-bound through "Addin.Korvex".
' Switches relay 1 on, reads the status, pulses relay 2 for 500 ms, reads the identification,
' and prints the result code, its text and the frames after each step.
'
'   cscript //nologo korvex-session.vbs [port]        (port: the COM number, 1 by default)
Option Explicit

Dim port, korvex
port = 1
If WScript.Arguments.Count > 0 Then port = CLng(WScript.Arguments(0))

Set korvex = CreateObject("Addin.Korvex")
korvex.PortNumber = port
WScript.Echo "Korvex " & korvex.Version & ", COM" & korvex.PortNumber

Sub Report(stepName, code)
    WScript.Echo stepName & ": (" & code & ") " & korvex.ResultDescription
    WScript.Echo "  sent     " & korvex.Output
    WScript.Echo "  received " & korvex.Input
End Sub

' Relay 1 on: read what the board shows, then set bit 0 beside it.
Report "GetStatus", korvex.GetStatus()
korvex.ReleStatus = korvex.ReleStatus Or 1
Report "SetStatus relay 1 on", korvex.SetStatus()
WScript.Echo "  relays   " & Hex(korvex.ReleStatus)

Report "GetStatus", korvex.GetStatus()
WScript.Echo "  relays   " & Hex(korvex.ReleStatus)

' Relay 2 for 500 ms: the pattern shows for the toggle time, then the board goes back.
korvex.ReleStatus = korvex.ReleStatus Or 2
korvex.ToggleTime = 500
Report "ToggleStatus relay 2, 500 ms", korvex.ToggleStatus()
' ReleStatus now holds the pulsed pattern (relays 1 and 2) until the next method that reads
' the board: build the next pattern from what you set, or from a GetStatus once the pulse
' is over, or "ReleStatus Or bit" would switch relay 2 on for good.

Report "GetDeviceMetrics", korvex.GetDeviceMetrics()
WScript.Echo "  type " & korvex.DeviceType & ", subtype " & korvex.DeviceSubType & _
             ", protocol " & korvex.ProtocolVersion & ", firmware " & korvex.SoftVersion & _
             ", number " & korvex.DeviceNumber

WScript.Echo "Disconnect: (" & korvex.Disconnect() & ") " & korvex.ResultDescription
