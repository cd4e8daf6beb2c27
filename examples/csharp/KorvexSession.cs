// Korvex from C#: one session with the relay board through COM interop, early-bound through the
// dual interface IKorvex (the vtable), the control created by its ProgID "Addin.Korvex".
// Switches relay 1 on, reads the status, pulses relay 2 for 500 ms, reads the identification,
// and prints the result code, its text and the frames after each step.
//
//   csc /platform:x86 KorvexSession.cs      (x86 for the 32-bit Korvex.dll, x64 for the 64-bit)
//   KorvexSession.exe [port]                (port: the COM number, 1 by default)
//
// The process must have the registered driver's architecture, hence /platform. The project's
// tests compile this file with Mono's C# compiler; they do not run it.
using System;
using System.Runtime.InteropServices;

namespace Korvex.Examples
{
    // IKorvex as the type library Savolin declares it: members in vtable order, dispids as given.
    [ComImport]
    [Guid("66F559C9-6626-4ACF-8597-E9BADC257653")]
    [InterfaceType(ComInterfaceType.InterfaceIsDual)]
    public interface IKorvex
    {
        [DispId(1)] int Connect();
        [DispId(2)] int Disconnect();
        [DispId(3)] int GetDeviceMetrics();
        [DispId(4)] int GetStatus();
        [DispId(5)] int SetDefaults();
        [DispId(6)] int SetStatus();
        [DispId(7)] int ToggleStatus();
        int DeviceNumber { [DispId(8)] get; }
        int DeviceSubType { [DispId(9)] get; }
        int DeviceType { [DispId(10)] get; }
        string Input { [DispId(11)] [return: MarshalAs(UnmanagedType.BStr)] get; }
        string Output { [DispId(12)] [return: MarshalAs(UnmanagedType.BStr)] get; }
        int PortNumber { [DispId(13)] get; [DispId(13)] set; }
        int ProtocolVersion { [DispId(14)] get; }
        int ReleStatus { [DispId(15)] get; [DispId(15)] set; }
        int ResultCode { [DispId(16)] get; }
        string ResultDescription { [DispId(17)] [return: MarshalAs(UnmanagedType.BStr)] get; }
        int SoftVersion { [DispId(18)] get; }
        int Timeout { [DispId(19)] get; [DispId(19)] set; }
        int ToggleTime { [DispId(20)] get; [DispId(20)] set; }
        string Version { [DispId(21)] [return: MarshalAs(UnmanagedType.BStr)] get; }
    }

    public static class KorvexSession
    {
        static void Report(IKorvex korvex, string stepName, int code)
        {
            Console.WriteLine("{0}: ({1}) {2}", stepName, code, korvex.ResultDescription);
            Console.WriteLine("  sent     {0}", korvex.Output);
            Console.WriteLine("  received {0}", korvex.Input);
        }

        [STAThread]
        public static int Main(string[] args)
        {
            int port = args.Length > 0 ? int.Parse(args[0]) : 1;
            Type type = Type.GetTypeFromProgID("Addin.Korvex", true);
            IKorvex korvex = (IKorvex)Activator.CreateInstance(type);
            try
            {
                korvex.PortNumber = port;
                Console.WriteLine("Korvex {0}, COM{1}", korvex.Version, korvex.PortNumber);

                // Relay 1 on: read what the board shows, then set bit 0 beside it.
                Report(korvex, "GetStatus", korvex.GetStatus());
                korvex.ReleStatus = korvex.ReleStatus | 1;
                Report(korvex, "SetStatus relay 1 on", korvex.SetStatus());
                Console.WriteLine("  relays   {0:X}", korvex.ReleStatus);

                Report(korvex, "GetStatus", korvex.GetStatus());
                Console.WriteLine("  relays   {0:X}", korvex.ReleStatus);

                // Relay 2 for 500 ms: the pattern shows for the toggle time, then the board goes back.
                korvex.ReleStatus = korvex.ReleStatus | 2;
                korvex.ToggleTime = 500;
                Report(korvex, "ToggleStatus relay 2, 500 ms", korvex.ToggleStatus());
                // ReleStatus now holds the pulsed pattern (relays 1 and 2) until the next method that reads
                // the board: build the next pattern from what you set, or from a GetStatus once the pulse
                // is over, or "ReleStatus | bit" would switch relay 2 on for good.

                Report(korvex, "GetDeviceMetrics", korvex.GetDeviceMetrics());
                Console.WriteLine("  type {0}, subtype {1}, protocol {2}, firmware {3}, number {4}",
                                  korvex.DeviceType, korvex.DeviceSubType, korvex.ProtocolVersion,
                                  korvex.SoftVersion, korvex.DeviceNumber);

                Console.WriteLine("Disconnect: ({0}) {1}", korvex.Disconnect(), korvex.ResultDescription);
                return 0;
            }
            finally
            {
                Marshal.ReleaseComObject(korvex);
            }
        }
    }
}
