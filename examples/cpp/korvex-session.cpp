// Korvex from C++: one session with the relay board. The control is created by its class id
// through CoCreateInstance and called through the vtable of IKorvex, as declared by the shared
// header Savolin_TLB.h (generated from the type library; shipped beside this file with
// Savolin_TLB_i.c, which holds the GUIDs).
// Switches relay 1 on, reads the status, pulses relay 2 for 500 ms, reads the identification,
// and prints the result code, its text and the frames after each step.
//
// Build:
//   MinGW-w64:
//     g++ -o korvex-session.exe korvex-session.cpp Savolin_TLB_i.c -lole32 -loleaut32 -luuid
//   MSVC:
//     cl /EHsc korvex-session.cpp Savolin_TLB_i.c ole32.lib oleaut32.lib
// Run:
//   korvex-session.exe [port]        (port: the COM number, 1 by default)
//
// A method's result code tells how the board answered; the HRESULT of every call tells whether
// the call itself worked (a null pointer, a control that could not run it), so both are checked.
//
// Build it for the registered driver's architecture: a 32-bit program for the x86 Korvex.dll.
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Savolin_TLB.h"

using Microsoft::WRL::ComPtr;

namespace {

// A BSTR the driver allocated; freed when the holder goes.
class Text {
public:
    Text() = default;
    ~Text() { SysFreeString(value_); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    BSTR* operator&() { return &value_; }
    const wchar_t* c_str() const { return value_ ? value_ : L""; }

private:
    BSTR value_ = nullptr;
};

// Prints one line in the console's code page, so the driver's Russian texts read right.
void Print(const std::wstring& line) {
    UINT codePage = GetConsoleOutputCP();
    std::wstring text = line + L"\n";
    int size = WideCharToMultiByte(codePage ? codePage : CP_OEMCP, 0, text.c_str(),
                                   static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size, '\0');
    WideCharToMultiByte(codePage ? codePage : CP_OEMCP, 0, text.c_str(),
                        static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// A call that did not work at all (not a board failure: those come back as result codes).
struct CallFailed {
    HRESULT result;
};

void Check(HRESULT result) {
    if (FAILED(result))
        throw CallFailed{result};
}

std::wstring Number(long value, bool hex = false) {
    wchar_t text[16];
    std::swprintf(text, 16, hex ? L"%lX" : L"%ld", value);
    return text;
}

long Long(IKorvex* korvex, HRESULT (STDMETHODCALLTYPE IKorvex::*getter)(LONG*)) {
    LONG value = 0;
    Check((korvex->*getter)(&value));
    return value;
}

std::wstring String(IKorvex* korvex, HRESULT (STDMETHODCALLTYPE IKorvex::*getter)(BSTR*)) {
    Text value;
    Check((korvex->*getter)(&value));
    return value.c_str();
}

// Runs one method and prints its result code, the result's text and the frames.
void Step(IKorvex* korvex, const wchar_t* name,
          HRESULT (STDMETHODCALLTYPE IKorvex::*method)(LONG*)) {
    LONG code = 0;
    Check((korvex->*method)(&code));
    Print(name + std::wstring(L": (") + Number(code) + L") " +
          String(korvex, &IKorvex::get_ResultDescription));
    Print(L"  sent     " + String(korvex, &IKorvex::get_Output));
    Print(L"  received " + String(korvex, &IKorvex::get_Input));
}

int Session(IKorvex* korvex, long port) {
    Check(korvex->put_PortNumber(port));
    Print(L"Korvex " + String(korvex, &IKorvex::get_Version) + L", COM" +
          Number(Long(korvex, &IKorvex::get_PortNumber)));

    // Relay 1 on: read what the board shows, then set bit 0 beside it.
    Step(korvex, L"GetStatus", &IKorvex::GetStatus);
    Check(korvex->put_ReleStatus(Long(korvex, &IKorvex::get_ReleStatus) | 1));
    Step(korvex, L"SetStatus relay 1 on", &IKorvex::SetStatus);
    Print(L"  relays   " + Number(Long(korvex, &IKorvex::get_ReleStatus), true));

    Step(korvex, L"GetStatus", &IKorvex::GetStatus);
    Print(L"  relays   " + Number(Long(korvex, &IKorvex::get_ReleStatus), true));

    // Relay 2 for 500 ms: the pattern shows for the toggle time, then the board goes back.
    Check(korvex->put_ReleStatus(Long(korvex, &IKorvex::get_ReleStatus) | 2));
    Check(korvex->put_ToggleTime(500));
    Step(korvex, L"ToggleStatus relay 2, 500 ms", &IKorvex::ToggleStatus);
    // ReleStatus now holds the pulsed pattern (relays 1 and 2) until the next method that reads
    // the board: build the next pattern from what you set, or from a GetStatus once the pulse
    // is over, or "ReleStatus | bit" would switch relay 2 on for good.

    Step(korvex, L"GetDeviceMetrics", &IKorvex::GetDeviceMetrics);
    Print(L"  type " + Number(Long(korvex, &IKorvex::get_DeviceType)) + L", subtype " +
          Number(Long(korvex, &IKorvex::get_DeviceSubType)) + L", protocol " +
          Number(Long(korvex, &IKorvex::get_ProtocolVersion)) + L", firmware " +
          Number(Long(korvex, &IKorvex::get_SoftVersion)) + L", number " +
          Number(Long(korvex, &IKorvex::get_DeviceNumber)));

    LONG code = 0;
    Check(korvex->Disconnect(&code));
    Print(L"Disconnect: (" + Number(code) + L") " +
          String(korvex, &IKorvex::get_ResultDescription));
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    long port = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1;
    // The control is apartment-threaded: this thread is its single-threaded apartment.
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    int status = 1;
    {
        ComPtr<IKorvex> korvex;
        HRESULT result = CoCreateInstance(CLSID_Korvex, nullptr, CLSCTX_INPROC_SERVER, IID_IKorvex,
                                          reinterpret_cast<void**>(korvex.GetAddressOf()));
        if (SUCCEEDED(result)) {
            try {
                status = Session(korvex.Get(), port);
            } catch (const CallFailed& failure) {
                std::fprintf(stderr, "a call to Korvex failed (0x%08lX)\n",
                             static_cast<unsigned long>(failure.result));
            }
        } else
            std::fprintf(stderr, "Korvex is not registered for this architecture (0x%08lX)\n",
                         static_cast<unsigned long>(result));
    }
    CoUninitialize();
    return status;
}
