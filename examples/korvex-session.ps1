# Korvex from PowerShell: one session with the relay board, late-bound through "Addin.Korvex".
# Switches relay 1 on, reads the status, pulses relay 2 for 500 ms, reads the identification,
# and prints the result code, its text and the frames after each step.
#
#   powershell -ExecutionPolicy Bypass -File korvex-session.ps1 [port]   (COM number, 1 by default)
#
# Run it in the PowerShell of the registered driver's architecture: the 32-bit Korvex.dll in
# "Windows PowerShell (x86)", the 64-bit one in the ordinary 64-bit Windows PowerShell.
# No PowerShell is packaged for the project's build machine: the tests do not run or check
# this file.
param([int]$Port = 1)

$korvex = New-Object -ComObject Addin.Korvex
$korvex.PortNumber = $Port
Write-Output ("Korvex {0}, COM{1}" -f $korvex.Version, $korvex.PortNumber)

function Report([string]$StepName, [int]$Code) {
    Write-Output ("{0}: ({1}) {2}" -f $StepName, $Code, $korvex.ResultDescription)
    Write-Output ("  sent     {0}" -f $korvex.Output)
    Write-Output ("  received {0}" -f $korvex.Input)
}

# Relay 1 on: read what the board shows, then set bit 0 beside it.
Report "GetStatus" $korvex.GetStatus()
$korvex.ReleStatus = $korvex.ReleStatus -bor 1
Report "SetStatus relay 1 on" $korvex.SetStatus()
Write-Output ("  relays   {0:X}" -f $korvex.ReleStatus)

Report "GetStatus" $korvex.GetStatus()
Write-Output ("  relays   {0:X}" -f $korvex.ReleStatus)

# Relay 2 for 500 ms: the pattern shows for the toggle time, then the board goes back.
$korvex.ReleStatus = $korvex.ReleStatus -bor 2
$korvex.ToggleTime = 500
Report "ToggleStatus relay 2, 500 ms" $korvex.ToggleStatus()
# ReleStatus now holds the pulsed pattern (relays 1 and 2) until the next method that reads
# the board: build the next pattern from what you set, or from a GetStatus once the pulse
# is over, or "ReleStatus -bor bit" would switch relay 2 on for good.

Report "GetDeviceMetrics" $korvex.GetDeviceMetrics()
Write-Output ("  type {0}, subtype {1}, protocol {2}, firmware {3}, number {4}" -f `
    $korvex.DeviceType, $korvex.DeviceSubType, $korvex.ProtocolVersion, $korvex.SoftVersion, `
    $korvex.DeviceNumber)

Write-Output ("Disconnect: ({0}) {1}" -f $korvex.Disconnect(), $korvex.ResultDescription)
[void][System.Runtime.InteropServices.Marshal]::ReleaseComObject($korvex)
